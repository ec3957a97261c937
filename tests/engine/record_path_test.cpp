// Record paths and Big5-aware separators, on their own.
#include "record_path.h"

#include "disc_format.h"
#include "platform.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

namespace {

// What the engine creates for a record path: 1 and `created`, or 0.
int fold(int32_t type, const std::string& path, std::string* created, int32_t install_len = 20,
         const char** problem = nullptr)
{
    std::string bytes = path + std::string(1, '\0');
    char out[kRecordPathBuffer];
    memset(out, 'X', sizeof out);
    int ok =
        fold_record_path(type, (const unsigned char*)bytes.data(), (int32_t)bytes.size(), install_len, out, problem);
    *created = out;
    return ok;
}

// Accepted as a file path and created under the name it has.
int check(const std::string& path, int32_t install_len = 20)
{
    std::string created;
    int ok = fold(disc::kFile, path, &created, install_len);
    EXPECT_TRUE(!ok || created == path) << path << " created as " << created;
    return ok;
}

}  // namespace

TEST(RecordPath, AcceptsOrdinaryPaths)
{
    const char* good[] = {"\\a",
                          "\\save",
                          "\\save\\slot1.sav",
                          "\\a.b.c",
                          "\\.hidden",
                          "\\a..b",
                          "\\console",
                          "\\COM10",
                          "\\lpt",
                          "\\name with spaces",
                          "\\a-b_c(1)[2]{3}~!@#$%^&'+,;=`"};
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

TEST(RecordPath, HarmlessFormsGiveTheNameWindowsCreates)
{
    struct Case {
        int32_t type;
        const char* stored;
        const char* created;
    };
    const unsigned char D = disc::kDirectory, F = disc::kFile;
    const Case cases[] = {
        {D, "\\save\\", "\\save"},
        {D, "\\save\\slot\\", "\\save\\slot"},
        {D, "\\", ""},  // the install folder itself
        {F, "\\readme.", "\\readme"},
        {F, "\\readme. . ", "\\readme"},
        {F, "\\readme.txt  ", "\\readme.txt"},
        {D, "\\save.", "\\save"},
        {F, "\\save.\\slot1.sav", "\\save\\slot1.sav"},  // one dot of an inner component
        {D, "\\save.\\", "\\save"},                      // before a trailing "\" too
        {F, "\\a.b.\\c..", "\\a.b\\c"},
        {F, "\\\xB3\x5C\xA5\x5C\xBB\x5C.", "\\\xB3\x5C\xA5\x5C\xBB\x5C"},  // 許功蓋.
        {D, "\\\xB3\x5C\\", "\\\xB3\x5C"},                                 // 許 then a trailing separator of its own
        {F, "\\\xB3\x5C", "\\\xB3\x5C"},                                   // 許: its 0x5C is no trailing separator
    };
    for (const Case& c : cases) {
        std::string created;
        EXPECT_EQ(fold(c.type, c.stored, &created), 1) << c.stored;
        EXPECT_EQ(created, c.created) << c.stored;
    }
}

TEST(RecordPath, FilePathsNamingAFolderAreRefused)
{
    // Valid as directories, but Windows cannot create such a file.
    for (const char* p : {"\\", "\\a\\", "\\a.\\"}) {
        std::string created;
        const char* problem = nullptr;
        EXPECT_EQ(fold(disc::kFile, p, &created, 20, &problem), 0) << p;
        EXPECT_TRUE(problem && problem[0]) << p;
        EXPECT_EQ(created, "") << p;
        EXPECT_EQ(fold(disc::kDirectory, p, &created), 1) << p;
    }
}

TEST(RecordPath, RefusesWhatLeavesTheFolderOrNamesSomethingElse)
{
    const char* bad[] = {"",
                         "a",
                         "..",
                         "\\\\",
                         "\\a\\\\",
                         "\\a\\\\b",
                         "\\.",
                         "\\..",
                         "\\...",
                         "\\.. ",
                         "\\a\\..",
                         "\\..\\a",
                         "\\a..\\x",
                         "\\a \\x",
                         "\\a. \\x",
                         "\\a \\",
                         "\\a..\\",
                         "\\. ",
                         "\\..\\",
                         "\\...\\x",
                         "\\a.\\\\",
                         "\\CON.",
                         "\\nul .",
                         "\\aux.\\x",
                         "\\x\\com1 . ",
                         "\\ ",
                         "\\/x",
                         "\\a/b",
                         "/a",
                         "\\C:\\x",
                         "\\C:x",
                         "C:x",
                         "\\\\srv\\share",
                         "\\a:b",
                         "\\CON",
                         "\\con",
                         "\\Nul.txt",
                         "\\aux .x",
                         "\\COM1",
                         "\\lpt9.a.b",
                         "\\conin$",
                         "\\CONOUT$",
                         "\\a\x01",
                         "\\a\x7F"
                         "\x1F",
                         "\\a?",
                         "\\a*",
                         "\\a<",
                         "\\a>",
                         "\\a|",
                         "\\a\"",
                         "\\\x80",
                         "\\\xFF",
                         "\\\xB3",
                         "\\\xB3\x20",
                         "\\\xB3\x2E",
                         "\\\xB3\x2F",
                         "\\\xB3\x3A",
                         "\\\xB3\x7F",
                         "\\\xB3\xA0"};
    for (const char* p : bad) {
        for (int32_t type : {disc::kDirectory, disc::kFile}) {
            const char* problem = nullptr;
            std::string created;
            EXPECT_EQ(fold(type, p, &created, 20, &problem), 0) << "accepted: " << p << " as " << created;
            EXPECT_TRUE(problem && problem[0]) << p;
            EXPECT_EQ(created, "") << p;
        }
    }
}

TEST(RecordPath, NeedsItsNulAndMustFitBesideTheInstallPath)
{
    char out[kRecordPathBuffer];
    const unsigned char unterminated[] = {'\\', 'a', 'b'};
    EXPECT_EQ(fold_record_path(disc::kFile, unterminated, 3, 10, out, nullptr), 0);
    EXPECT_EQ(fold_record_path(disc::kFile, unterminated, 0, 10, out, nullptr), 0);
    // Bytes after the NUL do not matter.
    const unsigned char trailing[] = {'\\', 'a', 0, '/', '.', '.'};
    EXPECT_EQ(fold_record_path(disc::kFile, trailing, 6, 10, out, nullptr), 1);
    EXPECT_STREQ(out, "\\a");
    // install + path + NUL <= 260.
    std::string p = "\\" + std::string(99, 'x');  // 100 bytes
    EXPECT_EQ(check(p, 159), 1);
    EXPECT_EQ(check(p, 160), 0);
    EXPECT_EQ(check(p, -1), 0);
    // The stored path is what must fit, also when Windows shortens it.
    std::string created;
    EXPECT_EQ(fold(disc::kDirectory, p + "\\", &created, 158), 1);
    EXPECT_EQ(fold(disc::kDirectory, p + "\\", &created, 159), 0);
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
    EXPECT_EQ(find_last_separator(path.c_str()), second);
    std::string in_name = "C:\\" + big5("許");  // 許 ends in 0x5C: no separator of its own
    EXPECT_EQ(find_last_separator(in_name.c_str()), in_name.c_str() + 2);
    EXPECT_EQ(find_last_separator("C:"), nullptr);
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
    const char* good[] = {"Game",  "a.b", "readme.txt", ".hidden",  "\xB3\x5C", "\xA5\x5C\xBB\x5C", "CONSOLE", "COM",
                          "LPT10", "a b", "a..b",       "\xA3\xE1", "\xC6\x7E", "\xC9\x40",         "\xF9\xFE"};
    for (const char* g : good)
        EXPECT_EQ(check_name(g), 1) << "refused: " << g;
    const char* bad[] = {"", ".", "..", "a.", "a ", "..\\Startup", "a\\b", "a/b", "C:", "CON", "nul.txt", "Com1", "a*",
                         "a?", "a\x01", "\xB3", "\xB3\x20", "\x80", "\xFF", "\\",
                         // Big5 codes without a Unicode character of their own.
                         "\x81\x40", "a\xA0\xFE", "\xA3\xC0", "\xA3\xE2", "\xC6\xA1", "\xC8\xFE", "\xFA\x40",
                         "\xFE\xFE",
                         // Codes that come back from a host name as another code; the
                         // name a fuzzed package carried.
                         "\xA2\xCC", "\xA2\xA4", "m\xF9\xF9\xF9\xF9\xF9\xF9\xF9\xF9\xF9\xF9\xF9\xF9\xF9\xF9%xt"};
    for (const char* b : bad) {
        const char* problem = nullptr;
        EXPECT_EQ(check_path_component((const unsigned char*)b, (int32_t)strlen(b), &problem), 0) << "accepted: " << b;
        EXPECT_TRUE(problem && problem[0]) << b;
    }
    // The length is what counts, not a NUL: "ab" inside "ab\\c" is fine.
    EXPECT_EQ(check_path_component((const unsigned char*)"ab\\c", 2, nullptr), 1);
}

TEST(PathComponent, Big5CodesAcceptedComeBackAsThemselvesOnThisSystem)
{
    // Every double-byte code is tried through this system's own conversion
    // (iconv natively, MultiByteToWideChar under Windows) both ways: a code
    // the check accepts must become an ordinary character that converts back
    // to the same two bytes, so an unpacked or extracted file is found again
    // by the name it came from. A code refused although it comes back here
    // comes back as another code on the other system, and the refusal names
    // it.
    int accepted = 0, twins_here = 0;
    for (int lead = 0x81; lead <= 0xFE; ++lead) {
        for (int trail = 0x40; trail <= 0xFE; ++trail) {
            if (trail > 0x7E && trail < 0xA1)
                continue;
            const char name[3] = {(char)lead, (char)trail, 0};
            char utf8[8], back[8];
            bool converts = plat_cp950_to_utf8(name, utf8, sizeof utf8) == 1;
            const unsigned char* u = (const unsigned char*)utf8;
            // U+E000-U+F8FF in UTF-8: EE 80 80 - EF A3 BF.
            bool private_use = converts && (u[0] == 0xEE || (u[0] == 0xEF && u[1] <= 0xA3));
            bool ordinary = converts && !private_use;
            bool comes_back = ordinary && plat_utf8_to_cp950(utf8, back, sizeof back) == 1 && strcmp(back, name) == 0;
            const char* problem = nullptr;
            int ok = check_path_component((const unsigned char*)name, 2, &problem);
            const char* twin = big5_round_trip_problem((unsigned char)lead, (unsigned char)trail);
            char code[5];
            snprintf(code, sizeof code, "%02X%02X", lead, trail);
            EXPECT_EQ(is_mapped_big5((unsigned char)lead, (unsigned char)trail), ok == 1) << code;
            if (ok) {
                EXPECT_TRUE(comes_back) << code << " is accepted but does not come back as itself";
            } else if (comes_back) {
                EXPECT_TRUE(twin && strstr(problem, code)) << code << " is refused: " << problem;
            }
            if (ordinary && !comes_back) {
                EXPECT_TRUE(twin && strstr(problem, code)) << code << " comes back as another code: " << problem;
                ++twins_here;
            }
            accepted += ok;
        }
    }
    EXPECT_EQ(accepted, 13489);
    // iconv and Windows each pick the other code for ten of the fourteen.
    EXPECT_EQ(twins_here, 10);
}
