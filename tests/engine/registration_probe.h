// Reading back what registration left with the platform: natively the POSIX
// stand-in's record and link files, on Windows the registry and the saved
// link files themselves (loaded through the shell's link object; the show
// command is read from the link header, since Wine's object does not report
// it after a load).
#pragma once

#include "test_support.h"

#include <cstdint>
#include <string>

namespace probe {

// Gives registration its special folders: natively two folders below
// `root`; on Windows the user's real ones (nothing to do).
void prepare_folders(const TempDir& root);

// The bytes stored for value `name` of the uninstall key `regkey`, exactly
// as many as were stored (the NUL included). False when absent or not a
// string.
bool read_value(const std::string& regkey, const char* name, std::string* bytes);
// The 32-bit value `name` (REG_DWORD) of the uninstall key `regkey`.
bool read_dword(const std::string& regkey, const char* name, uint32_t* value);
// Deletes the uninstall key `regkey` (Windows); clears the record natively.
void remove_key(const std::string& regkey);

struct Link {
    std::string target, arguments, working_directory, description, icon_path;
    int32_t show_command = 0, hotkey = 0, icon_index = 0;
};
// The link file at `link_path`. False when there is none.
bool read_link(const std::string& link_path, Link* link);

}  // namespace probe
