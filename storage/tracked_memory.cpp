#include "tracked_memory.h"

#include "platform.h"

#include <cstdio>
#include <cstdlib>
#if defined(_WIN32)
#include <malloc.h>
#define HEAP_BLOCK_SIZE(p) _msize(p)
#else
#include <malloc.h>
#define HEAP_BLOCK_SIZE(p) malloc_usable_size(p)
#endif

namespace {

int32_t g_live = 0;
int32_t g_allocations = 0;
int32_t g_releases = 0;
int64_t g_bytes_allocated = 0;
int64_t g_bytes_released = 0;
int32_t g_exit_check_registered = 0;

void exit_check()
{
    if (g_allocations != g_releases)
        plat_message_box(nullptr, "alloc_sum != free_sum", "Memory Error !!", PLAT_MB_OK);
    if (g_bytes_allocated != g_bytes_released)
        plat_message_box(nullptr, "alloc_size != free_size", "Memory Error !!", PLAT_MB_OK);
}

void report_unknown(void* block)
{
    char text[64];
    snprintf(text, sizeof text, "ptr:%llx", (unsigned long long)(uintptr_t)block);
    plat_message_box(nullptr, text, "free unknown memory", PLAT_MB_OK);
}

}  // namespace

void tracked_alloc_failed(size_t size)
{
    char text[96];
    snprintf(text, sizeof text, "size=%d an=%d as=%d", (int)size, (int)g_live, (int)g_allocations);
    plat_message_box(nullptr, text, "alloc failure", PLAT_MB_OK);
    exit(1);
}

void* tracked_alloc(size_t size)
{
    // A zero-byte request still gets a real block: some heaps report a
    // zero-byte block as size 0, which tracked_free would take as unknown.
    void* block = malloc(size ? size : 1);
    if (!block)
        tracked_alloc_failed(size);
    ++g_live;
    ++g_allocations;
    g_bytes_allocated += (int64_t)HEAP_BLOCK_SIZE(block);
    if (!g_exit_check_registered) {
        atexit(exit_check);
        g_exit_check_registered = 1;
    }
    return block;
}

void tracked_free(void* block)
{
    if (!block)
        return;
    if (g_live <= 0)
        report_unknown(block);
    size_t size = HEAP_BLOCK_SIZE(block);
    if (size == 0) {
        report_unknown(block);
        return;
    }
    g_bytes_released += (int64_t)size;
    ++g_releases;
    --g_live;
    free(block);
}

TrackedStats tracked_stats()
{
    return TrackedStats{g_live, g_allocations, g_releases, g_bytes_allocated, g_bytes_released};
}
