// The disc files of an image: the cdN files of its root folder, found
// through the image form of the disc medium and read there in place.
#include "disc_image.h"

#include "ascii_text.h"
#include "disc_names.h"

#include <algorithm>
#include <map>

namespace {

// Salvage: read what a damaged image still holds (set_image_salvage).
int g_salvage = 0;

// The disc number of a name of the root folder: "cd1", "CD1" are disc 1
// (the medium already dropped an ISO 9660 name's "." and ";1").
int32_t disc_number_of_entry(const std::string& recorded)
{
    return disc_number_in_name(ascii_lowered(recorded));
}

// The disc files of the root folder of `medium`, sorted by number, each
// recorded once. 1 / 0 with *error.
int root_discs(DiscMedium* medium, std::vector<ImageDisc>* discs, std::string* error)
{
    discs->clear();
    std::vector<MediumEntry> entries;
    if (!medium->list(&entries, error))
        return 0;
    std::map<int32_t, int> pieces;
    for (const MediumEntry& e : entries) {
        int32_t n = e.is_directory || e.path.find('/') != std::string::npos ? 0 : disc_number_of_entry(e.path);
        if (n <= 0)
            continue;
        if (++pieces[n] == 1)
            discs->push_back(ImageDisc{n, e.path, (uint32_t)e.size});
    }
    for (const auto& kv : pieces)
        if (kv.second > 1) {
            *error = disc_file_name_of(kv.first) + " is recorded " + std::to_string(kv.second) +
                     " times in the root folder of " + medium->name() +
                     " (a file in several pieces, or names that differ only in case); "
                     "discset reads a disc file recorded once, in one piece";
            return 0;
        }
    std::sort(discs->begin(), discs->end(), [](const ImageDisc& a, const ImageDisc& b) { return a.number < b.number; });
    return 1;
}

}  // namespace

int disc_images_supported()
{
    return 1;
}

void set_image_salvage(int on)
{
    g_salvage = on != 0;
}

std::unique_ptr<DiscMedium> open_image_of_discs(const fs::path& image, std::string* error)
{
    ImageReading reading;
    reading.root_only = 1;
    reading.salvage = g_salvage;
    return open_disc_image(image, reading, error);
}

int list_image_discs(const fs::path& image, std::vector<ImageDisc>* discs, std::string* error)
{
    discs->clear();
    std::unique_ptr<DiscMedium> medium = open_image_of_discs(image, error);
    if (!medium || !root_discs(medium.get(), discs, error))
        return 0;
    if (discs->empty()) {
        *error = utf8_of(image) + " holds no disc file (cd1, cd2, ...) in its root folder";
        return 0;
    }
    return 1;
}

FILE* open_disc_in_image(const fs::path& image, int32_t number, std::string* error)
{
    std::unique_ptr<DiscMedium> medium = open_image_of_discs(image, error);
    std::vector<ImageDisc> discs;
    if (!medium || !root_discs(medium.get(), &discs, error))
        return nullptr;
    for (const ImageDisc& d : discs)
        if (d.number == number)
            return medium->open(d.name, error);
    *error = utf8_of(image) + " holds no " + disc_file_name_of(number);
    return nullptr;
}
