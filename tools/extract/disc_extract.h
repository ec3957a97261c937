// Extracting a disc set on the host with the install engine itself
// (install_disc_set without the registration step), so the toolkit writes
// exactly what setup installs.
#pragma once

#include "host_files.h"
#include "path_select.h"
#include "progress_bar.h"

#include <cstdio>
#include <string>
#include <vector>

struct ExtractOptions {
    // Ask on the terminal for a disc that none of the given discs holds (a
    // relative path typed there is taken from the folder the run started
    // in), and answer the engine's questions there; otherwise give up.
    bool interactive = false;
    // Drawn as the engine reports progress (its total the header's total
    // size); null: none. Created and released by the caller.
    ProgressBar* progress = nullptr;
    // Decoder threads that decompress records ahead of the engine (0: one
    // per core). 1 decodes inline, one record at a time, as setup does.
    int threads = 0;
    FILE* prompt_in = stdin;
    FILE* prompt_out = stderr;
    // Only the files and folders it selects, and the folders on their way
    // (the engine's record filter; damage anywhere still rolls back). Null:
    // everything.
    PathSelection* selection = nullptr;
    // Set to true when Ctrl-C stopped the extraction (which rolled back).
    bool* interrupted = nullptr;
};

// Extracts the set whose disc folders, cdN files or disc images are `discs`
// into `dest`, a host folder that must not exist yet or be empty (a failed
// extraction rolls back what it created, and nothing of the user's may be
// overwritten). Exactly the discs named are read: a disc file lying beside
// them is not, a disc that is missing is asked for (options.interactive) or
// fails the extraction, and a disc numbered past the header's count is
// refused as one of another set. The current folder is restored afterwards.
// 1, or 0 with *error saying why.
int disc_extract(const std::vector<std::string>& discs, const fs::path& dest, const ExtractOptions& options,
                 std::string* error);
