// The launcher's entry point: the Windows calls behind LauncherSystem.
#include "launcher_logic.h"
#include "platform.h"

#include <windows.h>

#include <cstdio>

static unsigned drive_type(const char* root)
{
    return GetDriveTypeA(root);
}

static int file_readable(const char* path)
{
    FILE* file = std::fopen(path, "rb");
    if (!file)
        return 0;
    std::fclose(file);
    return 1;
}

static int message_box(const char* text, const char* caption, unsigned style)
{
    return MessageBoxA(nullptr, text, caption, style);
}

static unsigned long get_current_directory(unsigned long size, char* buffer)
{
    return GetCurrentDirectoryA(size, buffer);
}

static int set_current_directory(const char* path)
{
    return SetCurrentDirectoryA(path) ? 1 : 0;
}

static unsigned exec(const char* command_line, unsigned show)
{
    SetLastError(0);  // so last_error tells this call's failure only
    return WinExec(command_line, show);
}

static unsigned long last_error()
{
    return GetLastError();
}

static unsigned long module_path(char* buffer, unsigned long size)
{
    return GetModuleFileNameA(nullptr, buffer, size);
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    plat_restrict_dll_search();
    // A drive without a disc must simply fail the probe, not raise the
    // system's "no disk in the drive" box on every pass.
    SetErrorMode(SEM_FAILCRITICALERRORS);
    plat_check_code_page(0);  // a box when the system's code page is not Big5's
    const LauncherSystem sys = {
        drive_type, file_readable, message_box, get_current_directory, set_current_directory,
        exec,       last_error,    module_path,
    };
    return run_launcher(sys);
}
