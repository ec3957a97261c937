// Running a program of the host system (ImageMagick's convert, xorriso) and
// collecting what it prints. The program is looked up on PATH.
#pragma once

#include <string>
#include <vector>

struct ProgramRun {
    int exit_code = -1;  // the program's exit status; -1 when it died of a signal
    std::string out;     // what it wrote to standard output
    std::string err;     // what it wrote to standard error
};

// Runs argv[0] with the arguments argv[1..], with `extra_env` ("NAME=value")
// added to this process's environment, and waits for it. 0 when it could
// not be started (not installed, say); then *error says so. A program that
// ran and failed gives 1 with its exit code in run->exit_code.
int run_program(const std::vector<std::string>& argv, const std::vector<std::string>& extra_env, ProgramRun* run,
                std::string* error);

// The last lines of a program's message, for an error text.
std::string program_message(const ProgramRun& run);
