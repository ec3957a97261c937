// After plat_restrict_dll_search a DLL is found in the system folder only:
// one planted in the current folder, loaded by name a moment before, is no
// longer found.
#include "platform.h"
#include "test_support.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>

TEST(DllSearch, APlantedDllInTheCurrentFolderIsNotLoaded)
{
    TempDir dir;
    char here[MAX_PATH];
    ASSERT_TRUE(GetCurrentDirectoryA(sizeof here, here) > 0);
    // di_planted.dll is built beside this test program.
    char planted[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, planted, sizeof planted);
    ASSERT_TRUE(n > 0 && n < sizeof planted);
    strcpy(strrchr(planted, '\\') + 1, "di_planted.dll");
    ASSERT_TRUE(CopyFileA(planted, dir.path("di_planted.dll").c_str(), TRUE)) << planted;
    ASSERT_TRUE(SetCurrentDirectoryA(dir.win.c_str()));
    HMODULE before = LoadLibraryA("di_planted.dll");
    EXPECT_NE(before, nullptr);  // the test plants it where it would be found
    if (before)
        FreeLibrary(before);
    EXPECT_EQ(plat_restrict_dll_search(), 1);
    HMODULE after = LoadLibraryA("di_planted.dll");
    EXPECT_EQ(after, nullptr);
    if (after)
        FreeLibrary(after);
    SetCurrentDirectoryA(here);
}
