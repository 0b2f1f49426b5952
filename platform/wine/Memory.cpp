#include "platform/Memory.h"

#include <malloc.h>

void returnFreedMemory() {
    // glibc keeps freed blocks in per-thread pools; libVLC's decoder threads leave many.
    malloc_trim(0);
}

void limitMemoryPools() {
    mallopt(M_ARENA_MAX, 2);
}
