// One disc as the pre-flight check sees it: the files it carries and a way to
// read each of them. The check reaches a disc only through this interface,
// so a disc folder and a disc image are read alike; the folder form is here,
// an image form plugs in beside it.
#pragma once

#include "host_files.h"

#include <cstdint>
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
    // How the disc is named in messages (the folder or image as given).
    virtual std::string name() const = 0;
    // Every file and folder on the disc, at every depth. 1 / 0 with *error.
    virtual int list(std::vector<MediumEntry>* entries, std::string* error) = 0;
    // A host file holding the bytes of the disc file `path` (as listed), for
    // readers that open files by name. It stays valid while the medium lives.
    // 1 / 0 with *error.
    virtual int host_file(const std::string& path, fs::path* host, std::string* error) = 0;
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

// The disc a command-line argument names: a folder is a disc folder. A file
// (a disc image) is refused with a message until an image reader is plugged
// in here; so is a path that is neither.
std::unique_ptr<DiscMedium> open_disc_medium(const fs::path& path, std::string* error);

// The entry whose path equals `path` when ASCII letters are compared without
// case (as Windows and a disc's Joliet names compare them); null when none.
const MediumEntry* find_entry(const std::vector<MediumEntry>& entries, const std::string& path);
