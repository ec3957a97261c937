// A folder of this process's own under the system's temporary folder, for
// what an image reader must write out before it can read (a CHD's disc, a
// cdrdao sheet with its file names made absolute). Made fresh, removed
// with everything in it when the reader is done.
#pragma once

#include "host_files.h"

#include <string>

// A new, empty folder (mkdtemp: mode 0700, a name no one else holds) whose
// name starts with `prefix`. 1, or 0 with *error.
int make_private_folder(const char* prefix, fs::path* folder, std::string* error);

// Removes a folder made by make_private_folder and all in it (links inside
// are removed, never followed). Clears *folder.
void remove_private_folder(fs::path* folder);
