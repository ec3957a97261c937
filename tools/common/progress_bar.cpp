#include "progress_bar.h"

#include <chrono>
#include <cmath>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {

const int kBarWidth = 24;

std::string duration_text(int64_t seconds)
{
    char text[32];
    if (seconds >= 3600)
        snprintf(text, sizeof text, "%lld:%02lld:%02lld", (long long)(seconds / 3600), (long long)(seconds / 60 % 60),
                 (long long)(seconds % 60));
    else
        snprintf(text, sizeof text, "%lld:%02lld", (long long)(seconds / 60), (long long)(seconds % 60));
    return text;
}

}  // namespace

std::string progress_line(int64_t done, int64_t total, double elapsed)
{
    if (total < 0)
        total = 0;
    if (done > total)
        done = total;
    if (done < 0)
        done = 0;
    // Integer arithmetic for the percent and the bar: 99.99% is 99, and
    // 100% only when it is all done.
    int percent = total == 0 ? 100 : (int)(done * 100 / total);
    int filled = total == 0 ? kBarWidth : (int)(done * kBarWidth / total);
    std::string bar(kBarWidth, '.');
    for (int i = 0; i < filled; ++i)
        bar[i] = '#';
    std::string rate = "  -- MB/s", left = "--:--";
    if (done > 0 && elapsed >= kRateAfterSeconds) {
        double per_second = (double)done / elapsed;
        char text[32];
        snprintf(text, sizeof text, "%6.1f MB/s", per_second / 1e6);
        rate = text;
        left = duration_text((int64_t)std::ceil((double)(total - done) / per_second));
    }
    char line[160];
    snprintf(line, sizeof line, "%3d%% [%s] %s  %s left  %.1f/%.1f MB", percent, bar.c_str(), rate.c_str(),
             left.c_str(), (double)done / 1e6, (double)total / 1e6);
    return line;
}

int progress_wanted(int stream_is_terminal, int quiet)
{
    return stream_is_terminal && !quiet ? 1 : 0;
}

int stream_is_terminal(FILE* stream)
{
#ifdef _WIN32
    return _isatty(_fileno(stream)) != 0 ? 1 : 0;
#else
    return isatty(fileno(stream)) != 0 ? 1 : 0;
#endif
}

double progress_clock()
{
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

void ProgressBar::create(FILE* stream, int enabled, int64_t total_bytes, double now)
{
    out = enabled ? stream : nullptr;
    total = total_bytes;
    started = now;
    drawn_at = -1;
    drawn_length = 0;
    last_done = -1;
    last_drawn_done = -1;
}

int ProgressBar::update(int64_t done, double now)
{
    last_done = done;
    if (!out)
        return 0;
    // The final state is always drawn once; anything else waits its turn.
    bool final_state = done >= total && done != last_drawn_done;
    if (drawn_at >= 0 && now - drawn_at < kRedrawSeconds && !final_state)
        return 0;
    std::string line = progress_line(done, total, now - started);
    // Blanks wipe what a longer line before left over.
    size_t length = line.size();
    if (length < drawn_length)
        line.append(drawn_length - length, ' ');
    fprintf(out, "\r%s", line.c_str());
    fflush(out);
    drawn_at = now;
    drawn_length = length;
    last_drawn_done = done;
    return 1;
}

void ProgressBar::note(FILE* stream, const std::string& text)
{
    if (out && drawn_length > 0) {
        fprintf(out, "\r%*s\r", (int)drawn_length, "");
        fflush(out);
        drawn_length = 0;
        drawn_at = -1;
        last_drawn_done = -1;
    }
    fprintf(stream, "%s\n", text.c_str());
    fflush(stream);
}

void ProgressBar::release(double now)
{
    if (!out)
        return;
    if (last_done >= 0 && last_done != last_drawn_done) {
        drawn_at = -1;
        update(last_done, now);
    }
    if (drawn_length > 0)
        fprintf(out, "\n");
    fflush(out);
    out = nullptr;
}
