#include "platform/Memory.h"

#include <windows.h>

void returnFreedMemory() {
    HeapCompact(GetProcessHeap(), 0);
}
