// The layout beside each disc file and the disc images of a pack: checks of
// what they would replace, the room the image structures take, and writing
// them once the disc files are done.
#pragma once

#include "disc_layout.h"
#include "disc_writer.h"
#include "host_files.h"

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace pack {

// Files of an earlier run that the layout or the images would replace.
int check_layout_targets(const fs::path& out, const DiscLayout& layout, const DiscPackOptions& options,
                         std::string* error);

// Measures with xorriso the image sectors of a disc's layout and an empty
// disc file of that disc's name, once per role and name length.
struct StructureSizes {
    const DiscLayout* layout;
    fs::path work;
    std::string volume_id;
    std::map<std::pair<unsigned, size_t>, int64_t> known;

    fs::path empty_folder() const { return work / "empty-folder"; }

    int sectors(int32_t number, unsigned role, int64_t* out, std::string* error);
};

// Puts the layout beside each disc file and writes the images.
int write_layout_and_images(const fs::path& out, const DiscLayout& layout, const DiscPackOptions& options,
                            StructureSizes* sizes, DiscPackResult* result, std::vector<fs::path>* created,
                            std::string* error);

}  // namespace pack
