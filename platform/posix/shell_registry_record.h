// The POSIX stand-in for the registry, special folders and shell links
// keeps a record of every request, so that tests can check what the
// installer asked the platform for. Linux has no such stores: the record
// is all there is, apart from the link files, which are written as small
// text files (holding the target path) so that a missing folder fails a
// save and a second save replaces the first, as on Windows.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct RecordedValue {
    std::string key_path;  // the key's path under HKEY_LOCAL_MACHINE
    std::string name;
    std::string data;  // the `size` bytes that were handed over
    uint32_t size;
    uint32_t type = 1;  // 1 REG_SZ, 4 REG_DWORD (data: 4 bytes, little-endian)
};

struct RecordedLink {
    // Absent strings stay empty optionals.
    std::optional<std::string> target, arguments, icon_path, working_directory, description, link_path;
    int32_t hotkey;
    int32_t icon_index;
    int32_t show_command;
    int32_t status;  // what plat_write_shell_link returned
};

struct ShellRecord {
    std::vector<std::string> keys_opened;  // key paths, in order
    int32_t keys_closed = 0;
    std::vector<RecordedValue> values;  // in the order written
    std::vector<int> folder_requests;   // folder ids asked for, in order
    std::vector<RecordedLink> links;    // every plat_write_shell_link call, in order
};

// The record so far, and clearing it (the stand-in's registry is cleared
// with it).
const ShellRecord& plat_shell_record();
void plat_shell_record_clear();

// Where a special folder lies (a system path), or null: the shell does not
// supply that folder (the start state for both folders).
void plat_shell_set_special_folder(int folder_id, const char* path);
// What plat_runs_as_other_user reports (0 at the start).
void plat_shell_set_other_user(int other);
// With 1, creating a registry key fails, as without the rights to write
// under HKEY_LOCAL_MACHINE; 0 restores.
void plat_shell_fail_registry(int fail);
