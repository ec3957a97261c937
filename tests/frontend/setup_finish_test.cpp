// The finishing steps of a successful installation: the data folder,
// uninstall.dat and the web shortcut file in the program group.
#include "platform.h"
#include "registration.h"
#include "setup_finish.h"
#include "test_support.h"
#ifndef _WIN32
#include "posix/shell_registry_record.h"
#include "shell_registry.h"
#endif

#include <gtest/gtest.h>

#include <cstring>

namespace {

struct Finishing : ::testing::Test {
    TempDir disc;     // the source root, also the current directory
    TempDir install;  // the install folder, made by the engine before
    TempDir start;    // stands in for the Programs folder (POSIX)
    DiscHeader header;
    std::string programs;
    std::string group;
    char saved[1024] = "";

    void SetUp() override
    {
        memset(&header, 0, sizeof header);
        // Unique names, so that under Wine the group lands in its own folder.
        const std::string stamp = std::to_string((unsigned long)(uintptr_t)this % 100000);
        strcpy(header.company, big5("測試公司" + stamp).c_str());
        strcpy(header.product, big5("許功蓋" + stamp).c_str());
        strcpy(header.regkey, "XuKey");
#ifndef _WIN32
        plat_shell_set_special_folder(PLAT_FOLDER_PROGRAMS, start.win.c_str());
#endif
        char buf[PLAT_PATH_SIZE];
        ASSERT_EQ(1, programs_folder_path(nullptr, buf));
        programs = buf;
        // Registration made the group folder before the flow finishes.
        plat_create_directory((programs + "\\" + header.company).c_str());
        group = programs + "\\" + header.company + "\\" + header.product;
        plat_create_directory(group.c_str());

        plat_create_directory(disc.path("data").c_str());
        write_file(disc.path("data\\設定.ini"), "[settings]\r\n");
        plat_create_directory(disc.path("data\\存檔").c_str());
        write_file(disc.path("data\\存檔\\說明.txt"), big5("存檔"));
        write_file(disc.path("官方網頁.url"), "[InternetShortcut]\r\nURL=http://www.example.com/\r\n");
        ASSERT_EQ(1, plat_get_current_directory(saved, sizeof saved));
        ASSERT_EQ(1, plat_set_current_directory(disc.win.c_str()));
    }
    void TearDown() override
    {
        plat_set_current_directory(saved);
        plat_remove_file((group + "\\" + big5("官方網頁.url")).c_str());
        plat_remove_directory(group.c_str());
        plat_remove_directory((programs + "\\" + header.company).c_str());
#ifndef _WIN32
        plat_shell_set_special_folder(PLAT_FOLDER_PROGRAMS, nullptr);
#endif
    }
};

}  // namespace

TEST_F(Finishing, CopiesDataWritesUninstallDatAndTheWebShortcut)
{
    finish_installation(install.win.c_str(), disc.win.c_str(), header);
    EXPECT_EQ("[settings]\r\n", read_file(install.path("設定.ini")));
    EXPECT_EQ(big5("存檔"), read_file(install.path("存檔\\說明.txt")));
    // Exactly the 40-byte field, its NUL fill included.
    EXPECT_EQ(std::string("XuKey") + std::string(35, '\0'), read_file(install.path("uninstall.dat")));
    EXPECT_EQ(read_file(disc.path("官方網頁.url")), read_file(group + "\\" + big5("官方網頁.url")));
}

TEST_F(Finishing, FullRegkeyFieldIsWrittenWithoutTerminator)
{
    memset(header.regkey, 'K', 40);  // the 41st byte stays 0
    finish_installation(install.win.c_str(), disc.win.c_str(), header);
    EXPECT_EQ(std::string(40, 'K'), read_file(install.path("uninstall.dat")));
}

TEST_F(Finishing, MissingPiecesAreSkippedSilently)
{
    // No data folder and no web shortcut on the disc; an old uninstall.dat
    // is replaced, not appended to.
    write_file(install.path("uninstall.dat"), std::string(100, 'o'));
    TempDir empty;
    ASSERT_EQ(1, plat_set_current_directory(empty.win.c_str()));
    BoxRecorder boxes;
    finish_installation(install.win.c_str(), empty.win.c_str(), header);
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(std::string("XuKey") + std::string(35, '\0'), read_file(install.path("uninstall.dat")));
    EXPECT_FALSE(exists(install.path("設定.ini")));
    EXPECT_FALSE(exists(group + "\\" + big5("官方網頁.url")));
}

#ifndef _WIN32
TEST_F(Finishing, NoProgramsFolderSkipsTheWebShortcut)
{
    plat_shell_set_special_folder(PLAT_FOLDER_PROGRAMS, nullptr);
    finish_installation(install.win.c_str(), disc.win.c_str(), header);
    EXPECT_TRUE(exists(install.path("uninstall.dat")));
    EXPECT_FALSE(exists(group + "\\" + big5("官方網頁.url")));
    // An empty path counts as none too: nothing lands at "\company\product".
    plat_shell_set_special_folder(PLAT_FOLDER_PROGRAMS, "");
    finish_installation(install.win.c_str(), disc.win.c_str(), header);
    EXPECT_FALSE(exists(group + "\\" + big5("官方網頁.url")));
}
#endif

// Each file the finishing steps write must close: the runtime writes its
// buffered bytes then, so a full disk may show only there. A close that
// fails makes the finish incomplete; the reads' closes do not matter.
TEST_F(Finishing, FileThatFailsToCloseMakesTheFinishIncomplete)
{
    long before = plat_close_count();
    ASSERT_EQ(1, finish_installation(install.win.c_str(), disc.win.c_str(), header));
    long closes = plat_close_count() - before;
    int incomplete = 0;
    for (long close = 1; close <= closes; ++close) {
        SCOPED_TRACE("close " + std::to_string(close) + " fails");
        plat_fail_close_after(close - 1);
        int result = finish_installation(install.win.c_str(), disc.win.c_str(), header);
        plat_fail_close_after(-1);
        incomplete += result == 0;
    }
    // 設定.ini, 存檔\說明.txt, uninstall.dat and the web shortcut.
    EXPECT_EQ(incomplete, 4);
}
