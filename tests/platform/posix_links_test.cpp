// Symbolic links in the POSIX stand-in stand for Windows links (reparse
// points): the listing and plat_file_attributes report a link alike, and
// removing a link never reaches what it leads to.
#include "platform.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>

namespace {

// A folder holding a link to a folder and one to a file, both outside it,
// a link that leads nowhere, a plain file and a dot file.
struct LinkFolder {
    TempDir dir;
    TempDir outside;  // what the links lead to: the user's data

    LinkFolder()
    {
        write_file(outside.path("keep.txt"), "user data");
        fs::create_directory_symlink(outside.host, dir.host / "to-folder");
        fs::create_symlink(outside.host / "keep.txt", dir.host / "to-file");
        fs::create_symlink(dir.host / "nowhere", dir.host / "dangling");
        write_file(dir.path("plain"), "x");
        write_file(dir.path(".dotted"), "x");
    }

    std::map<std::string, uint32_t> listing() const
    {
        std::map<std::string, uint32_t> listed;
        DirListing l;
        DirEntry e;
        for (int ok = l.open(dir.win.c_str(), &e); ok; ok = l.next(&e))
            if (strcmp(e.name, ".") != 0 && strcmp(e.name, "..") != 0)
                listed[e.name] = e.attrib;
        l.close();
        return listed;
    }
};

}  // namespace

TEST(PosixLinks, ListedAndAttributedAsWindowsLinks)
{
    LinkFolder f;
    std::map<std::string, uint32_t> listed = f.listing();
    const std::map<std::string, uint32_t> expected = {
        {"to-folder", PLAT_ATTR_DIRECTORY | PLAT_ATTR_REPARSE_POINT},
        {"to-file", PLAT_ATTR_REPARSE_POINT},
        {"dangling", PLAT_ATTR_REPARSE_POINT},
        {"plain", PLAT_ATTR_NORMAL},
        {".dotted", PLAT_ATTR_HIDDEN},
    };
    EXPECT_EQ(listed, expected);
    for (const auto& entry : expected) {
        EXPECT_EQ(plat_file_attributes(f.dir.path(entry.first).c_str()), entry.second) << entry.first;
        EXPECT_EQ(plat_is_link(f.dir.path(entry.first).c_str()), entry.second & PLAT_ATTR_REPARSE_POINT ? 1 : 0)
            << entry.first;
    }

    // plat_set_read_only changes what a link leads to, and the link reports it.
    std::string target = f.outside.path("keep.txt");
    ASSERT_EQ(plat_set_read_only(f.dir.path("to-file").c_str(), 1), 1);
    EXPECT_NE(plat_file_attributes(target.c_str()) & PLAT_ATTR_READONLY, 0u);
    EXPECT_EQ(plat_file_attributes(f.dir.path("to-file").c_str()), PLAT_ATTR_REPARSE_POINT | PLAT_ATTR_READONLY);
    EXPECT_EQ(f.listing()["to-file"], PLAT_ATTR_REPARSE_POINT | PLAT_ATTR_READONLY);
    ASSERT_EQ(plat_set_read_only(target.c_str(), 0), 1);
}

TEST(PosixLinks, RemovingALinkLeavesWhatItLeadsTo)
{
    LinkFolder f;
    EXPECT_EQ(plat_remove_directory(f.dir.path("to-folder").c_str()), 1);
    EXPECT_EQ(plat_remove_file(f.dir.path("to-file").c_str()), 1);
    EXPECT_EQ(plat_remove_file(f.dir.path("dangling").c_str()), 1);
    EXPECT_FALSE(fs::exists(fs::symlink_status(f.dir.host / "to-folder")));
    EXPECT_FALSE(fs::exists(fs::symlink_status(f.dir.host / "to-file")));
    EXPECT_FALSE(fs::exists(fs::symlink_status(f.dir.host / "dangling")));
    EXPECT_EQ(read_file(f.outside.path("keep.txt")), "user data");
    // A link to a file is no directory, and a folder with files is not removed.
    write_file(f.dir.path("file"), "x");
    fs::create_symlink(f.dir.host / "file", f.dir.host / "again");
    EXPECT_EQ(plat_remove_directory(f.dir.path("again").c_str()), 0);
    EXPECT_EQ(plat_remove_directory(f.outside.win.c_str()), 0);
    EXPECT_EQ(read_file(f.outside.path("keep.txt")), "user data");
}
