// Package members: lookup, reading, counting, and damaged packages.
#include "apkg_format.h"
#include "apkg_writer.h"
#include "child_run.h"
#include "file_object.h"
#include "platform.h"
#include "test_support.h"
#include "tracked_memory.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

std::string package_of(const std::vector<ApkgInput>& members)
{
    std::string bytes, error;
    EXPECT_TRUE(apkg_build(members, &bytes, &error)) << error;
    return bytes;
}

std::string read_all(FileObject& f)
{
    std::string out;
    char buf[4096];
    for (int32_t n; (n = f.read(buf, sizeof buf)) > 0;)
        out.append(buf, (size_t)n);
    return out;
}

// Checks that an open attempt fails and leaves nothing open or allocated.
void expect_open_fails(const std::string& path)
{
    int32_t opened = open_count();
    int32_t live = tracked_stats().live;
    FileObject f;
    EXPECT_EQ(f.open_read(path.c_str()), 0) << utf8(path);
    EXPECT_EQ(f.handle, nullptr);
    EXPECT_EQ(open_count(), opened);
    EXPECT_EQ(tracked_stats().live, live);
}

void put32(std::string& bytes, size_t at, int32_t value)
{
    put_le32((unsigned char*)&bytes[at], value);
}

}  // namespace

TEST(PackageLookup, MissingFileIsFoundInThePackageOfItsFolderWithoutRegardToCase)
{
    TempDir dir;
    fs::create_directories(dir.host / "data");
    write_file(dir.path("data\\maps.apkg"), package_of({{"TOWN.MAP", "town data"}, {"other", "x"}}));
    int32_t opened = open_count();
    int32_t live = tracked_stats().live;

    FileObject f;
    ASSERT_EQ(f.open_read(dir.path("data\\maps\\town.map").c_str()), 1);
    EXPECT_EQ(f.is_member, 1);
    EXPECT_EQ(open_count(), opened + 2);  // the package file and the member
    EXPECT_EQ(f.size(), 9);
    EXPECT_EQ(read_all(f), "town data");
    EXPECT_EQ(f.close(), 1);
    EXPECT_EQ(open_count(), opened);
    EXPECT_EQ(tracked_stats().live, live);
}

TEST(PackageLookup, PlainFileComesFirst)
{
    TempDir dir;
    write_file(dir.path("p.apkg"), package_of({{"f.txt", "from package"}}));
    fs::create_directories(dir.host / "p");
    write_file(dir.path("p\\f.txt"), "plain");
    FileObject f;
    ASSERT_EQ(f.open_read(dir.path("p\\f.txt").c_str()), 1);
    EXPECT_EQ(f.is_member, 0);
    EXPECT_EQ(read_all(f), "plain");
    f.close();
}

TEST(PackageLookup, Big5NamesMatchOnlyByIdenticalBytes)
{
    TempDir dir;
    // 地 (A6 61) and 圖 differ; 地's trail byte is 'a', which must not be
    // matched against 'A' in another character.
    write_file(dir.path("pk.apkg"), package_of({{big5("地圖.tga"), "map"}}));
    FileObject f;
    ASSERT_EQ(f.open_read((dir.path("pk") + "\\" + big5("地圖.TGA")).c_str()), 1);
    EXPECT_EQ(read_all(f), "map");
    f.close();
    std::string altered = big5("地圖.tga");
    altered[1] = 'A';  // same letters upper-cased inside the character
    expect_open_fails(dir.path("pk") + "\\" + altered);
    expect_open_fails(dir.path("pk") + "\\" + big5("圖地.tga"));
}

TEST(PackageLookup, NoBackslashMeansNoPackageLookup)
{
    // Packages where a lookup that went on without a backslash would find
    // the name: one with an empty directory part (".apkg") in the current
    // folder, one named after the file's stem, and, for a '/' taken as a
    // separator, the package of "sub".
    TempDir dir;
    const std::string loose = package_of({{"loose.txt", "found"}});
    write_file(dir.path(".apkg"), loose);
    write_file(dir.path("loose.apkg"), loose);
    write_file(dir.path("sub.apkg"), loose);
    char saved[1024];
    ASSERT_EQ(plat_get_current_directory(saved, sizeof saved), 1);
    ASSERT_EQ(plat_set_current_directory(dir.win.c_str()), 1);

    expect_open_fails("loose.txt");
    expect_open_fails("LOOSE.TXT");
    expect_open_fails("sub/loose.txt");
    // The same member is found once a backslash names its package.
    FileObject f;
    EXPECT_EQ(f.open_read("sub\\loose.txt"), 1);
    EXPECT_EQ(read_all(f), "found");
    f.close();

    plat_set_current_directory(saved);
}

TEST(PackageLookup, NestedPackagesAreCountedPerLevel)
{
    TempDir dir;
    std::string inner = package_of({{"c.txt", "deep"}});
    write_file(dir.path("a.apkg"), package_of({{"b.apkg", inner}}));
    int32_t opened = open_count();
    FileObject f;
    ASSERT_EQ(f.open_read(dir.path("a\\b\\c.txt").c_str()), 1);
    EXPECT_EQ(open_count(), opened + 3);
    EXPECT_EQ(read_all(f), "deep");
    EXPECT_EQ(f.close(), 1);
    EXPECT_EQ(open_count(), opened);
}

TEST(MemberReading, ShortReadsComplementAndEnd)
{
    TempDir dir;
    std::string thirty = random_bytes(30, 7);
    write_file(dir.path("m.apkg"), package_of({{"empty", ""}, {"thirty", thirty}, {"after", "ZZZZ"}}));

    FileObject e;
    ASSERT_EQ(e.open_read(dir.path("m\\empty").c_str()), 1);
    char buf[100];
    EXPECT_EQ(e.read(buf, 100), 0);
    e.close();

    FileObject t;
    ASSERT_EQ(t.open_read(dir.path("m\\thirty").c_str()), 1);
    EXPECT_EQ(t.read(buf, 100), 30);
    EXPECT_EQ(std::string(buf, 30), thirty);
    EXPECT_EQ(t.read(buf, 100), 0);
    // Seeks are relative to the member; size() is the member's.
    ASSERT_EQ(t.seek(25), 1);
    EXPECT_EQ(t.size(), 30);
    EXPECT_EQ(t.read(buf, 100), 5);
    EXPECT_EQ(std::string(buf, 5), thirty.substr(25));
    ASSERT_EQ(t.seek(40), 1);
    EXPECT_EQ(t.read(buf, 100), 0);
    // Members are read-only.
    EXPECT_EQ(t.write("x", 1), 0);
    t.close();
}

TEST(MemberReading, RoundTripOfAFolderThroughTheToolkit)
{
    TempDir dir;
    fs::create_directories(dir.host / "src");
    std::vector<std::pair<std::string, std::string>> files = {{"big.bin", random_bytes(300000, 3)},
                                                              {"empty.txt", ""},
                                                              {"地圖.tga", random_bytes(1000, 4)},
                                                              {"readme", "no extension"}};
    for (auto& f : files)
        write_file(dir.path("src\\" + f.first), f.second);
    std::string error;
    ASSERT_TRUE(apkg_create_from_folder(dir.host / "src", dir.host / "pk.apkg", &error)) << error;
    for (auto& f : files) {
        FileObject m;
        ASSERT_EQ(m.open_read(dir.path("pk\\" + f.first).c_str()), 1) << f.first;
        EXPECT_EQ(m.is_member, 1);
        EXPECT_EQ(read_all(m), f.second) << f.first;
        m.close();
    }
    std::vector<ApkgEntryInfo> listed;
    ASSERT_TRUE(apkg_list(dir.host / "pk.apkg", &listed, &error)) << error;
    ASSERT_EQ(listed.size(), files.size());
    ASSERT_TRUE(apkg_extract(dir.host / "pk.apkg", dir.host / "out", &error)) << error;
    for (auto& f : files)
        EXPECT_EQ(read_file(dir.path("out\\" + f.first)), f.second) << f.first;
}

// Damaged packages: each case takes a good package, breaks the bytes that
// matter, and expects a clean refusal.
TEST(DamagedPackage, RefusedWithoutReadingOutsideTheFile)
{
    std::string good = package_of({{"m.txt", "member data"}});
    // Layout of `good`: header 0..11, data 12..22, directory entry 23..62.
    const size_t dir_at = 23;
    ASSERT_EQ(good.size(), dir_at + 40);

    struct Case {
        const char* what;
        std::string bytes;
    };
    std::vector<Case> cases;
    cases.push_back({"empty file", ""});
    cases.push_back({"header cut after the magic", good.substr(0, 6)});
    {
        std::string b = good;
        b[0] = 'X';  // magic
        cases.push_back({"wrong magic", b});
    }
    {
        std::string b = good;
        put32(b, 4, (int32_t)good.size() + 100);  // directory offset past the end
        cases.push_back({"directory offset past the end", b});
    }
    {
        std::string b = good;
        put32(b, 4, -40);  // negative directory offset
        cases.push_back({"negative directory offset", b});
    }
    {
        std::string b = good;
        put32(b, 8, 2);  // two entries, only one present
        cases.push_back({"entry count past the end", b});
    }
    {
        std::string b = good;
        put32(b, 8, 0x7FFFFFFF);  // would ask for an 80 GiB directory
        cases.push_back({"huge entry count", b});
    }
    {
        std::string b = good;
        put32(b, 8, -1);
        cases.push_back({"negative entry count", b});
    }
    {
        std::string b = good;
        put32(b, 8, 0);
        cases.push_back({"no entries", b});
    }
    {
        std::string b = good;
        put32(b, dir_at + 36, 1000);  // member size reaching past the end
        cases.push_back({"member past the end", b});
    }
    {
        std::string b = good;
        put32(b, dir_at + 32, 0x7FFFFFF0);  // offset + size overflows 32 bits
        cases.push_back({"member offset overflowing", b});
    }
    {
        std::string b = good;
        put32(b, dir_at + 36, -5);
        cases.push_back({"negative member size", b});
    }
    {
        std::string b = good;
        // The name field filled with 32 letters and no NUL: "m.txt" plus
        // 27 more bytes; never matched, never read past.
        for (size_t i = 5; i < 32; ++i)
            b[dir_at + i] = 'x';
        cases.push_back({"unterminated name", b});
    }
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        write_file(dir.path("d.apkg"), c.bytes);
        expect_open_fails(dir.path("d\\m.txt"));
        std::vector<ApkgEntryInfo> listed;
        std::string error;
        if (apkg_list(dir.host / "d.apkg", &listed, &error)) {
            // A readable directory may still hold damaged entries: they
            // are flagged, and unpacking refuses them.
            bool any_damaged = false;
            for (auto& e : listed)
                any_damaged |= !e.valid;
            if (any_damaged) {
                EXPECT_FALSE(apkg_extract(dir.host / "d.apkg", dir.host / "out", &error));
            }
        }
    }
}

TEST(DamagedPackage, LongPathsAreRefusedWithoutOverrunningTheWorkBuffers)
{
    TempDir dir;
    write_file(dir.path("q.apkg"), package_of({{"m", "ok"}}));
    // Paths of 255, 256 and 260 bytes: the lookup works in 256-byte buffers.
    for (size_t total : {255u, 256u, 260u, 1000u}) {
        std::string path = dir.path("q") + "\\";
        path += std::string(total - path.size(), 'n');
        ASSERT_EQ(path.size(), total);
        expect_open_fails(path);
    }
    // A directory part that fills the buffer leaves no room for ".apkg".
    std::string dir_part = dir.win + "\\" + std::string(252 - dir.win.size(), 'd');
    expect_open_fails(dir_part + "\\m");
}

TEST(PackageWriter, RefusesNamesTheReaderCouldNotFind)
{
    std::string bytes, error;
    EXPECT_FALSE(apkg_build({{std::string(32, 'a'), "x"}}, &bytes, &error));
    EXPECT_NE(error.find("31"), std::string::npos) << error;
    EXPECT_TRUE(apkg_build({{std::string(31, 'a'), "x"}}, &bytes, &error)) << error;
    EXPECT_FALSE(apkg_build({{"", "x"}}, &bytes, &error));
    EXPECT_FALSE(apkg_build({{"a\\b", "x"}}, &bytes, &error));
    EXPECT_FALSE(apkg_build({{"..", "x"}}, &bytes, &error));
    // 許 ends in 0x5C: the reader would split the path inside it.
    EXPECT_FALSE(apkg_build({{big5("許.txt"), "x"}}, &bytes, &error));
    EXPECT_NE(error.find("0x5C"), std::string::npos) << error;
    // Names equal but for ASCII case would shadow each other.
    EXPECT_FALSE(apkg_build({{"Readme", "1"}, {"README", "2"}}, &bytes, &error));
}

TEST(PackageWriter, FolderWithASubFolderOrAnUnnameableFileIsRefused)
{
    TempDir dir;
    fs::create_directories(dir.host / "src" / "sub");
    std::string error;
    EXPECT_FALSE(apkg_create_from_folder(dir.host / "src", dir.host / "x.apkg", &error));
    EXPECT_NE(error.find("folder"), std::string::npos) << error;
    EXPECT_FALSE(fs::exists(dir.host / "x.apkg"));
#ifndef _WIN32
    fs::remove(dir.host / "src" / "sub");
    // A name with no Big5 form (an emoji) cannot go into a package.
    std::ofstream(dir.host / "src" / u8"smile\U0001F600.txt") << "x";
    EXPECT_FALSE(apkg_create_from_folder(dir.host / "src", dir.host / "x.apkg", &error));
    EXPECT_NE(error.find("Big5"), std::string::npos) << error;
#endif
}

TEST(OpenFileWarning, MemberOpenedAndClosedIsQuietLeftOpenWarnsOnce)
{
    TempDir dir;
    write_file(dir.path("pack.apkg"), package_of({{"m.txt", "x"}}));
    EXPECT_EQ(run_exit_check_child("member-closed", dir.win).boxes, "");
    // The member record is still held too, so the memory check speaks as well.
    EXPECT_EQ(run_exit_check_child("member-left-open", dir.win).boxes,
              "error|Some file is not close\n"
              "Memory Error !!|alloc_sum != free_sum\n"
              "Memory Error !!|alloc_size != free_size\n");
}
