#include "platform/Memory.h"

#include <windows.h>

void returnFreedMemory() {
    HeapCompact(GetProcessHeap(), 0);
}

void limitMemoryPools() {
    // The Windows heap has no per-thread pools to limit.
}
