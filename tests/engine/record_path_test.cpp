// Record paths and Big5-aware separators, on their own.
#include "record_path.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

int check(const std::string& path, int32_t install_len = 20)
{
    std::string bytes = path + std::string(1, '\0');
    return check_record_path((const unsigned char*)bytes.data(), (int32_t)bytes.size(), install_len, nullptr);
}

}  // namespace

TEST(RecordPath, AcceptsOrdinaryPaths)
{
    const char* good[] = {"\\a", "\\save", "\\save\\slot1.sav", "\\a.b.c", "\\.hidden", "\\a..b",
                          "\\console", "\\COM10", "\\lpt", "\\name with spaces", "\\a-b_c(1)[2]{3}~!@#$%^&'+,;=`"};
    for (const char* p : good)
        EXPECT_EQ(check(p), 1) << p;
    // Big5 names, including second bytes equal to "\" and "|".
    EXPECT_EQ(check(big5("\\許功蓋\\遊戲.exe")), 1);
    EXPECT_EQ(check(big5("\\功")), 1);
    EXPECT_EQ(check("\\\xA1\x7C"), 1);  // a character whose second byte is '|'
}

TEST(RecordPath, TrailByteBackslashDoesNotEndAComponent)
{
    // 許 = B3 5C: a component ending in 0x5C must not look like "\a\" (empty
    // last component) nor ".." hide behind it.
    EXPECT_EQ(check("\\a\xB3\x5C"), 1);
    EXPECT_EQ(check("\\\xB3\x5C..\\x"), 0);  // a component "許.." ends in a dot
    EXPECT_EQ(check("\\\xB3\x5C\\..\\x"), 0);
}

TEST(RecordPath, RefusesWhatLeavesTheFolderOrNamesSomethingElse)
{
    const char* bad[] = {"", "a", "..", "\\", "\\\\", "\\a\\", "\\a\\\\b", "\\.", "\\..", "\\...", "\\.. ",
                         "\\a\\..", "\\..\\a", "\\a.", "\\a ", "\\ ", "\\/x", "\\a/b", "/a", "\\C:\\x", "\\C:x",
                         "C:x", "\\\\srv\\share", "\\a:b", "\\CON", "\\con", "\\Nul.txt", "\\aux .x", "\\COM1",
                         "\\lpt9.a.b", "\\conin$", "\\CONOUT$", "\\a\x01", "\\a\x7F" "\x1F", "\\a?", "\\a*", "\\a<",
                         "\\a>", "\\a|", "\\a\"", "\\\x80", "\\\xFF", "\\\xB3", "\\\xB3\x20", "\\\xB3\x2E",
                         "\\\xB3\x2F", "\\\xB3\x3A", "\\\xB3\x7F", "\\\xB3\xA0"};
    for (const char* p : bad) {
        const char* problem = nullptr;
        std::string bytes = std::string(p) + std::string(1, '\0');
        EXPECT_EQ(check_record_path((const unsigned char*)bytes.data(), (int32_t)bytes.size(), 20, &problem), 0)
            << "accepted: " << p;
        EXPECT_TRUE(problem && problem[0]) << p;
    }
}

TEST(RecordPath, NeedsItsNulAndMustFitBesideTheInstallPath)
{
    const unsigned char unterminated[] = {'\\', 'a', 'b'};
    EXPECT_EQ(check_record_path(unterminated, 3, 10, nullptr), 0);
    EXPECT_EQ(check_record_path(unterminated, 0, 10, nullptr), 0);
    // Bytes after the NUL do not matter.
    const unsigned char trailing[] = {'\\', 'a', 0, '/', '.', '.'};
    EXPECT_EQ(check_record_path(trailing, 6, 10, nullptr), 1);
    // install + path + NUL <= 260.
    std::string p = "\\" + std::string(99, 'x');  // 100 bytes
    EXPECT_EQ(check(p, 159), 1);
    EXPECT_EQ(check(p, 160), 0);
    EXPECT_EQ(check(p, -1), 0);
}

TEST(Separators, FindSeparatorStepsOverBig5Characters)
{
    std::string path = "C:\\" + big5("許功蓋") + "\\x";
    const char* first = find_separator(path.c_str());
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first - path.c_str(), 2);
    const char* second = find_separator(first + 1);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second - path.c_str(), 9);  // after the six bytes of 許功蓋
    EXPECT_EQ(find_separator(second + 1), nullptr);
    EXPECT_EQ(find_separator("\xB3"), nullptr);  // lone lead byte at the end
}

TEST(Separators, LastSeparatorOnlyWhenItIsACharacterOfItsOwn)
{
    char root[] = "D:\\";
    EXPECT_EQ(last_separator_char(root), root + 2);
    std::string big = "D:\\" + big5("許");
    std::vector<char> buf(big.begin(), big.end());
    buf.push_back('\0');
    EXPECT_EQ(last_separator_char(buf.data()), nullptr);
    std::string both = "D:\\" + big5("許") + "\\";
    std::vector<char> buf2(both.begin(), both.end());
    buf2.push_back('\0');
    EXPECT_EQ(last_separator_char(buf2.data()), buf2.data() + both.size() - 1);
    char none[] = "D:";
    EXPECT_EQ(last_separator_char(none), nullptr);
}

TEST(PathComponent, OneSafeNameOnly)
{
    auto check_name = [](const std::string& name) {
        return check_path_component((const unsigned char*)name.data(), (int32_t)name.size(), nullptr);
    };
    const char* good[] = {"Game", "a.b", "readme.txt", ".hidden", "\xB3\x5C", "\xA5\x5C\xBB\x5C", "CONSOLE",
                          "COM", "LPT10", "a b", "a..b"};
    for (const char* g : good)
        EXPECT_EQ(check_name(g), 1) << "refused: " << g;
    const char* bad[] = {"", ".", "..", "a.", "a ", "..\\Startup", "a\\b", "a/b", "C:", "CON", "nul.txt",
                         "Com1", "a*", "a?", "a\x01", "\xB3", "\xB3\x20", "\x80", "\xFF", "\\"};
    for (const char* b : bad) {
        const char* problem = nullptr;
        EXPECT_EQ(check_path_component((const unsigned char*)b, (int32_t)strlen(b), &problem), 0)
            << "accepted: " << b;
        EXPECT_TRUE(problem && problem[0]) << b;
    }
    // The length is what counts, not a NUL: "ab" inside "ab\\c" is fine.
    EXPECT_EQ(check_path_component((const unsigned char*)"ab\\c", 2, nullptr), 1);
}
