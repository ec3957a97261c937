// Decompression of one record's zlib stream (two-byte header, deflate data,
// Adler-32 trailer) into a buffer of fixed capacity, with the verdict of
// zlib's uncompress.
//
// Two backends, chosen by CMake through the file compiled in:
//  - inflate_zlib.cpp: zlib's uncompress. The Windows builds (setup and the
//    toolkit there) use it, as the installer always has.
//  - inflate_libdeflate.cpp: libdeflate, about twice as fast (the Linux
//    build). A stream it refuses is handed to zlib's uncompress, so every
//    failure carries zlib's own status; see the file for the hand-built,
//    invalid streams that libdeflate accepts and zlib refuses.
// Both accept bytes after the end of the stream and ignore them, as
// uncompress does.
#pragma once

#include <cstdint>

// Decompresses `in_length` bytes at `in` into `out` of `capacity` bytes.
// Returns zlib's status: Z_OK (0) with *out_length the decompressed length;
// otherwise Z_DATA_ERROR (damaged stream, cut short, wrong checksum, preset
// dictionary), Z_BUF_ERROR (the data do not fit `capacity`) or Z_MEM_ERROR,
// with *out_length 0.
int inflate_stream(const unsigned char* in, int32_t in_length, unsigned char* out, int32_t capacity,
                   int32_t* out_length);

// The same with zlib's uncompress in every build: the installer's own
// verdict, for checks that must judge a disc exactly as setup will.
int inflate_stream_zlib(const unsigned char* in, int32_t in_length, unsigned char* out, int32_t capacity,
                        int32_t* out_length);

// "zlib" or "libdeflate": the backend this build carries.
const char* inflate_backend_name();
