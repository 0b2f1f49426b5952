#include <windows.h>

#include "app/MainFrame.h"
#include "platform/Memory.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR commandLine, int showCommand) {
    limitMemoryPools();
    return runApplication(instance, WString(commandLine ? commandLine : L""), showCommand);
}
