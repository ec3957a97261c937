// Unpacking packages from anywhere: where the bytes go, which of two
// same-named members is written, names Windows cannot hold, all or nothing,
// and member names on the terminal.
#include "apkg_format.h"
#include "apkg_writer.h"
#include "new_file.h"
#include "terminal_text.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <set>

namespace {

struct RawMember {
    std::string name;            // code page 950, stored as it is (no checks)
    std::string bytes;           // real content
    int32_t size_override = -1;  // the directory's size field, when >= 0
};

// A package built byte by byte, so that it may hold what the writer refuses
// (twin names, device names, damaged entries).
std::string raw_package(const std::vector<RawMember>& members)
{
    std::string out(apkg::kHeaderSize, '\0');
    std::string dir;
    for (const RawMember& m : members) {
        int32_t offset = (int32_t)out.size();
        std::string data = m.bytes;
        apkg::complement((unsigned char*)&data[0], (int32_t)data.size());
        out += data;
        unsigned char entry[apkg::kEntrySize] = {0};
        memcpy(entry, m.name.data(), m.name.size() < 32 ? m.name.size() : 32);
        put_le32(entry + apkg::kDataOffsetAt, offset);
        put_le32(entry + apkg::kDataSizeAt, m.size_override >= 0 ? m.size_override : (int32_t)m.bytes.size());
        dir.append((const char*)entry, sizeof entry);
    }
    unsigned char header[apkg::kHeaderSize];
    memcpy(header, apkg::kMagic, 4);
    put_le32(header + apkg::kDirectoryOffsetAt, (int32_t)out.size());
    put_le32(header + apkg::kEntryCountAt, (int32_t)members.size());
    out.replace(0, apkg::kHeaderSize, (const char*)header, apkg::kHeaderSize);
    return out + dir;
}

void put_host(const fs::path& p, const std::string& bytes)
{
    std::ofstream(p, std::ios::binary) << bytes;
}

std::set<std::string> names_in(const fs::path& folder)
{
    std::set<std::string> out;
    std::error_code ec;
    for (auto it = fs::directory_iterator(folder, ec); !ec && it != fs::directory_iterator(); it.increment(ec))
        out.insert(it->path().filename().u8string());
    return out;
}

}  // namespace

TEST(ApkgExtractTarget, ExistingFolderThatIsNotEmptyIsRefusedAndKept)
{
    TempDir dir;
    put_host(dir.host / "p.apkg", raw_package({{"m.txt", "from the package"}}));
    fs::create_directories(dir.host / "out");
    put_host(dir.host / "out" / "m.txt", "the user's own file");
    std::string error;
    EXPECT_FALSE(apkg_extract(dir.host / "p.apkg", dir.host / "out", &error));
    EXPECT_NE(error.find("not an empty folder"), std::string::npos) << error;
    EXPECT_EQ(host_bytes(dir.host / "out" / "m.txt"), "the user's own file");

    // A file where the folder should be is refused as well.
    put_host(dir.host / "plain", "x");
    EXPECT_FALSE(apkg_extract(dir.host / "p.apkg", dir.host / "plain", &error));
    EXPECT_EQ(host_bytes(dir.host / "plain"), "x");

    // An empty folder and a new one are fine.
    fs::create_directories(dir.host / "empty");
    EXPECT_TRUE(apkg_extract(dir.host / "p.apkg", dir.host / "empty", &error)) << error;
    EXPECT_EQ(host_bytes(dir.host / "empty" / "m.txt"), "from the package");
    EXPECT_TRUE(apkg_extract(dir.host / "p.apkg", dir.host / "new" / "deeper", &error)) << error;
    EXPECT_EQ(host_bytes(dir.host / "new" / "deeper" / "m.txt"), "from the package");
}

#ifndef _WIN32
TEST(ApkgExtractTarget, LinkNamedLikeAMemberIsNeitherFollowedNorReplaced)
{
    TempDir dir;
    put_host(dir.host / "p.apkg", raw_package({{"m.txt", "from the package"}}));
    put_host(dir.host / "victim", "outside the output folder");
    fs::create_directories(dir.host / "out");
    fs::create_symlink(dir.host / "victim", dir.host / "out" / "m.txt");
    std::string error;
    EXPECT_FALSE(apkg_extract(dir.host / "p.apkg", dir.host / "out", &error));
    EXPECT_EQ(host_bytes(dir.host / "victim"), "outside the output folder");
    EXPECT_TRUE(fs::is_symlink(dir.host / "out" / "m.txt"));

    // The file creation itself refuses a link, also one that points nowhere
    // (the name could appear between the folder check and the write).
    EXPECT_FALSE(create_new_host_file(dir.host / "out" / "m.txt", "new bytes", &error));
    EXPECT_EQ(host_bytes(dir.host / "victim"), "outside the output folder");
    fs::create_symlink(dir.host / "nowhere", dir.host / "dangling");
    EXPECT_FALSE(create_new_host_file(dir.host / "dangling", "new bytes", &error));
    EXPECT_FALSE(fs::exists(dir.host / "nowhere"));
}
#endif

TEST(ApkgExtractTarget, NewFileNeverReplacesAnExistingOne)
{
    TempDir dir;
    put_host(dir.host / "f", "old");
    std::string error;
    EXPECT_FALSE(create_new_host_file(dir.host / "f", "new", &error));
    EXPECT_EQ(host_bytes(dir.host / "f"), "old");
    EXPECT_TRUE(create_new_host_file(dir.host / "g", "new", &error)) << error;
    EXPECT_EQ(host_bytes(dir.host / "g"), "new");
}

TEST(ApkgExtractTwins, TheMemberTheInstallerOpensIsWrittenAndTheOthersReported)
{
    TempDir dir;
    // The installer's lookup upper-cases ASCII letters and takes the first
    // match, so entry 0 is what setup would read for any of these names.
    put_host(dir.host / "p.apkg",
             raw_package({{"readme", "first"}, {"other.txt", "other"}, {"README", "second"}, {"readme", "third"}}));
    std::string error;
    std::vector<std::string> shadowed;
    ASSERT_TRUE(apkg_extract(dir.host / "p.apkg", dir.host / "out", &error, &shadowed)) << error;
    EXPECT_EQ(names_in(dir.host / "out"), (std::set<std::string>{"readme", "other.txt"}));
    EXPECT_EQ(host_bytes(dir.host / "out" / "readme"), "first");
    ASSERT_EQ(shadowed.size(), 2u);
    EXPECT_NE(shadowed[0].find("entry 2 \"README\""), std::string::npos) << shadowed[0];
    EXPECT_NE(shadowed[0].find("entry 0 \"readme\""), std::string::npos) << shadowed[0];
    EXPECT_NE(shadowed[1].find("entry 3"), std::string::npos) << shadowed[1];

    // Big5 characters match exactly, also when a second byte is an ASCII
    // letter: A4 61 and A4 41 are two characters, and two members.
    put_host(dir.host / "b.apkg", raw_package({{"\xA4\x61", "a"}, {"\xA4\x41", "b"}}));
    ASSERT_TRUE(apkg_extract(dir.host / "b.apkg", dir.host / "out2", &error, &shadowed)) << error;
    EXPECT_TRUE(shadowed.empty());
    EXPECT_EQ(names_in(dir.host / "out2").size(), 2u);
}

const char kBoxTwins[] = "m\xF9\xF9\xF9\xF9\xF9\xF9\xF9\xF9\xF9\xF9\xF9\xF9\xF9\xF9%xt";

TEST(ApkgExtractNames, NamesWindowsCannotHoldAreRefusedBeforeAnythingIsWritten)
{
    const char* const bad[] = {"CON", "nul.txt", "COM1", "lpt9.log", "Aux", "a.", "a ", "a*b", "a?b", "a<b", "a|b",
                               "a\"b", "..", "a\x1b[2J", "c:x", "a/b",
                               // Comes back from a host name as A2A4 (found by fuzzing).
                               kBoxTwins};
    TempDir dir;
    int n = 0;
    for (const char* name : bad) {
        SCOPED_TRACE(name);
        fs::path pkg = dir.host / ("p" + std::to_string(n) + ".apkg");
        fs::path out = dir.host / ("out" + std::to_string(n++));
        // A sound member first: it must not be written either.
        put_host(pkg, raw_package({{"first.txt", "sound"}, {name, "x"}}));
        std::string error;
        EXPECT_FALSE(apkg_extract(pkg, out, &error));
        EXPECT_NE(error.find("entry 1"), std::string::npos) << error;
        if (strcmp(name, kBoxTwins) == 0) {
            EXPECT_NE(error.find("F9F9 does not convert back"), std::string::npos) << error;
        }
        EXPECT_FALSE(fs::exists(out));
        // The writer refuses the same names.
        std::string bytes;
        EXPECT_FALSE(apkg_build({{name, "x"}}, &bytes, &error));
    }
    // Near misses are ordinary names.
    std::vector<RawMember> fine = {{"con1.txt", "1"}, {"console", "2"}, {"a.b", "3"}, {"com", "4"}, {".x", "5"}};
    put_host(dir.host / "fine.apkg", raw_package(fine));
    std::string error;
    EXPECT_TRUE(apkg_extract(dir.host / "fine.apkg", dir.host / "fine", &error)) << error;
    EXPECT_EQ(names_in(dir.host / "fine").size(), fine.size());
    std::string bytes;
    EXPECT_TRUE(apkg_build({{"con1.txt", "1"}, {"a.b", "3"}}, &bytes, &error)) << error;
}

TEST(ApkgExtractAllOrNothing, ALaterDamagedEntryLeavesTheFolderAsItWas)
{
    TempDir dir;
    RawMember damaged{"b.txt", "bb"};
    damaged.size_override = 100000;  // data reaching past the end of the file
    put_host(dir.host / "p.apkg", raw_package({{"a.txt", "aaaa"}, damaged}));
    std::string error;
    EXPECT_FALSE(apkg_extract(dir.host / "p.apkg", dir.host / "new", &error));
    EXPECT_NE(error.find("entry 1 is damaged"), std::string::npos) << error;
    EXPECT_FALSE(fs::exists(dir.host / "new"));

    fs::create_directories(dir.host / "empty");
    EXPECT_FALSE(apkg_extract(dir.host / "p.apkg", dir.host / "empty", &error));
    EXPECT_TRUE(fs::exists(dir.host / "empty"));
    EXPECT_TRUE(names_in(dir.host / "empty").empty());
}

TEST(TerminalText, ControlCharactersAreEscapedAndTextIsKept)
{
    EXPECT_EQ(printable("a\x1b[31mb"), "a\\x1B[31mb");
    EXPECT_EQ(printable(std::string("t\tn\nz\x7f") + '\0' + "end"), "t\\x09n\\x0Az\\x7F\\x00end");
    // U+009B, the one-character CSI, as UTF-8.
    EXPECT_EQ(printable("x\xc2\x9b"
                        "2J"),
              "x\\u009B2J");
    // Bytes that are not UTF-8 (a raw Big5 lead byte, a lone 0x9B).
    EXPECT_EQ(printable("\xb3\x5c\x9b"), "\\xB3\\\\x9B");
    EXPECT_EQ(printable("\\許功蓋\\存檔.txt"), "\\許功蓋\\存檔.txt");
    EXPECT_EQ(printable("\xc0\xaf"), "\\xC0\\xAF");  // overlong "/"
}
