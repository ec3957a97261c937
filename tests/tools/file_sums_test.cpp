// Checksum lists: SHA-256 against the standard's test vectors (whichever
// backend the build has), lines written and read as GNU sha256sum writes
// them, paths that would leave the folder, and verify on a folder with a
// changed file, a missing one and a link out of it.
#include "file_sums.h"
#include "sha256.h"
#include "test_support.h"

#include <gtest/gtest.h>

namespace {

std::string sha256_of(const std::string& bytes, size_t piece)
{
    Sha256 h;
    EXPECT_EQ(h.create(), 1);
    for (size_t at = 0; at < bytes.size(); at += piece)
        h.update(bytes.data() + at, std::min(piece, bytes.size() - at));
    std::string hex;
    EXPECT_EQ(h.finish(&hex), 1);
    h.release();
    return hex;
}

TEST(Sha256, StandardTestVectorsInWholeAndInPieces)
{
    struct Case {
        std::string message;
        const char* digest;
    } cases[] = {
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(sha256_of(c.message, c.message.size() + 1), c.digest) << c.message.size() << " bytes";
        EXPECT_EQ(sha256_of(c.message, 7), c.digest) << c.message.size() << " bytes in pieces of 7";
    }
}

TEST(SumsLines, WrittenAndReadAsSha256sumDoes)
{
    const std::string hex(64, 'a');
    struct Case {
        std::string path, line;
    } cases[] = {
        {"a/許.txt", hex + "  a/許.txt\n"},
        {"x\\y", "\\" + hex + "  x\\\\y\n"},
        {"n\nl", "\\" + hex + "  n\\nl\n"},
        {"c\rr", "\\" + hex + "  c\\rr\n"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(sums_line(hex, c.path), c.line);
        std::string sha, path;
        ASSERT_EQ(parse_sums_line(c.line.substr(0, c.line.size() - 1), &sha, &path), 1) << c.line;
        EXPECT_EQ(sha, hex);
        EXPECT_EQ(path, c.path);
    }
    std::string sha, path;
    EXPECT_EQ(parse_sums_line(std::string(64, 'A') + " *b.bin\r", &sha, &path), 1);  // binary mode, CRLF, upper case
    EXPECT_EQ(sha, hex);
    EXPECT_EQ(path, "b.bin");
    for (const std::string& bad : {std::string(63, 'a') + "  x", std::string(64, 'g') + "  x", hex + " x", hex + "  ",
                                   "\\" + hex + "  a\\q", "SHA256 (x) = " + hex})
        EXPECT_EQ(parse_sums_line(bad, &sha, &path), 0) << bad;
}

TEST(SumsLines, PathsThatLeaveTheFolderAreRefused)
{
    struct Case {
        const char* path;
        int inside;
    } cases[] = {
        {"a/b.txt", 1},     {"./a", 1}, {"a..b", 1},     {"..", 0},  {"a/../../x", 0},
        {"/etc/passwd", 0}, {"\\x", 0}, {"a\\..\\x", 0}, {"C:x", 0}, {"", 0},
    };
    for (const Case& c : cases) {
        std::string why;
        EXPECT_EQ(sums_path_stays_inside(c.path, &why), c.inside) << c.path;
    }
}

TEST(VerifySums, NamesEveryChangedMissingAndLinkedFile)
{
    TempDir tmp;
    fs::path dest = tmp.host / "dest";
    fs::create_directories(dest / "sub");
    put_host_bytes(dest / "sub" / "a.txt", "abc");
    put_host_bytes(dest / "b.txt", "changed");
    put_host_bytes(tmp.host / "outside.txt", "abc");
    const std::string abc = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
    SumsVerdict sound;
    EXPECT_EQ(verify_sums(sums_line(abc, "sub/a.txt"), dest, &sound), 1);
    EXPECT_EQ(sound.matched, 1);

    std::string list = sums_line(abc, "sub/a.txt") + sums_line(abc, "b.txt") + sums_line(abc, "gone.txt") +
                       sums_line(abc, "../outside.txt") + "not a line\n";
#ifndef _WIN32
    fs::create_directory_symlink(tmp.host, dest / "up");
    list += sums_line(abc, "up/outside.txt");
#endif
    SumsVerdict v;
    EXPECT_EQ(verify_sums(list, dest, &v), 0);
    EXPECT_EQ(v.matched, 1);
    std::string all;
    for (const std::string& p : v.problems)
        all += p + "\n";
    for (const char* said : {"b.txt: differs", "gone.txt: missing", "../outside.txt: refused", "line 5: not a"})
        EXPECT_NE(all.find(said), std::string::npos) << said << " in:\n" << all;
#ifndef _WIN32
    EXPECT_NE(all.find("up/outside.txt: is reached through a symbolic link"), std::string::npos) << all;
#endif
    SumsVerdict empty;
    EXPECT_EQ(verify_sums("\n", dest, &empty), 0);  // a list of nothing proves nothing
}

}  // namespace
