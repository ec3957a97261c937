// The command-line programs' arguments in UTF-8, taken from the wide command
// line, so that names outside the ANSI code page survive; the console shows
// UTF-8 output.
#include "platform.h"

#include <windows.h>
#include <shellapi.h>

#include <vector>

int plat_utf8_command_line(int* argc, char*** argv)
{
    SetConsoleOutputCP(CP_UTF8);
    int n = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &n);
    if (!wide)
        return 0;
    // Kept for the life of the process, like the argv it replaces.
    static std::vector<std::vector<char>> texts;
    static std::vector<char*> pointers;
    texts.clear();
    pointers.clear();
    for (int i = 0; i < n; ++i) {
        int len = WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
        std::vector<char> text((size_t)(len > 0 ? len : 1), '\0');
        if (len > 0)
            WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, text.data(), len, nullptr, nullptr);
        texts.push_back(std::move(text));
    }
    LocalFree(wide);
    for (auto& t : texts)
        pointers.push_back(t.data());
    pointers.push_back(nullptr);
    *argc = n;
    *argv = pointers.data();
    return 1;
}

int plat_program_path_utf8(char* out, int size)
{
    if (!out || size <= 0)
        return 0;
    wchar_t wide[32768];
    DWORD n = GetModuleFileNameW(nullptr, wide, sizeof wide / sizeof wide[0]);
    if (n == 0 || n >= sizeof wide / sizeof wide[0])
        return 0;
    return WideCharToMultiByte(CP_UTF8, 0, wide, -1, out, size, nullptr, nullptr) > 0 ? 1 : 0;
}
