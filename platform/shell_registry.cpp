// The calls of shell_registry.h that hand a result back through a pointer:
// the pointers are checked and the result cleared here, once for both
// backends; the backend (shell_registry_backend.h) does the rest.
#include "shell_registry.h"

#include "shell_registry_backend.h"

int plat_registry_create_machine_key(const char* path, void** key)
{
    if (!key)
        return 0;
    *key = nullptr;
    return path ? shell_backend_create_machine_key(path, key) : 0;
}

int plat_registry_open_machine_key(const char* path, void** key)
{
    if (!key)
        return 0;
    *key = nullptr;
    return path ? shell_backend_open_machine_key(path, key) : 0;
}

int plat_registry_get_string(void* key, const char* name, char* out, uint32_t size)
{
    if (!out || size == 0)
        return 0;
    out[0] = '\0';
    return key ? shell_backend_get_string(key, name, out, size) : 0;
}

int plat_special_folder_path(void* owner, int folder_id, char* out)
{
    if (!out)
        return 0;
    out[0] = '\0';
    return shell_backend_special_folder_path(owner, folder_id, out);
}
