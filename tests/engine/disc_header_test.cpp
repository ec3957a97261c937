// The header check on its own, and the engine refusing a header it fails:
// the texts become folder, link and registry key names, so each must be a
// name of its own (exe a relative path of such names), and the numbers may
// not be negative.
#include "disc_fixture.h"
#include "disc_header.h"
#include "engine_fixture.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstring>

using fixture::DiscSet;

namespace {

DiscHeader sound_header()
{
    DiscHeader h;
    memset(&h, 0, sizeof h);
    strcpy(h.company, "Co");
    strcpy(h.product, big5("許功蓋大冒險").c_str());  // second bytes 0x5C are no separators
    strcpy(h.regkey, "GameKey");
    strcpy(h.exe, big5("bin\\許\\game.exe").c_str());
    h.disc_count = 2;
    h.total_size = 1000;
    return h;
}

char* text_field(DiscHeader* h, int32_t at)
{
    switch (at) {
    case disc::kCompanyAt:
        return h->company;
    case disc::kProductAt:
        return h->product;
    case disc::kRegkeyAt:
        return h->regkey;
    }
    return h->exe;
}

// Values no name field may hold; the exe field refuses them too.
const char* const kBadNames[] = {
    "",             // empty: the regkey would name the Uninstall key itself
    "..",           // parent folder
    ".",            // this folder
    "a.",           // Windows drops the dot
    "a ",           // and the space
    "..\\Startup",  // climbs into the Startup folder
    "a\\b",         // a second level
    "a/b",          // the other separator
    "\\abs",        // rooted
    "C:x",          // drive-relative
    "CON",          // device
    "nul.txt",      // device with an extension
    "a*b",          // wildcard
    "a?",           // wildcard
    "a\tb",         // control character
    "\xB3",         // lead byte without its trail byte
    "\xB3\x20x",    // trail byte out of range
    "\x80x",        // no Big5 character starts with 0x80
};

}  // namespace

TEST(DiscHeaderCheck, AcceptsSoundHeadersAndEdgeValues)
{
    DiscHeader h = sound_header();
    EXPECT_EQ(check_disc_header(&h, nullptr, nullptr), 1);
    // Zero discs and a zero total are a set with nothing in it.
    h.disc_count = 0;
    h.total_size = 0;
    EXPECT_EQ(check_disc_header(&h, nullptr, nullptr), 1);
    // A field that fills all 40 bytes reads as a text of 40 characters.
    memset(h.company, 'C', disc::kTextSize);
    strcpy(h.exe, "game.exe");
    EXPECT_EQ(check_disc_header(&h, nullptr, nullptr), 1);
    strcpy(h.regkey, "{12AB-34CD} Game 1.0_x");
    EXPECT_EQ(check_disc_header(&h, nullptr, nullptr), 1);
}

TEST(DiscHeaderCheck, RefusesTextsThatAreNotSingleNames)
{
    for (int32_t at : {disc::kCompanyAt, disc::kProductAt, disc::kRegkeyAt, disc::kExeAt}) {
        for (const char* bad : kBadNames) {
            // The exe field takes "\"-separated names, so only its forms that
            // hold a bad component are refused.
            if (at == disc::kExeAt && (!strcmp(bad, "a\\b")))
                continue;
            SCOPED_TRACE(std::string(disc_header_field_name(at)) + " = \"" + bad + "\"");
            DiscHeader h = sound_header();
            strcpy(text_field(&h, at), bad);
            int32_t field = -1;
            const char* problem = nullptr;
            EXPECT_EQ(check_disc_header(&h, &field, &problem), 0);
            EXPECT_EQ(field, at);
            ASSERT_NE(problem, nullptr);
            EXPECT_STRNE(problem, "");
            EXPECT_EQ(check_disc_header_field(&h, at, nullptr), 0);
        }
    }
}

TEST(DiscHeaderCheck, GameProgramIsARelativePathOfSingleNames)
{
    const char* good[] = {"game.exe", "bin\\game.exe", "a\\b\\c\\d.exe", "\xB3\x5C\\g.exe"};
    const char* bad[] = {"bin\\",         "\\game.exe", "bin\\\\game.exe", "..\\..\\Windows\\x.exe", "bin\\..\\g.exe",
                         "bin\\.\\g.exe", "bin/g.exe",  "C:\\g.exe",       "bin\\CON\\g.exe",        "bin\\g.exe.",
                         "\xB3"};
    for (const char* p : good) {
        DiscHeader h = sound_header();
        strcpy(h.exe, p);
        EXPECT_EQ(check_disc_header(&h, nullptr, nullptr), 1) << p;
    }
    for (const char* p : bad) {
        DiscHeader h = sound_header();
        strcpy(h.exe, p);
        EXPECT_EQ(check_disc_header_field(&h, disc::kExeAt, nullptr), 0) << p;
    }
}

TEST(DiscHeaderCheck, RefusesNegativeNumbersAndNamesEachField)
{
    DiscHeader h = sound_header();
    h.disc_count = -1;
    int32_t field = -1;
    const char* problem = nullptr;
    EXPECT_EQ(check_disc_header(&h, &field, &problem), 0);
    EXPECT_EQ(field, disc::kDiscCountAt);
    EXPECT_NE(std::string(problem).find("disc count"), std::string::npos);
    h = sound_header();
    h.total_size = INT32_MIN;
    EXPECT_EQ(check_disc_header(&h, &field, &problem), 0);
    EXPECT_EQ(field, disc::kTotalSizeAt);
    EXPECT_NE(std::string(problem).find("total size"), std::string::npos);
    // The first field that fails is the one named.
    strcpy(h.product, "..");
    EXPECT_EQ(check_disc_header(&h, &field, &problem), 0);
    EXPECT_EQ(field, disc::kProductAt);

    EXPECT_STREQ(disc_header_field_name(disc::kCompanyAt), "company");
    EXPECT_STREQ(disc_header_field_name(disc::kRegkeyAt), "registry key");
    EXPECT_STREQ(disc_header_field_name(disc::kExeAt), "game program");
    EXPECT_STREQ(disc_header_field_name(disc::kTotalSizeAt), "total size");
    EXPECT_STREQ(disc_header_field_name(7), "");
}

namespace {

const std::string kDamaged = "磁碟錯誤!|安裝資料損毀";

struct HeaderCase {
    const char* what;
    void (*texts)(DiscSet*);          // changes the texts the fixture writes, or null
    void (*bytes)(std::string* cd1);  // changes the bytes of cd1, or null
};

const HeaderCase kDamagedHeaders[] = {
    {"product climbing into Startup", [](DiscSet* s) { s->product = "..\\Startup"; }, nullptr},
    {"empty registry key", [](DiscSet* s) { s->regkey = ""; }, nullptr},
    {"company with a trailing dot", [](DiscSet* s) { s->company = "Co."; }, nullptr},
    {"game program outside the install folder", [](DiscSet* s) { s->exe = "..\\..\\x.exe"; }, nullptr},
    // Without the check the loop over no discs would register an empty set.
    {"negative disc count", nullptr, [](std::string* cd1) { put_number(cd1, disc::kDiscCountAt, -1); }},
    // Without the check any drive would have room for it.
    {"negative total size", nullptr, [](std::string* cd1) { put_number(cd1, disc::kTotalSizeAt, INT32_MIN); }},
    {"cd1 shorter than the header", nullptr, [](std::string* cd1) { cd1->resize(100); }},
};

}  // namespace

// Every damaged header stops the engine before the install folder exists,
// with the damage message and without a progress call.
TEST_F(EngineTest, DamagedHeaderIsRefusedBeforeAnythingIsCreated)
{
    for (const HeaderCase& c : kDamagedHeaders) {
        SCOPED_TRACE(c.what);
        BoxRecorder::shown.clear();
        Calls::reset();
        DiscSet set;
        set.add_file(0, "\\f", "x");
        if (c.texts)
            c.texts(&set);
        std::string cd1 = set.files()[0];
        if (c.bytes)
            c.bytes(&cd1);
        write_file(src + "\\cd1", cd1);
        EXPECT_EQ(run(), 0);
        EXPECT_FALSE(exists(inst));
        EXPECT_EQ(box_texts(), std::vector<std::string>{kDamaged});
        EXPECT_TRUE(Calls::progress.empty());
    }
}
