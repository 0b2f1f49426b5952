#include "platform/VirtualDrive.h"

bool imagesCanBeMounted(WString*) {
    return true;
}
