// Creating a file that must not exist yet, for extraction into a folder that
// may hold anything: an existing file, folder or symbolic link of that name
// (even one that points nowhere) makes it fail, so bytes never go through a
// link to somewhere else and nothing is replaced.
#pragma once

#include "host_files.h"

#include <string>

// Creates `path` and writes `bytes` into it. On failure *error says why and
// no file of that name was created by this call (a half-written one is
// removed again).
int create_new_host_file(const fs::path& path, const std::string& bytes, std::string* error);
