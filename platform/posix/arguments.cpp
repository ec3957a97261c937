// On POSIX the arguments are bytes as the shell passed them (UTF-8 in the
// locales the toolkit supports): nothing to convert.
#include "platform.h"

#include <unistd.h>

int plat_utf8_command_line(int*, char***)
{
    return 1;
}

int plat_program_path_utf8(char* out, int size)
{
    if (!out || size <= 1)
        return 0;
    ssize_t n = readlink("/proc/self/exe", out, (size_t)size - 1);
    if (n <= 0 || n >= size - 1)
        return 0;
    out[n] = '\0';
    return 1;
}
