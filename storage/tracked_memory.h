// Tracked heap memory: every block the installer takes from the heap comes
// from tracked_alloc and goes back through tracked_free, so that leaks are
// reported when the process ends and a failed allocation stops the program
// with the counters on screen.
#pragma once

#include <cstddef>
#include <cstdint>

// Returns a block of at least `size` bytes; never null. Out of memory shows
// "size=%d an=%d as=%d" / "alloc failure" and ends the process with status 1.
void* tracked_alloc(size_t size);

// What tracked_alloc does when the heap has no block of `size` bytes: shows
// "size=%d an=%d as=%d" / "alloc failure" and ends the process with status
// 1 (the exit checks still run). Also for a caller whose block would be
// larger than it can count or address: the same answer, never a wrapped size.
[[noreturn]] void tracked_alloc_failed(size_t size);

// Releases a block from tracked_alloc. A block the heap does not know, or a
// release while nothing is live, shows "ptr:%x" / "free unknown memory".
// A null pointer is ignored.
void tracked_free(void* block);

// The counters, for tests and diagnostics; nothing but the two functions
// above changes them.
struct TrackedStats {
    int32_t live;             // allocations not yet released
    int32_t allocations;      // allocations made so far
    int32_t releases;         // releases made so far
    int64_t bytes_allocated;  // usable sizes handed out
    int64_t bytes_released;   // usable sizes given back
};
TrackedStats tracked_stats();
