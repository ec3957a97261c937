// The names a lock of plat_lock may have, on every backend: letters, digits
// and '-', so that the name is a plain file name and a plain object name.
#pragma once

inline int plat_lock_name_is_valid(const char* name)
{
    if (!name || !name[0])
        return 0;
    for (const char* p = name; *p; ++p)
        if (!((*p >= '0' && *p <= '9') || (*p >= 'A' && *p <= 'Z') || (*p >= 'a' && *p <= 'z') || *p == '-'))
            return 0;
    return 1;
}
