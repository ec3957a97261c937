// extract --keep-going counts a file written only once it has closed (the
// runtime writes its last buffered bytes then): each close of a run fails
// once in turn, and the walk must fail when it was an output file's.
#include "disc_fixture.h"
#include "disc_salvage.h"
#include "platform.h"
#include "test_support.h"

#include <gtest/gtest.h>

TEST(WriteResults, SalvageNamesAFileThatFailsToCloseAsLost)
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
    long closes = 0;
    std::vector<std::string> lost;  // the file named lost by each failing close
    for (long close = 0; close <= closes; ++close) {
        SalvageResult result;
        long before = plat_close_count();
        plat_fail_close_after(close - 1);  // close 0: none fails
        int ok = salvage_disc_set(discs, tmp.host / ("out" + std::to_string(close)), SalvageOptions(), &result, &error);
        plat_fail_close_after(-1);
        if (close == 0)
            closes = plat_close_count() - before;
        ASSERT_EQ(ok, 1) << error;
        size_t named = lost.size();
        for (const SalvageLoss& l : result.losses)
            if (l.reason.find("cannot be closed") != std::string::npos)
                lost.push_back(l.path);
        // A failed close of a disc being read costs nothing; one of an
        // output file makes the run incomplete.
        EXPECT_EQ(result.complete() == 1, lost.size() == named) << "close " << close;
    }
    // Each output file's close fails once; each time that file, and only
    // it, is named.
    EXPECT_EQ(lost, (std::vector<std::string>{"\\a.bin", "\\b.bin"}));
}
