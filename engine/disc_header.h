// Reading the DiscHeader at the start of cd1; the engine and the front end
// both read it through here, so the field order lives in one place.
#pragma once

#include "disc_format.h"
#include "file_object.h"

// Reads the 168-byte header from the current position of `file` (the start
// of cd1 after open_read) into `header`: the four 40-byte texts, each kept
// zero-terminated in its 41-byte field, then disc count and total size
// (signed 32-bit little-endian). 1 when all 168 bytes were read; 0 when the
// file is shorter or not open, and then `header` is all zero.
int read_disc_header(FileObject* file, DiscHeader* header);

// Decodes a header from 168 bytes in memory (no length check: `bytes` must
// hold disc::kHeaderSize bytes).
void decode_disc_header(const unsigned char* bytes, DiscHeader* header);
