// The libdeflate backend: libdeflate_zlib_compress writes complete zlib
// streams that zlib's uncompress reads back.
#include "record_compressor.h"

#include <libdeflate.h>

int libdeflate_backend_present()
{
    return 1;
}

void* libdeflate_backend_create(int level)
{
    return libdeflate_alloc_compressor(level);
}

size_t libdeflate_backend_compress(void* impl, const void* in, size_t n, void* out, size_t cap)
{
    return libdeflate_zlib_compress((libdeflate_compressor*)impl, in, n, out, cap);
}

void libdeflate_backend_release(void* impl)
{
    libdeflate_free_compressor((libdeflate_compressor*)impl);
}
