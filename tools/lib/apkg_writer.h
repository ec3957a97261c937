// Writing, listing and unpacking APKG packages for the toolkit. Reading goes
// through the installer's own reader (file objects and the package
// directory), so what the toolkit lists is what setup will find.
#pragma once

#include "host_files.h"

#include <cstdint>
#include <string>
#include <vector>

struct ApkgInput {
    std::string name;   // member name, code page 950
    std::string bytes;  // real (not complemented) content
};

// Checks a code page 950 member name: 1 to 31 bytes, valid Big5, no
// separator, and no Big5 character whose second byte is 0x5C (the reader
// splits paths at every 0x5C byte, so such a member could never be opened).
bool apkg_check_member_name(const std::string& cp950, std::string* error);

// Builds a whole package in memory: header, member data in the order given,
// directory last. Refuses bad names, names equal without regard to ASCII case,
// and packages of 2 GiB or more.
bool apkg_build(const std::vector<ApkgInput>& members, std::string* package, std::string* error);

// Packs the files of a folder (sorted by name) into a package file. A
// sub-folder is refused: packages hold no folders.
bool apkg_create_from_folder(const fs::path& folder, const fs::path& package, std::string* error);

struct ApkgEntryInfo {
    std::string name;  // code page 950 (empty when the field has no NUL)
    int32_t offset;
    int32_t size;
    bool valid;        // name terminated and data inside the file
};
// Reads a package's directory. Fails on a damaged header or directory.
bool apkg_list(const fs::path& package, std::vector<ApkgEntryInfo>* entries, std::string* error);

// Unpacks every member into a folder (created if needed). Damaged entries and
// names that are unsafe on the host stop it with an error; nothing is written
// outside the folder.
bool apkg_extract(const fs::path& package, const fs::path& folder, std::string* error);

// A host path as the system names it (code page 950, Windows form).
bool system_path_of(const fs::path& host, std::string* path, std::string* error);
