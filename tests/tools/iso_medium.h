// Disc images for the pre-flight tests, made by xorriso as a program (an
// independent writer): an ISO 9660 image of a folder, with or without
// Joliet names.
#pragma once

#include "host_files.h"

#include <string>

// True when xorriso can be run.
bool xorriso_available();

// Writes `image` from the contents of `folder` (Joliet names on or off; no
// Rock Ridge names, as pack writes them). False with *error.
bool make_iso(const fs::path& folder, const fs::path& image, const std::string& volume_id, std::string* error,
              bool joliet = true);
