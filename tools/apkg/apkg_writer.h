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

// Checks a code page 950 member name: 1 to 31 bytes, a single path
// component Windows can hold (check_path_component: valid Big5, no
// separator, device, wildcard, control character or trailing dot or blank),
// and no Big5 character whose second byte is 0x5C (the reader splits paths
// at every 0x5C byte, so such a member could never be opened).
int apkg_check_member_name(const std::string& cp950, std::string* error);

// Builds a whole package in memory: header, member data in the order given,
// directory last. Refuses bad names, names equal without regard to ASCII case,
// and packages of 2 GiB or more.
int apkg_build(const std::vector<ApkgInput>& members, std::string* package, std::string* error);

// Packs the files of a folder (sorted by name) into a package file. A
// sub-folder is refused: packages hold no folders.
int apkg_create_from_folder(const fs::path& folder, const fs::path& package, std::string* error);

struct ApkgEntryInfo {
    std::string name;  // code page 950 (empty when the field has no NUL)
    int32_t offset;
    int32_t size;
    bool valid;  // name terminated and data inside the file
};
// Reads a package's directory. Fails on a damaged header or directory.
int apkg_list(const fs::path& package, std::vector<ApkgEntryInfo>* entries, std::string* error);

// Unpacks the members into a folder that does not exist yet or is empty.
// Every entry is checked first: a damaged entry or a name Windows cannot
// hold (check_path_component) stops it before anything is written. Files
// are created new, never through an existing name or link. Of members whose
// names match without regard to ASCII case only the first, the one the
// installer opens, is unpacked; each skipped one is described in *shadowed
// (may be null). On failure *error says why and the folder is left as it
// was (one this call created is removed again).
int apkg_extract(const fs::path& package, const fs::path& folder, std::string* error,
                 std::vector<std::string>* shadowed = nullptr);
