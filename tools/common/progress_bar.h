// A one-line progress bar on a terminal for long toolkit work (pack,
// extract): percent, a bar, MB/s and the time left, redrawn in place with
// a carriage return at most every kRedrawSeconds. Nothing is written when
// it is not enabled, so callers feed it the same way on a pipe.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

const double kRedrawSeconds = 0.2;
// A rate measured over less time than this says nothing (the first record
// may take microseconds), so none is shown before it.
const double kRateAfterSeconds = 0.5;

// The line for `done` of `total` bytes after `elapsed` seconds, e.g.
//  " 42% [########...........]  12.3 MB/s  0:15 left  273.0/650.0 MB"
// MB are 1000000 bytes. done is taken as at most total; a total of 0 is
// all done (100%). The rate and time left show "--" until done is above 0
// and elapsed reaches kRateAfterSeconds; the time left is rounded up to
// whole seconds (m:ss, h:mm:ss from an hour).
std::string progress_line(int64_t done, int64_t total, double elapsed);

// Whether a bar is drawn: only on a terminal, and not with --quiet. 1 / 0.
int progress_wanted(int stream_is_terminal, int quiet);
// 1 when the stream is a terminal.
int stream_is_terminal(FILE* stream);

struct ProgressBar {
    FILE* out = nullptr;  // null: disabled
    int64_t total = 0;
    double started = 0;            // seconds on the clock given to update
    double drawn_at = -1;          // when the line was last drawn; -1 never
    size_t drawn_length = 0;       // characters of the line on screen
    int64_t last_done = -1;        // as last given to update
    int64_t last_drawn_done = -1;  // as last drawn

    // A bar for `total` bytes starting at `now`, drawn on `out` when
    // `enabled` is 1.
    void create(FILE* stream, int enabled, int64_t total_bytes, double now);
    // Redraws when kRedrawSeconds have passed since the last drawing, when
    // none is on screen, and once when done reaches total. 1 when it drew.
    int update(int64_t done, double now);
    // A line of its own on `stream` above the bar (for --verbose): the bar
    // is wiped, the text printed, and the bar comes back at the next update.
    void note(FILE* stream, const std::string& text);
    // Draws the final state and ends the line, if anything was drawn.
    void release(double now);
};

// Seconds on a steady clock, for the `now` arguments above.
double progress_clock();
