// Giving memory the C library holds, freed, back to the system.
#pragma once

// After a large release (an engine and its decoder threads): freed memory that the allocator
// keeps for reuse, in every thread's pool, goes back to the system.
void returnFreedMemory();

// Called first thing at start-up, before any thread: glibc gives every thread that allocates
// while another holds the pool lock a pool of its own (up to eight per core), and libVLC's
// decoder threads, new with every source, leave their pools fragmented and mostly unused. Two
// pools keep a player that opens source after source from growing.
void limitMemoryPools();
