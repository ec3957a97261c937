#include "disc_names.h"

#include <cstdio>

namespace {

// The length is measured first and `out` written only when the whole text
// fits, so a caller's buffer never holds a cut-off name.
template <typename... Args>
int compose(char* out, size_t size, const char* format, Args... args)
{
    const int n = snprintf(nullptr, 0, format, args...);
    if (n < 0 || (size_t)n >= size)
        return 0;
    snprintf(out, size, format, args...);
    return 1;
}

}  // namespace

int disc_file_name(int32_t number, char* out, size_t size)
{
    return compose(out, size, "cd%d", (int)number);
}

int disc_file_path(const char* root, int32_t number, char* out, size_t size)
{
    return compose(out, size, "%s\\cd%d", root, (int)number);
}

int proposed_install_folder(const char* company, const char* product, char* out, size_t size)
{
    return compose(out, size, "C:\\Program Files\\%s\\%s", company, product);
}
