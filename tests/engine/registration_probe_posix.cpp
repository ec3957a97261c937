// Natively, registration is read back from the stand-in's record; a link is
// only taken as written when its file exists too.
#include "registration_probe.h"

#include "platform.h"
#include "posix/shell_registry_record.h"
#include "registration.h"
#include "shell_registry.h"

#include <cstring>

namespace probe {

void prepare_folders(const TempDir& root)
{
    std::string programs = root.path("Programs"), desktop = root.path("Desktop");
    plat_create_directory(programs.c_str());
    plat_create_directory(desktop.c_str());
    plat_shell_set_special_folder(PLAT_FOLDER_PROGRAMS, programs.c_str());
    plat_shell_set_special_folder(PLAT_FOLDER_DESKTOP, desktop.c_str());
    plat_shell_record_clear();
}

bool read_value(const std::string& regkey, const char* name, std::string* bytes)
{
    std::string key_path = std::string(kUninstallKeyRoot) + "\\" + regkey;
    const auto& values = plat_shell_record().values;
    for (auto it = values.rbegin(); it != values.rend(); ++it) {
        if (it->key_path == key_path && it->name == name) {
            *bytes = it->data;
            return true;
        }
    }
    return false;
}

bool read_dword(const std::string& regkey, const char* name, uint32_t* value)
{
    std::string key_path = std::string(kUninstallKeyRoot) + "\\" + regkey;
    const auto& values = plat_shell_record().values;
    for (auto it = values.rbegin(); it != values.rend(); ++it) {
        if (it->key_path == key_path && it->name == name) {
            if (it->type != 4 || it->data.size() != 4)
                return false;
            memcpy(value, it->data.data(), 4);
            return true;
        }
    }
    return false;
}

void remove_key(const std::string&)
{
    plat_shell_record_clear();
}

bool read_link(const std::string& link_path, Link* link)
{
    if (!exists(link_path))
        return false;
    const auto& links = plat_shell_record().links;
    for (auto it = links.rbegin(); it != links.rend(); ++it) {
        if (it->link_path && *it->link_path == link_path && it->status == 0) {
            link->target = it->target.value_or("");
            link->arguments = it->arguments.value_or("");
            link->working_directory = it->working_directory.value_or("");
            link->description = it->description.value_or("");
            link->icon_path = it->icon_path.value_or("");
            link->show_command = it->show_command;
            link->hotkey = it->hotkey;
            link->icon_index = it->icon_index;
            return true;
        }
    }
    return false;
}

}  // namespace probe
