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

std::string disc_file_name_of(int32_t number)
{
    char name[16];
    return disc_file_name(number, name, sizeof name) ? name : "";
}

int32_t disc_number_in_name(const std::string& name)
{
    if (name.size() < 3 || name.size() > 11 || name.compare(0, 2, "cd") != 0 || name[2] == '0')
        return 0;
    int64_t n = 0;
    for (size_t i = 2; i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9')
            return 0;
        n = n * 10 + (name[i] - '0');
    }
    return n <= 9999 ? (int32_t)n : 0;
}

int disc_file_path(const char* root, int32_t number, char* out, size_t size)
{
    return compose(out, size, "%s\\cd%d", root, (int)number);
}

int proposed_install_folder(const char* company, const char* product, char* out, size_t size)
{
    return compose(out, size, "C:\\Program Files\\%s\\%s", company, product);
}
