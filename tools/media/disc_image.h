// Disc images as discs: an ISO 9660 image (plain or with Joliet names) or a
// cue sheet with its raw .bin (mode 1, or mode 2 form 1, 2352-byte sectors)
// holds disc files cdN in its root folder. They are read in place through
// the image form of the disc medium (disc_medium.h), as seekable stdio
// streams; nothing is copied out first. The install engine opens them
// through the one serving of media (medium_serving.h), so it reads an image
// exactly as it reads a disc folder.
//
// A build without libcdio (the Windows one) has the same functions; they
// refuse every image with a message saying this build does not read them.
#pragma once

#include "disc_medium.h"
#include "host_files.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

// 1 when this build reads disc images, 0 when it does not.
int disc_images_supported();

// A disc file inside an image.
struct ImageDisc {
    int32_t number;    // N of cdN
    std::string name;  // its name in the image's root folder, as recorded
    uint32_t size;     // bytes
};

// The disc files in the image's root folder (named cdN in any ASCII case,
// with or without an ISO 9660 version ";1"), sorted by number. Each is
// checked: it must lie inside the image and be recorded in one piece. 1 when
// the image was read and holds at least one, else 0 with the reason in
// *error (not an image, cut short, a cue sheet naming a missing .bin, ...).
int list_image_discs(const fs::path& image, std::vector<ImageDisc>* discs, std::string* error);

// Salvage (extract --keep-going) reads what a damaged image still holds
// (ImageReading::salvage) while this is on. Off at the start.
void set_image_salvage(int on);

// Disc `number` of the image as a read-only, seekable stdio stream over the
// file's sectors in the image; fclose releases it. Null with *error when the
// image cannot be read or does not hold that disc.
FILE* open_disc_in_image(const fs::path& image, int32_t number, std::string* error);

// The image read for its disc files: its root folder, with salvage's
// reading while set_image_salvage is on. Null with *error.
std::unique_ptr<DiscMedium> open_image_of_discs(const fs::path& image, std::string* error);
