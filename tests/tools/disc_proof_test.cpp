// `test` and `check` (the walk of disc_scan) read on past damage, naming
// every damaged record and skipped span, and prove each file against the
// uninstall manifest a set carries: a file whose bytes differ is named, and
// so is a disc of another set among the discs given.
#include "disc_fixture.h"
#include "disc_scan.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

struct ProofFixture : ::testing::Test {
    TempDir tmp;
    DiscSetSummary s;

    // Writes each set's discs, takes disc N from set `from[N-1]`, walks.
    int walk(const std::vector<const fixture::DiscSet*>& from)
    {
        std::vector<std::string> args;
        for (size_t n = 0; n < from.size(); ++n) {
            std::string folder = "set" + std::to_string(n);
            fs::create_directories(tmp.host / folder);
            std::vector<std::string> files = from[n]->files();
            put_host_bytes(tmp.host / folder / ("cd" + std::to_string(n + 1)), files[n]);
            args.push_back(utf8_of(tmp.host / folder));
        }
        std::vector<DiscFile> discs;
        std::string error;
        EXPECT_EQ(collect_discs(args, &discs, &error), 1) << error;
        return walk_disc_set(discs, std::function<void(const TreeEntry&)>(), &s);
    }

    std::vector<std::string> problems() const
    {
        std::vector<std::string> out;
        for (const DiscDamage& d : s.damage)
            out.push_back("disc " + std::to_string(d.disc) + " @" + std::to_string(d.offset) + ": " + d.text);
        return out;
    }
};

// A game of two discs: files a, b on disc 1, c, d and the manifest on disc 2.
fixture::DiscSet game(const std::string& flavour, const std::string& changed_c = "")
{
    fixture::DiscSet set;
    std::vector<std::pair<std::string, std::string>> files{{"\\a.bin", flavour + " one"},
                                                           {"\\b.bin", flavour + " two"},
                                                           {"\\c.bin", flavour + " three"},
                                                           {"\\d.bin", flavour + " four"}};
    for (size_t i = 0; i < files.size(); ++i) {
        int disc = i < 2 ? 0 : 1;
        const std::string& bytes = i == 2 && !changed_c.empty() ? changed_c : files[i].second;
        set.add_file(disc, files[i].first, bytes);
        set.add_raw(disc, fixture::close_file());
        if (i == 1)
            set.add_raw(0, fixture::end_disc());
    }
    set.add_file(1, "\\uninstall.lst", fixture::manifest_text(files));
    set.add_raw(1, fixture::close_file());
    set.add_raw(1, fixture::end_disc());
    return set;
}

TEST_F(ProofFixture, ASoundSetIsProvedFileByFile)
{
    fixture::DiscSet set = game("alpha");
    EXPECT_EQ(walk({&set, &set}), 1) << testing::PrintToString(problems());
    EXPECT_TRUE(s.manifest_checked);
    EXPECT_EQ(s.files_proved, 4);
}

TEST_F(ProofFixture, AFileChangedWithinItsSizeIsNamed)
{
    fixture::DiscSet made = game("alpha", "alpha thrEe");  // what the manifest lists is "alpha three"
    EXPECT_EQ(walk({&made, &made}), 0);
    ASSERT_EQ(s.damage.size(), 1u) << testing::PrintToString(problems());
    EXPECT_EQ(s.damage[0].disc, 2);
    EXPECT_NE(s.damage[0].text.find("\\c.bin differs from the set's uninstall manifest: 11 bytes"), std::string::npos)
        << s.damage[0].text;
}

TEST_F(ProofFixture, ADiscOfAnotherSetIsNamedNotTheHeader)
{
    // Two games packed alike: the same sizes, so the header's total holds.
    fixture::DiscSet ours = game("alpha"), theirs = game("gamma");
    EXPECT_EQ(walk({&ours, &theirs}), 0);
    bool named = false;
    for (const DiscDamage& d : s.damage) {
        EXPECT_NE(d.offset, 164) << "blames the header: " << d.text;
        named = named || (d.disc == 2 && d.text.find("disc 2 does not belong") != std::string::npos);
    }
    EXPECT_TRUE(named) << testing::PrintToString(problems());
}

TEST_F(ProofFixture, AStrangeMiddleDiscIsNamed)
{
    // Three discs, the manifest on the third: disc 2 of another version.
    fixture::DiscSet ours, theirs;
    std::vector<std::pair<std::string, std::string>> files;
    for (int i = 0; i < 6; ++i) {
        std::string path = "\\f" + std::to_string(i) + ".bin";
        files.push_back({path, "version one " + std::to_string(i)});
        for (fixture::DiscSet* set : {&ours, &theirs}) {
            set->add_file(i / 2, path, (set == &theirs ? "version two " : "version one ") + std::to_string(i));
            set->add_raw(i / 2, fixture::close_file());
            if (i % 2)
                set->add_raw(i / 2, fixture::end_disc());
        }
    }
    for (fixture::DiscSet* set : {&ours, &theirs}) {
        set->streams[2].pop_back();
        set->add_file(2, "\\uninstall.lst", fixture::manifest_text(files));
        set->add_raw(2, fixture::close_file());
        set->add_raw(2, fixture::end_disc());
    }
    EXPECT_EQ(walk({&ours, &theirs, &ours}), 0);
    std::vector<std::string> p = problems();
    ASSERT_EQ(p.size(), 3u) << testing::PrintToString(p);
    EXPECT_NE(p[0].find("disc 2 does not belong"), std::string::npos) << p[0];
    EXPECT_NE(p[1].find("\\f2.bin differs"), std::string::npos) << p[1];
    EXPECT_NE(p[2].find("\\f3.bin differs"), std::string::npos) << p[2];
}

TEST_F(ProofFixture, TestReadsOnPastDamageAndNamesEverySpan)
{
    fixture::DiscSet set;
    set.add_file(0, "\\a.bin", "first");
    set.add_raw(0, fixture::close_file());
    int64_t zeros = disc::kHeaderSize + (int64_t)set.streams[0].size();
    set.add_raw(0, std::string(40, '\0'));  // a zeroed run where records were
    set.add_file(0, "\\b.bin", "second");
    set.add_raw(0, fixture::close_file());
    int64_t bad = disc::kHeaderSize + (int64_t)set.streams[0].size();
    std::string stream = fixture::zlib("third");
    stream.back() ^= 1;  // its Adler-32: the frame holds
    set.add_file(0, "\\c.bin");
    set.add_raw(0, fixture::raw_record(disc::kData, stream));
    set.add_raw(0, fixture::close_file());
    set.add_file(0, "\\d.bin", "fourth");
    set.add_raw(0, fixture::close_file());
    set.add_raw(0, fixture::end_disc());
    EXPECT_EQ(walk({&set}), 0);
    std::vector<std::string> p = problems();
    ASSERT_EQ(p.size(), 2u) << testing::PrintToString(p);
    EXPECT_EQ(p[0], "disc 1 @" + std::to_string(zeros) + ": unknown record type 0; skipped offsets " +
                        std::to_string(zeros) + "-" + std::to_string(zeros + 39) +
                        " (40 bytes) to the next sound record");
    int64_t data = bad + (int64_t)fixture::file("\\c.bin").size();
    EXPECT_EQ(p[1], "disc 1 @" + std::to_string(data) +
                        ": the zlib stream of a record of type 3 does not decompress (zlib status -3)");
    EXPECT_EQ(s.files, 4);  // b and d were read after the damage
}

}  // namespace
