// Runs exit_check_child in a process of its own and collects what it showed.
#pragma once

#include <string>

// The emulator that runs this build's programs, followed by a space, or
// nothing (CMake defines it when there is one): the child's command line
// starts with it.
#ifndef CHILD_RUNNER
#define CHILD_RUNNER ""
#endif

struct ChildRun {
    int status;         // the child's exit status
    std::string boxes;  // "caption|text" lines, in the order shown
    std::string out;    // what the child printed
};

// exit_check_child BOXFILE MODE FOLDER, from the test's working folder.
ChildRun run_exit_check_child(const std::string& mode, const std::string& folder_win = ".");
