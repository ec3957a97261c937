// The exit codes of every toolkit command (discset and apkg), one
// convention for all of them, and the text that says so in each --help.
#pragma once

enum ToolExit : int {
    kExitDone = 0,           // the command did what it was asked
    kExitUsage = 1,          // the command line is wrong (unknown option, missing argument, bad value)
    kExitFailed = 2,         // it failed, or found the input damaged
    kExitPartial = 3,        // extract --keep-going: done, but something was lost (see its loss report)
    kExitInterrupted = 130,  // stopped by Ctrl-C (SIGINT)
};

// For the footer of --help.
inline const char* exit_codes_help()
{
    return "Exit codes: 0 done, 1 usage error, 2 failed or damaged input, "
           "3 partial (extract --keep-going lost something), 130 interrupted (Ctrl-C).";
}
