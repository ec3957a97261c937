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

// Checks one name that must stand alone as a path component: the `length`
// bytes at `name` (no NUL needed). Accepted (1) when it is not empty, holds
// no separator, no ":" or "/", no control character and none of * ? " < > |,
// does not end in "." or " " (this rules out ".", ".." and the forms Windows
// folds to them), names no device (CON, PRN, AUX, NUL, COM0-9, LPT0-9,
// CONIN$, CONOUT$, with or without an extension) and is valid Big5: every
// lead byte has a trail byte in 0x40-0x7E or 0xA1-0xFE. A trail byte 0x5C
// is part of its character, not a separator. Otherwise 0, and *problem
// (when not null) gets an English description.
int check_path_component(const unsigned char* name, int32_t length, const char** problem);

// Checks the path of a type-1 or type-2 record: the decompressed bytes
// `data` of `length` bytes. The path is accepted (1) when it
//  - ends with a NUL inside `length` (bytes after the NUL are ignored);
//  - starts with "\" (it is appended to the install path as it is);
//  - every component between separators passes check_path_component, so
//    the path names the same thing on Windows and in the POSIX stand-in and
//    cannot leave the install folder or name a device;
//  - fits: install_path_length + path length + its NUL <= 260 bytes.
// Otherwise 0, and *problem (when not null) gets an English description.
int check_record_path(const unsigned char* data, int32_t length, int32_t install_path_length,
                      const char** problem);
