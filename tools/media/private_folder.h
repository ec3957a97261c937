// A folder of this process's own under the system's temporary folder, for
// what an image reader must write out before it can read (a CHD's disc).
// Made fresh, removed with everything in it when the reader is done, and
// also when Ctrl-C, kill or a closed terminal ends the program on the way
// (a CHD's disc is as large as the disc: it must not stay behind).
#pragma once

#include "host_files.h"

#include <string>

// A new, empty folder (mkdtemp: mode 0700, a name no one else holds) whose
// name starts with `prefix`. The first call installs a handler for SIGINT,
// SIGTERM and SIGHUP where their action is the default: it removes the
// folders that exist, then ends the program by the signal as before. 1, or
// 0 with *error.
int make_private_folder(const char* prefix, fs::path* folder, std::string* error);

// Removes a folder made by make_private_folder and all in it (links inside
// are removed, never followed). Clears *folder.
void remove_private_folder(fs::path* folder);
