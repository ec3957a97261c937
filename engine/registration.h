// Registration that finishes a successful installation: the uninstall entry
// in the registry and the shortcuts in the Programs menu and on the desktop.
#pragma once

#include <cstdint>

void register_installation(const char* install_path, const char* company, const char* product,
                           const char* exe, const char* regkey, const char* uninstall_link_name,
                           int32_t desktop_flag);
