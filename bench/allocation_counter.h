// Counts the heap allocations of one thread between Start and Stop: every
// malloc, calloc, realloc, aligned allocation and operator new (which ends in
// malloc). Outside sanitizer builds the program's own malloc family stands in
// front of the C library's; under the sanitizers their allocator hooks count.
#pragma once

#include <cstdint>

namespace bench {

// Resets the count and counts the calling thread's allocations from now on.
void StartCountingAllocations();
// Ends counting and returns the count.
uint64_t StopCountingAllocations();
// How the allocations are seen, for the table's title.
const char *AllocationCountingMethod();

} // namespace bench
