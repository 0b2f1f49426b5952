// Giving memory the C library holds, freed, back to the system.
#pragma once

// After a large release (an engine and its decoder threads): freed memory that the allocator
// keeps for reuse, in every thread's pool, goes back to the system.
void returnFreedMemory();
