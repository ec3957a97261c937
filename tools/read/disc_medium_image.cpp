// The image form of a disc medium: the image's tree read once, folder by
// folder (read_image_folder), when it is opened; each file then read in
// place as a stream over its sectors.
#include "disc_medium.h"

#include "image_volume.h"

#include <cstring>
#include <deque>
#include <set>

namespace {

// Limits beyond any compact disc: a hostile image could otherwise keep the
// walk going (deep chains of folders, millions of entries).
const int kMaxFolderDepth = 64;
const size_t kMaxEntries = 200000;

// Windows reads a disc's Joliet names when it has them, else the ISO 9660
// names; Rock Ridge names it never reads.
const iso_extension_mask_t kNamesWindowsReads = ISO_EXTENSION_JOLIET;

// A file or folder of the image where its bytes lie.
struct ImageEntry {
    uint64_t lsn;
    uint32_t size;
};

struct ImageMedium : DiscMedium {
    fs::path image;          // absolute
    bool raw_sectors = false;  // a cue sheet's .bin
    uint64_t sectors = 0;
    std::vector<MediumEntry> entries;
    std::vector<ImageEntry> places;  // by the index of `entries`

    std::string name() const override { return utf8_of(image); }
    fs::path root() const override { return image; }

    int list(std::vector<MediumEntry>* out, std::string*) override
    {
        *out = entries;
        return 1;
    }

    FILE* open(const std::string& path, std::string* error) override
    {
        const MediumEntry* e = find_entry(entries, path);
        if (!e || e->is_directory) {
            *error = path + " is not a file on " + name();
            return nullptr;
        }
        const ImageEntry& where = places[(size_t)(e - entries.data())];
        ImageVolume volume;
        if (!open_image_volume(image, &volume, error, kNamesWindowsReads))
            return nullptr;
        return open_extent_stream(&volume, where.lsn, where.size, e->path + " in " + name(), error);
    }

    int64_t bytes_needed(const std::vector<MediumEntry>&) const override
    {
        // A .bin holds 2352 bytes a sector, but a data disc is burned from
        // (and its size counted in) the 2048 bytes of user data each sector
        // carries: the ISO image the .bin was made from.
        if (raw_sectors)
            return (int64_t)sectors * kDiscSectorBytes;
        std::error_code ec;
        uintmax_t n = fs::file_size(image, ec);
        return ec ? 0 : (int64_t)n;
    }
};

// A folder still to be read: where it is recorded, its path as the medium
// lists it, and how deep it is.
struct PendingFolder {
    uint64_t lsn;
    uint32_t size;
    std::string path;
    int depth;
};

// Reads the whole tree, folder by folder from the root. 1 / 0 with *error.
int read_tree(ImageMedium* m, const ImageVolume& volume, std::string* error)
{
    const std::string image = m->name();
    std::set<uint64_t> folders_seen{volume.root_lsn};  // extents of the folders read or to be read
    std::deque<PendingFolder> pending{PendingFolder{volume.root_lsn, volume.root_size, "", 0}};
    while (!pending.empty()) {
        PendingFolder folder = pending.front();
        pending.pop_front();
        const std::string shown = (folder.path.empty() ? "the root folder" : "the folder " + folder.path) +
                                  " of " + image;
        std::vector<ImageFolderEntry> listed;
        if (!read_image_folder(volume, folder.lsn, folder.size, shown, &listed, error))
            return 0;
        std::set<std::string> names;  // to find twins (a folder may hold tens of thousands)
        for (const ImageFolderEntry& e : listed) {
            std::string path = folder.path.empty() ? e.name : folder.path + "/" + e.name;
            if (e.more_extents || !names.insert(e.name).second) {
                *error = path + " is recorded more than once in " + image +
                         " (a file in several pieces, or two entries of one name); the check reads a file "
                         "recorded once, in one piece";
                return 0;
            }
            uint64_t end = e.lsn + (e.size + kImageSectorBytes - 1) / kImageSectorBytes;
            if (end > volume.sectors) {
                *error = path + " in " + image + " lies past the end of the image (its data end at sector " +
                         std::to_string(end) + ", the image has " + std::to_string(volume.sectors) +
                         "): cut short or damaged";
                return 0;
            }
            if (m->entries.size() >= kMaxEntries) {
                *error = image + " holds more than " + std::to_string(kMaxEntries) +
                         " files and folders: no disc does (damaged)";
                return 0;
            }
            m->entries.push_back(MediumEntry{path, e.is_directory, e.is_directory ? 0 : (int64_t)e.size});
            m->places.push_back(ImageEntry{e.lsn, e.size});
            if (!e.is_directory)
                continue;
            if (!folders_seen.insert(e.lsn).second) {
                *error = "the folder " + path + " in " + image +
                         " leads back to a folder read before (a directory loop): damaged";
                return 0;
            }
            if (folder.depth + 1 > kMaxFolderDepth) {
                *error = "the folder " + path + " in " + image + " lies more than " +
                         std::to_string(kMaxFolderDepth) + " folders deep: no disc does (damaged)";
                return 0;
            }
            pending.push_back(PendingFolder{e.lsn, e.size, path, folder.depth + 1});
        }
    }
    return 1;
}

}  // namespace

std::unique_ptr<DiscMedium> open_disc_image(const fs::path& image, std::string* error)
{
    std::unique_ptr<ImageMedium> m(new ImageMedium);
    std::error_code ec;
    m->image = fs::absolute(image, ec);
    if (ec) {
        *error = "cannot find the folder of " + utf8_of(image) + ": " + ec.message();
        return nullptr;
    }
    ImageVolume volume;
    if (!open_image_volume(m->image, &volume, error, kNamesWindowsReads))
        return nullptr;
    m->raw_sectors = volume.cdio != nullptr;
    m->sectors = volume.sectors;
    int ok = read_tree(m.get(), volume, error);
    volume.release();
    if (!ok)
        return nullptr;
    // The order the folder form lists in.
    std::vector<size_t> order(m->entries.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::sort(order.begin(), order.end(),
              [&](size_t a, size_t b) { return m->entries[a].path < m->entries[b].path; });
    std::vector<MediumEntry> entries;
    std::vector<ImageEntry> places;
    for (size_t i : order) {
        entries.push_back(m->entries[i]);
        places.push_back(m->places[i]);
    }
    m->entries.swap(entries);
    m->places.swap(places);
    return std::unique_ptr<DiscMedium>(m.release());
}
