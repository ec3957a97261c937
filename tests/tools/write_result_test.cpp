// The toolkit's extractions count a file written only once it has closed:
// the runtime writes its last buffered bytes there, so a full disk may show
// only then. Each close of a run fails once in turn; the run must fail when
// it was an output file's, and claim nothing.
#include "disc_extract.h"
#include "disc_fixture.h"
#include "disc_salvage.h"
#include "disc_tree.h"
#include "platform.h"
#include "test_support.h"

#include <gtest/gtest.h>

namespace {

struct CloseFaultOff {
    ~CloseFaultOff() { plat_fail_close_after(-1); }
};

// Two files, the second open when the set ends.
fixture::DiscSet two_files()
{
    fixture::DiscSet set;
    set.add_dir(0, "\\d");
    set.add_file(0, "\\d\\a.bin", random_bytes(3000, 1));
    set.add_raw(0, fixture::close_file());
    set.add_file(0, "\\b.bin", random_bytes(5000, 2));
    return set;
}

struct ExtractRun {
    const char* what;
    // 1 when the run reports success into `dest`.
    int (*run)(const fs::path& discs, const fs::path& dest);
};

const ExtractRun kRuns[] = {
    {"extract",
     [](const fs::path& discs, const fs::path& dest) {
         std::string error;
         ExtractOptions options;
         options.threads = 1;
         int ok = disc_extract({utf8_of(discs)}, dest, options, &error) ? 1 : 0;
         // A failed extraction leaves nothing.
         EXPECT_TRUE(ok || !fs::exists(dest) || fs::is_empty(dest));
         return ok;
     }},
    {"extract --keep-going",
     [](const fs::path& discs, const fs::path& dest) {
         std::vector<DiscFile> set;
         std::string error;
         EXPECT_EQ(collect_discs({utf8_of(discs)}, &set, &error), 1) << error;
         SalvageOptions options;
         SalvageResult result;
         int ok = salvage_disc_set(set, dest, options, &result, &error);
         if (!ok)
             EXPECT_NE(error.find("closing it failed"), std::string::npos) << error;
         return ok;
     }},
};

}  // namespace

TEST(WriteResults, ExtractionFailsWhenAnOutputFileFailsToClose)
{
    CloseFaultOff off;
    TempDir tmp;
    fs::create_directories(tmp.host / "discs");
    fixture::write_set(two_files(), tmp.path("discs"));
    for (const ExtractRun& r : kRuns) {
        SCOPED_TRACE(r.what);
        long before = plat_close_count();
        ASSERT_EQ(r.run(tmp.host / "discs", tmp.host / "whole"), 1);
        long closes = plat_close_count() - before;
        int failed = 0;
        for (long close = 1; close <= closes; ++close) {
            SCOPED_TRACE("close " + std::to_string(close) + " fails");
            fs::path dest = tmp.host / ("out" + std::to_string(&r - kRuns) + "-" + std::to_string(close));
            plat_fail_close_after(close - 1);
            int ok = r.run(tmp.host / "discs", dest);
            plat_fail_close_after(-1);
            failed += ok == 0;
        }
        EXPECT_EQ(failed, 2);  // a.bin's and b.bin's
        std::error_code ec;
        fs::remove_all(tmp.host / "whole", ec);
    }
}
