// The POSIX stand-in has no DLL search to restrict.
#include "platform.h"

int plat_restrict_dll_search()
{
    return 0;
}
