// Reading the DiscHeader at the start of cd1, and checking it; the engine,
// the front end and the toolkit all read and check it through here, so the
// field order and the rules for its fields live in one place.
#pragma once

#include "disc_format.h"
#include "file_object.h"

#include <string>

// Reads the 168-byte header from the current position of `file` (the start
// of cd1 after open_read) into `header`: the four 40-byte texts, each kept
// zero-terminated in its 41-byte field, then disc count and total size
// (signed 32-bit little-endian). 1 when all 168 bytes were read; 0 when the
// file is shorter or not open, and then `header` is all zero.
int read_disc_header(FileObject* file, DiscHeader* header);

// Decodes a header from 168 bytes in memory (no length check: `bytes` must
// hold disc::kHeaderSize bytes).
void decode_disc_header(const unsigned char* bytes, DiscHeader* header);

// The header texts in code page 950 and the two numbers, as a writer has
// them.
struct DiscHeaderFields {
    std::string company, product, regkey, exe;
    int32_t disc_count;
    int32_t total_size;
};

// The 168 header bytes that decode_disc_header reads back: each text copied
// into its 40-byte field (cut at 40 bytes) and zero-filled, then disc count
// and total size (signed 32-bit little-endian).
std::string encode_disc_header(const DiscHeaderFields& fields);

// The header's texts come from the disc and become parts of paths and of a
// registry key: company and product the group folder
// "Programs\company\product" and the link names, regkey the uninstall
// key's last name, exe the link targets "<install path>\exe". A header is
// sound when
//  - company, product and regkey each pass check_path_component (one name:
//    not empty, no "\" or "/", not "." or "..", no device, control or
//    wildcard character, no trailing dot or space, valid Big5);
//  - exe is a relative path: components separated by "\" (found Big5-aware),
//    each passing the same check, so it is neither empty nor starts with "\";
//  - disc count and total size are not negative.
// A header that fails is damaged data: nothing may be built from it.

// The fields in header order, by their offsets (disc::kCompanyAt ...
// disc::kTotalSizeAt).
const int32_t kDiscHeaderFields[] = {disc::kCompanyAt, disc::kProductAt,   disc::kRegkeyAt,
                                     disc::kExeAt,     disc::kDiscCountAt, disc::kTotalSizeAt};

// "company", "product", "registry key", "game program", "disc count",
// "total size"; "" for an offset that starts no field.
const char* disc_header_field_name(int32_t field_at);

// Checks the one field at offset `field_at`. 1 sound; 0 with *problem (when
// not null) describing it in English.
int check_disc_header_field(const DiscHeader* header, int32_t field_at, const char** problem);

// Checks every field in header order. 1 sound; 0 at the first field that
// fails, with its offset in *field_at and its problem in *problem (either
// may be null).
int check_disc_header(const DiscHeader* header, int32_t* field_at, const char** problem);
