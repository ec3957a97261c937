// Paths in the system's code page (Big5, 950): finding separators without
// splitting a double-byte character, and checking the paths that directory
// and file records carry before they are joined to the install folder.
#pragma once

#include <cstdint>

// A Big5 lead byte (0x81 to 0xFE): it and the byte after it are one
// character, so a second byte of 0x5C ("\" in 許, 功, 蓋, ...) is part of a
// name, not a separator.
inline bool is_dbcs_lead(unsigned char c)
{
    return c >= 0x81 && c <= 0xFE;
}

// The first separator "\" at or after `p` that is a character of its own,
// or null when there is none before the NUL. A lead byte followed by the NUL
// ends the text.
const char* find_separator(const char* p);

// The last character of `text`, when it is a separator of its own: its
// address, else null.
char* last_separator_char(char* text);

// Checks the path of a type-1 or type-2 record: the decompressed bytes
// `data` of `length` bytes. The path is accepted (1) when it
//  - ends with a NUL inside `length` (bytes after the NUL are ignored);
//  - starts with "\" (it is appended to the install path as it is);
//  - has no empty component, no component that ends in "." or " " (this
//    rules out ".", "..", "...", ".. " and the other forms Windows folds
//    to them), and no device name (CON, PRN, AUX, NUL, COM0-9, LPT0-9,
//    CONIN$, CONOUT$, with or without an extension);
//  - has no ":" (drive letters, streams), no "/", no control character and
//    none of * ? " < > |, so the path names the same thing on Windows and
//    in the POSIX stand-in;
//  - is valid Big5: every lead byte has a trail byte in 0x40-0x7E or
//    0xA1-0xFE;
//  - fits: install_path_length + path length + its NUL <= 260 bytes.
// Otherwise 0, and *problem (when not null) gets an English description.
int check_record_path(const unsigned char* data, int32_t length, int32_t install_path_length,
                      const char** problem);
