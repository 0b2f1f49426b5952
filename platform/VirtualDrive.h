// Whether this system can give a disc image a drive of its own. Under Wine the image server
// needs FUSE; on Windows the system attaches images itself.
#pragma once

#include "platform/WString.h"

// False, with a reason a user can read, when images cannot be mounted here.
bool imagesCanBeMounted(WString* reason);
