#include "setup_paths.h"

#include "disc_names.h"

#include <cstdio>
#include <cstring>

namespace {

// snprintf into a scratch buffer; copied to `out` only when it fits.
template <typename... Args>
int compose(char* out, const char* format, Args... args)
{
    char scratch[PLAT_PATH_SIZE];
    const int n = snprintf(scratch, sizeof scratch, format, args...);
    if (n < 0 || n >= PLAT_PATH_SIZE)
        return 0;
    memcpy(out, scratch, (size_t)n + 1);
    return 1;
}

}  // namespace

int take_source_root(const char* command_line, char* source_root)
{
    if (!command_line || !command_line[0])
        return 0;
    const size_t n = strlen(command_line);
    if (n >= (size_t)PLAT_PATH_SIZE)
        return 0;
    memcpy(source_root, command_line, n + 1);
    return 1;
}

int first_disc_path(const char* source_root, char* out)
{
    return disc_file_path(source_root, 1, out, (size_t)PLAT_PATH_SIZE);
}

int propose_install_path(const char* company, const char* product, char* out)
{
    return proposed_install_folder(company, product, out, (size_t)PLAT_PATH_SIZE);
}

int compose_browsed_path(const char* folder, const char* product, char* out)
{
    const size_t n = strlen(folder);
    if (n < 2)
        return 0;
    // The last byte is looked at as a byte: a Big5 character ending in 0x5C
    // counts as a closing backslash, as everywhere else in the system.
    const char* separator = folder[n - 1] == '\\' ? "" : "\\";
    return compose(out, "%s%s%s", folder, separator, product);
}
