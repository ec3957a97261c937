// zlib's uncompress, exactly as the installer has always decompressed its
// records: compiled into every build (it is the Windows builds' backend, the
// libdeflate backend's fallback, and the verdict `discset test` gives).
#include "inflate_backend.h"

#include <zlib.h>

int inflate_stream_zlib(const unsigned char* in, int32_t in_length, unsigned char* out, int32_t capacity,
                        int32_t* out_length)
{
    *out_length = 0;
    if (!in || in_length < 0 || !out || capacity < 0)
        return Z_DATA_ERROR;
    uLongf n = (uLongf)capacity;
    int z = uncompress(out, &n, in, (uLong)in_length);
    if (z != Z_OK)
        return z;
    if (n > (uLongf)capacity)
        return Z_BUF_ERROR;  // cannot happen with zlib; never report more than fits
    *out_length = (int32_t)n;
    return Z_OK;
}
