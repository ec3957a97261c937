// Disc images read through libcdio: libiso9660 finds cdN in the image's root
// folder, and a stream over the file's sectors (image_volume) is the FILE*
// that the engine's file object reads.
#include "disc_image.h"

#include "disc_names.h"
#include "image_volume.h"
#include "platform.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>

namespace {

// The disc name N of an entry of the root folder: "cd1", "CD1", "CD1.;1"
// (ISO 9660 level 1 names carry a dot and a version) are all disc 1.
int32_t disc_number_of_entry(const char* recorded)
{
    std::string name = recorded;
    size_t version = name.find(';');
    if (version != std::string::npos)
        name.erase(version);
    if (!name.empty() && name.back() == '.')
        name.pop_back();
    for (char& c : name)
        if (c >= 'A' && c <= 'Z')
            c = (char)(c - 'A' + 'a');
    return disc_number_in_name(name);
}

// Salvage: read what a damaged image still holds (set_image_salvage).
bool g_salvage = false;

struct RootFile {
    int32_t number;
    std::string name;
    uint64_t lsn;
    uint32_t size;
};

// The disc files of the root folder, checked. 1 / 0 with *error.
int read_root(const fs::path& image, const ImageVolume& img, std::vector<RootFile>* files, std::string* error)
{
    files->clear();
    std::string name = utf8_of(image);
    std::vector<ImageFolderEntry> entries;
    if (!read_image_folder(img, img.root_lsn, img.root_size, "the root folder of " + name, &entries, error))
        return 0;
    std::map<int32_t, int> pieces;
    for (const ImageFolderEntry& e : entries) {
        if (e.is_directory)
            continue;
        int32_t n = disc_number_of_entry(e.name.c_str());
        if (n <= 0)
            continue;
        ++pieces[n];
        files->push_back(RootFile{n, e.name, e.lsn, e.size});
    }
    for (const auto& kv : pieces)
        if (kv.second > 1) {
            *error = disc_file_name_of(kv.first) + " is recorded " + std::to_string(kv.second) +
                     " times in the root folder of " + name +
                     " (a file in several pieces, or names that differ only in case); "
                     "discset reads a disc file recorded once, in one piece";
            return 0;
        }
    for (RootFile& f : *files) {
        uint64_t end = extent_end_sector(f.lsn, f.size);
        if (end > img.sectors && g_salvage) {
            // What the image still holds of it (less than its recorded size).
            uint64_t held = f.lsn >= img.sectors ? 0 : (img.sectors - f.lsn) * kImageSectorBytes;
            f.size = (uint32_t)std::min<uint64_t>(held, f.size);
        } else if (end > img.sectors) {
            *error = f.name + " in " + name + " lies past the end of the image (its data end at sector " +
                     std::to_string(end) + ", the image has " + std::to_string(img.sectors) + "): cut short or damaged";
            return 0;
        }
    }
    std::sort(files->begin(), files->end(),
              [](const RootFile& a, const RootFile& b) { return a.number < b.number; });
    return 1;
}

// The image's disc files: from the tree libiso9660 prefers (Joliet when
// there is one) or, in salvage, from the ISO 9660 tree when that one cannot
// be read. On success `img` is open; else it is released. 1 / 0 with *error.
int open_root(const fs::path& image, ImageVolume* img, std::vector<RootFile>* files, std::string* error)
{
    if (open_image_volume(image, img, error)) {
        if (read_root(image, *img, files, error))
            return 1;
        img->release();
    }
    std::string first = *error;
    if (!g_salvage || !open_image_volume(image, img, error, ISO_EXTENSION_NONE))
        return 0;
    if (read_root(image, *img, files, error))
        return 1;
    img->release();
    *error = first;
    return 0;
}

struct Served {
    std::string system_path;
    fs::path image;
    int32_t number;
};

std::vector<Served> g_served;
std::string g_served_error;
FileOpenHandler g_previous_handler = nullptr;
bool g_handler_set = false;

FILE* open_served(const char* path, const char* mode)
{
    try {
        for (const Served& s : g_served) {
            if (s.system_path != path)
                continue;
            // Only reading: a disc in an image is never written.
            if (strchr(mode, 'w') || strchr(mode, 'a') || strchr(mode, '+'))
                return nullptr;
            std::string error;
            FILE* f = open_disc_in_image(s.image, s.number, &error);
            if (!f)
                g_served_error = error;
            return f;
        }
    } catch (...) {
        // No memory for a message: the open fails like a missing file.
        return nullptr;
    }
    return g_previous_handler ? g_previous_handler(path, mode) : nullptr;
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

int list_image_discs(const fs::path& image, std::vector<ImageDisc>* discs, std::string* error)
{
    discs->clear();
    ImageVolume img;
    std::vector<RootFile> files;
    if (!open_root(image, &img, &files, error))
        return 0;
    img.release();
    if (files.empty()) {
        *error = utf8_of(image) + " holds no disc file (cd1, cd2, ...) in its root folder";
        return 0;
    }
    for (const RootFile& f : files)
        discs->push_back(ImageDisc{f.number, f.name, f.size});
    return 1;
}

FILE* open_disc_in_image(const fs::path& image, int32_t number, std::string* error)
{
    ImageVolume img;
    std::vector<RootFile> files;
    if (!open_root(image, &img, &files, error))
        return nullptr;
    const RootFile* found = nullptr;
    for (const RootFile& f : files)
        if (f.number == number)
            found = &f;
    if (!found) {
        *error = utf8_of(image) + " holds no " + disc_file_name_of(number);
        img.release();
        return nullptr;
    }
    return open_extent_stream(&img, found->lsn, found->size, found->name + " in " + utf8_of(image), error);
}

int serve_image_disc(const std::string& system_path, const fs::path& image, int32_t number)
{
    if (!g_handler_set) {
        g_previous_handler = plat_set_file_open_handler(open_served);
        g_handler_set = true;
    }
    for (Served& s : g_served)
        if (s.system_path == system_path) {
            s.image = image;
            s.number = number;
            return 1;
        }
    g_served.push_back(Served{system_path, image, number});
    return 1;
}

void stop_serving_image_disc(const std::string& system_path)
{
    g_served.erase(std::remove_if(g_served.begin(), g_served.end(),
                                  [&](const Served& s) { return s.system_path == system_path; }),
                   g_served.end());
}

void stop_serving_image_discs()
{
    g_served.clear();
    g_served_error.clear();
    if (g_handler_set) {
        plat_set_file_open_handler(g_previous_handler);
        g_previous_handler = nullptr;
        g_handler_set = false;
    }
}

std::string served_open_error()
{
    return g_served_error;
}
