// The progress line's figures (percent, rate, time left and their rounding,
// the edge cases of no time and no total) and the bar's redraw throttle,
// read back from what it wrote into a file.
#include "progress_bar.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

bool has(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

TEST(ProgressLine, FiguresAndTheirRounding)
{
    // 273 of 650 MB in 21 s: 13.0 MB/s, 377 MB left = 29.0 s.
    std::string l = progress_line(273000000, 650000000, 21.0);
    EXPECT_TRUE(has(l, " 42% [##########..............]")) << l;  // 10 of 24 filled
    EXPECT_TRUE(has(l, "  13.0 MB/s")) << l;
    EXPECT_TRUE(has(l, "0:29 left")) << l;
    EXPECT_TRUE(has(l, "273.0/650.0 MB")) << l;

    // Time left rounds up: 1001 bytes left at 1000 bytes/s is 1.001 s -> 0:02.
    l = progress_line(999000, 1000001, 999.0);
    EXPECT_TRUE(has(l, "0:02 left")) << l;
    EXPECT_TRUE(has(l, " 99%")) << l;  // 99.9% is not yet 100
    // An hour and more: h:mm:ss.
    l = progress_line(1000000, 101000000, 1.0);
    EXPECT_TRUE(has(l, "1:40 left")) << l;
    l = progress_line(1000000, 4000000000LL, 1.0);
    EXPECT_TRUE(has(l, "1:06:39 left")) << l;
    EXPECT_TRUE(has(l, "  0%")) << l;
}

TEST(ProgressLine, NoTimeNoBytesAndNoTotal)
{
    std::string l = progress_line(500, 1000, 0.0);
    EXPECT_TRUE(has(l, " 50%")) << l;
    EXPECT_TRUE(has(l, "-- MB/s")) << l;
    EXPECT_TRUE(has(l, "--:-- left")) << l;
    // Too early to tell a rate: the first record may take microseconds.
    l = progress_line(10, 30000000, kRateAfterSeconds / 2);
    EXPECT_TRUE(has(l, "-- MB/s")) << l;
    EXPECT_TRUE(has(l, "--:-- left")) << l;
    l = progress_line(0, 1000, 5.0);
    EXPECT_TRUE(has(l, "  0% [........................]")) << l;
    EXPECT_TRUE(has(l, "--:-- left")) << l;
    // Nothing to do is all done, without dividing by zero.
    l = progress_line(0, 0, 1.0);
    EXPECT_TRUE(has(l, "100% [########################]")) << l;
    // More done than planned (a file grew) stays at 100%.
    l = progress_line(2000, 1000, 1.0);
    EXPECT_TRUE(has(l, "100%")) << l;
    EXPECT_TRUE(has(l, "0:00 left")) << l;
}

TEST(ProgressLine, ShownOnlyOnATerminalAndNotWhenQuiet)
{
    EXPECT_EQ(progress_wanted(1, 0), 1);
    EXPECT_EQ(progress_wanted(0, 0), 0);
    EXPECT_EQ(progress_wanted(1, 1), 0);
    FILE* f = tmpfile();
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(stream_is_terminal(f), 0);
    fclose(f);
}

struct Captured {
    FILE* f = tmpfile();
    ~Captured()
    {
        if (f)
            fclose(f);
    }
    std::string text()
    {
        fflush(f);
        std::string out;
        rewind(f);
        int c;
        while ((c = fgetc(f)) != EOF)
            out += (char)c;
        return out;
    }
};

size_t count(const std::string& text, char c)
{
    size_t n = 0;
    for (char x : text)
        n += x == c;
    return n;
}

TEST(ProgressBarDrawing, RedrawsAreThrottledAndTheEndIsAlwaysShown)
{
    Captured out;
    ASSERT_NE(out.f, nullptr);
    ProgressBar bar;
    bar.create(out.f, 1, 1000, 100.0);
    EXPECT_EQ(bar.update(10, 100.0), 1);   // the first is drawn at once
    EXPECT_EQ(bar.update(20, 100.05), 0);  // too soon
    EXPECT_EQ(bar.update(30, 100.1), 0);
    EXPECT_EQ(bar.update(40, 100.0 + kRedrawSeconds), 1);
    EXPECT_EQ(bar.update(1000, 100.0 + kRedrawSeconds + 0.01), 1);  // done: drawn despite the throttle
    EXPECT_EQ(bar.update(1000, 100.0 + kRedrawSeconds + 0.02), 0);  // but once
    bar.release(101.0);
    std::string t = out.text();
    EXPECT_EQ(count(t, '\r'), 3u) << t;
    EXPECT_EQ(count(t, '\n'), 1u) << t;  // one line, ended at release
    EXPECT_TRUE(has(t, "100%")) << t;
    EXPECT_FALSE(has(t, "  2%")) << t;
}

TEST(ProgressBarDrawing, ReleaseShowsTheLastStateAndNotesWipeTheBar)
{
    Captured out, notes;
    ASSERT_NE(out.f, nullptr);
    ASSERT_NE(notes.f, nullptr);
    ProgressBar bar;
    bar.create(out.f, 1, 1000, 0.0);
    bar.update(100, 1.0);
    bar.update(600, 1.01);  // throttled, yet the state release must show
    bar.note(notes.f, "\\a.txt");
    bar.release(2.0);
    std::string t = out.text();
    EXPECT_TRUE(has(t, " 60%")) << t;
    // The note wiped the drawn line with blanks before it was written.
    EXPECT_TRUE(has(t, "\r" + std::string(progress_line(100, 1000, 1.0).size(), ' ') + "\r")) << t;
    EXPECT_EQ(notes.text(), "\\a.txt\n");
}

TEST(ProgressBarDrawing, DisabledBarWritesNothing)
{
    Captured out;
    ASSERT_NE(out.f, nullptr);
    ProgressBar bar;
    bar.create(out.f, 0, 1000, 0.0);
    EXPECT_EQ(bar.update(500, 1.0), 0);
    EXPECT_EQ(bar.update(1000, 2.0), 0);
    bar.release(3.0);
    EXPECT_EQ(out.text(), "");
}

}  // namespace
