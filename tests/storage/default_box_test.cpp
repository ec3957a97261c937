// The exit checks with the platform's own message box, as a program shows
// them that installs no handler of its own. On POSIX that box is a line on
// standard error, made readable by converting its code page 950 text; the
// conversion must still work while the process is ending, after the
// thread's own clean-up has run.
#include "child_run.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#ifndef _WIN32
#include <sys/wait.h>
#endif

namespace {

#ifndef _WIN32
struct DefaultBoxRun {
    int status;          // exit status, or -signal when a signal ended it
    std::string stderr;  // the boxes, one "[caption] text" line each
};

DefaultBoxRun run_with_default_box(const std::string& mode, const std::string& folder_win)
{
    TempDir dir;
    fs::path err = dir.host / "stderr.txt";
    std::string cmd = std::string(CHILD_RUNNER "./") + EXIT_CHECK_CHILD + " - " + mode + " '" + folder_win +
                      "' > /dev/null 2> '" + err.string() + "'";
    int raw = std::system(cmd.c_str());
    DefaultBoxRun r;
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : (WIFSIGNALED(raw) ? -WTERMSIG(raw) : -1000);
    // A shell reports a child killed by a signal as 128 + the signal.
    if (r.status > 128)
        r.status = -(r.status - 128);
    // Lines a sanitizer runtime writes itself ("==pid==WARNING: ... failed to
    // allocate ...", where huge allocations are set to fail) are not boxes.
    std::ifstream in(err, std::ios::binary);
    std::string line;
    while (std::getline(in, line))
        if (line.compare(0, 2, "==") != 0)
            r.stderr += line + "\n";
    return r;
}

const char kBothLeakLines[] = "[Memory Error !!] alloc_sum != free_sum\n[Memory Error !!] alloc_size != free_size\n";
#endif

}  // namespace

TEST(DefaultBoxAtExit, EveryExitCheckPrintsItsBoxAndKeepsItsStatus)
{
#ifdef _WIN32
    GTEST_SKIP() << "the default box on Windows is MessageBoxA; this checks the POSIX one";
#else
    TempDir dir;
    struct Case {
        const char* mode;
        int status;
        std::string lines;
    } const cases[] = {
        {"leak", 0, kBothLeakLines},
        {"file-left-open", 0, "[error] Some file is not close\n"},
        // The failure box comes while the program runs, the leak boxes of
        // the block still held at its end.
        {"alloc-failure", 1, std::string("[alloc failure] size=-1 an=1 as=1\n") + kBothLeakLines},
        {"balanced", 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        DefaultBoxRun r = run_with_default_box(c.mode, dir.win);
        EXPECT_EQ(r.status, c.status) << "a negative status is the signal that ended the child";
        EXPECT_EQ(r.stderr, c.lines);
    }
#endif
}
