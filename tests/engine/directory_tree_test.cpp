// Folder levels, the rollback journal and remove_tree on their own.
#include "directory_tree.h"
#include "install_journal.h"
#include "platform.h"
#include "test_support.h"
#include "tracked_memory.h"

#include <gtest/gtest.h>

namespace {

std::vector<std::string> journal_entries(const InstallJournal& j)
{
    std::vector<std::string> out;
    for (int32_t i = 0; i < j.count; ++i)
        out.push_back(std::string(1, j.kind(i)) + " " + j.path(i));
    return out;
}

std::string current_directory()
{
    char buf[PLAT_PATH_SIZE];
    EXPECT_TRUE(plat_get_current_directory(buf, sizeof buf));
    return buf;
}

}  // namespace

TEST(MakeDirectoryPath, CreatesEveryLevelAndNotesOnlyNewOnes)
{
    TempDir tmp;
    std::string top = tmp.path("a");
    ASSERT_TRUE(plat_create_directory(top.c_str()));
    std::string path = top + "\\b\\c";
    InstallJournal j;
    make_directory_path(path.c_str(), &j);
    EXPECT_EQ(plat_file_attributes(path.c_str()) & PLAT_ATTR_DIRECTORY, (uint32_t)PLAT_ATTR_DIRECTORY);
    EXPECT_EQ(journal_entries(j), (std::vector<std::string>{"D " + top + "\\b", "D " + path}));
    j.release();
    // Again: everything exists, nothing is new.
    make_directory_path(path.c_str(), &j);
    EXPECT_EQ(j.count, 0);
}

TEST(MakeDirectoryPath, Big5SecondBytesAreNotSeparators)
{
    TempDir tmp;
    std::string company = tmp.path("許功蓋");
    std::string path = company + big5("\\功");
    InstallJournal j;
    make_directory_path(path.c_str(), &j);
    EXPECT_EQ(journal_entries(j), (std::vector<std::string>{"D " + company, "D " + path}));
    EXPECT_TRUE(exists(path));
    j.roll_back();
    EXPECT_FALSE(exists(company));
    EXPECT_EQ(j.count, 0);
}

TEST(MakeDirectoryPath, OverLongPathCreatesNothing)
{
    TempDir tmp;
    std::string path = tmp.path("x") + "\\" + std::string(300, 'y');
    InstallJournal j;
    make_directory_path(path.c_str(), &j);
    EXPECT_FALSE(exists(tmp.path("x")));
    EXPECT_EQ(j.count, 0);
}

TEST(InstallJournal, RollBackRemovesFilesThenEmptyFoldersOnly)
{
    TempDir tmp;
    int32_t live = tracked_stats().live;
    std::string a = tmp.path("a"), b = a + "\\b";
    ASSERT_TRUE(plat_create_directory(a.c_str()));
    ASSERT_TRUE(plat_create_directory(b.c_str()));
    write_file(b + "\\ours", "1");
    write_file(a + "\\theirs", "2");  // appeared meanwhile: not in the journal
    InstallJournal j;
    j.add(InstallJournal::kDirectory, a.c_str());
    j.add(InstallJournal::kDirectory, b.c_str());
    j.add(InstallJournal::kFile, (b + "\\ours").c_str());
    for (int i = 0; i < 200; ++i)  // grows past its first block
        j.add(InstallJournal::kFile, (a + "\\never-made-" + std::to_string(i)).c_str());
    j.roll_back();
    EXPECT_FALSE(exists(b));
    EXPECT_TRUE(exists(a));
    EXPECT_EQ(read_file(a + "\\theirs"), "2");
    EXPECT_EQ(tracked_stats().live, live);
}

TEST(InstallJournal, RollBackMovesBackupsBackNewestFirst)
{
    TempDir tmp;
    int32_t live = tracked_stats().live;
    std::string cfg = tmp.path("game.cfg"), first = cfg + ".~bak1", second = cfg + ".~bak2";
    // The same name moved aside twice: first the user's file, then a file
    // of the installation itself; then the installation's newest file.
    write_file(first, "the user's");
    write_file(second, "installation, first try");
    write_file(cfg, "installation, second try");
    InstallJournal j;
    j.add_backup(cfg.c_str(), first.c_str());
    j.add(InstallJournal::kFile, cfg.c_str());
    j.add_backup(cfg.c_str(), second.c_str());  // noted once per original path
    EXPECT_EQ(j.count, 2);
    EXPECT_STREQ(j.path(0), cfg.c_str());
    EXPECT_STREQ(j.backup(0), first.c_str());
    EXPECT_EQ(j.contains(InstallJournal::kBackup, cfg.c_str(), (int32_t)cfg.size()), 1);
    EXPECT_EQ(j.contains(InstallJournal::kBackup, first.c_str(), (int32_t)first.size()), 0);
    j.release();

    // Two spellings of one name (as on Windows) give two entries.
    std::string other = tmp.path("GAME.CFG");
    j.add_backup(cfg.c_str(), first.c_str());
    j.add(InstallJournal::kFile, cfg.c_str());
    j.add_backup(other.c_str(), second.c_str());
    j.add(InstallJournal::kFile, other.c_str());
    j.roll_back();
    EXPECT_EQ(j.count, 0);
    EXPECT_FALSE(exists(first));
    EXPECT_FALSE(exists(second));
    // Case-blind systems end with the user's file under its first name;
    // case-keeping ones leave the newer backup under the other spelling.
    EXPECT_EQ(read_file(cfg), "the user's");
    EXPECT_EQ(tracked_stats().live, live);
}

TEST(InstallJournal, CommitDeletesBackupsButNotAFileOfTheInstallationUnderABackupName)
{
    TempDir tmp;
    int32_t live = tracked_stats().live;
    std::string a = tmp.path("a"), a1 = a + ".~bak1", a11 = a1 + ".~bak1";
    std::string b = tmp.path("b"), b1 = b + ".~bak1";
    write_file(a, "new a");
    write_file(a1, "installed under a backup name");
    write_file(a11, "old a");
    write_file(b, "new b");
    write_file(b1, "old b");
    InstallJournal j;
    j.add_backup(a.c_str(), a1.c_str());
    j.add(InstallJournal::kFile, a.c_str());
    j.add_backup(a1.c_str(), a11.c_str());
    j.add(InstallJournal::kFile, a1.c_str());
    j.add_backup(b.c_str(), b1.c_str());
    j.add(InstallJournal::kFile, b.c_str());
    j.commit();
    EXPECT_EQ(j.count, 0);
    EXPECT_EQ(read_file(a), "new a");
    EXPECT_EQ(read_file(a1), "installed under a backup name");
    EXPECT_FALSE(exists(a11));
    EXPECT_EQ(read_file(b), "new b");
    EXPECT_FALSE(exists(b1));
    EXPECT_EQ(tracked_stats().live, live);
}

TEST(InstallJournal, NotesEachPathOncePerKindAndFindsItsFolders)
{
    int32_t live = tracked_stats().live;
    InstallJournal j;
    EXPECT_EQ(j.contains(InstallJournal::kDirectory, "C:\\a", 4), 0);  // empty journal
    j.add(InstallJournal::kDirectory, "C:\\a");
    j.add(InstallJournal::kFile, "C:\\a");
    j.add(InstallJournal::kDirectory, "C:\\a");  // a second time: nothing new
    j.add(InstallJournal::kFile, "C:\\a\\x");
    j.add(InstallJournal::kFile, "C:\\a\\x");
    EXPECT_EQ(journal_entries(j), (std::vector<std::string>{"D C:\\a", "F C:\\a", "F C:\\a\\x"}));
    // The folder of "C:\a\x" is its first 4 bytes.
    EXPECT_EQ(j.contains(InstallJournal::kDirectory, "C:\\a\\x", 4), 1);
    EXPECT_EQ(j.contains(InstallJournal::kDirectory, "C:\\a\\x", 6), 0);  // noted as a file only
    EXPECT_EQ(j.contains(InstallJournal::kFile, "C:\\a\\x", 6), 1);
    EXPECT_EQ(j.contains(InstallJournal::kDirectory, "C:\\ab", 5), 0);  // longer than a noted path
    EXPECT_EQ(j.contains(InstallJournal::kDirectory, "C:\\a", 3), 0);   // a part of one
    // Thousands of entries: the index grows and still finds each one.
    for (int i = 0; i < 3000; ++i)
        j.add(i % 3 ? InstallJournal::kFile : InstallJournal::kDirectory, ("C:\\a\\" + std::to_string(i)).c_str());
    EXPECT_EQ(j.count, 3003);
    int found = 0, wrong = 0;
    for (int i = 0; i < 3000; ++i) {
        std::string p = "C:\\a\\" + std::to_string(i);
        char k = i % 3 ? InstallJournal::kFile : InstallJournal::kDirectory;
        char other = i % 3 ? InstallJournal::kDirectory : InstallJournal::kFile;
        found += j.contains(k, p.c_str(), (int32_t)p.size());
        wrong += j.contains(other, p.c_str(), (int32_t)p.size());
    }
    EXPECT_EQ(found, 3000);
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(j.contains(InstallJournal::kFile, "C:\\a\\3000", 9), 0);
    j.release();
    EXPECT_EQ(j.count, 0);
    EXPECT_EQ(j.contains(InstallJournal::kDirectory, "C:\\a", 4), 0);
    EXPECT_EQ(tracked_stats().live, live);
}

TEST(RemoveTree, DeletesANestedTreeAndRestoresTheCurrentFolder)
{
    TempDir tmp;
    std::string root = tmp.path("t");
    ASSERT_TRUE(plat_create_directory(root.c_str()));
    ASSERT_TRUE(plat_create_directory((root + "\\x").c_str()));
    ASSERT_TRUE(plat_create_directory((root + "\\x\\" + big5("許功蓋")).c_str()));
    write_file(root + "\\f1", "1");
    write_file(root + "\\x\\f2", "2");
    write_file(root + "\\x\\" + big5("許功蓋") + "\\f3", "3");
    std::string before = current_directory();
    EXPECT_EQ(remove_tree(root.c_str()), 1);
    EXPECT_FALSE(exists(root));
    EXPECT_EQ(current_directory(), before);
}

#if !defined(_WIN32)
// Links inside the tree (POSIX links stand for Windows ones here) are taken
// away; what they lead to, outside the tree, stays as it was.
TEST(RemoveTree, TakesLinksAwayButNotWhatTheyLeadTo)
{
    TempDir tmp, outside;
    std::string root = tmp.path("t");
    ASSERT_TRUE(plat_create_directory(root.c_str()));
    write_file(outside.path("keep.txt"), "user data");
    fs::create_directory_symlink(outside.host, host_of(root) / "to-folder");
    fs::create_symlink(outside.host / "keep.txt", host_of(root) / "to-file");
    EXPECT_EQ(remove_tree(root.c_str()), 1);
    EXPECT_FALSE(exists(root));
    EXPECT_EQ(read_file(outside.path("keep.txt")), "user data");
}
#endif

TEST(RemoveTree, RelativeNameFromTheCurrentFolder)
{
    TempDir tmp;
    std::string before = current_directory();
    ASSERT_TRUE(plat_set_current_directory(tmp.win.c_str()));
    ASSERT_TRUE(plat_create_directory("rel"));
    write_file(tmp.path("rel") + "\\f", "x");
    EXPECT_EQ(remove_tree("rel"), 1);
    EXPECT_FALSE(exists(tmp.path("rel")));
    EXPECT_EQ(current_directory(), tmp.win);
    ASSERT_TRUE(plat_set_current_directory(before.c_str()));
}

TEST(RemoveTree, DeletesNothingWhenItCannotChangeIntoTheFolder)
{
    TempDir tmp;
    std::string before = current_directory();
    ASSERT_TRUE(plat_set_current_directory(tmp.win.c_str()));
    write_file(tmp.path("precious"), "keep");
    write_file(tmp.path("a-file"), "not a folder");
    EXPECT_EQ(remove_tree(tmp.path("missing").c_str()), 0);
    EXPECT_EQ(remove_tree(tmp.path("a-file").c_str()), 0);
    EXPECT_EQ(read_file(tmp.path("precious")), "keep");
    EXPECT_EQ(read_file(tmp.path("a-file")), "not a folder");
    EXPECT_EQ(current_directory(), tmp.win);
    ASSERT_TRUE(plat_set_current_directory(before.c_str()));
}
