// The replaceable file-open handler that plat_fopen asks first (both
// backends): the toolkit serves disc files read straight from disc images
// through it.
#include "platform.h"

namespace {
FileOpenHandler g_open_handler = nullptr;
}

FileOpenHandler plat_set_file_open_handler(FileOpenHandler handler)
{
    FileOpenHandler old = g_open_handler;
    g_open_handler = handler;
    return old;
}

FILE* plat_open_by_handler(const char* path, const char* mode)
{
    if (!g_open_handler || !path || !mode)
        return nullptr;
    return g_open_handler(path, mode);
}
