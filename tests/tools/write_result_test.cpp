// extract --keep-going counts a file written only once it has closed (the
// runtime writes its last buffered bytes then): each close of a run fails
// once in turn, and the walk must fail when it was an output file's.
#include "disc_fixture.h"
#include "disc_salvage.h"
#include "platform.h"
#include "test_support.h"

#include <gtest/gtest.h>

TEST(WriteResults, SalvageFailsWhenAnOutputFileFailsToClose)
{
    TempDir tmp;
    fixture::DiscSet set;
    set.add_file(0, "\\a.bin", random_bytes(3000, 1));
    set.add_raw(0, fixture::close_file());
    set.add_file(0, "\\b.bin", random_bytes(5000, 2));  // closed by the end of the set
    fs::create_directories(tmp.host / "discs");
    fixture::write_set(set, tmp.path("discs"));
    std::vector<DiscFile> discs;
    std::string error;
    ASSERT_EQ(collect_discs({utf8_of(tmp.host / "discs")}, &discs, &error), 1) << error;
    int failed = 0;
    long closes = 0;
    for (long close = 0; close <= closes; ++close) {
        SalvageResult result;
        long before = plat_close_count();
        plat_fail_close_after(close - 1);  // close 0: none fails
        int ok = salvage_disc_set(discs, tmp.host / ("out" + std::to_string(close)), SalvageOptions(), &result,
                                  &error);
        plat_fail_close_after(-1);
        if (close == 0)
            closes = plat_close_count() - before;
        failed += !ok;
        if (!ok)
            EXPECT_NE(error.find("closing it failed"), std::string::npos) << error;
    }
    EXPECT_EQ(failed, 2);
}
