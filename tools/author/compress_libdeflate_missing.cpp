// Builds without libdeflate (the mingw cross builds): only zlib compresses.
#include "record_compressor.h"

int libdeflate_backend_present()
{
    return 0;
}

void* libdeflate_backend_create(int)
{
    return nullptr;
}

size_t libdeflate_backend_compress(void*, const void*, size_t, void*, size_t)
{
    return 0;
}

void libdeflate_backend_release(void*) {}
