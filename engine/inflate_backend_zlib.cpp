// The zlib backend of inflate_stream (the Windows builds, and any build
// without libdeflate).
#include "inflate_backend.h"

int inflate_stream(const unsigned char* in, int32_t in_length, unsigned char* out, int32_t capacity,
                   int32_t* out_length)
{
    return inflate_stream_zlib(in, in_length, out, capacity, out_length);
}

const char* inflate_backend_name()
{
    return "zlib";
}
