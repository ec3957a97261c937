// Win32 path translation: Windows paths are host paths here, so only the
// text changes between code page 950 and UTF-8; there is no drive map.
#include "platform.h"

int plat_map_drive(char, const char*)
{
    return 0;
}

int plat_set_drive_type(char, int)
{
    return 0;
}

// Host paths are UTF-8 text on every backend; the system's are code page 950.
int plat_to_host_path(const char* path, char* out, int size)
{
    return plat_cp950_to_utf8(path, out, size);
}

int plat_from_host_path(const char* host_path, char* out, int size)
{
    if (!plat_utf8_to_cp950(host_path, out, size))
        return 0;
    // Only single-byte characters are looked at: a trail byte is never '/'.
    for (char* p = out; *p; ++p)
        if (*p == '/')
            *p = '\\';
    return 1;
}
