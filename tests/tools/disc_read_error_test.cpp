// The toolkit over discs that cannot be read: `list` and `test` report the
// read error as damage wherever it happens, never as the clean end of a
// disc, and `extract` fails and leaves nothing.
#include "disc_extract.h"
#include "disc_scan.h"
#include "disc_tree.h"
#include "platform.h"
#include "test_support.h"

#include <functional>
#include <gtest/gtest.h>

namespace {

struct ReadFaultOff {
    ~ReadFaultOff() { plat_fail_read_after(-1); }
};

struct UnreadableSet : TwoDiscSet {
    ReadFaultOff off;

    // walk_disc_set with the read that follows `fail_after` successful
    // reads failing (-1: none).
    int walk(long fail_after, DiscSetSummary* s)
    {
        std::vector<DiscFile> discs;
        std::string error;
        EXPECT_TRUE(collect_discs(disc_args(out, count), &discs, &error)) << error;
        plat_fail_read_after(fail_after);
        int ok = walk_disc_set(discs, std::function<void(const TreeEntry&)>(), s);
        plat_fail_read_after(-1);
        return ok;
    }
};

}  // namespace

TEST_F(UnreadableSet, ListAndTestReportEveryFailedReadAsAReadError)
{
    DiscSetSummary s;
    long before = plat_read_count();
    ASSERT_EQ(walk(-1, &s), 1);
    long reads = plat_read_count() - before;
    ASSERT_GE(reads, 20);
    for (long k = 0; k < reads; ++k) {
        SCOPED_TRACE("read " + std::to_string(k) + " of " + std::to_string(reads) + " fails");
        EXPECT_EQ(walk(k, &s), 0);
        bool named = false;
        for (const DiscDamage& d : s.damage)
            named |= d.text.find("read error") != std::string::npos;
        EXPECT_TRUE(named) << (s.damage.empty() ? "no damage" : s.damage[0].text);
    }
}

TEST_F(UnreadableSet, ExtractFailsWithTheReadErrorAndLeavesNothing)
{
    std::string error;
    long before = plat_read_count();
    ASSERT_TRUE(disc_extract(disc_args(out, count), tmp.host / "whole", ExtractOptions(), &error)) << error;
    long reads = plat_read_count() - before;
    ASSERT_GE(reads, 20);
    // Late in the set, on the second disc.
    fs::path dest = tmp.host / "dest";
    plat_fail_read_after(reads - 3);
    EXPECT_FALSE(disc_extract(disc_args(out, count), dest, ExtractOptions(), &error));
    plat_fail_read_after(-1);
    EXPECT_NE(error.find("無法讀取磁碟"), std::string::npos) << error;
    EXPECT_TRUE(!fs::exists(dest) || fs::is_empty(dest));
}
