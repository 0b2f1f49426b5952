// The device notice the mount tool sends to the top-level windows when a drive comes or goes
// (on Windows the system sends its own as well; Wine sends none for the drives it is given).
#pragma once

#include <windows.h>

// Starts loading what the notice needs on a thread of its own, so that it overlaps with the
// mounting or unmounting before the notice. Optional: announceVolume loads it otherwise.
void prepareDeviceNotice();
// Sends WM_DEVICECHANGE (arrival or removal of the drive letter's volume) to every top-level
// window, never waiting long on a busy one. The windows of the process that started this tool
// are left out: it waits for this tool on its windows' thread, so each of them would only cost
// the whole wait, and it learns of the drive from this tool's answer.
void announceVolume(wchar_t letter, bool arrival);
