// What registration asks of the platform, seen in the POSIX stand-in's
// record: the order of the values and their sizes, which folders are asked
// for, what happens when a folder or the registry is not available, and
// that refused shortcuts never reach the platform.
#include "registration.h"

#include "platform.h"
#include "posix/shell_registry_record.h"
#include "shell_registry.h"
#include "test_support.h"

#include <gtest/gtest.h>

namespace {

class Recorded : public ::testing::Test {
protected:
    TempDir dir;
    std::string programs = dir.path("Programs"), desktop = dir.path("Desktop");
    std::string install = "C:\\Program Files\\Co\\Game";

    void SetUp() override
    {
        plat_create_directory(programs.c_str());
        plat_create_directory(desktop.c_str());
        plat_shell_set_special_folder(PLAT_FOLDER_PROGRAMS, programs.c_str());
        plat_shell_set_special_folder(PLAT_FOLDER_DESKTOP, desktop.c_str());
        plat_shell_record_clear();
        set_registration_total_size(2049);  // 3 KiB when rounded up
    }
    void TearDown() override
    {
        set_registration_total_size(0);
        plat_shell_set_special_folder(PLAT_FOLDER_PROGRAMS, nullptr);
        plat_shell_set_special_folder(PLAT_FOLDER_DESKTOP, nullptr);
        plat_shell_fail_registry(0);
        plat_shell_record_clear();
    }
    void register_now(int desktop_flag)
    {
        register_installation(install.c_str(), "Co", "Game", "game.exe", "GameKey", "Uninstall", desktop_flag);
    }
    std::vector<std::string> link_paths() const
    {
        std::vector<std::string> out;
        for (const auto& l : plat_shell_record().links)
            out.push_back(l.link_path.value_or("<null>"));
        return out;
    }
};

}  // namespace

TEST_F(Recorded, EntryThenGroupThenDesktopInOrder)
{
    register_now(1);
    const ShellRecord& r = plat_shell_record();
    // The entry's four values, then its details, each written with the key opened once.
    const std::string key = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\GameKey";
    ASSERT_EQ(r.keys_opened, (std::vector<std::string>{key, key}));
    EXPECT_EQ(r.keys_closed, 2);
    ASSERT_EQ(r.values.size(), 10u);
    const char* names[] = {"DisplayName", "company",         "path",       "UninstallString",
                           "Publisher",   "InstallLocation", "DisplayIcon"};
    std::string data[] = {
        "Game", "Co", install, "\"" + install + "\\uninstall.exe\"", "Co", install, install + "\\game.exe"};
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(r.values[i].name, names[i]);
        EXPECT_EQ(r.values[i].type, 1u);
        EXPECT_EQ(r.values[i].data, data[i] + '\0');
        EXPECT_EQ(r.values[i].size, data[i].size() + 1);
    }
    // The header's total size in KiB, rounded up; no modify, no repair.
    const char* numbers[] = {"EstimatedSize", "NoModify", "NoRepair"};
    uint32_t values[] = {3, 1, 1};
    for (int i = 0; i < 3; ++i) {
        const RecordedValue& v = r.values[7 + i];
        EXPECT_EQ(v.name, numbers[i]);
        EXPECT_EQ(v.type, 4u);
        EXPECT_EQ(v.size, 4u);
        EXPECT_EQ(v.data, std::string((const char*)&values[i], 4));
    }
    EXPECT_EQ(r.folder_requests, (std::vector<int>{PLAT_FOLDER_PROGRAMS, PLAT_FOLDER_DESKTOP}));

    std::string group = programs + "\\Co\\Game";
    EXPECT_EQ(link_paths(),
              (std::vector<std::string>{group + "\\Uninstall.lnk", group + "\\Game.lnk", desktop + "\\Game.lnk"}));
    std::string targets[] = {install + "\\uninstall.exe", install + "\\game.exe", install + "\\game.exe"};
    std::string descriptions[] = {"Uninstall", "Game", "Game"};
    for (int i = 0; i < 3; ++i) {
        const RecordedLink& l = r.links[i];
        EXPECT_EQ(l.target, targets[i]);
        EXPECT_EQ(l.description, descriptions[i]);
        EXPECT_EQ(l.working_directory, install);
        EXPECT_FALSE(l.arguments.has_value());
        EXPECT_FALSE(l.icon_path.has_value());
        EXPECT_EQ(l.hotkey, 0);
        EXPECT_EQ(l.icon_index, 0);
        EXPECT_EQ(l.show_command, 2);
        EXPECT_EQ(l.status, 0);
    }
    EXPECT_EQ(plat_file_attributes((programs + "\\Co").c_str()), (uint32_t)PLAT_ATTR_DIRECTORY);
}

TEST_F(Recorded, ElevatedAsAnotherUserTheShortcutsGoToTheFoldersOfAllUsers)
{
    // A standard user typed an administrator's password: that
    // administrator's own folders are not the player's.
    std::string common_programs = dir.path("AllPrograms"), common_desktop = dir.path("AllDesktop");
    plat_create_directory(common_programs.c_str());
    plat_create_directory(common_desktop.c_str());
    plat_shell_set_special_folder(PLAT_FOLDER_COMMON_PROGRAMS, common_programs.c_str());
    plat_shell_set_special_folder(PLAT_FOLDER_COMMON_DESKTOP, common_desktop.c_str());
    for (int other : {1, 0}) {
        plat_shell_record_clear();
        plat_shell_set_other_user(other);
        register_now(1);
        std::string p = other ? common_programs : programs, d = other ? common_desktop : desktop;
        std::vector<int> ids = {PLAT_FOLDER_PROGRAMS, PLAT_FOLDER_DESKTOP};
        if (other)
            ids = {PLAT_FOLDER_COMMON_PROGRAMS, PLAT_FOLDER_COMMON_DESKTOP};
        EXPECT_EQ(plat_shell_record().folder_requests, ids);
        EXPECT_EQ(link_paths(), (std::vector<std::string>{p + "\\Co\\Game\\Uninstall.lnk", p + "\\Co\\Game\\Game.lnk",
                                                          d + "\\Game.lnk"}));
        for (const RecordedLink& l : plat_shell_record().links)
            EXPECT_EQ(l.status, 0) << *l.link_path;
        // The web shortcut follows the group (setup asks the same function).
        char folder[PLAT_PATH_SIZE];
        ASSERT_EQ(programs_folder_path(nullptr, folder), 1);
        EXPECT_EQ(std::string(folder), p);
    }
    plat_shell_set_other_user(0);
    plat_shell_set_special_folder(PLAT_FOLDER_COMMON_PROGRAMS, nullptr);
    plat_shell_set_special_folder(PLAT_FOLDER_COMMON_DESKTOP, nullptr);
}

TEST_F(Recorded, DesktopFlagZeroDoesNotAskForTheDesktop)
{
    register_now(0);
    EXPECT_EQ(plat_shell_record().folder_requests, std::vector<int>{PLAT_FOLDER_PROGRAMS});
    EXPECT_EQ(plat_shell_record().links.size(), 2u);
}

// Without a Programs folder nothing is made from the empty buffer; the
// entry and the desktop shortcut still are.
TEST_F(Recorded, MissingProgramsFolderSkipsTheGroup)
{
    for (const char* unavailable : {(const char*)nullptr, ""}) {
        SCOPED_TRACE(unavailable ? "empty path" : "no folder");
        plat_shell_record_clear();
        plat_shell_set_special_folder(PLAT_FOLDER_PROGRAMS, unavailable);
        register_now(1);
        EXPECT_EQ(plat_shell_record().values.size(), 10u);
        EXPECT_EQ(link_paths(), std::vector<std::string>{desktop + "\\Game.lnk"});
    }
    plat_shell_record_clear();
    plat_shell_set_special_folder(PLAT_FOLDER_DESKTOP, nullptr);
    register_now(1);
    EXPECT_EQ(plat_shell_record().values.size(), 10u);
    EXPECT_TRUE(plat_shell_record().links.empty());
}

// Without a total there is no size to show; a total just below 2 GiB still
// fits the 32-bit value. A program path that does not fit writes no details.
TEST_F(Recorded, EstimatedSizeFollowsTheTotal)
{
    auto names = [] {
        std::vector<std::string> out;
        for (const RecordedValue& v : plat_shell_record().values)
            out.push_back(v.name);
        return out;
    };
    set_registration_total_size(0);
    register_now(0);
    EXPECT_EQ(names(), (std::vector<std::string>{"DisplayName", "company", "path", "UninstallString", "Publisher",
                                                 "InstallLocation", "DisplayIcon", "NoModify", "NoRepair"}));
    plat_shell_record_clear();
    write_uninstall_details("GameKey", "Co", install.c_str(), "game.exe", 2147483647);
    ASSERT_EQ(plat_shell_record().values.size(), 6u);
    uint32_t kib = 2097152;
    EXPECT_EQ(plat_shell_record().values[3].data, std::string((const char*)&kib, 4));
    plat_shell_record_clear();
    write_uninstall_details("GameKey", "Co", install.c_str(), std::string(1020, 'e').c_str(), 1);
    EXPECT_TRUE(plat_shell_record().values.empty());
    EXPECT_TRUE(plat_shell_record().keys_opened.empty());
}

// Without the rights to write the key, no value is written and the
// shortcuts are made all the same.
TEST_F(Recorded, RegistryRefusalStillMakesShortcuts)
{
    plat_shell_fail_registry(1);
    register_now(1);
    EXPECT_TRUE(plat_shell_record().keys_opened.empty());
    EXPECT_TRUE(plat_shell_record().values.empty());
    EXPECT_EQ(plat_shell_record().links.size(), 3u);
}

// A missing group folder only shows as failed saves; the next shortcut is
// still tried.
TEST_F(Recorded, FailedSaveDoesNotStopTheNextShortcut)
{
    plat_shell_set_special_folder(PLAT_FOLDER_PROGRAMS, dir.path("none\\deeper").c_str());
    register_now(1);
    const auto& links = plat_shell_record().links;
    ASSERT_EQ(links.size(), 3u);
    EXPECT_LT(links[0].status, 0);
    EXPECT_LT(links[1].status, 0);
    EXPECT_EQ(links[2].status, 0);
}

TEST_F(Recorded, AbsentPathsNeverReachThePlatform)
{
    EXPECT_EQ(create_shortcut(nullptr, "a", 1, "i", 1, 1, "w", "d", "C:\\x.lnk"), 87);
    EXPECT_EQ(create_shortcut("C:\\t.exe", "a", 1, "i", 1, 1, "w", "d", nullptr), 87);
    EXPECT_TRUE(plat_shell_record().links.empty());
    // Everything else is handed on as given.
    std::string link = dir.path("x.lnk");
    EXPECT_EQ(create_shortcut("C:\\t.exe", "-a", 0x10041, "C:\\i.ico", 3, -1, nullptr, nullptr, link.c_str()), 0);
    ASSERT_EQ(plat_shell_record().links.size(), 1u);
    const RecordedLink& l = plat_shell_record().links[0];
    EXPECT_EQ(l.arguments, "-a");
    EXPECT_EQ(l.hotkey, 0x10041);
    EXPECT_EQ(l.icon_path, "C:\\i.ico");
    EXPECT_EQ(l.icon_index, 3);
    EXPECT_EQ(l.show_command, -1);
    EXPECT_FALSE(l.working_directory.has_value());
    EXPECT_FALSE(l.description.has_value());
    EXPECT_EQ(read_file(link), "C:\\t.exe");
}

TEST_F(Recorded, OverlongKeyPathOpensNoKey)
{
    std::string key(1100, 'k');
    write_uninstall_entry("Co", "Game", key.c_str(), "C:\\Game", "uninstall.exe");
    // A command that does not fit refuses the whole entry too.
    std::string path(1020, 'p');
    write_uninstall_entry("Co", "Game", "Key", path.c_str(), "uninstall.exe");
    EXPECT_TRUE(plat_shell_record().keys_opened.empty());
    EXPECT_TRUE(plat_shell_record().values.empty());
}

TEST_F(Recorded, FolderPathsComeFromTheShell)
{
    char buf[PLAT_PATH_SIZE];
    ASSERT_EQ(programs_folder_path(nullptr, buf), 1);
    EXPECT_EQ(std::string(buf), programs);
    ASSERT_EQ(desktop_folder_path(nullptr, buf), 1);
    EXPECT_EQ(std::string(buf), desktop);
    plat_shell_set_special_folder(PLAT_FOLDER_DESKTOP, nullptr);
    EXPECT_EQ(desktop_folder_path(nullptr, buf), 0);
    EXPECT_EQ(buf[0], '\0');
}
