// Stands in for setup.exe in tests/e2e/launcher_e2e.sh: writes what setup
// would receive from the launcher into setup_record.txt beside itself, one
// item per line (code page 950 bytes as the "A" calls give them):
//   the whole command line, WinMain's command-line argument, the current
//   directory.
#include <windows.h>

#include <cstdio>
#include <cstring>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR argument, int)
{
    char path[MAX_PATH + 32];
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return 1;
    char* slash = std::strrchr(path, '\\');
    if (!slash)
        return 1;
    // Written under another name and then renamed, so a reader that polls
    // for the record never sees half of it.
    char record[MAX_PATH + 32];
    std::strcpy(slash + 1, "setup_record.tmp");
    std::strcpy(record, path);
    std::strcpy(record + (slash + 1 - path), "setup_record.txt");

    char current[MAX_PATH];
    if (GetCurrentDirectoryA(sizeof current, current) == 0)
        current[0] = '\0';

    FILE* out = std::fopen(path, "wb");
    if (!out)
        return 1;
    std::fprintf(out, "%s\n%s\n%s\n", GetCommandLineA(), argument, current);
    if (std::fclose(out) != 0)
        return 1;
    return MoveFileExA(path, record, MOVEFILE_REPLACE_EXISTING) ? 0 : 1;
}
