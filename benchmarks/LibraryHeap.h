// The heap the library holds: requested bytes and blocks, counted between a
// start and a reading.
//
// The library asks the host's allocation gate before each of its allocations
// and then takes the block from calloc; it gives blocks back with free, which
// no gate sees.  So this program wraps calloc and free: a calloc that follows
// a gate call is the library's, and its block counts until it is freed.  The
// count is for the calling thread's library allocations only (the host's
// values and the standard containers are not in it).
#pragma once

#include <cstddef>

namespace bench {

struct HeapCount {
  size_t bytes = 0;   // as requested, without the allocator's headers
  size_t blocks = 0;  // allocator chunks
};

// Counting starts from zero; blocks allocated before are not seen.
void StartLibraryHeapCount();
HeapCount LibraryHeapCount();
// Ends counting and forgets the blocks.
void StopLibraryHeapCount();

}  // namespace bench
