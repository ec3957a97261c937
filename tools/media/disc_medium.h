// One disc as the pre-flight check sees it: the files it carries and a way to
// read each of them. The check reaches a disc only through this interface,
// so a disc folder and a disc image are read alike.
#pragma once

#include "host_files.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

// A file or folder on a disc. `path` is relative to the disc's root, UTF-8,
// with "/" between names ("pic/01.tga").
struct MediumEntry {
    std::string path;
    bool is_directory;
    int64_t size;  // bytes of a file; 0 for a folder
};

struct DiscMedium {
    virtual ~DiscMedium() = default;
    // How the disc is named in messages (the folder or image, made absolute).
    virtual std::string name() const = 0;
    // The host path the disc's files are reached under, as if it were a
    // folder: the folder itself, or the image file (its file pic/01.tga is
    // then IMAGE/pic/01.tga; see medium_serving.h).
    virtual fs::path root() const = 0;
    // Every file and folder on the disc, at every depth. 1 / 0 with *error.
    virtual int list(std::vector<MediumEntry>* entries, std::string* error) = 0;
    // The disc file `path` (as listed; ASCII case is ignored, as Windows
    // ignores it) as a read-only, seekable stream, read where it lies;
    // fclose releases it. Null with *error.
    virtual FILE* open(const std::string& path, std::string* error) = 0;
    // Bytes the disc needs on its medium: for a folder every file rounded up
    // to whole 2048-byte sectors (what a disc image needs at the least), for
    // an image the image's own size.
    virtual int64_t bytes_needed(const std::vector<MediumEntry>& entries) const = 0;
};

// Bytes of one 2048-byte compact-disc sector.
constexpr int64_t kDiscSectorBytes = 2048;

// A disc folder: the folder is the disc's root. Null when `folder` is not a
// folder, with *error saying so.
std::unique_ptr<DiscMedium> open_disc_folder(const fs::path& folder, std::string* error);

// A disc image (disc_image.h says which kinds): its whole tree, Joliet names
// when it has them, else the ISO 9660 names as listings show them (lower
// case, no ";1"), each file read in place. The image is read when it is
// opened; one that cannot be read, or is hostile (files or folders outside
// the image, a folder that leads back to one above it, absurd depth or
// entry counts, names that do not convert), is refused: null with *error.
// A build without libcdio refuses every image, saying so.
std::unique_ptr<DiscMedium> open_disc_image(const fs::path& image, std::string* error);

// The disc a command-line argument names: a folder is a disc folder, a file
// that is not itself a disc file cdN is a disc image. Null with *error
// otherwise; *bad_image is then 1 when the argument was an image that could
// not be read, 0 when it names no disc (nothing there, or a cdN file: the
// check needs the whole disc).
std::unique_ptr<DiscMedium> open_disc_medium(const fs::path& path, std::string* error, int* bad_image);

// The entry whose path equals `path` when ASCII letters are compared without
// case (as Windows and a disc's Joliet names compare them); null when none.
const MediumEntry* find_entry(const std::vector<MediumEntry>& entries, const std::string& path);

// The whole of the disc file `path`, at most `limit` bytes. 1 / 0 with
// *error (also when it is larger).
int read_medium_file(DiscMedium* medium, const std::string& path, size_t limit, std::string* bytes,
                     std::string* error);
