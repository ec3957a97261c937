// The POSIX stand-in's path translation, for the other files of the
// stand-in: a Windows path in code page 950 becomes a host path (UTF-8).
//
// A drive letter names a host folder (Z: is "/" from the start, as under
// Wine). "\" and "/" both separate names. The path is converted to UTF-8 as a
// whole before the separators are looked at, so the second byte of a Big5
// character (0x5C in 許, 功, 蓋, ...) never splits a name.
#pragma once

#include <string>

// The host form of the Windows path `path` into *host. 1 / 0 (null, a UNC
// name, a drive with no folder, or a name with no UTF-8 form).
int host_path_of(const char* path, std::string* host);

// The drive type reported for drive `letter` (PLAT_DRIVE_NO_ROOT when no
// folder is mapped to it).
int plat_posix_drive_type(char letter);
