// Common ground of the engine tests: a temporary folder with the disc set in
// "src", the install folder "inst" beside it (absent at first), a sentinel
// file beside both, scripted callbacks, and snapshots of the whole folder to
// compare before and after an installation.
#pragma once

#include "disc_fixture.h"
#include "install_engine.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

// The snapshot key of `name` (UTF-8, "/" between names) inside the install
// folder "inst"; of "inst" itself for "".
std::string rel(const std::string& name);
// `base` with entries below "inst" set: name -> contents (kFolderMark for a
// folder).
Snapshot with_installed(Snapshot base, const std::vector<std::pair<std::string, std::string>>& entries);

// Progress and prompt callbacks that record their calls.
struct Calls {
    static std::vector<int32_t> progress;  // percents passed
    static int32_t cancel_at;              // 1-based progress call that answers 0; 0: never
    static std::vector<int32_t> prompts;   // disc indexes asked for
    static int32_t prompt_answers_ok;      // prompts answered 1 before answering 0
    static void reset();
};
int32_t record_progress(int32_t percent);
int32_t record_prompt(int32_t disc_index);

class EngineTest : public ::testing::Test {
protected:
    TempDir tmp;
    std::string src;       // the source root (system path)
    std::string inst;      // the install folder (system path)
    std::string sentinel;  // a file beside the install folder
    BoxRecorder boxes;

    void SetUp() override;
    void TearDown() override;

public:
    // Where every installation of these tests reads its records (null: the
    // engine's inline source); a test program may set another.
    static const DecodedRecordSource* records;

protected:
    // Installs from `root` into `install` without registering, with these
    // callbacks (null: the engine's defaults) and `records`.
    static int install_with(const std::string& root, const std::string& install, DiscPromptCallback prompt,
                            ProgressCallback progress);
    int install_with(DiscPromptCallback prompt, ProgressCallback progress)
    {
        return install_with(src, inst, prompt, progress);
    }
    // Installs with the recording callbacks and checks that every heap
    // block and file it opened was given back.
    int run(const std::string& root, const std::string& install);
    int run() { return run(src, inst); }
    void write(const fixture::DiscSet& set) { fixture::write_set(set, src); }
    // Writes the set and returns the whole test folder as it then stands:
    // what a failed or cancelled run must leave.
    Snapshot written(const fixture::DiscSet& set)
    {
        write(set);
        return snapshot(tmp.host);
    }
    // Cancels the installation at each of its first `records` records in
    // turn; every time the temporary folder must equal `before` again.
    void expect_every_cancel_restores(int32_t records, const Snapshot& before);

    // Whether the temporary folder holds `expected` now; a failure lists
    // what it holds.
    ::testing::AssertionResult folder_is(const Snapshot& expected) const;

    // Texts of the message boxes shown so far, "caption|text" each.
    std::vector<std::string> box_texts() const;
};
