// The POSIX stand-in's path translation: drive letters to host folders,
// backslashes to slashes, code page 950 to UTF-8 without splitting a Big5
// character whose second byte is 0x5C.
#include "platform.h"
#include "test_support.h"

#include <gtest/gtest.h>

namespace {

std::string host(const std::string& win)
{
    char out[4096];
    if (!plat_to_host_path(win.c_str(), out, sizeof out))
        return "<refused>";
    return out;
}

std::string win(const std::string& host_path)
{
    char out[4096];
    if (!plat_from_host_path(host_path.c_str(), out, sizeof out))
        return "<refused>";
    return utf8(out);
}

struct DriveMapping {
    char letter;
    DriveMapping(char l, const char* folder) : letter(l) { plat_map_drive(l, folder); }
    ~DriveMapping()
    {
        plat_map_drive(letter, nullptr);
        plat_set_drive_type(letter, PLAT_DRIVE_FIXED);
    }
};

}  // namespace

TEST(PosixPaths, DriveLettersMapToHostFolders)
{
    DriveMapping d('D', "/srv/disc1");
    EXPECT_EQ(host("D:\\cd1"), "/srv/disc1/cd1");
    EXPECT_EQ(host("d:\\pic\\01.tga"), "/srv/disc1/pic/01.tga");
    EXPECT_EQ(host("D:"), "/srv/disc1");
    EXPECT_EQ(host("D:\\"), "/srv/disc1");
    EXPECT_EQ(host("D:cd1"), "/srv/disc1/cd1");
    EXPECT_EQ(host("Z:\\tmp\\x"), "/tmp/x");
    EXPECT_EQ(host("pic\\01.tga"), "pic/01.tga");  // relative stays relative
    EXPECT_EQ(host("Q:\\x"), "<refused>");         // no folder for Q:
    EXPECT_EQ(host("\\\\server\\share\\x"), "<refused>");
}

TEST(PosixPaths, Big5TrailBackslashIsPartOfTheName)
{
    DriveMapping d('C', "/c");
    // 許 is B3 5C: a byte-wise split would cut it into B3 and a separator.
    EXPECT_EQ(host("C:\\" + big5("許功蓋") + "\\" + big5("遊戲")), "/c/許功蓋/遊戲");
    EXPECT_EQ(win("/c/許功蓋/遊戲"), "C:\\許功蓋\\遊戲");
}

TEST(PosixPaths, HostPathsComeBackUnderTheLongestMappedFolder)
{
    DriveMapping c('C', "/c");
    DriveMapping e('E', "/c/deeper");
    EXPECT_EQ(win("/c/deeper/f"), "E:\\f");
    EXPECT_EQ(win("/c/other"), "C:\\other");
    EXPECT_EQ(win("/cx/file"), "Z:\\cx\\file");  // "/c" is no prefix of "/cx"
    EXPECT_EQ(win("rel/name"), "rel\\name");
}

TEST(PosixPaths, RootedPathsStayOnTheDriveOfTheCurrentFolder)
{
    TempDir dir;
    fs::path top = fs::canonical(dir.host);
    fs::create_directory(top / "deeper");
    DriveMapping c('C', top.c_str());
    DriveMapping e('E', (top / "deeper").c_str());
    fs::path before = fs::current_path();
    // The longest mapped folder that holds the current one names the drive.
    fs::current_path(top / "deeper");
    EXPECT_EQ(host("\\x"), (top / "deeper" / "x").string());
    fs::current_path(top);
    EXPECT_EQ(host("\\x"), (top / "x").string());
    fs::current_path("/");
    EXPECT_EQ(host("\\x"), "/x");  // Z:
    fs::current_path(before);
}

TEST(PosixPaths, DriveTypesAreConfigurable)
{
    TempDir dir;
    DriveMapping d('D', dir.host.c_str());
    plat_set_drive_type('D', PLAT_DRIVE_CDROM);
    EXPECT_EQ(plat_drive_type("D:\\"), PLAT_DRIVE_CDROM);
    EXPECT_EQ(plat_drive_type("Y:\\"), PLAT_DRIVE_NO_ROOT);
    // Files on a mapped drive are reached through their Windows names.
    write_file(dir.path("cd1"), "disc");
    FILE* f = plat_fopen("D:\\cd1", "rb");
    ASSERT_NE(f, nullptr);
    fclose(f);
}
