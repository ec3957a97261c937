#include "standard_output.h"

#include "exit_codes.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

int close_standard_output(const char* program, int code)
{
    errno = 0;
    bool failed = fflush(stdout) != 0 || ferror(stdout) != 0;
    int why = errno;
    if (fclose(stdout) != 0 && !failed) {
        failed = true;
        why = errno;
    }
    if (!failed)
        return code;
    fprintf(stderr, "%s: cannot write to standard output%s%s\n", program, why ? ": " : "", why ? strerror(why) : "");
    return code == kExitDone || code == kExitPartial ? kExitFailed : code;
}
