// The uninstaller's logic on an installation made the way setup makes one:
// files of the set listed in the manifest, uninstall.dat, the registry entry
// and the shortcuts from register_installation, the web shortcut in the
// group folder. What is removed, what is kept, and that bad input or a
// busy file deletes nothing.
#include "uninstall_logic.h"

#include "platform.h"
#include "registration.h"
#include "setup_finish.h"
#include "setup_texts.h"
#include "shell_registry.h"
#include "test_support.h"
#include "tracked_memory.h"
#include "uninstall_manifest.h"
#include "uninstall_texts.h"
#ifndef _WIN32
#include "posix/shell_registry_record.h"
#endif

#include <gtest/gtest.h>
#ifdef _WIN32
#include <windows.h>
#endif

#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>

namespace {

std::string tag()
{
    static int serial = 0;
    return std::to_string(std::chrono::steady_clock::now().time_since_epoch().count() % 100000) + "-" +
           std::to_string(++serial);
}

struct Installed : ::testing::Test {
    TempDir dir;
    std::string folder;  // the install folder
    std::string company, product, regkey;
    std::string programs, desktop;
    std::string manifest_text;
    int32_t entries = 0;

    void SetUp() override
    {
        std::string t = tag();
        company = big5("測試公司") + t;
        product = big5("許功蓋冒險");  // second bytes 0x5C in the group folder and link names
        regkey = "DiUninstallTest-" + t;
#ifndef _WIN32
        plat_shell_record_clear();
        plat_create_directory(dir.path("Programs").c_str());
        plat_create_directory(dir.path("Desktop").c_str());
        plat_shell_set_special_folder(PLAT_FOLDER_PROGRAMS, dir.path("Programs").c_str());
        plat_shell_set_special_folder(PLAT_FOLDER_DESKTOP, dir.path("Desktop").c_str());
#endif
        char buf[PLAT_PATH_SIZE];
        ASSERT_EQ(programs_folder_path(nullptr, buf), 1);
        programs = buf;
        ASSERT_EQ(desktop_folder_path(nullptr, buf), 1);
        desktop = buf;

        plat_create_directory(dir.path("Program Files").c_str());
        folder = dir.path("Program Files") + "\\" + product;
        ASSERT_EQ(plat_create_directory(folder.c_str()), 1);
        manifest_text = first_line();
        folder_entry("資料");
        folder_entry("資料\\地圖");
        folder_entry("存檔");
        file_entry("game.exe", "MZ game");
        file_entry("資料\\地圖\\村莊.map", random_bytes(70000, 7));
        file_entry("資料\\說明.txt", "read me");
        file_entry("設定.ini", "[set]\r\n");  // from the data folder
        write_file(folder + "\\uninstall.exe", "MZ uninstaller");
        finish_manifest();
        write_file(folder + "\\uninstall.dat", regkey + std::string(40 - regkey.size(), '\0'));

        set_registration_total_size(70000);
        register_installation(folder.c_str(), company.c_str(), product.c_str(), "game.exe", regkey.c_str(),
                              kUninstallLinkName, 1);
        set_registration_total_size(0);
        write_file(group() + "\\" + big5("官方網頁.url"), "[InternetShortcut]\r\n");
        ASSERT_TRUE(exists(group() + "\\" + big5("解除安裝.lnk")));
        ASSERT_TRUE(exists(desktop_link()));
    }

    void TearDown() override
    {
        plat_registry_delete_machine_key(key_path().c_str());
        std::error_code ec;
        fs::remove_all(host_of(programs + "\\" + company), ec);
        fs::remove(host_of(desktop_link()), ec);
#ifndef _WIN32
        plat_shell_set_special_folder(PLAT_FOLDER_PROGRAMS, nullptr);
        plat_shell_set_special_folder(PLAT_FOLDER_DESKTOP, nullptr);
        plat_shell_record_clear();
#endif
    }

    static std::string first_line()
    {
        char buf[64];
        return std::string(buf, (size_t)manifest_first_line(buf, sizeof buf));
    }
    void folder_entry(const std::string& utf8_path)
    {
        std::string path = big5(utf8_path);
        ASSERT_EQ(plat_create_directory((folder + "\\" + path).c_str()), 1);
        char buf[manifest::kMaxLineBytes + 1];
        manifest_text += std::string(buf, (size_t)manifest_entry_line('D', 0, 0, path.c_str(), buf, sizeof buf));
        ++entries;
    }
    void file_entry(const std::string& utf8_path, const std::string& content)
    {
        std::string path = big5(utf8_path);
        write_file(folder + "\\" + path, content);
        uint32_t size = 0, crc = 0;
        ASSERT_EQ(file_checksum((folder + "\\" + path).c_str(), &size, &crc), 1);
        ASSERT_EQ(size, content.size());
        char buf[manifest::kMaxLineBytes + 1];
        manifest_text += std::string(buf, (size_t)manifest_entry_line('F', size, crc, path.c_str(), buf, sizeof buf));
        ++entries;
    }
    void finish_manifest()
    {
        char buf[64];
        manifest_text += std::string(buf, (size_t)manifest_end_line(entries, buf, sizeof buf));
        write_file(folder + "\\uninstall.lst", manifest_text);
    }

    std::string key_path() const
    {
        return std::string(kUninstallKeyRoot) + "\\" + regkey;
    }
    std::string group() const
    {
        return programs + "\\" + company + "\\" + product;
    }
    std::string desktop_link() const
    {
        return desktop + "\\" + product + ".lnk";
    }
    void set_key_folder(const std::string& path)
    {
        void* key = nullptr;
        ASSERT_EQ(plat_registry_create_machine_key(key_path().c_str(), &key), 1);
        plat_registry_set_string(key, "path", path.c_str(), (uint32_t)path.size() + 1);
        plat_registry_close_key(key);
    }
    bool key_exists() const
    {
        void* key = nullptr;
        int ok = plat_registry_open_machine_key(key_path().c_str(), &key);
        plat_registry_close_key(key);
        return ok == 1;
    }

    // The install folder, the group's parent and the desktop link, whole.
    std::map<std::string, std::string> everything() const
    {
        auto all = snapshot(host_of(folder));
        for (auto& [k, v] : snapshot(host_of(programs + "\\" + company)))
            all["programs/" + k] = v;
        all["desktop link"] = exists(desktop_link()) ? "there" : "gone";
        all["key"] = key_exists() ? "there" : "gone";
        return all;
    }

    int32_t run(int answer, int32_t* remove_self = nullptr)
    {
        BoxRecorder::answers.push_back(answer);
        int32_t live = tracked_stats().live;
        int32_t self = -1;
        int32_t code = run_uninstall(folder.c_str(), &self);
        EXPECT_EQ(tracked_stats().live, live);  // nothing held after a run
        if (remove_self)
            *remove_self = self;
        return code;
    }
};

}  // namespace

TEST_F(Installed, YesRemovesTheSetAndKeepsWhatTheUserMadeOrChanged)
{
    write_file(folder + "\\" + big5("存檔\\第一關.sav"), "saved game");     // made by the user in a folder of the set
    write_file(folder + "\\" + big5("設定.ini"), "[set]\r\nvolume=3\r\n");  // changed by the user
    BoxRecorder boxes;
    int32_t remove_self = 0;
    EXPECT_EQ(run(PLAT_IDYES, &remove_self), kUninstallRemoved);
    EXPECT_EQ(remove_self, 1);

    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_EQ(boxes.shown[0].caption, "解除安裝");
    EXPECT_EQ(boxes.shown[0].type, (unsigned)PLAT_MB_YESNO | 0x20u);
    EXPECT_NE(boxes.shown[0].text.find("許功蓋冒險"), std::string::npos) << boxes.shown[0].text;
    const std::string& done = boxes.shown[1].text;
    EXPECT_EQ(done.rfind("「許功蓋冒險」已移除。", 0), 0u) << done;
    EXPECT_NE(done.find("設定.ini"), std::string::npos) << done;
    EXPECT_NE(done.find("存檔"), std::string::npos) << done;

    // Left: the user's two files, the folder that holds one, and uninstall.exe
    // until the program has ended.
    auto left = snapshot(host_of(folder));
    std::map<std::string, std::string> expected = {
        {"存檔", "<dir>"},
        {"存檔/第一關.sav", "saved game"},
        {"設定.ini", "[set]\r\nvolume=3\r\n"},
        {"uninstall.exe", "MZ uninstaller"},
    };
    EXPECT_EQ(left, expected);
    EXPECT_FALSE(key_exists());
    EXPECT_FALSE(exists(desktop_link()));
    EXPECT_FALSE(exists(group()));
    EXPECT_FALSE(exists(programs + "\\" + company));  // empty once the group went

    EXPECT_EQ(remove_uninstaller(folder.c_str()), 1);
    EXPECT_FALSE(exists(folder + "\\uninstall.exe"));
    EXPECT_TRUE(exists(folder));  // the user's files keep it
}

TEST_F(Installed, UntouchedInstallationGoesWholeButNotTheCompanysOtherProducts)
{
    std::string other = programs + "\\" + company + "\\" + big5("另一個遊戲");
    ASSERT_EQ(plat_create_directory(other.c_str()), 1);
    write_file(other + "\\x.lnk", "other product");
    BoxRecorder boxes;
    EXPECT_EQ(run(PLAT_IDYES), kUninstallRemoved);
    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_EQ(boxes.shown[1].text, "「許功蓋冒險」已移除。");
    EXPECT_EQ(snapshot(host_of(folder)), (std::map<std::string, std::string>{{"uninstall.exe", "MZ uninstaller"}}));
    EXPECT_FALSE(exists(group()));
    EXPECT_EQ(read_file(other + "\\x.lnk"), "other product");
    EXPECT_EQ(remove_uninstaller(folder.c_str()), 1);
    EXPECT_FALSE(exists(folder));
}

TEST_F(Installed, NoChangesNothing)
{
    auto before = everything();
    BoxRecorder boxes;
    int32_t remove_self = 1;
    EXPECT_EQ(run(PLAT_IDNO, &remove_self), kUninstallCancelled);
    EXPECT_EQ(remove_self, 0);
    EXPECT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(everything(), before);
}

// Each damaged input: one box naming the problem, no question, nothing deleted.
TEST_F(Installed, BadInputDeletesNothing)
{
    const std::string dat = folder + "\\uninstall.dat", list = folder + "\\uninstall.lst";
    const std::string good_dat = read_file(dat), good_list = manifest_text;
    struct Case {
        const char* what;
        std::function<void()> damage;
        const char* shown;  // part of the box text
    } cases[] = {
        {"uninstall.dat missing", [&] { plat_remove_file(dat.c_str()); }, "uninstall.dat"},
        {"uninstall.dat of 39 bytes", [&] { write_file(dat, good_dat.substr(0, 39)); }, "uninstall.dat"},
        {"uninstall.dat of 41 bytes", [&] { write_file(dat, good_dat + "x"); }, "uninstall.dat"},
        {"a key name that climbs", [&] { write_file(dat, "..\\..\\Run" + std::string(31, '\0')); }, "uninstall.dat"},
        {"no such key", [&] { write_file(dat, "DiNoSuchKey" + std::string(29, '\0')); }, "找不到此程式的安裝記錄"},
        {"a company that climbs",
         [&] {
             void* key = nullptr;
             plat_registry_create_machine_key(key_path().c_str(), &key);
             plat_registry_set_string(key, "company", "..\\..", 6);
             plat_registry_close_key(key);
         },
         "損毀"},
        {"the key names another folder", [&] { set_key_folder("C:\\Elsewhere"); }, "C:\\Elsewhere"},
        {"the key names the folder above", [&] { set_key_folder(dir.path("Program Files")); }, "Program Files"},
        {"the key names a network folder", [&] { set_key_folder("\\\\server\\share"); }, "\\\\server\\share"},
        {"manifest missing", [&] { plat_remove_file(list.c_str()); }, "uninstall.lst"},
        {"manifest cut short", [&] { write_file(list, good_list.substr(0, good_list.size() - 9)); }, "損毀"},
        {"a line that leaves the folder",
         [&] {
             std::string bad = good_list;
             bad.insert(bad.find("F "), "F 7 00000000 ..\\..\\outside.txt\r\n");
             write_file(list, bad);
         },
         "第 5 行"},
    };
    write_file(dir.path("outside.txt"), "not ours");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        c.damage();
        auto before = everything();
        BoxRecorder boxes;
        int32_t remove_self = 1;
        EXPECT_EQ(run(PLAT_IDYES, &remove_self), kUninstallFailed);
        EXPECT_EQ(remove_self, 0);
        ASSERT_EQ(boxes.shown.size(), 1u);
        EXPECT_EQ(boxes.shown[0].type, (unsigned)(PLAT_MB_OK | PLAT_MB_ICONERROR));
        EXPECT_NE(boxes.shown[0].text.find(c.shown), std::string::npos) << boxes.shown[0].text;
        EXPECT_EQ(everything(), before);
        EXPECT_EQ(read_file(dir.path("outside.txt")), "not ours");
        // Back to sound inputs for the next case.
        write_file(dat, good_dat);
        write_file(list, good_list);
        set_registration_total_size(0);
        register_installation(folder.c_str(), company.c_str(), product.c_str(), "game.exe", regkey.c_str(),
                              kUninstallLinkName, 1);
    }
}

// A read-only or busy file stops the run before anything is deleted; once it
// is free a second run removes everything.
TEST_F(Installed, ReadOnlyOrBusyFileStopsBeforeDeleting)
{
    const std::string map = folder + "\\" + big5("資料\\地圖\\村莊.map");
    const std::string text = folder + "\\" + big5("資料\\說明.txt");
    ASSERT_EQ(plat_set_read_only(map.c_str(), 1), 1);
#ifdef _WIN32
    FILE* busy = fopen(text.c_str(), "rb");  // the runtime shares read and write, not delete
    ASSERT_NE(busy, nullptr);
#else
    plat_mark_file_in_use(text.c_str(), 1);
#endif
    auto before = everything();
    {
        BoxRecorder boxes;
        EXPECT_EQ(run(PLAT_IDYES), kUninstallFailed);
        ASSERT_EQ(boxes.shown.size(), 2u);
        EXPECT_NE(boxes.shown[1].text.find("資料\\地圖\\村莊.map"), std::string::npos) << boxes.shown[1].text;
        EXPECT_NE(boxes.shown[1].text.find("資料\\說明.txt"), std::string::npos) << boxes.shown[1].text;
        EXPECT_EQ(everything(), before);
    }
    plat_set_read_only(map.c_str(), 0);
#ifdef _WIN32
    fclose(busy);
#else
    plat_mark_file_in_use(text.c_str(), 0);
#endif
    BoxRecorder boxes;
    EXPECT_EQ(run(PLAT_IDYES), kUninstallRemoved);
    EXPECT_EQ(snapshot(host_of(folder)), (std::map<std::string, std::string>{{"uninstall.exe", "MZ uninstaller"}}));
    EXPECT_FALSE(key_exists());
}

// A long list of changed files is cut in the box, with the number left out.
TEST_F(Installed, ManyKeptFilesAreCountedNotAllNamed)
{
    for (int i = 0; i < 15; ++i) {
        std::string name = "f" + std::to_string(i) + ".txt";
        write_file(folder + "\\" + name, "v1");
        char buf[manifest::kMaxLineBytes + 1];
        manifest_text.insert(manifest_text.find("END"),
                             std::string(buf, (size_t)manifest_entry_line('F', 2, 0, name.c_str(), buf, sizeof buf)));
        ++entries;
    }
    manifest_text.erase(manifest_text.find("END"));
    finish_manifest();
    BoxRecorder boxes;
    EXPECT_EQ(run(PLAT_IDYES), kUninstallRemoved);
    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_NE(boxes.shown[1].text.find("以及其他 3 項"), std::string::npos) << boxes.shown[1].text;
    EXPECT_TRUE(exists(folder + "\\f14.txt"));  // a checksum that does not match: kept
}

// Links planted inside the installation, each leading to an identical copy
// outside it (as the set installed it): a folder with its files, a file, an
// empty folder, the shortcuts' group folder and the manifest. Nothing
// outside changes; the links stay and are named in the closing box; nothing
// behind them is listed.
TEST_F(Installed, LinksAreNeverFollowed)
{
#ifdef _WIN32
    GTEST_SKIP() << "links are planted by the end-to-end test under Wine";
#else
    const fs::path outside = dir.host / "outside";
    const std::string map = big5("資料\\地圖\\村莊.map");
    put_host_bytes(outside / "map" / "村莊.map", read_file(folder + "\\" + map));
    put_host_bytes(outside / "map" / "mine.txt", "the user's, elsewhere");
    put_host_bytes(outside / "readme.txt", "read me");
    fs::create_directories(outside / "empty");
    struct Planted {
        const char* utf8_path;  // replaced by a link
        fs::path target;
    } planted[] = {
        {"資料/地圖", outside / "map"},
        {"資料/說明.txt", outside / "readme.txt"},
        {"存檔", outside / "empty"},
    };
    for (const Planted& p : planted) {
        fs::path at = host_of(folder) / fs::u8path(p.utf8_path);
        fs::remove_all(at);
        fs::create_symlink(p.target, at);
        ASSERT_EQ(plat_is_link((folder + "\\" + big5(p.utf8_path)).c_str()), 1) << p.utf8_path;
    }
    for (const std::string& moved : {group(), folder + "\\uninstall.lst"}) {
        fs::path target = outside / host_of(moved).filename();
        fs::rename(host_of(moved), target);
        fs::create_symlink(target, host_of(moved));
    }
    ASSERT_EQ(plat_is_link(folder.c_str()), 0);
    const Snapshot before = snapshot(outside);

    BoxRecorder boxes;
    EXPECT_EQ(run(PLAT_IDYES), kUninstallRemoved);
    EXPECT_EQ(snapshot(outside), before);
    for (const Planted& p : planted)
        EXPECT_TRUE(fs::is_symlink(host_of(folder) / fs::u8path(p.utf8_path))) << p.utf8_path;
    EXPECT_TRUE(fs::is_symlink(host_of(group())));
    EXPECT_TRUE(fs::is_symlink(host_of(folder + "\\uninstall.lst")));
    EXPECT_FALSE(exists(desktop_link()));
    ASSERT_EQ(boxes.shown.size(), 2u);
    const std::string& done = boxes.shown[1].text;
    EXPECT_NE(done.find("連結"), std::string::npos) << done;
    for (const char* name : {"資料\\地圖", "資料\\說明.txt", "存檔", "uninstall.lst"})
        EXPECT_NE(done.find(std::string("\n  ") + name), std::string::npos) << name << "\n" << done;
    EXPECT_EQ(done.find("村莊.map"), std::string::npos) << done;
    EXPECT_EQ(done.find("mine.txt"), std::string::npos) << done;
    EXPECT_FALSE(exists(folder + "\\game.exe"));  // what is not behind a link goes
    EXPECT_FALSE(key_exists());
#endif
}

// The key's folder in another spelling of the install folder (a short 8.3
// name on Windows; another drive letter for the same host folder on the
// stand-in) is the same folder: the run goes ahead.
TEST_F(Installed, KeyFolderInAnotherSpellingIsAccepted)
{
    std::string other;
#ifdef _WIN32
    char shorter[MAX_PATH];
    DWORD n = GetShortPathNameA(folder.c_str(), shorter, sizeof shorter);
    ASSERT_TRUE(n > 0 && n < sizeof shorter);
    other = shorter;
#else
    ASSERT_EQ(plat_map_drive('Q', dir.host.u8string().c_str()), 1);
    other = "Q:\\Program Files\\" + product;
#endif
    ASSERT_NE(other, folder);
    set_key_folder(other);
    BoxRecorder boxes;
    EXPECT_EQ(run(PLAT_IDYES), kUninstallRemoved);
    EXPECT_FALSE(key_exists());
#ifndef _WIN32
    plat_map_drive('Q', nullptr);
#endif
}

// A second run started while the first asks its question stops at once
// with a box and exit code 2, touching nothing; the first then goes on.
namespace {
struct SecondRun {
    static MessageBoxHandler recorder;
    static std::function<void()> at_question;
    static int ask(void* owner, const char* text, const char* caption, unsigned type)
    {
        if ((type & 0xF) == PLAT_MB_YESNO && at_question) {
            auto once = at_question;
            at_question = nullptr;
            once();
        }
        return recorder(owner, text, caption, type);
    }
};
MessageBoxHandler SecondRun::recorder = nullptr;
std::function<void()> SecondRun::at_question;
}  // namespace

TEST_F(Installed, SecondRunAtOnceStopsWithoutTouchingAnything)
{
    BoxRecorder boxes;
    int32_t second = -1, second_self = -1;
    bool unchanged = false;
    SecondRun::at_question = [&] {
        auto before = everything();
        second = run_uninstall(folder.c_str(), &second_self);
        unchanged = everything() == before;
    };
    SecondRun::recorder = plat_set_message_box_handler(SecondRun::ask);
    BoxRecorder::answers = {PLAT_IDOK, PLAT_IDYES};  // the second run's box, then the first's question
    int32_t first = run_uninstall(folder.c_str(), nullptr);
    plat_set_message_box_handler(SecondRun::recorder);

    EXPECT_EQ(second, kUninstallFailed);
    EXPECT_EQ(second_self, 0);
    EXPECT_TRUE(unchanged);
    ASSERT_EQ(boxes.shown.size(), 3u);
    EXPECT_NE(boxes.shown[0].text.find("正在執行中"), std::string::npos) << boxes.shown[0].text;
    EXPECT_EQ(first, kUninstallRemoved);
    EXPECT_FALSE(key_exists());

    // Once the first has ended, the lock is free again.
    register_installation(folder.c_str(), company.c_str(), product.c_str(), "game.exe", regkey.c_str(),
                          kUninstallLinkName, 1);
    write_file(folder + "\\uninstall.dat", regkey + std::string(40 - regkey.size(), '\0'));
    write_file(folder + "\\uninstall.lst", manifest_text);
    EXPECT_EQ(run(PLAT_IDNO), kUninstallCancelled);
}

#ifndef _WIN32
TEST_F(Installed, ShortcutsAreRemovedFromTheFoldersOfAllUsersToo)
{
    // Installed once more by setup elevated as another user: the same
    // shortcuts and web shortcut in the folders of all users. The
    // uninstaller, run by the desktop's own user, finds both sets.
    std::string all_programs = dir.path("AllPrograms"), all_desktop = dir.path("AllDesktop");
    plat_create_directory(all_programs.c_str());
    plat_create_directory(all_desktop.c_str());
    plat_shell_set_special_folder(PLAT_FOLDER_COMMON_PROGRAMS, all_programs.c_str());
    plat_shell_set_special_folder(PLAT_FOLDER_COMMON_DESKTOP, all_desktop.c_str());
    struct Reset {
        ~Reset()
        {
            plat_shell_set_other_user(0);
            plat_shell_set_special_folder(PLAT_FOLDER_COMMON_PROGRAMS, nullptr);
            plat_shell_set_special_folder(PLAT_FOLDER_COMMON_DESKTOP, nullptr);
        }
    } reset;
    plat_shell_set_other_user(1);
    register_installation(folder.c_str(), company.c_str(), product.c_str(), "game.exe", regkey.c_str(),
                          kUninstallLinkName, 1);
    std::string all_group = all_programs + "\\" + company + "\\" + product;
    write_file(all_group + "\\" + big5("官方網頁.url"), "[InternetShortcut]\r\n");
    ASSERT_TRUE(exists(all_group + "\\" + big5("解除安裝.lnk")));
    ASSERT_TRUE(exists(all_desktop + "\\" + product + ".lnk"));
    plat_shell_set_other_user(0);

    BoxRecorder boxes;
    EXPECT_EQ(run(PLAT_IDYES), kUninstallRemoved);
    EXPECT_FALSE(exists(all_desktop + "\\" + product + ".lnk"));
    EXPECT_FALSE(exists(all_programs + "\\" + company));  // group and company folder, emptied
    EXPECT_FALSE(exists(desktop_link()));
    EXPECT_FALSE(exists(programs + "\\" + company));
    EXPECT_TRUE(exists(all_programs));
}
#endif

TEST(UninstallTexts, AreBig5Bytes)
{
    // The same list compiled here as UTF-8: each text converted to code
    // page 950 must be the bytes the uninstaller shows.
    const ListedText texts[] = {
#define UNINSTALL_TEXT(name, text) {#name, text, uninstall_text::name},
#include "uninstall_texts.def"
#undef UNINSTALL_TEXT
    };
    expect_texts_are_big5(texts, std::size(texts));
    // 解除安裝: B8 D1 B0 A3 A6 77 B8 CB, independently of any converter.
    EXPECT_EQ(std::string(uninstall_text::kCaption), "\xB8\xD1\xB0\xA3\xA6\x77\xB8\xCB");
    EXPECT_EQ(std::string(kUninstallProgram), "uninstall.exe");
}
