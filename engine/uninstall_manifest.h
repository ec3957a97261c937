// The uninstall manifest: the list of what a disc set installs, written by
// the toolkit into the set as an ordinary file beside uninstall.exe and read
// by the uninstaller. Writer and reader live here together.
//
// A text file in code page 950, one line per entry, each line ending in
// CR LF (a bare LF is read too):
//
//     UNINSTALL-MANIFEST 1            first line: format and version
//     D 資料                          a folder the set creates
//     F 6144 1c291ca3 資料\地圖.map   a file: size in bytes, crc32 (8 hex
//                                     digits, zlib's), path
//     END 2                           last line: the number of entry lines
//
// Paths are relative to the install folder, without a leading "\". Folders
// come before what they hold, so removing them in reverse order removes the
// innermost first. The uninstaller, this file itself and uninstall.dat are
// not listed: the uninstaller knows them by name.
//
// The file comes from a disc and is not trusted: every path must pass the
// record-path rules (check_record_path, for "\" + path under the actual
// install folder); a line that does not follow the format refuses the whole
// manifest, and so does a file cut short before its END line.
#pragma once

#include "platform.h"

#include <cstdint>

// The manifest's file name in the install folder.
inline constexpr char kUninstallManifestName[] = "uninstall.lst";

namespace manifest {
inline constexpr char kFirstLine[] = "UNINSTALL-MANIFEST 1";
inline constexpr char kEndWord[] = "END";
const char kFolder = 'D';
const char kFile = 'F';
// A larger manifest is refused before it is read.
const int32_t kMaxBytes = 16 * 1024 * 1024;
// The longest line the writer makes: kind, size, crc, path, separators, CR LF.
const int32_t kMaxLineBytes = 2 + 11 + 9 + PLAT_PATH_SIZE + 2;
}  // namespace manifest

// ---- Writing ------------------------------------------------------------------

// One line into `out` (`size` bytes, NUL added): "D <path>\r\n" for a folder,
// "F <file_size> <crc> <path>\r\n" for a file (`file_size` and `crc` are
// ignored for a folder). The length of the line, or 0 when `kind` is neither
// or the line does not fit `size`.
int32_t manifest_entry_line(char kind, uint32_t file_size, uint32_t crc, const char* path, char* out, int32_t size);
// "UNINSTALL-MANIFEST 1\r\n" and "END <count>\r\n", the same way.
int32_t manifest_first_line(char* out, int32_t size);
int32_t manifest_end_line(int32_t count, char* out, int32_t size);

// ---- Reading ------------------------------------------------------------------

struct ManifestEntry {
    char kind;         // manifest::kFolder or manifest::kFile
    uint32_t size;     // files: length in bytes
    uint32_t crc;      // files: zlib crc32 of the content
    const char* path;  // relative to the install folder, NUL-terminated, inside the manifest's text
};

struct UninstallManifest {
    char* text;  // the file's bytes, with each path's line end replaced by a NUL
    ManifestEntry* entries;
    int32_t count;
    int32_t bad_line;     // after a refusal: the line number (from 1) at fault, 0 for the file as a whole
    const char* problem;  // after a refusal: what is wrong, in English

    UninstallManifest() : text(nullptr), entries(nullptr), count(0), bad_line(0), problem(nullptr) {}

    // Reads the `length` bytes at `bytes` for an install folder whose path
    // has `install_path_length` bytes. 1 with every entry; 0 and nothing kept
    // (count 0) when anything is wrong, with bad_line and problem set.
    int parse(const char* bytes, int32_t length, int32_t install_path_length);
    // Reads the file `path` (a system path) the same way. 0 also when it is
    // missing, unreadable or larger than manifest::kMaxBytes.
    int read(const char* path, int32_t install_path_length);
    // Forgets the entries and releases the memory.
    void release();
};
