// Setup's first decision: the header of cd1 is read and checked before the
// path dialog. A missing cd1 ends setup quietly; a damaged header ends it
// after the damage message, before anything is proposed or created.
#include "disc_fixture.h"
#include "disc_format.h"
#include "setup_header.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

struct SetupHeaderTest : ::testing::Test {
    TempDir tmp;
    BoxRecorder boxes;

    void SetUp() override { BoxRecorder::shown.clear(); }

    // cd1 of a one-disc set named by `set`, changed by `damage` when given.
    void write_cd1(const fixture::DiscSet& set, void (*damage)(std::string*) = nullptr)
    {
        std::string cd1 = set.files()[0];
        if (damage)
            damage(&cd1);
        write_file(tmp.path("cd1"), cd1);
    }

    int read(DiscHeader* header) { return read_setup_header(tmp.win.c_str(), header); }
};

fixture::DiscSet sample_set()
{
    fixture::DiscSet set;
    set.company = big5("範例軟體公司");
    set.product = big5("許功蓋大冒險");
    set.regkey = "XuGongGaiAdventure";
    set.exe = "bin\\game.exe";
    set.add_file(0, "\\bin");
    return set;
}

bool all_zero(const DiscHeader& h)
{
    DiscHeader zero;
    memset(&zero, 0, sizeof zero);
    return memcmp(&h, &zero, sizeof h) == 0;
}

}  // namespace

TEST_F(SetupHeaderTest, SoundHeaderIsReadWithoutAMessage)
{
    write_cd1(sample_set());
    DiscHeader h;
    ASSERT_EQ(read(&h), 1);
    EXPECT_EQ(std::string(h.company), big5("範例軟體公司"));
    EXPECT_EQ(std::string(h.product), big5("許功蓋大冒險"));
    EXPECT_EQ(std::string(h.regkey), "XuGongGaiAdventure");
    EXPECT_EQ(std::string(h.exe), "bin\\game.exe");
    EXPECT_EQ(h.disc_count, 1);
    EXPECT_TRUE(BoxRecorder::shown.empty());
}

TEST_F(SetupHeaderTest, MissingFirstDiscEndsQuietly)
{
    DiscHeader h;
    EXPECT_EQ(read(&h), 0);
    EXPECT_TRUE(all_zero(h));
    EXPECT_TRUE(BoxRecorder::shown.empty());
}

TEST_F(SetupHeaderTest, DamagedHeaderShowsTheDamageMessageAndGivesNothingToBuildOn)
{
    struct Case {
        const char* what;
        void (*texts)(fixture::DiscSet*);
        void (*bytes)(std::string*);
    };
    const Case cases[] = {
        // Would put the uninstall link into the Startup folder.
        {"product ..\\Startup", [](fixture::DiscSet* s) { s->product = "..\\Startup"; }, nullptr},
        // Would write the four values on the Uninstall key itself.
        {"empty registry key", [](fixture::DiscSet* s) { s->regkey = ""; }, nullptr},
        {"company naming a device", [](fixture::DiscSet* s) { s->company = "CON"; }, nullptr},
        {"company with a wildcard", [](fixture::DiscSet* s) { s->company = "C*"; }, nullptr},
        {"product not Big5", [](fixture::DiscSet* s) { s->product = "\xB3"; }, nullptr},
        {"game program rooted", [](fixture::DiscSet* s) { s->exe = "\\Windows\\x.exe"; }, nullptr},
        // Would make the free-space test accept any drive.
        {"negative total size", nullptr, [](std::string* b) { put_number(b, disc::kTotalSizeAt, -1); }},
        {"negative disc count", nullptr, [](std::string* b) { put_number(b, disc::kDiscCountAt, -2); }},
        // Would propose "C:\Program Files\\".
        {"cd1 shorter than the header", nullptr, [](std::string* b) { b->resize(disc::kHeaderSize - 1); }},
        {"empty cd1", nullptr, [](std::string* b) { b->clear(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        BoxRecorder::shown.clear();
        fixture::DiscSet set = sample_set();
        if (c.texts)
            c.texts(&set);
        write_cd1(set, c.bytes);
        DiscHeader h;
        EXPECT_EQ(read(&h), 0);
        EXPECT_TRUE(all_zero(h));
        ASSERT_EQ(BoxRecorder::shown.size(), 1u);
        EXPECT_EQ(BoxRecorder::shown[0].text, "安裝資料損毀");
        EXPECT_EQ(BoxRecorder::shown[0].caption, "磁碟錯誤!");
    }
}
