#include "record_compressor.h"

#include <zlib.h>

int compressor_available(CompressorKind kind)
{
    return kind == kCompressorZlib || (kind == kCompressorLibdeflate && libdeflate_backend_present());
}

CompressorKind compressor_default()
{
    return libdeflate_backend_present() ? kCompressorLibdeflate : kCompressorZlib;
}

const char* compressor_name(CompressorKind kind)
{
    return kind == kCompressorLibdeflate ? "libdeflate" : "zlib";
}

int compressor_from_name(const std::string& name, CompressorKind* kind)
{
    CompressorKind k;
    if (name == "libdeflate")
        k = kCompressorLibdeflate;
    else if (name == "zlib")
        k = kCompressorZlib;
    else
        return 0;
    if (!compressor_available(k))
        return 0;
    *kind = k;
    return 1;
}

int compressor_default_level(CompressorKind kind)
{
    return kind == kCompressorLibdeflate ? 5 : 6;
}

size_t compress_bound(size_t n)
{
    // Stored deflate blocks cost 5 bytes per 65535; both libraries stay well
    // inside this (zlib's compressBound is n + n/4096 + n/16384 + 13 or so).
    return n + n / 64 + 256;
}

int RecordCompressor::create(CompressorKind k, int lvl)
{
    release();
    if (!compressor_available(k) || lvl < 1 || lvl > (k == kCompressorLibdeflate ? 12 : 9))
        return 0;
    kind = k;
    level = lvl;
    if (k == kCompressorLibdeflate) {
        impl = libdeflate_backend_create(lvl);
        return impl != nullptr;
    }
    return 1;
}

size_t RecordCompressor::compress(const void* in, size_t n, void* out, size_t cap)
{
    if (kind == kCompressorLibdeflate)
        return impl ? libdeflate_backend_compress(impl, in, n, out, cap) : 0;
    uLongf out_len = (uLongf)cap;
    if (compress2((Bytef*)out, &out_len, (const Bytef*)in, (uLong)n, level) != Z_OK)
        return 0;
    return (size_t)out_len;
}

void RecordCompressor::release()
{
    if (impl && kind == kCompressorLibdeflate)
        libdeflate_backend_release(impl);
    impl = nullptr;
}
