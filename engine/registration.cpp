// Registration of a finished installation. The paths are composed here; the
// registry, the special folders and the link files are the platform's.
#include "registration.h"

#include "compose_text.h"
#include "platform.h"
#include "shell_registry.h"

#include <cstdio>
#include <cstring>
#include <initializer_list>

namespace {

const int32_t kShowMinimized = 2;

int all_given(std::initializer_list<const char*> texts)
{
    for (const char* t : texts)
        if (!t)
            return 0;
    return 1;
}

// A minimised shortcut that starts in the install folder.
void make_shortcut(const char* target, const char* install_path, const char* description, const char* link_path)
{
    create_shortcut(target, nullptr, 0, nullptr, 0, kShowMinimized, install_path, description, link_path);
}

// The two shortcuts of the Programs-menu group folder.
void make_group(const char* install_path, const char* company, const char* product, const char* exe,
                const char* uninstall_link_name)
{
    char programs[PLAT_PATH_SIZE];
    // Without the folder (or its path) nothing is made: an empty path
    // would put the group at the root of the current drive.
    if (!programs_folder_path(nullptr, programs) || !programs[0])
        return;

    char folder[PLAT_PATH_SIZE];
    if (compose_text(folder, PLAT_PATH_SIZE, "%s\\%s", programs, company))
        plat_create_directory(folder);  // fails harmlessly when it exists
    char group[PLAT_PATH_SIZE];
    if (!compose_text(group, PLAT_PATH_SIZE, "%s\\%s\\%s", programs, company, product))
        return;
    plat_create_directory(group);

    char target[PLAT_PATH_SIZE], link[PLAT_PATH_SIZE];
    if (compose_text(target, PLAT_PATH_SIZE, "%s\\%s", install_path, kUninstallProgram) &&
        compose_text(link, PLAT_PATH_SIZE, "%s\\%s.lnk", group, uninstall_link_name))
        make_shortcut(target, install_path, uninstall_link_name, link);

    if (compose_text(target, PLAT_PATH_SIZE, "%s\\%s", install_path, exe) &&
        compose_text(link, PLAT_PATH_SIZE, "%s\\%s.lnk", group, product))
        make_shortcut(target, install_path, product, link);
}

void make_desktop_shortcut(const char* install_path, const char* product, const char* exe)
{
    char desktop[PLAT_PATH_SIZE];
    if (!desktop_folder_path(nullptr, desktop) || !desktop[0])
        return;
    char target[PLAT_PATH_SIZE], link[PLAT_PATH_SIZE];
    if (compose_text(target, PLAT_PATH_SIZE, "%s\\%s", install_path, exe) &&
        compose_text(link, PLAT_PATH_SIZE, "%s\\%s.lnk", desktop, product))
        make_shortcut(target, install_path, product, link);
}

struct NamedText {
    const char* name;
    const char* text;
};

// String values, in the order given, each with a size that counts its NUL.
void set_strings(void* key, std::initializer_list<NamedText> values)
{
    for (const NamedText& v : values)
        plat_registry_set_string(key, v.name, v.text, (uint32_t)strlen(v.text) + 1);
}

// Opens (or creates) the uninstall key of `key_name` once `joined`,
// "<folder>\<name>" for one of its values (composed with `format`), has
// been composed too, so the key is touched only when everything fits and an
// entry is written whole or not at all. Null when something does not fit or
// the key cannot be opened.
void* open_uninstall_key(const char* key_name, const char* format, const char* folder, const char* name, char* joined)
{
    char key_path[kUninstallEntrySize];
    if (!uninstall_key_path(key_name, key_path, kUninstallEntrySize) ||
        !compose_text(joined, kUninstallEntrySize, format, folder, name))
        return nullptr;
    void* key = nullptr;
    return plat_registry_create_machine_key(key_path, &key) ? key : nullptr;
}

int32_t g_total_size = 0;

}  // namespace

int uninstall_key_path(const char* key_name, char* out, int32_t size)
{
    return key_name && compose_text(out, size, "%s\\%s", kUninstallKeyRoot, key_name);
}

void set_registration_total_size(int32_t total_size)
{
    g_total_size = total_size;
}

void register_installation(const char* install_path, const char* company, const char* product, const char* exe,
                           const char* regkey, const char* uninstall_link_name, int32_t desktop_flag)
{
    if (!all_given({install_path, company, product, exe, regkey, uninstall_link_name}))
        return;
    write_uninstall_entry(company, product, regkey, install_path, kUninstallProgram);
    write_uninstall_details(regkey, company, install_path, exe, g_total_size);
    make_group(install_path, company, product, exe, uninstall_link_name);
    if (desktop_flag)
        make_desktop_shortcut(install_path, product, exe);
}

void write_uninstall_entry(const char* company, const char* display_name, const char* key_name,
                           const char* install_path, const char* uninstall_program)
{
    if (!all_given({company, display_name, key_name, install_path, uninstall_program}))
        return;
    char command[kUninstallEntrySize];
    // In quotes: the programs list starts the value as a command line, and
    // unquoted, "C:\Program Files\..." would start C:\Program.exe when
    // one exists.
    void* key = open_uninstall_key(key_name, "\"%s\\%s\"", install_path, uninstall_program, command);
    if (!key)
        return;
    set_strings(key, {{"DisplayName", display_name},
                      {"company", company},
                      {"path", install_path},
                      {"UninstallString", command}});
    plat_registry_close_key(key);
}

void write_uninstall_details(const char* key_name, const char* company, const char* install_path, const char* exe,
                             int32_t total_size)
{
    if (!all_given({key_name, company, install_path, exe}))
        return;
    char icon[kUninstallEntrySize];
    void* key = open_uninstall_key(key_name, "%s\\%s", install_path, exe, icon);
    if (!key)
        return;
    set_strings(key, {{"Publisher", company}, {"InstallLocation", install_path}, {"DisplayIcon", icon}});
    if (total_size > 0)
        plat_registry_set_dword(key, "EstimatedSize", (uint32_t)(((int64_t)total_size + 1023) / 1024));
    plat_registry_set_dword(key, "NoModify", 1);
    plat_registry_set_dword(key, "NoRepair", 1);
    plat_registry_close_key(key);
}

int32_t create_shortcut(const char* target_path, const char* arguments, int32_t hotkey, const char* icon_path,
                        int32_t icon_index, int32_t show_command, const char* working_directory,
                        const char* description, const char* link_path)
{
    if (!target_path || !link_path)
        return PLAT_LINK_INVALID_PARAMETER;
    return plat_write_shell_link(target_path, arguments, hotkey, icon_path, icon_index, show_command, working_directory,
                                 description, link_path);
}

// A process elevated as another user than the desktop's (a standard user
// who typed an administrator's password) would put the shortcuts into that
// administrator's folders, where the player never sees them: they go into
// the folders of all users then.
int programs_folder_path(void* owner, char* out_path)
{
    int id = plat_runs_as_other_user() ? PLAT_FOLDER_COMMON_PROGRAMS : PLAT_FOLDER_PROGRAMS;
    return plat_special_folder_path(owner, id, out_path);
}

int desktop_folder_path(void* owner, char* out_path)
{
    int id = plat_runs_as_other_user() ? PLAT_FOLDER_COMMON_DESKTOP : PLAT_FOLDER_DESKTOP;
    return plat_special_folder_path(owner, id, out_path);
}
