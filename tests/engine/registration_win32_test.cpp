// The Win32 shell-link writer against the real link object: defaults for
// absent properties, every property when given, a failed save, the
// diagnostic line of a refused CoInitialize, and where the special folders
// lie.
#include "registration.h"

#include "platform.h"
#include "registration_probe.h"
#include "test_support.h"

#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

TEST(ShellLink, AbsentPropertiesKeepTheDefaults)
{
    TempDir dir;
    std::string link_path = dir.path("defaults.lnk");
    write_file(dir.path("t.exe"), "x");
    // High hotkey bits alone are no hotkey; show command -1 is no show command.
    EXPECT_EQ(create_shortcut(dir.path("t.exe").c_str(), nullptr, 0x10000, nullptr, 5, -1, nullptr, nullptr,
                              link_path.c_str()),
              0);
    probe::Link link;
    ASSERT_TRUE(probe::read_link(link_path, &link));
    EXPECT_EQ(link.target, dir.path("t.exe"));
    EXPECT_EQ(link.show_command, SW_SHOWNORMAL);
    EXPECT_EQ(link.hotkey, 0);
    EXPECT_EQ(link.description, "");
    EXPECT_EQ(link.arguments, "");
    EXPECT_EQ(link.working_directory, "");
    EXPECT_EQ(link.icon_path, "");
}

TEST(ShellLink, EveryPropertyWhenGiven)
{
    TempDir dir;
    std::string link_path = dir.path("全部.lnk");
    write_file(dir.path("t.exe"), "x");
    EXPECT_EQ(create_shortcut(dir.path("t.exe").c_str(), "-window 1", 0x00010241, "C:\\game.ico", 3, SW_SHOWMAXIMIZED,
                              dir.win.c_str(), big5("說明").c_str(), link_path.c_str()),
              0);
    probe::Link link;
    ASSERT_TRUE(probe::read_link(link_path, &link));
    EXPECT_EQ(link.target, dir.path("t.exe"));
    EXPECT_EQ(link.arguments, "-window 1");
    EXPECT_EQ(link.hotkey, 0x0241);  // the low 16 bits only
    EXPECT_EQ(link.icon_path, "C:\\game.ico");
    EXPECT_EQ(link.icon_index, 3);
    EXPECT_EQ(link.show_command, SW_SHOWMAXIMIZED);
    EXPECT_EQ(link.working_directory, dir.win);
    EXPECT_EQ(link.description, big5("說明"));
}

TEST(ShellLink, SaveIntoAMissingFolderFails)
{
    TempDir dir;
    std::string link_path = dir.path("none\\x.lnk");
    EXPECT_LT(create_shortcut("C:\\t.exe", nullptr, 0, nullptr, 0, 2, nullptr, nullptr, link_path.c_str()), 0);
    EXPECT_FALSE(exists(link_path));
}

// A thread already in the multi-threaded apartment cannot enter a
// single-threaded one: the writer reports it on standard output and returns
// the status without writing anything.
TEST(ShellLink, RefusedCoInitializeIsReportedOnStdout)
{
    TempDir dir;
    std::string link_path = dir.path("x.lnk");
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
    testing::internal::CaptureStdout();
    int32_t status = create_shortcut("C:\\t.exe", nullptr, 0, nullptr, 0, 2, nullptr, nullptr, link_path.c_str());
    fflush(stdout);
    std::string out = testing::internal::GetCapturedStdout();
    CoUninitialize();
    EXPECT_EQ(status, (int32_t)RPC_E_CHANGED_MODE);
    EXPECT_EQ(out.rfind("CoInitialize failed, rc(80010106),", 0), 0u) << out;
    EXPECT_FALSE(exists(link_path));
}

TEST(SpecialFolders, ProgramsMenuAndDesktopOfTheUser)
{
    char buf[PLAT_PATH_SIZE];
    ASSERT_EQ(programs_folder_path(nullptr, buf), 1);
    std::string programs = buf;
    ASSERT_EQ(desktop_folder_path(nullptr, buf), 1);
    std::string desktop = buf;
    auto ends_with = [](const std::string& s, const std::string& tail) {
        return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
    };
    EXPECT_TRUE(ends_with(programs, "\\Start Menu\\Programs")) << programs;
    EXPECT_TRUE(ends_with(desktop, "\\Desktop")) << desktop;
    EXPECT_EQ(plat_file_attributes(programs.c_str()) & PLAT_ATTR_DIRECTORY, (uint32_t)PLAT_ATTR_DIRECTORY);
}
