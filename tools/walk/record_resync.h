// Finding the record stream again after damage. A disc dumper writes the
// sectors it cannot read as zeros, and zero is a type byte a reader would
// skip; a damaged length leaves nothing that says where the next record
// starts. The salvage and test walks therefore look for the next sound
// record byte by byte: a type byte 1, 2 or 3, a length within the buffers
// and the file, a zlib stream that decompresses (its Adler-32 checked) and,
// for a folder or file record, a path the installer accepts. Random bytes,
// zeros and the inside of compressed data practically never pass all of
// these.
#pragma once

#include "file_object.h"

#include <cstdint>

// The smallest record with a payload: type byte, length and the shortest
// zlib stream (header, an empty final block, Adler-32). A gap between two
// sound records that is shorter holds only one-byte records (close, end,
// unknown types): no data and no name.
const int32_t kSmallestPayloadRecord = 1 + 4 + 8;

struct RecordProbe {
    FileObject* file = nullptr;       // the disc file (not owned)
    int64_t size = 0;                 // its bytes
    int32_t install_path_length = 3;  // for the path rules
    unsigned char* in = nullptr;      // disc::kMaxCompressed bytes (not owned; overwritten)
    unsigned char* out = nullptr;     // disc::kMaxDecompressed bytes (not owned; overwritten)

    // 1 when a sound record of type 1, 2 or 3 starts at `at`: *type, *end
    // (one past it) and *length (decompressed bytes, left in `out`) are set.
    int sound_at(int64_t at, int32_t* type, int64_t* end, int32_t* length);
    // Whether the stream plainly goes on at `at`: the end of the file or a
    // sound record, perhaps after a close record, an end record (the last
    // of a disc, or one before the next disc's records) or both.
    int continues_at(int64_t at);
    // The first offset at or after `from` where a sound record starts; -1
    // when there is none before the end of the file (or it cannot be read).
    int64_t next_sound(int64_t from);
};
