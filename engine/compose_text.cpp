#include "compose_text.h"

#include <cstdarg>
#include <cstdio>

int compose_text(char* out, int32_t size, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    int n = vsnprintf(out, (size_t)size, format, args);
    va_end(args);
    if (n < 0 || n >= size) {
        out[0] = '\0';
        return 0;
    }
    return 1;
}
