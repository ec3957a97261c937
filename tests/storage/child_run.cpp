#include "child_run.h"

#include "test_support.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#ifndef _WIN32
#include <sys/wait.h>
#endif

ChildRun run_exit_check_child(const std::string& mode, const std::string& folder_win)
{
    TempDir dir;
    std::string box_file = (dir.host / "boxes.txt").string();
    std::string out_file = (dir.host / "out.txt").string();
#ifdef _WIN32
    std::string cmd = std::string(".\\") + EXIT_CHECK_CHILD + " \"" + box_file + "\" " + mode + " \"" + folder_win +
                      "\" > \"" + out_file + "\"";
    int status = std::system(cmd.c_str());
#else
    std::string cmd = std::string(CHILD_RUNNER "./") + EXIT_CHECK_CHILD + " '" + box_file + "' " + mode + " '" +
                      folder_win + "' > '" + out_file + "'";
    int raw = std::system(cmd.c_str());
    int status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
#endif
    return ChildRun{status, host_bytes(dir.host / "boxes.txt"), host_bytes(dir.host / "out.txt")};
}
