// The APKG package layout, shared by the reader (file objects) and the
// toolkit's writer. All integers are little-endian 32-bit, used as signed.
//
//   offset 0   4 bytes   magic "APKG"
//   offset 4   4 bytes   directory offset (absolute)
//   offset 8   4 bytes   entry count
//   directory  40 bytes per entry:
//              0  32 bytes  member name, Big5, NUL-terminated inside the field
//              32  4 bytes  data offset (absolute)
//              36  4 bytes  data size
//   member data: every byte stored as its complement (255 - byte).
#pragma once

#include "byte_order.h"

#include <cstdint>
#include <cstring>

namespace apkg {

const char kMagic[4] = {'A', 'P', 'K', 'G'};
const int kHeaderSize = 12;
const int kDirectoryOffsetAt = 4;
const int kEntryCountAt = 8;

const int kEntrySize = 40;
const int kNameSize = 32;  // the field, NUL included
const int kNameMax = kNameSize - 1;
const int kDataOffsetAt = 32;
const int kDataSizeAt = 36;

// Package lookup works in 256-byte buffers: the whole path, and the
// directory part with ".apkg" appended, must fit with their NUL.
const int kWorkBufferSize = 256;
const char kExtension[] = ".apkg";

// Stored bytes are complements; the same operation turns them back.
inline void complement(unsigned char* data, int32_t count)
{
    for (int32_t i = 0; i < count; ++i)
        data[i] = (unsigned char)~data[i];
}

}  // namespace apkg
