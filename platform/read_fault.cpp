// plat_fread, plat_read_failed, plat_fclose and the read- and close-fault
// injectors; the same on every backend.
#include "platform.h"

namespace {
long g_reads = 0;                 // reads that went through plat_fread
long g_fail_after = -1;           // successful reads left before one fails; -1 off
FILE* g_failed_stream = nullptr;  // the stream of the injected failure, until it is closed
long g_closes = 0;                // closes that went through plat_fclose
long g_close_fail_after = -1;     // successful closes left before one fails; -1 off
}  // namespace

size_t plat_fread(void* data, size_t size, size_t count, FILE* stream)
{
    if (g_fail_after == 0) {
        // Like a sector that cannot be read: nothing arrives, and the
        // stream reports a read error from now on, as its error indicator
        // would.
        g_fail_after = -1;
        g_failed_stream = stream;
        return 0;
    }
    if (g_fail_after > 0)
        --g_fail_after;
    ++g_reads;
    return fread(data, size, count, stream);
}

int plat_read_failed(FILE* stream)
{
    if (!stream)
        return 0;
    return stream == g_failed_stream || ferror(stream) ? 1 : 0;
}

int plat_fclose(FILE* stream)
{
    if (!stream)
        return 0;
    // The address may come back with the next stream opened.
    if (stream == g_failed_stream)
        g_failed_stream = nullptr;
    ++g_closes;
    // The buffered bytes are written out first, and that result counts: the
    // runtime under Wine was seen to return success from fclose when writing
    // them out failed (a full disk), and to report it from fflush.
    int flushed = fflush(stream) == 0;
    int ok = fclose(stream) == 0 && flushed ? 1 : 0;
    if (g_close_fail_after == 0) {
        // Like a full disk met while the runtime writes out its buffer: the
        // stream is gone and the close reports the failure.
        g_close_fail_after = -1;
        return 0;
    }
    if (g_close_fail_after > 0)
        --g_close_fail_after;
    return ok;
}

void plat_fail_read_after(long successful_reads)
{
    g_fail_after = successful_reads < 0 ? -1 : successful_reads;
}

long plat_read_count()
{
    return g_reads;
}

void plat_fail_close_after(long successful_closes)
{
    g_close_fail_after = successful_closes < 0 ? -1 : successful_closes;
}

long plat_close_count()
{
    return g_closes;
}
