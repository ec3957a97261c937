#include "run_program.h"

// The Windows toolkit has no ImageMagick or xorriso beside it: the steps
// that need them (pictures to convert, ISO images) run on the Linux toolkit.
int run_program(const std::vector<std::string>& argv, const std::vector<std::string>&, ProgramRun* run,
                std::string* error)
{
    *run = ProgramRun();
    *error = "cannot run " + (argv.empty() ? std::string("a program") : argv[0]) +
             ": the Windows build of the toolkit runs no helper programs; make the images and convert the "
             "pictures with the Linux toolkit";
    return 0;
}
