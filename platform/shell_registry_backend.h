// What each backend supplies to platform/shell_registry.cpp. That file keeps
// the part of shell_registry.h's contract that is the same everywhere for
// the calls with a result pointer (null pointers refused, the result cleared
// first) and calls these with `path`, `key` and `out` non-null, *key already
// null and `out` already an empty text. `name` may be null (a key's default
// value).
#pragma once

#include <cstdint>

int shell_backend_create_machine_key(const char* path, void** key);
int shell_backend_open_machine_key(const char* path, void** key);
int shell_backend_get_string(void* key, const char* name, char* out, uint32_t size);
int shell_backend_special_folder_path(void* owner, int folder_id, char* out);
