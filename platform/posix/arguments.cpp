// On POSIX the arguments are bytes as the shell passed them (UTF-8 in the
// locales the toolkit supports): nothing to convert.
#include "platform.h"

int plat_utf8_command_line(int*, char***)
{
    return 1;
}
