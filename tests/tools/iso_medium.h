// Disc images for the pre-flight tests, made and read by xorriso as a
// program: an ISO 9660 image with Joliet names of a folder, and a disc
// medium that reads an image by extracting it whole into a temporary
// folder. Test fixtures only; the toolkit reads images with its own layer.
#pragma once

#include "disc_medium.h"

#include <memory>
#include <string>

// True when xorriso can be run.
bool xorriso_available();

// Writes `image` from the contents of `folder` (Joliet names on).
// False with *error.
bool make_iso(const fs::path& folder, const fs::path& image, const std::string& volume_id, std::string* error);

// The disc in `image`, extracted into `scratch` (a new folder): its files
// are the extracted ones, and it needs the image's own size on a disc.
std::unique_ptr<DiscMedium> open_iso_with_xorriso(const fs::path& image, const fs::path& scratch,
                                                  std::string* error);
