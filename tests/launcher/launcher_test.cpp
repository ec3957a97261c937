// The launcher's logic over a scripted machine: drives with their types and
// whether cd1 lies in their root, a current directory, the answers to the
// disc question, and a log of every call in order.
#include "launcher_logic.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

namespace {

struct Drive {
    unsigned type;
    bool has_cd1;
};

struct Box {
    std::string text;  // bytes as passed
    std::string caption;
    unsigned style;
};

struct Machine {
    std::map<char, Drive> drives;
    std::string current = "C:\\";
    bool current_fails = false;
    bool set_fails = false;
    std::deque<int> answers;               // IDNO when empty
    std::function<void(Machine&)> on_box;  // what the user does while asked
    std::vector<std::string> roots;        // every drive-type query
    std::vector<std::string> opened;       // every probe open
    std::vector<Box> boxes;
    std::vector<std::string> calls;  // "get", "set E:", "exec ..."
    std::vector<std::string> set_dirs;
    std::vector<std::string> commands;
    std::vector<unsigned> shows;
    std::set<std::string> files;              // other readable files (setup.exe)
    std::string module = "E:\\launcher.exe";  // the launcher's own path
    unsigned exec_result = 33;                // WinExec's answer
    unsigned long error = 0;                  // GetLastError after it
};

Machine* machine = nullptr;

unsigned fake_drive_type(const char* root)
{
    machine->roots.push_back(root);
    std::string r = root;
    if (r.size() != 3 || r[1] != ':' || r[2] != '\\')
        return 1;  // DRIVE_NO_ROOT_DIR
    auto it = machine->drives.find(r[0]);
    return it == machine->drives.end() ? 1 : it->second.type;
}

int fake_file_readable(const char* path)
{
    machine->opened.push_back(path);
    std::string p = path;
    auto it = machine->drives.find(p[0]);
    if (machine->files.count(p))
        return 1;
    return it != machine->drives.end() && p.substr(1) == ":\\cd1" && it->second.has_cd1;
}

int fake_message_box(const char* text, const char* caption, unsigned style)
{
    machine->boxes.push_back({text, caption, style});
    machine->calls.push_back("box");
    if (machine->on_box)
        machine->on_box(*machine);
    if (machine->answers.empty())
        return kAnswerNo;
    int answer = machine->answers.front();
    machine->answers.pop_front();
    return answer;
}

// GetCurrentDirectoryA's contract: the text and its length when it fits,
// otherwise the size needed and the buffer untouched.
unsigned long fake_get_current_directory(unsigned long size, char* buffer)
{
    machine->calls.push_back("get");
    EXPECT_EQ(size, 256u);
    if (machine->current_fails)
        return 0;
    const std::string& cur = machine->current;
    if (cur.size() + 1 > size)
        return (unsigned long)cur.size() + 1;
    std::memcpy(buffer, cur.c_str(), cur.size() + 1);
    return (unsigned long)cur.size();
}

int fake_set_current_directory(const char* path)
{
    machine->calls.push_back(std::string("set ") + path);
    machine->set_dirs.push_back(path);
    return machine->set_fails ? 0 : 1;
}

unsigned fake_exec(const char* command, unsigned show)
{
    machine->calls.push_back(std::string("exec ") + command);
    machine->commands.push_back(command);
    machine->shows.push_back(show);
    return machine->exec_result;
}

unsigned long fake_last_error()
{
    return machine->error;
}

// GetModuleFileNameA's contract: the length, or `size` when cut short.
unsigned long fake_module_path(char* buffer, unsigned long size)
{
    const std::string& m = machine->module;
    if (m.size() + 1 > size) {
        std::memcpy(buffer, m.c_str(), size - 1);
        buffer[size - 1] = '\0';
        return size;
    }
    std::memcpy(buffer, m.c_str(), m.size() + 1);
    return (unsigned long)m.size();
}

const LauncherSystem fake_system = {
    fake_drive_type, fake_file_readable, fake_message_box, fake_get_current_directory, fake_set_current_directory,
    fake_exec,       fake_last_error,    fake_module_path,
};

class Launcher : public ::testing::Test {
protected:
    Machine m;
    void SetUp() override
    {
        machine = &m;
        std::memset(disc_drive, 0, sizeof disc_drive);
    }
    void TearDown() override { machine = nullptr; }
    std::vector<std::string> all_roots() const
    {
        std::vector<std::string> roots;
        for (char c = 'C'; c <= 'Z'; ++c)
            roots.push_back(std::string(1, c) + ":\\");
        return roots;
    }
};

constexpr unsigned kFixed = 3, kRemote = 4;

// --- Finding the drive -----------------------------------------------------

TEST_F(Launcher, OnlyACompactDiscDriveHoldingCd1Qualifies)
{
    m.drives['C'] = {kFixed, true};        // hard disk with cd1
    m.drives['D'] = {kDriveCdrom, false};  // disc without cd1
    m.drives['E'] = {kRemote, true};       // network drive with cd1
    m.drives['G'] = {kDriveCdrom, true};
    ASSERT_EQ(find_disc_drive(fake_system), 1);
    EXPECT_STREQ(disc_drive, "G:");
    // Only compact-disc drives are opened, and only at their root's cd1.
    EXPECT_EQ(m.opened, (std::vector<std::string>{"D:\\cd1", "G:\\cd1"}));
    EXPECT_EQ(m.roots, (std::vector<std::string>{"C:\\", "D:\\", "E:\\", "F:\\", "G:\\"}));
    EXPECT_TRUE(m.boxes.empty());
}

TEST_F(Launcher, FirstLetterWinsAndZIsProbed)
{
    m.drives['F'] = {kDriveCdrom, true};
    m.drives['E'] = {kDriveCdrom, true};
    ASSERT_EQ(find_disc_drive(fake_system), 1);
    EXPECT_STREQ(disc_drive, "E:");

    Machine only_z;
    machine = &only_z;
    only_z.drives['Z'] = {kDriveCdrom, true};
    ASSERT_EQ(find_disc_drive(fake_system), 1);
    EXPECT_STREQ(disc_drive, "Z:");
    EXPECT_EQ(only_z.roots, all_roots());
}

TEST_F(Launcher, FloppyLettersAreNeverProbed)
{
    m.drives['A'] = {kDriveCdrom, true};
    m.drives['B'] = {kDriveCdrom, true};
    EXPECT_EQ(find_disc_drive(fake_system), 0);
    EXPECT_EQ(m.roots, all_roots());
    EXPECT_TRUE(m.opened.empty());
    EXPECT_EQ(disc_drive[0], '\0');
}

// --- Asking for the disc ---------------------------------------------------

TEST_F(Launcher, AsksOncePerPassUntilTheDiscIsInserted)
{
    m.drives['D'] = {kDriveCdrom, false};
    m.answers = {6 /* IDYES */, 1 /* any other answer */, 6};
    int asked = 0;
    m.on_box = [&asked](Machine& mm) {
        if (++asked == 3)
            mm.drives['D'].has_cd1 = true;  // the user inserts the disc
    };
    m.current = "C:\\Games\\Setup";
    EXPECT_EQ(run_launcher(fake_system), 0);
    ASSERT_EQ(m.boxes.size(), 3u);
    for (const Box& box : m.boxes) {
        EXPECT_EQ(box.text, kInsertDiscText);
        EXPECT_EQ(box.caption, "Warning");
        EXPECT_EQ(box.style, 0x14u);
    }
    // Every pass runs over all letters again from C.
    EXPECT_EQ(m.roots.size(), 3 * 24u + 2);
    EXPECT_EQ(m.roots[24], "C:\\");
    EXPECT_EQ(m.commands, (std::vector<std::string>{"C:\\Games\\Setup\\setup.exe D:"}));
}

TEST_F(Launcher, AnswerNoStartsNothing)
{
    m.answers = {kAnswerNo};
    EXPECT_EQ(run_launcher(fake_system), 0);
    EXPECT_EQ(m.boxes.size(), 1u);
    EXPECT_EQ(m.calls, (std::vector<std::string>{"box"}));  // no directory read or change
}

TEST_F(Launcher, ABoxThatCannotBeShownEndsTheSearch)
{
    // MessageBoxA returns 0 when it cannot show the box, Wine without a
    // display -1; asking again would spin for ever with nobody to answer.
    for (int failed : {0, -1}) {
        Machine mm;
        machine = &mm;
        mm.answers = {failed};
        EXPECT_EQ(run_launcher(fake_system), 0);
        EXPECT_EQ(mm.boxes.size(), 1u) << failed;
        EXPECT_TRUE(mm.commands.empty()) << failed;
    }
}

TEST_F(Launcher, DiscTextIsBig5)
{
    const unsigned char expected[] = {0xBD, 0xD0, 0xA9, 0xF1, 0xA4, 0x4A, 'K',  'o',  'r',  'v',
                                      'a',  'n',  'e',  0xA6, 0x77, 0xB8, 0xCB, 0xA4, 0xF9, 0};
    ASSERT_EQ(std::strlen(kInsertDiscText) + 1, sizeof expected);
    EXPECT_EQ(std::memcmp(kInsertDiscText, expected, sizeof expected), 0);
    // The same bytes as the system's own conversion of the readable text.
    EXPECT_EQ(std::string(kInsertDiscText), big5("請放入Korvane安裝片"));
}

// --- Starting setup --------------------------------------------------------

TEST_F(Launcher, StartsSetupFromTheStartingFolderWithTheDrive)
{
    m.drives['E'] = {kDriveCdrom, true};
    m.current = "D:\\";
    EXPECT_EQ(run_launcher(fake_system), 0);
    // The folder is read before the current directory moves to the disc.
    EXPECT_EQ(m.calls, (std::vector<std::string>{"get", "set E:", "exec D:\\setup.exe E:"}));
    EXPECT_EQ(m.shows, (std::vector<unsigned>{5}));

    Machine games;
    machine = &games;
    games.drives['D'] = {kDriveCdrom, true};
    games.current = "C:\\Games\\Setup";
    EXPECT_EQ(run_launcher(fake_system), 0);
    EXPECT_EQ(games.commands, (std::vector<std::string>{"C:\\Games\\Setup\\setup.exe D:"}));
    EXPECT_EQ(games.set_dirs, (std::vector<std::string>{"D:"}));
}

TEST_F(Launcher, FailuresAfterTheSearchAreNotReported)
{
    m.drives['E'] = {kDriveCdrom, true};
    m.current = "D:\\";
    m.set_fails = true;  // setup is still started
    EXPECT_EQ(run_launcher(fake_system), 0);
    EXPECT_EQ(m.commands.size(), 1u);
    EXPECT_TRUE(m.boxes.empty());

    Machine unreadable;
    machine = &unreadable;
    unreadable.drives['E'] = {kDriveCdrom, true};
    unreadable.current_fails = true;  // nothing to start from
    EXPECT_EQ(run_launcher(fake_system), 0);
    EXPECT_TRUE(unreadable.commands.empty());
    EXPECT_TRUE(unreadable.set_dirs.empty());
}

TEST_F(Launcher, Big5FolderIsQuotedAndKeepsAFinal5CByte)
{
    // 許 is B3 5C: its second byte is not a trailing backslash. The path is
    // quoted so that setup's start-up code does not cut the program name at
    // the first byte from 0x80 up.
    m.drives['E'] = {kDriveCdrom, true};
    m.current = "C:\\" + big5("許");
    EXPECT_EQ(run_launcher(fake_system), 0);
    EXPECT_EQ(m.commands, (std::vector<std::string>{"\"C:\\" + big5("許") + "\\setup.exe\" E:"}));

    char out[64];
    ASSERT_EQ(build_setup_command(("C:\\" + big5("許功") + "\\").c_str(), "E:", out, sizeof out), 1);
    EXPECT_EQ(std::string(out), "\"C:\\" + big5("許功") + "\\setup.exe\" E:");
    ASSERT_EQ(build_setup_command("C:\\a\\", "E:", out, sizeof out), 1);
    EXPECT_STREQ(out, "C:\\a\\setup.exe E:");  // one backslash removed, not more
}

TEST_F(Launcher, FolderWithABlankIsQuoted)
{
    // Unquoted, setup would take "Files\...\setup.exe E:" as its source root.
    m.drives['E'] = {kDriveCdrom, true};
    m.current = "C:\\Program Files\\Korvane";
    EXPECT_EQ(run_launcher(fake_system), 0);
    EXPECT_EQ(m.commands, (std::vector<std::string>{"\"C:\\Program Files\\Korvane\\setup.exe\" E:"}));

    char out[64];
    ASSERT_EQ(build_setup_command("D:\\My\tGames", "E:", out, sizeof out), 1);
    EXPECT_STREQ(out, "\"D:\\My\tGames\\setup.exe\" E:");
}

// --- Folders too long for the buffers ---------------------------------------

TEST_F(Launcher, LongestFolderThatFitsTheCommandLine)
{
    // 242 characters + "\setup.exe E:" = 255 characters and the terminator.
    m.drives['E'] = {kDriveCdrom, true};
    m.current = "C:\\" + std::string(239, 'x');
    ASSERT_EQ(m.current.size(), 242u);
    EXPECT_EQ(run_launcher(fake_system), 0);
    ASSERT_EQ(m.commands.size(), 1u);
    EXPECT_EQ(m.commands[0], m.current + "\\setup.exe E:");
    EXPECT_EQ(m.commands[0].size(), 255u);
}

TEST_F(Launcher, TooLongFoldersAreRefusedWithAMessage)
{
    const std::vector<std::string> folders = {
        "C:\\" + std::string(240, 'x'),                 // 243: the command line would not fit
        "C:\\" + std::string(252, 'x'),                 // 255: fits the buffer, not the command
        "C:\\" + std::string(253, 'x'),                 // 256: does not fit the buffer
        "C:\\" + std::string(600, 'x'),                 // far too long
        "C:\\Program Files\\" + std::string(224, 'x'),  // 241, but quoted it needs 2 more
    };
    for (const std::string& folder : folders) {
        Machine mm;
        machine = &mm;
        mm.drives['E'] = {kDriveCdrom, true};
        mm.current = folder;
        EXPECT_EQ(run_launcher(fake_system), 0) << folder.size();
        EXPECT_TRUE(mm.commands.empty()) << folder.size();
        EXPECT_TRUE(mm.set_dirs.empty()) << folder.size();
        ASSERT_EQ(mm.boxes.size(), 1u) << folder.size();
        EXPECT_EQ(mm.boxes[0].text, kFolderTooLongText);
        EXPECT_EQ(mm.boxes[0].caption, "Warning");
        EXPECT_EQ(mm.boxes[0].style, 0x10u);
    }
}

// --- Where setup.exe is found, and when it does not start -------------------

TEST_F(Launcher, SetupIsLookedForBesideTheLauncherWhenNotInTheStartingFolder)
{
    const std::string big5_folder = "E:\\" + big5("許功");
    // starting folder, launcher's path, readable setup.exe files -> command line
    const std::vector<std::vector<std::string>> cases = {
        {"C:\\Games", "E:\\launcher.exe", "C:\\Games\\setup.exe|E:\\setup.exe", "C:\\Games\\setup.exe E:"},
        // an elevated start in the system folder: setup beside the launcher
        {"C:\\Windows\\system32", "E:\\launcher.exe", "E:\\setup.exe", "E:\\setup.exe E:"},
        {"C:\\", big5_folder + "\\launcher.exe", big5_folder + "\\setup.exe", "\"" + big5_folder + "\\setup.exe\" E:"},
        // nowhere, a module path without a folder or too long: the starting folder's
        {"C:\\Games", "E:\\launcher.exe", "", "C:\\Games\\setup.exe E:"},
        {"C:\\Games", "launcher.exe", "setup.exe", "C:\\Games\\setup.exe E:"},
        {"C:\\Games", "E:\\" + std::string(300, 'x') + "\\launcher.exe", "", "C:\\Games\\setup.exe E:"},
    };
    for (const auto& c : cases) {
        Machine mm;
        machine = &mm;
        mm.drives['E'] = {kDriveCdrom, true};
        mm.current = c[0];
        mm.module = c[1];
        for (size_t at = 0, bar; at < c[2].size(); at = bar + 1) {
            bar = std::min(c[2].find('|', at), c[2].size());
            mm.files.insert(c[2].substr(at, bar - at));
        }
        EXPECT_EQ(run_launcher(fake_system), 0);
        EXPECT_EQ(mm.commands, (std::vector<std::string>{c[3]})) << c[1];
        EXPECT_EQ(mm.set_dirs, (std::vector<std::string>{"E:"})) << c[1];
    }
}

TEST_F(Launcher, ASetupThatDoesNotStartIsReportedWithTheReason)
{
    // WinExec's result, GetLastError -> the reason (UTF-8); 32 and above: started, no box
    const std::vector<std::tuple<unsigned, unsigned long, std::string>> cases = {
        {2, 2, "找不到檔案 (file not found)"},
        {3, 3, "找不到路徑 (path not found)"},
        {0, 8, "記憶體不足 (out of memory)"},
        {11, 193, "不是有效的程式 (not a valid program)"},
        // CreateProcess refuses a program that needs elevation; WinExec's result then says little
        {11, kElevationRequired, "需要系統管理員權限 (elevation required)"},
        {0, kElevationRequired, "需要系統管理員權限 (elevation required)"},
        {5, 5, "錯誤碼 5 (error 5)"},
        {32, kElevationRequired, ""},  // an earlier call's error
    };
    for (const auto& [result, error, reason] : cases) {
        Machine mm;
        machine = &mm;
        mm.drives['E'] = {kDriveCdrom, true};
        mm.current = "C:\\Games";
        mm.exec_result = result;
        mm.error = error;
        EXPECT_EQ(run_launcher(fake_system), 0);
        ASSERT_EQ(mm.boxes.size(), reason.empty() ? 0u : 1u) << result;
        if (reason.empty())
            continue;
        EXPECT_EQ(mm.boxes[0].text,
                  big5("無法啟動安裝程式 (Setup could not be started):\nC:\\Games\\setup.exe E:\n\n" + reason));
        EXPECT_EQ(mm.boxes[0].caption, "Warning");
        EXPECT_EQ(mm.boxes[0].style, 0x10u);
    }
}

TEST(SetupCommand, NeverWritesPastItsBuffer)
{
    char buf[32];
    std::memset(buf, '#', sizeof buf);
    // 10 bytes offered for a command of 18 characters.
    EXPECT_EQ(build_setup_command("C:\\Games", "E:", buf, 10), 0);
    EXPECT_EQ(buf[0], '\0');
    for (size_t i = 10; i < sizeof buf; ++i)
        ASSERT_EQ(buf[i], '#') << i;
    EXPECT_EQ(build_setup_command("C:\\Games", "E:", buf, 0), 0);
    // Exactly enough: 22 characters and the terminator.
    EXPECT_EQ(build_setup_command("C:\\Games", "E:", buf, 23), 1);
    EXPECT_STREQ(buf, "C:\\Games\\setup.exe E:");
}

}  // namespace
