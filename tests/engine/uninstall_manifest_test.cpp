// The uninstall manifest: what the writer makes the reader gives back, and
// hostile lines (each refuses the whole manifest, naming the line).
#include "uninstall_manifest.h"

#include "test_support.h"
#include "tracked_memory.h"

#include <gtest/gtest.h>

namespace {

std::string line(char kind, uint32_t size, uint32_t crc, const std::string& path)
{
    char buf[manifest::kMaxLineBytes + 1];
    int32_t n = manifest_entry_line(kind, size, crc, path.c_str(), buf, sizeof buf);
    EXPECT_GT(n, 0) << path;
    return std::string(buf, (size_t)n);
}

std::string first()
{
    char buf[64];
    return std::string(buf, (size_t)manifest_first_line(buf, sizeof buf));
}

std::string end(int32_t count)
{
    char buf[64];
    return std::string(buf, (size_t)manifest_end_line(count, buf, sizeof buf));
}

// A manifest of one file line with `path`, for the path rules.
std::string one_file(const std::string& path)
{
    return first() + "F 1 00000000 " + path + "\r\n" + end(1);
}

struct Parsed {
    UninstallManifest m;
    int ok;
    Parsed(const std::string& bytes, int32_t install_length = 30)
    {
        ok = m.parse(bytes.data(), (int32_t)bytes.size(), install_length);
    }
    ~Parsed() { m.release(); }
};

}  // namespace

TEST(UninstallManifest, WriterAndReaderRoundTrip)
{
    std::string folder = big5("許功蓋");  // B3 5C A5 5C BB 5C: second bytes are "\"
    std::string file = big5("許功蓋\\存檔 1.sav");
    std::string bytes = first() + line('D', 0, 0, folder) + line('F', 6144, 0x1c291ca3, file) +
                        line('F', 0, 0xFFFFFFFFu, "a.b") + line('F', 2147483647u, 0, "big") + end(4);
    EXPECT_EQ(bytes.substr(0, 22), "UNINSTALL-MANIFEST 1\r\n");
    EXPECT_NE(bytes.find("F 6144 1c291ca3 "), std::string::npos);
    Parsed p(bytes);
    ASSERT_EQ(p.ok, 1) << p.m.problem;
    ASSERT_EQ(p.m.count, 4);
    EXPECT_EQ(p.m.entries[0].kind, 'D');
    EXPECT_EQ(std::string(p.m.entries[0].path), folder);
    EXPECT_EQ(p.m.entries[1].kind, 'F');
    EXPECT_EQ(p.m.entries[1].size, 6144u);
    EXPECT_EQ(p.m.entries[1].crc, 0x1c291ca3u);
    EXPECT_EQ(std::string(p.m.entries[1].path), file);
    EXPECT_EQ(p.m.entries[2].crc, 0xFFFFFFFFu);
    EXPECT_EQ(p.m.entries[3].size, 2147483647u);

    // Bare LF line ends read the same; an empty manifest (no entries) is valid.
    std::string lf = "UNINSTALL-MANIFEST 1\nD x\nEND 1\n";
    Parsed q(lf);
    EXPECT_EQ(q.ok, 1);
    EXPECT_EQ(q.m.count, 1);
    Parsed empty(first() + end(0));
    EXPECT_EQ(empty.ok, 1);
    EXPECT_EQ(empty.m.count, 0);
}

TEST(UninstallManifest, WriterRefusesWhatDoesNotFit)
{
    char small[8];
    EXPECT_EQ(manifest_entry_line('D', 0, 0, "abcdefgh", small, sizeof small), 0);
    EXPECT_EQ(small[0], '\0');
    EXPECT_EQ(manifest_entry_line('X', 0, 0, "a", small, sizeof small), 0);
    EXPECT_EQ(manifest_end_line(-1, small, sizeof small), 0);
}

// Each hostile text, and the line that must be named.
TEST(UninstallManifest, HostileManifestsAreRefusedWhole)
{
    const std::string f = first();
    struct Case {
        std::string bytes;
        int32_t bad_line;
        const char* what;
    } cases[] = {
        {"", 0, "empty file"},
        {"UNINSTALL-MANIFEST 2\r\nEND 0\r\n", 1, "other version"},
        {f + "D a\r\n", 2, "no END line: cut short after a whole line"},
        {f + "D a\r\nEND 1", 3, "END without line end: cut short"},
        {f + "D a\r\nEND 2\r\n", 3, "END counts more entries than there are"},
        {f + "D a\r\nEND 1\r\nD b\r\n", 4, "a line after END"},
        {f + "X a\r\nEND 1\r\n", 2, "unknown kind"},
        {f + "Da\r\nEND 1\r\n", 2, "no blank after the kind"},
        {f + "F 12 0000000 a\r\nEND 1\r\n", 2, "seven hex digits"},
        {f + "F 12 0000000g a\r\nEND 1\r\n", 2, "not hex"},
        {f + "F -1 00000000 a\r\nEND 1\r\n", 2, "negative size"},
        {f + "F 2147483648 00000000 a\r\nEND 1\r\n", 2, "size beyond 2 GiB"},
        {f + "F 99999999999 00000000 a\r\nEND 1\r\n", 2, "eleven digits"},
        {f + "F 12 00000000\r\nEND 1\r\n", 2, "no path"},
        {f + "F 12 00000000 \r\nEND 1\r\n", 2, "empty path"},
        {f + "D \r\nEND 1\r\n", 2, "empty folder path"},
        {f + "D ..\r\nEND 1\r\n", 2, "parent folder"},
        {f + "D a\\..\\..\\Windows\r\nEND 1\r\n", 2, "climbs out"},
        {f + "D \\a\r\nEND 1\r\n", 2, "leading backslash: an empty component"},
        {f + "D a\\\r\nEND 1\r\n", 2, "trailing backslash"},
        {f + "D C:\\Windows\r\nEND 1\r\n", 2, "a drive"},
        {f + "D \\\\server\\share\r\nEND 1\r\n", 2, "a UNC path"},
        {f + "D a/b\r\nEND 1\r\n", 2, "a slash"},
        {f + "D nul.txt\r\nEND 1\r\n", 2, "a device"},
        {f + "D a.\r\nEND 1\r\n", 2, "ends in a dot"},
        {f + "D a\tb\r\nEND 1\r\n", 2, "a control character"},
        {f + "D \xB3\r\nEND 1\r\n", 2, "a lead byte without its trail byte"},
        {f + "D \xB3\x5C..\r\nEND 1\r\n", 2, "許.. ends in dots behind a 0x5C trail byte"},
        {f + "D a\r\nD b\r\nF 1 00000000 c\rd\r\nEND 3\r\n", 4, "a CR inside a path"},
        {f + std::string("D a\0b\r\nEND 1\r\n", 15), 0, "a NUL byte"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        int32_t live = tracked_stats().live;
        Parsed p(c.bytes);
        EXPECT_EQ(p.ok, 0);
        EXPECT_EQ(p.m.count, 0);
        EXPECT_EQ(p.m.entries, nullptr);
        EXPECT_EQ(p.m.bad_line, c.bad_line);
        EXPECT_NE(p.m.problem, nullptr);
        EXPECT_EQ(tracked_stats().live, live);  // a refusal keeps no memory
    }
}

// install folder + "\" + path must fit 259 bytes (260 with the NUL).
TEST(UninstallManifest, PathLengthAgainstTheInstallFolder)
{
    const int32_t install = 100;
    std::string fits(158, 'a');  // 100 + 1 + 158 = 259
    std::string over(159, 'a');  // 260
    Parsed a(one_file(fits), install);
    EXPECT_EQ(a.ok, 1) << a.m.problem;
    Parsed b(one_file(over), install);
    EXPECT_EQ(b.ok, 0);
    EXPECT_EQ(b.m.bad_line, 2);
    // Big5 names count bytes, not characters: 79 characters of 許 and one
    // "a" make 159 bytes.
    std::string xu;
    for (int i = 0; i < 79; ++i)
        xu += "\xB3\x5C";
    Parsed c(one_file(xu), install);
    EXPECT_EQ(c.ok, 1) << c.m.problem;
    Parsed d(one_file(xu + "a"), install);
    EXPECT_EQ(d.ok, 0);
    // A path longer than any buffer is refused without being copied.
    Parsed e(one_file(std::string(5000, 'a')), 3);
    EXPECT_EQ(e.ok, 0);
}

TEST(UninstallManifest, ReadsTheFileAndRefusesAMissingOne)
{
    TempDir dir;
    std::string bytes = first() + line('F', 3, 0x352441c2, big5("功能表.txt")) + end(1);
    write_file(dir.path("uninstall.lst"), bytes);
    UninstallManifest m;
    ASSERT_EQ(m.read(dir.path("uninstall.lst").c_str(), (int32_t)dir.win.size()), 1) << m.problem;
    EXPECT_EQ(m.count, 1);
    EXPECT_EQ(std::string(m.entries[0].path), big5("功能表.txt"));
    m.release();
    EXPECT_EQ(m.read(dir.path("none.lst").c_str(), (int32_t)dir.win.size()), 0);
    EXPECT_EQ(m.count, 0);
    // Cut short on disk: the last line lost its end.
    write_file(dir.path("uninstall.lst"), bytes.substr(0, bytes.size() - 1));
    EXPECT_EQ(m.read(dir.path("uninstall.lst").c_str(), (int32_t)dir.win.size()), 0);
    EXPECT_EQ(m.bad_line, 3);
}
