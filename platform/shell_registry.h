// The registry, the shell's special folders and shell links: what the
// registration of a finished installation needs from the operating system.
//
// Strings are NUL-terminated code page 950 bytes, as everywhere in the
// platform layer. The Win32 backend calls the "A" registry and shell
// functions; the POSIX backend is a stand-in that records what was asked
// for (platform/posix/shell_registry_record.h) so tests can check it.
#pragma once

#include "platform.h"

#include <cstdint>

// ---- Registry ----------------------------------------------------------------

// Creates, or opens when it exists, the key `path` under HKEY_LOCAL_MACHINE
// with full access. 1 and the open key in *key, or 0 (for example without
// the rights to write there) with *key null.
int plat_registry_create_machine_key(const char* path, void** key);
// Writes the string value `name` of an open key: `size` bytes of `data`,
// which count the terminating NUL. A value that exists is overwritten. 1 / 0.
int plat_registry_set_string(void* key, const char* name, const char* data, uint32_t size);
// Writes the 32-bit value `name` (REG_DWORD) of an open key. 1 / 0.
int plat_registry_set_dword(void* key, const char* name, uint32_t value);
// Closes a key from plat_registry_create_machine_key or
// plat_registry_open_machine_key; null is ignored.
void plat_registry_close_key(void* key);

// Opens the existing key `path` under HKEY_LOCAL_MACHINE for reading. 1 and
// the key in *key, or 0 (absent, or no rights) with *key null.
int plat_registry_open_machine_key(const char* path, void** key);
// Reads the string value `name` (REG_SZ) of an open key into `out` (`size`
// bytes, always NUL-terminated afterwards). 1 when the value exists, is a
// string and fits with its NUL; else 0 with `out` empty.
int plat_registry_get_string(void* key, const char* name, char* out, uint32_t size);
// Deletes the key `path` under HKEY_LOCAL_MACHINE with its values (a key
// that holds sub-keys is not deleted). 1 deleted, 0 not (absent too).
int plat_registry_delete_machine_key(const char* path);

// ---- Special folders -----------------------------------------------------------

// Shell folder ids, with the values of the Windows API.
enum : int {
    PLAT_FOLDER_DESKTOP = 0,             // the current user's desktop
    PLAT_FOLDER_PROGRAMS = 2,            // the current user's Start-menu Programs folder
    PLAT_FOLDER_COMMON_PROGRAMS = 0x17,  // the Start-menu Programs folder of all users
    PLAT_FOLDER_COMMON_DESKTOP = 0x19,   // the desktop of all users (CSIDL_COMMON_DESKTOPDIRECTORY)
};

// The path of a special folder into `out` (PLAT_PATH_SIZE bytes).
// 1 when the shell supplied the folder, 0 when it did not. `out` always
// holds a NUL-terminated text afterwards (empty when the shell supplied the
// folder but not its path). `owner` is a window handle or null.
int plat_special_folder_path(void* owner, int folder_id, char* out);

// 1 when this process runs as another user than the one whose desktop it
// is on: a standard user who typed an administrator's password at the
// elevation prompt starts it as that administrator, whose own Programs
// folder and desktop the player never sees. Told by the process token's
// user against that of the process owning the shell's window. 0 when they
// are the same, and whenever it cannot be told (no shell window, no right
// to look at its process).
int plat_runs_as_other_user();

// ---- Shell links ----------------------------------------------------------------

// Status of a shell-link save when the target or the link path is absent:
// ERROR_INVALID_PARAMETER.
enum : int32_t { PLAT_LINK_INVALID_PARAMETER = 87 };

// Writes the shell link file `link_path` pointing at `target`, replacing a
// link file that exists. Absent (null) strings, a hotkey whose low 16 bits
// are 0 and a show command of -1 leave those properties at the platform's
// defaults. Returns the status of the first platform call that failed or of
// the save (0 on success); PLAT_LINK_INVALID_PARAMETER, without doing
// anything, when target or link_path is null.
int32_t plat_write_shell_link(const char* target, const char* arguments, int32_t hotkey, const char* icon_path,
                              int32_t icon_index, int32_t show_command, const char* working_directory,
                              const char* description, const char* link_path);
