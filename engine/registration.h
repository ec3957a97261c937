// Registration that finishes a successful installation: the uninstall entry
// in the registry and the shortcuts in the Programs menu and on the desktop.
//
// Nothing here reports to the user and register_installation has no result:
// an installation counts as done even when no value or shortcut could be
// written. Paths are composed in 260-byte buffers (the registry key path and
// the uninstall command in 1024-byte ones); a path that does not fit is not
// used at all, so the step that needs it is skipped.
#pragma once

#include <cstdint>

// The uninstall key's parent under HKEY_LOCAL_MACHINE.
inline constexpr char kUninstallKeyRoot[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
// Room for the key path below and the uninstall command, with the NUL.
inline constexpr int32_t kUninstallEntrySize = 1024;

// "<kUninstallKeyRoot>\<key_name>", the installation's uninstall key, into
// `out` of `size` bytes (kUninstallEntrySize). 1 / 0 (does not fit; `out`
// emptied).
int uninstall_key_path(const char* key_name, char* out, int32_t size);

// Names of what an installation makes, which setup writes and the
// uninstaller looks for. The Chinese ones are code page 950 bytes; the UTF-8
// form is in the comment (a unit test converts them back and compares).
// The uninstaller's file name in the install folder.
inline constexpr char kUninstallProgram[] = "uninstall.exe";
// The file in the install folder that names the uninstall key.
inline constexpr char kUninstallDataName[] = "uninstall.dat";
// "解除安裝" (uninstall): the uninstall shortcut in the program group.
inline constexpr char kUninstallLinkName[] = "\xB8\xD1\xB0\xA3\xA6\x77\xB8\xCB";
// "官方網頁.url" (official web page): the web shortcut copied from the disc
// into the program group.
inline constexpr char kWebShortcut[] = "\xA9\x78\xA4\xE8\xBA\xF4\xAD\xB6.url";

// Writes the uninstall entry and its details, then makes the group folder company\product in
// the Programs folder with a shortcut to uninstall.exe (named and described
// by uninstall_link_name) and one to the game program (named after the
// product), and with a nonzero desktop_flag a shortcut to the game program
// on the desktop. Every shortcut is minimised (show command 2) and starts in
// the install folder. Each step runs whatever the earlier ones did.
void register_installation(const char* install_path, const char* company, const char* product, const char* exe,
                           const char* regkey, const char* uninstall_link_name, int32_t desktop_flag);

// Creates or opens kUninstallKeyRoot\key_name and writes, in this order,
// "DisplayName", "company", "path" and "UninstallString" (install path, "\",
// uninstall program, in double quotes, so that a space in the path cannot
// start another program) as strings whose sizes count their NUL.
// Writes nothing when the key path or the command does not fit 1024 bytes.
void write_uninstall_entry(const char* company, const char* display_name, const char* key_name,
                           const char* install_path, const char* uninstall_program);

// The values beside the four above that make the platform's list of
// programs show the publisher and the size and offer only removal: written
// after them, into the same key, in this order: "Publisher" = company,
// "InstallLocation" = install path, "DisplayIcon" = install path + "\" +
// exe, "EstimatedSize" (REG_DWORD, KiB rounded up; only for a total above
// 0), "NoModify" = 1 and "NoRepair" = 1 (REG_DWORD). Writes nothing when a
// path does not fit 1024 bytes or the key cannot be opened.
void write_uninstall_details(const char* key_name, const char* company, const char* install_path, const char* exe,
                             int32_t total_size);

// The header's total size (bytes) of the installation that registers next,
// for "EstimatedSize"; 0 (the start value) writes no size.
void set_registration_total_size(int32_t total_size);

// Writes a shell link file. Null strings, a hotkey whose low 16 bits are 0
// and show_command -1 leave those properties at the platform's defaults.
// Returns 87 (ERROR_INVALID_PARAMETER) at once when target_path or link_path
// is null; otherwise the status of the first platform step that failed, or
// of the save (0 when the link was written).
int32_t create_shortcut(const char* target_path, const char* arguments, int32_t hotkey, const char* icon_path,
                        int32_t icon_index, int32_t show_command, const char* working_directory,
                        const char* description, const char* link_path);

// The current user's Start-menu Programs folder, and desktop, into `out_path`
// (260 bytes); those of all users instead when the process runs as another
// user than the desktop's (plat_runs_as_other_user). 1 when the shell
// supplied the folder, 0 when not.
int programs_folder_path(void* owner, char* out_path);
int desktop_folder_path(void* owner, char* out_path);
