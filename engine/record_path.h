// Paths in the system's code page (Big5, 950): finding separators without
// splitting a double-byte character, and checking the paths that directory
// and file records carry before they are joined to the install folder.
#pragma once

#include "platform.h"

#include <cstdint>

// A Big5 lead byte (0x81 to 0xFE): it and the byte after it are one
// character, so a second byte of 0x5C ("\" in 許, 功, 蓋, ...) is part of a
// name, not a separator.
inline int is_dbcs_lead(unsigned char c)
{
    return c >= 0x81 && c <= 0xFE;
}

// The first separator "\" at or after `p` that is a character of its own,
// or null when there is none before the NUL. A lead byte followed by the NUL
// ends the text.
const char* find_separator(const char* p);
// The last such separator at or after `p`, or null when there is none.
const char* find_last_separator(const char* p);

// The last character of `text`, when it is a separator of its own: its
// address, else null.
char* last_separator_char(char* text);

// Checks one name that must stand alone as a path component: the `length`
// bytes at `name` (no NUL needed). Accepted (1) when it is not empty, holds
// no separator, no ":" or "/", no control character and none of * ? " < > |,
// does not end in "." or " " (this rules out ".", ".." and the forms Windows
// folds to them), names no device (CON, PRN, AUX, NUL, COM0-9, LPT0-9,
// CONIN$, CONOUT$, with or without an extension) and is valid Big5: every
// lead byte has a trail byte in 0x40-0x7E or 0xA1-0xFE, and the character
// is one that Windows and iconv both map to an ordinary Unicode character
// and back to itself (is_mapped_big5). A trail byte 0x5C is part of its
// character, not a separator. Otherwise 0, and *problem (when not null)
// gets an English description.
int check_path_component(const unsigned char* name, int32_t length, const char** problem);

// Whether the double-byte code (lead, trail) is a character of code page 950
// with an ordinary Unicode form that converts back to the same code on
// Windows and with iconv: 0xA140-0xA3BF, 0xA3E1 (the euro sign),
// 0xA440-0xC67E and 0xC940-0xF9FE, less the 14 codes of
// big5_round_trip_problem. The user-defined areas (0x8140-0xA0FE,
// 0xC6A1-0xC8FE, 0xFA40-0xFEFE) become private-use characters under Windows
// and are partly refused by iconv, and 0xA3C0-0xA3E0 and 0xA3E2-0xA3FE are
// unassigned: a name holding one would not be the same name on both systems,
// so both refuse it.
bool is_mapped_big5(unsigned char lead, unsigned char trail);

// For a code whose character converts back to another code on Windows or
// with iconv, a description naming both (a name holding it would not be the
// name it came from once it has been a host file name): A2CC and A2CE
// (twins of A451 and A4CA), and the box-drawing twins A2A4-A2A7 and
// F9E9-F9EB, F9F9-F9FD (each system picks another one of a pair for the
// way back). Null for every other code.
const char* big5_round_trip_problem(unsigned char lead, unsigned char trail);

// Checks the path of a directory record (`type` disc::kDirectory) or a file
// record (disc::kFile), the decompressed bytes `data` of `length` bytes, and
// writes to `out` (kRecordPathBuffer bytes) the path that Windows makes of
// it, which is the one the engine creates on every system:
//  - the path ends with a NUL inside `length` (bytes after it are ignored),
//    starts with "\" and fits: install_path_length + its length + its NUL
//    <= 260 bytes;
//  - a directory's trailing "\" is dropped ("\save\" gives "\save"), and "\"
//    alone names the install folder itself: `out` is "" then; a file path
//    ends in neither;
//  - as Windows does, the last component loses every trailing dot and space
//    ("\readme." gives "\readme") and every other component one trailing dot
//    ("\save.\x" gives "\save\x");
//  - what is left of every component must pass check_path_component, so the
//    result cannot leave the install folder or name a device, and is the
//    same name on Windows and in the POSIX stand-in. Forms whose Windows
//    reading still ends in a dot or space ("\a..\x", "\a \x") or is empty
//    ("\...") stay refused.
// 1 when accepted. Otherwise 0, `out` is "", and *problem (when not null)
// gets an English description.
const int32_t kRecordPathBuffer = PLAT_PATH_SIZE;
int fold_record_path(int32_t type, const unsigned char* data, int32_t length, int32_t install_path_length, char* out,
                     const char** problem);
