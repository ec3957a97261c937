// The journal's blocks grow by doubling in arithmetic that cannot wrap, and
// a journal that would outgrow its 32-bit offsets ends the process as a
// failed allocation does instead of writing past its text.
#include "install_journal.h"

#include "platform.h"
#include "tracked_memory.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>

TEST(JournalGrowth, DoublesUpToTheLargest32BitRoom)
{
    // room, need -> grown room
    const struct {
        int32_t room;
        int64_t need;
        int32_t grown;
    } cases[] = {
        {0, 1, 64},
        {0, 64, 64},
        {64, 65, 128},
        {100, 1000, 1600},
        {1 << 29, (1 << 29) + 1, 1 << 30},
        // Past 1 GiB a doubling leaves 32 bits: the room stops at the largest.
        {1 << 30, (1 << 30) + 1, INT32_MAX},
        {0, INT32_MAX, INT32_MAX},
        {INT32_MAX, INT32_MAX, INT32_MAX},
        // Beyond what 32-bit offsets address: refused, never wrapped.
        {1 << 30, (int64_t)INT32_MAX + 1, -1},
        {INT32_MAX, (int64_t)INT32_MAX * 4, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.room) + " for " + std::to_string(c.need));
        EXPECT_EQ(journal_grown_room(c.room, c.need), c.grown);
    }
}

namespace {

int box_to_stderr(void*, const char* text, const char* caption, unsigned)
{
    fprintf(stderr, "[%s] %s\n", caption, text);
    return PLAT_IDOK;
}

// A journal whose text is nearly 2 GiB long, as far as its counts say; the
// block itself is small, since nothing is written to it before it grows.
void note_past_the_32_bit_limit()
{
    plat_set_message_box_handler(box_to_stderr);
    InstallJournal j;
    j.text = (char*)tracked_alloc(16);
    j.used = INT32_MAX - 4;
    j.room = INT32_MAX - 4;
    j.add(InstallJournal::kFile, "C:\\Game\\a.txt");
    // Not reached: the text cannot grow past INT32_MAX bytes.
    fprintf(stderr, "noted\n");
    exit(0);
}

}  // namespace

TEST(JournalGrowthDeathTest, TextPastTheLimitEndsAsAFailedAllocation)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(note_past_the_32_bit_limit(), ::testing::ExitedWithCode(1), "\\[alloc failure\\] size=");
}
