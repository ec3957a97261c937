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

// How an image is read. The check reads the whole tree; the record walks
// (list, test, extract) read only the root folder, where the disc files
// cdN lie, so damage elsewhere in the image does not stop them.
struct ImageReading {
    int root_only = 0;
    // Salvage (extract --keep-going): a file that runs past the image's end
    // is read up to that end, files and folders recorded more than once are
    // kept, and when the Joliet tree cannot be read the ISO 9660 tree is
    // read instead. Off, such images are refused.
    int salvage = 0;
};

// A disc image (disc_image.h says which kinds): its tree (the whole of it,
// or only its root folder), Joliet names when it has them, else the ISO 9660
// names as listings show them (lower case, no ";1"), each file read in
// place. The image is read when it is opened; one that cannot be read, or is
// hostile (files or folders outside the image, a folder that leads back to
// one above it, absurd depth or entry counts, names that do not convert), is
// refused: null with *error. A build without libcdio refuses every image,
// saying so.
std::unique_ptr<DiscMedium> open_disc_image(const fs::path& image, const ImageReading& reading, std::string* error);

// What a disc argument on the command line (or typed at the disc prompt)
// names. It is looked at once, here, and carried as this record.
enum DiscArgumentKind {
    kDiscFolder = 1,  // a folder: the disc files cdN directly in it
    kDiscFileGiven,   // a disc file cdN itself
    kDiscImage,       // a regular file that is not a disc file: a disc image
};

struct DiscArgument {
    fs::path host;       // as given, on the host
    std::string text;    // the same in UTF-8, for messages
    int32_t number = 0;  // N of a disc file cdN; 0 for a folder or an image
    int kind = 0;        // DiscArgumentKind; 0 until the argument is looked at
};

// The argument `host` names. 1, or 0 with *error when it names nothing there
// (no such file or folder).
int disc_argument_of_path(const fs::path& host, DiscArgument* argument, std::string* error);
// The same for an argument given as UTF-8 text.
int disc_argument_of_text(const std::string& text, DiscArgument* argument, std::string* error);

// The disc a command-line argument names, for the check: a folder is a disc
// folder, an image is read whole. Null with *error for a disc file cdN (the
// check needs the whole disc) or an image that cannot be read.
std::unique_ptr<DiscMedium> open_disc_medium(const DiscArgument& argument, std::string* error);

// The entry whose path equals `path` when ASCII letters are compared without
// case (as Windows and a disc's Joliet names compare them); null when none.
const MediumEntry* find_entry(const std::vector<MediumEntry>& entries, const std::string& path);

// The whole of the disc file `path`, at most `limit` bytes. 1 / 0 with
// *error (also when it is larger).
int read_medium_file(DiscMedium* medium, const std::string& path, size_t limit, std::string* bytes, std::string* error);
