// plat_fwrite and its fault injector; the same on every backend.
#include "platform.h"

namespace {
long g_writes = 0;       // writes that went through plat_fwrite
long g_fail_after = -1;  // successful writes left before one fails; -1 off
}  // namespace

size_t plat_fwrite(const void* data, size_t size, size_t count, FILE* stream)
{
    if (g_fail_after == 0) {
        g_fail_after = -1;
        return 0;
    }
    if (g_fail_after > 0)
        --g_fail_after;
    ++g_writes;
    return fwrite(data, size, count, stream);
}

void plat_fail_write_after(long successful_writes)
{
    g_fail_after = successful_writes < 0 ? -1 : successful_writes;
}

long plat_write_count()
{
    return g_writes;
}
