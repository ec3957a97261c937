// The DLL search of every program: the system folder only, so that an
// elevated program never loads a DLL planted beside it or in its current
// folder. A file of its own, so the launcher links nothing else of the
// platform layer.
#include "platform.h"

#include <windows.h>

int plat_restrict_dll_search()
{
    typedef BOOL(WINAPI * SetDefaultDllDirectoriesFunction)(DWORD);
    const DWORD kSearchSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    SetDefaultDllDirectoriesFunction set_directories =
        kernel ? (SetDefaultDllDirectoriesFunction)(void (*)())GetProcAddress(kernel, "SetDefaultDllDirectories")
               : nullptr;
    return set_directories && set_directories(kSearchSystem32) ? 1 : 0;
}
