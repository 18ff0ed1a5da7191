// A replacement of the global operator new for test programs: counts live
// allocations and can make the n-th allocation from now on throw bad_alloc.
#pragma once

#include <cstdint>

namespace alloc_counter {

// Allocations made and not yet freed, program-wide.
std::int64_t live();

// Makes the allocation `n` calls from now (0 = the next one) throw
// std::bad_alloc, once. disarm() cancels it.
void failAfter(std::int64_t n);
void disarm();

// Allocations made since the last reset().
void reset();
std::int64_t count();

}  // namespace alloc_counter
