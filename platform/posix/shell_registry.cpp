// POSIX stand-in for the registry, special folders and shell links: it
// records every request (shell_registry_record.h) and writes link files as
// small text files, so the installer's registration runs and can be checked
// on Linux.
#include "shell_registry.h"
#include "shell_registry_backend.h"

#include "platform.h"
#include "posix/shell_registry_record.h"

#include <cstdio>
#include <cstring>
#include <map>

namespace {

ShellRecord& record()
{
    static ShellRecord r;
    return r;
}

// Key paths and value names compare without regard to ASCII case, as in
// the registry.
std::string fold(const std::string& s)
{
    std::string f = s;
    for (size_t i = 0; i < f.size(); ++i) {
        unsigned char c = (unsigned char)f[i];
        if (c >= 0x81 && c <= 0xFE)
            ++i;  // a Big5 trail byte is not a letter
        else if (c >= 'A' && c <= 'Z')
            f[i] = (char)(c - 'A' + 'a');
    }
    return f;
}

struct StoredValue {
    uint32_t type;  // 1 REG_SZ, 4 REG_DWORD
    std::string data;
};

const int kFolderIds = 0x20;  // folder ids below this one can be set

struct StandInState {
    std::optional<std::string> folders[kFolderIds];  // by folder id
    int other_user = 0;
    int fail_registry = 0;
    // The stand-in's registry: folded key path -> folded value name -> value.
    std::map<std::string, std::map<std::string, StoredValue>> keys;
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
    state().keys.clear();
}

void plat_shell_set_special_folder(int folder_id, const char* path)
{
    if (folder_id < 0 || folder_id >= kFolderIds)
        return;
    state().folders[folder_id] = text_of(path);
}

void plat_shell_set_other_user(int other)
{
    state().other_user = other;
}

int plat_runs_as_other_user()
{
    return state().other_user;
}

void plat_shell_fail_registry(int fail)
{
    state().fail_registry = fail;
}

int shell_backend_create_machine_key(const char* path, void** key)
{
    if (state().fail_registry)
        return 0;
    record().keys_opened.push_back(path);
    state().keys[fold(path)];
    *key = new StandInKey{path};
    return 1;
}

int plat_registry_set_string(void* key, const char* name, const char* data, uint32_t size)
{
    if (!key || !data)
        return 0;
    const std::string& path = static_cast<StandInKey*>(key)->path;
    record().values.push_back({path, name ? name : "", std::string(data, size), size});
    state().keys[fold(path)][fold(name ? name : "")] = StoredValue{1, std::string(data, size)};
    return 1;
}

int plat_registry_set_dword(void* key, const char* name, uint32_t value)
{
    if (!key)
        return 0;
    const std::string& path = static_cast<StandInKey*>(key)->path;
    std::string bytes((const char*)&value, 4);
    record().values.push_back({path, name ? name : "", bytes, 4, 4});
    state().keys[fold(path)][fold(name ? name : "")] = StoredValue{4, bytes};
    return 1;
}

int shell_backend_open_machine_key(const char* path, void** key)
{
    if (!state().keys.count(fold(path)))
        return 0;
    *key = new StandInKey{path};
    return 1;
}

int shell_backend_get_string(void* key, const char* name, char* out, uint32_t size)
{
    auto k = state().keys.find(fold(static_cast<StandInKey*>(key)->path));
    if (k == state().keys.end())
        return 0;
    auto v = k->second.find(fold(name ? name : ""));
    if (v == k->second.end() || v->second.type != 1)
        return 0;
    // The stored bytes, with a NUL added when they lack one, as Windows reads.
    std::string text = v->second.data;
    if (text.empty() || text.back() != '\0')
        text += '\0';
    if (text.size() > size)
        return 0;
    memcpy(out, text.data(), text.size());
    return 1;
}

int plat_registry_delete_machine_key(const char* path)
{
    if (!path || state().fail_registry)
        return 0;
    return state().keys.erase(fold(path)) ? 1 : 0;
}

void plat_registry_close_key(void* key)
{
    if (!key)
        return;
    ++record().keys_closed;
    delete static_cast<StandInKey*>(key);
}

int shell_backend_special_folder_path(void*, int folder_id, char* out)
{
    record().folder_requests.push_back(folder_id);
    if (folder_id < 0 || folder_id >= kFolderIds || !state().folders[folder_id])
        return 0;
    const std::string& path = *state().folders[folder_id];
    // Like the shell, at most 260 bytes with the NUL.
    if (path.size() >= (size_t)PLAT_PATH_SIZE)
        return 0;
    memcpy(out, path.c_str(), path.size() + 1);
    return 1;
}

int32_t plat_write_shell_link(const char* target, const char* arguments, int32_t hotkey, const char* icon_path,
                              int32_t icon_index, int32_t show_command, const char* working_directory,
                              const char* description, const char* link_path)
{
    RecordedLink r{text_of(target),
                   text_of(arguments),
                   text_of(icon_path),
                   text_of(working_directory),
                   text_of(description),
                   text_of(link_path),
                   hotkey,
                   icon_index,
                   show_command,
                   0};
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
