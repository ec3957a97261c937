// POSIX stand-in for the registry, special folders and shell links: it
// records every request (shell_registry_record.h) and writes link files as
// small text files, so the installer's registration runs and can be checked
// on Linux.
#include "shell_registry.h"

#include "platform.h"
#include "posix/shell_registry_record.h"

#include <cstdio>
#include <cstring>

namespace {

ShellRecord& record()
{
    static ShellRecord r;
    return r;
}

struct StandInState {
    std::optional<std::string> folders[3];  // by folder id 0..2; only 0 and 2 are used
    int fail_registry = 0;
};

StandInState& state()
{
    static StandInState s;
    return s;
}

struct StandInKey {
    std::string path;
};

std::optional<std::string> text_of(const char* s)
{
    if (!s)
        return std::nullopt;
    return std::string(s);
}

// What Windows reports when the folder of a link file does not exist
// (HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND)).
const int32_t kPathNotFound = (int32_t)0x80070003u;

}  // namespace

const ShellRecord& plat_shell_record()
{
    return record();
}

void plat_shell_record_clear()
{
    record() = ShellRecord();
}

void plat_shell_set_special_folder(int folder_id, const char* path)
{
    if (folder_id < 0 || folder_id > 2)
        return;
    state().folders[folder_id] = text_of(path);
}

void plat_shell_fail_registry(int fail)
{
    state().fail_registry = fail;
}

int plat_registry_create_machine_key(const char* path, void** key)
{
    if (!key)
        return 0;
    *key = nullptr;
    if (!path || state().fail_registry)
        return 0;
    record().keys_opened.push_back(path);
    *key = new StandInKey{path};
    return 1;
}

int plat_registry_set_string(void* key, const char* name, const char* data, uint32_t size)
{
    if (!key || !data)
        return 0;
    record().values.push_back({static_cast<StandInKey*>(key)->path, name ? name : "", std::string(data, size), size});
    return 1;
}

void plat_registry_close_key(void* key)
{
    if (!key)
        return;
    ++record().keys_closed;
    delete static_cast<StandInKey*>(key);
}

int plat_special_folder_path(void*, int folder_id, char* out)
{
    if (!out)
        return 0;
    out[0] = '\0';
    record().folder_requests.push_back(folder_id);
    if (folder_id < 0 || folder_id > 2 || !state().folders[folder_id])
        return 0;
    const std::string& path = *state().folders[folder_id];
    // Like the shell, at most 260 bytes with the NUL.
    if (path.size() >= (size_t)PLAT_FOLDER_PATH_SIZE)
        return 0;
    memcpy(out, path.c_str(), path.size() + 1);
    return 1;
}

int32_t plat_write_shell_link(const char* target, const char* arguments, int32_t hotkey, const char* icon_path,
                              int32_t icon_index, int32_t show_command, const char* working_directory,
                              const char* description, const char* link_path)
{
    RecordedLink r{text_of(target), text_of(arguments), text_of(icon_path), text_of(working_directory),
                   text_of(description), text_of(link_path), hotkey, icon_index, show_command, 0};
    if (!target || !link_path) {
        r.status = PLAT_LINK_INVALID_PARAMETER;
    } else if (FILE* f = plat_fopen(link_path, "wb")) {
        fputs(target, f);
        r.status = fclose(f) == 0 ? 0 : (int32_t)0x80004005u;  // E_FAIL
    } else {
        r.status = kPathNotFound;
    }
    record().links.push_back(r);
    return r.status;
}
