// The entry point of setup.
#include "platform.h"
#include "setup_flow.h"
#include "setup_windows.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR command_line, int)
{
    plat_restrict_dll_search();
    g_windows.instance = instance;
    // An empty command line, or one longer than a path, ends setup at once.
    if (!take_source_root(command_line, g_flow.source_root))
        return 0;
    // Under another code page than Big5's the player is told, and may stop.
    if (!plat_check_code_page(1))
        return 0;
    run_setup();
    return 0;
}
