// --include patterns: globs on the UTF-8 path, ASCII case ignored, "*"
// within one name, a folder match bringing what lies below it.
#include "path_select.h"

#include <gtest/gtest.h>

namespace {

std::u32string u32(const std::string& utf8)
{
    std::u32string out;
    EXPECT_EQ(decode_utf8(utf8, &out), 1) << utf8;
    return out;
}

bool glob(const std::string& pattern, const std::string& text)
{
    return glob_matches(u32(pattern), u32(text)) == 1;
}

// Whether a selection of the one pattern picks `path`.
bool picks(const std::string& pattern, const std::string& path)
{
    PathSelection s;
    std::string error;
    EXPECT_EQ(s.add(pattern, &error), 1) << error;
    return s.selects(path) == 1;
}

TEST(PathGlob, WildcardsClassesAndCase)
{
    struct Case {
        const char* pattern;
        const char* text;
        bool match;
    };
    const Case cases[] = {
        {"*.txt", "readme.txt", true},
        {"*.txt", "readme.txt.bak", false},
        {"*.TXT", "ReadMe.txt", true},  // ASCII case is ignored
        {"read?e.txt", "readme.txt", true},
        {"read?e.txt", "reade.txt", false},  // ? is exactly one character
        {"*", "a\\b", false},                // * never crosses a separator
        {"a\\*", "a\\b", true},
        {"a\\*", "a\\b\\c", false},
        {"**", "a\\b\\c", true},  // ** does
        {"a\\**\\c", "a\\x\\y\\c", true},
        {"a**", "abc\\d", true},
        {"[a-c]x", "Bx", true},  // a range of letters holds both cases
        {"[a-c]x", "dx", false},
        {"[!a-c]x", "dx", true},
        {"[^a-c]x", "ax", false},
        {"[]]", "]", true},  // ] first in a set is a member
        {"[*]", "*", true},  // no escape character: a set instead
        {"[*]", "a", false},
        {"?", "\\", false},         // ? is no separator either
        {"許?蓋", "許功蓋", true},  // ? is a whole Big5 character, not a byte
        {"許??蓋", "許功蓋", false},
        {"*蓋", "許功蓋", true},
        {"[許功]", "功", true},
        {"Ä*", "ä.txt", false},  // only ASCII letters fold
        {"", "", true},
        {"a", "", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(glob(c.pattern, c.text), c.match) << c.pattern << " on " << c.text;
}

TEST(PathSelection, WholePathOrNameAtAnyDepth)
{
    // A pattern with a separator is anchored at the install folder; "/" is
    // read as "\" and a leading one changes nothing.
    EXPECT_TRUE(picks("存檔/slot1.dat", "\\存檔\\slot1.dat"));
    EXPECT_TRUE(picks("\\存檔\\slot1.dat", "\\存檔\\slot1.dat"));
    EXPECT_TRUE(picks("/存檔/SLOT1.DAT", "\\存檔\\slot1.dat"));
    EXPECT_FALSE(picks("存檔/slot1.dat", "\\x\\存檔\\slot1.dat"));
    EXPECT_FALSE(picks("\\slot1.dat", "\\存檔\\slot1.dat"));
    // Without a separator: the name, at any depth.
    EXPECT_TRUE(picks("slot1.dat", "\\存檔\\slot1.dat"));
    EXPECT_TRUE(picks("*.dat", "\\a\\b\\c.dat"));
    // A folder that matches brings everything below it.
    EXPECT_TRUE(picks("許功蓋", "\\許功蓋\\蓋\\許"));
    EXPECT_TRUE(picks("許功蓋\\蓋", "\\許功蓋\\蓋\\許"));
    EXPECT_TRUE(picks("*.dat", "\\a.dat\\b.txt"));         // a.dat is a folder here
    EXPECT_FALSE(picks("許功蓋\\蓋\\x", "\\許功蓋\\蓋"));  // a folder on the way is not picked by itself
    EXPECT_FALSE(picks("許功", "\\許功蓋\\x"));            // names match whole, not by prefix
}

TEST(PathSelection, CountsHitsPerPatternAndRefusesBadOnes)
{
    PathSelection s;
    std::string error;
    ASSERT_EQ(s.add("*.txt", &error), 1);
    ASSERT_EQ(s.add("save\\*", &error), 1);
    ASSERT_EQ(s.add("nothing", &error), 1);
    EXPECT_EQ(s.selects("\\a.txt"), 1);
    EXPECT_EQ(s.selects("\\SAVE\\1"), 1);
    EXPECT_EQ(s.selects("\\b.bin"), 0);
    EXPECT_EQ(s.patterns[0].hits, 1);
    EXPECT_EQ(s.patterns[1].hits, 1);
    EXPECT_EQ(s.unmatched(), std::vector<std::string>{"nothing"});

    EXPECT_EQ(s.add("", &error), 0);
    EXPECT_EQ(s.add("\\", &error), 0);
    EXPECT_NE(error.find("names no file"), std::string::npos) << error;
    EXPECT_EQ(s.add("a[bc", &error), 0);
    EXPECT_NE(error.find("["), std::string::npos) << error;
    EXPECT_EQ(s.add("\xB3\x5C", &error), 0);  // Big5 bytes, not UTF-8
    EXPECT_NE(error.find("UTF-8"), std::string::npos) << error;
    EXPECT_EQ(s.patterns.size(), 3u);

    PathSelection all;
    EXPECT_EQ(all.selects("\\anything"), 1);  // no pattern: everything
}

TEST(PathSelection, Utf8Decoding)
{
    std::u32string out;
    EXPECT_EQ(decode_utf8("a許", &out), 1);
    EXPECT_EQ(out, (std::u32string{U'a', U'許'}));
    EXPECT_EQ(decode_utf8("\xE8\xA8", &out), 0);          // cut short
    EXPECT_EQ(decode_utf8("\xC0\xAF", &out), 0);          // overlong "/"
    EXPECT_EQ(decode_utf8("\xED\xA0\x80", &out), 0);      // a surrogate
    EXPECT_EQ(decode_utf8("\xF4\x90\x80\x80", &out), 0);  // beyond U+10FFFF
}

}  // namespace
