// The disc-set layout, shared by the install engine (reader) and the
// toolkit's authoring (writer). Integers are little-endian 32-bit, signed.
//
// cd1 starts with the 168-byte header; the record stream follows it, and
// fills every later disc file from its first byte. A record is one type byte;
// types 1 to 3 carry a 4-byte compressed length L and L bytes of one zlib
// stream.
#pragma once

#include <cstdint>

namespace disc {

// Header fields (offsets in cd1).
const int kTextSize = 40;
const int kCompanyAt = 0;
const int kProductAt = 40;
const int kRegkeyAt = 80;
const int kExeAt = 120;
const int kDiscCountAt = 160;
const int kTotalSizeAt = 164;
const int kHeaderSize = 168;

// Record types.
const unsigned char kDirectory = 1;  // path: create the directory
const unsigned char kFile = 2;       // path: close the current file, create this one
const unsigned char kData = 3;       // bytes appended to the current file
const unsigned char kClose = 4;      // close the current file
const unsigned char kEnd = 5;        // this disc is finished

const int kLengthSize = 4;
const int32_t kMaxCompressed = 409600;    // the engine's input buffer
const int32_t kMaxDecompressed = 204800;  // the engine's output buffer

// Disc files are "<root>\cd<N>", N from 1: disc_file_path (disc_names.h).

}  // namespace disc

// The header as the engine and the front end read it. Each text has one byte
// more than its field and is zero-filled, so a field that fills all 40 bytes
// still reads as a terminated text of 40 characters.
struct DiscHeader {
    char company[disc::kTextSize + 1];
    char product[disc::kTextSize + 1];
    char regkey[disc::kTextSize + 1];
    char exe[disc::kTextSize + 1];
    int32_t disc_count;
    int32_t total_size;
};
