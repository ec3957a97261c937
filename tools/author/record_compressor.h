// Compression of one disc record into one zlib-format stream (two-byte
// header, deflate data, Adler-32 trailer), as zlib's uncompress reads it.
//
// Two backends: libdeflate (fast; the Linux build) and zlib's compress2
// (everywhere, also the reference for comparisons). Which of them a build
// has is decided by CMake through the files it compiles.
#pragma once

#include <cstddef>
#include <string>

enum CompressorKind {
    kCompressorLibdeflate = 0,
    kCompressorZlib = 1,
};

// 1 when this build carries the backend.
int compressor_available(CompressorKind kind);
// The fastest backend this build carries.
CompressorKind compressor_default();
// "libdeflate" / "zlib".
const char* compressor_name(CompressorKind kind);
// Parses a backend name. 1 / 0 (unknown name or not in this build).
int compressor_from_name(const std::string& name, CompressorKind* kind);

// The level a backend uses unless told otherwise: libdeflate's 5 and zlib's
// 6 give discs of about the same size (libdeflate in well under half the
// time).
int compressor_default_level(CompressorKind kind);

// Room the output of compressing n bytes may need, for either backend.
size_t compress_bound(size_t n);

// One compressor per thread: libdeflate keeps its state between calls.
struct RecordCompressor {
    void* impl;
    CompressorKind kind;
    int level;

    RecordCompressor() : impl(nullptr), kind(kCompressorZlib), level(6) {}

    // Level 1 (fast) to 9 (small); libdeflate accepts up to 12. 1 / 0.
    int create(CompressorKind kind, int level);
    // Compresses n bytes into out (capacity cap, at least compress_bound(n)).
    // Returns the stream's length, 0 on failure.
    size_t compress(const void* in, size_t n, void* out, size_t cap);
    void release();
};

// Backend entry points (one file per backend).
void* libdeflate_backend_create(int level);
size_t libdeflate_backend_compress(void* impl, const void* in, size_t n, void* out, size_t cap);
void libdeflate_backend_release(void* impl);
int libdeflate_backend_present();
