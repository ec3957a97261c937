// The image form of a disc medium: the image's tree read once, folder by
// folder (read_image_folder), when it is opened; each file then read in
// place as a stream over its sectors.
#include "disc_medium.h"

#include "image_limits.h"
#include "image_volume.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <deque>
#include <set>

namespace {

// Windows reads a disc's Joliet names when it has them, else the ISO 9660
// names; Rock Ridge names it never reads.
const iso_extension_mask_t kNamesWindowsReads = ISO_EXTENSION_JOLIET;

const uint32_t kNoParent = UINT32_MAX;

int same_name_ascii_case(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return 0;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i] >= 'A' && a[i] <= 'Z' ? (char)(a[i] - 'A' + 'a') : a[i];
        char y = b[i] >= 'A' && b[i] <= 'Z' ? (char)(b[i] - 'A' + 'a') : b[i];
        if (x != y)
            return 0;
    }
    return 1;
}

// A file or folder of the image: its own name once, its folder, and where
// its bytes lie. Nodes are kept in the order the folders were read (each
// folder's entries together, every folder before what it holds), so a
// path is resolved name by name and spelled out only when listed.
struct ImageNode {
    std::string name;
    uint32_t parent;  // index of its folder; kNoParent in the root folder
    bool is_directory;
    uint64_t lsn;
    uint32_t size;
    uint32_t first_child;  // a folder's entries: [first_child, first_child + children)
    uint32_t children;
};

struct ImageMedium : DiscMedium {
    fs::path image;  // absolute
    ImageReading reading;
    iso_extension_mask_t names = kNamesWindowsReads;  // the tree read: ISO 9660 alone after a salvage fallback
    bool raw_sectors = false;                         // a cue sheet's .bin
    uint64_t sectors = 0;
    std::vector<ImageNode> nodes;
    uint32_t root_children = 0;  // the root folder's entries are nodes [0, root_children)

    std::string name() const override { return utf8_of(image); }
    fs::path root() const override { return image; }

    std::string path_of(uint32_t i) const
    {
        std::string path = nodes[i].name;
        for (uint32_t p = nodes[i].parent; p != kNoParent; p = nodes[p].parent)
            path = nodes[p].name + "/" + path;
        return path;
    }

    // Every entry with its path, in the order the folder form lists in.
    int list(std::vector<MediumEntry>* out, std::string*) override
    {
        out->clear();
        out->reserve(nodes.size());
        std::vector<size_t> path_start(nodes.size());  // where each folder's path is in `out`
        for (size_t i = 0; i < nodes.size(); ++i) {
            const ImageNode& n = nodes[i];
            std::string path = n.parent == kNoParent ? n.name : (*out)[path_start[n.parent]].path + "/" + n.name;
            path_start[i] = out->size();
            out->push_back(MediumEntry{path, n.is_directory, n.is_directory ? 0 : (int64_t)n.size});
        }
        std::sort(out->begin(), out->end(), [](const MediumEntry& a, const MediumEntry& b) { return a.path < b.path; });
        return 1;
    }

    // The node of `path` (ASCII case ignored, as find_entry compares),
    // found name by name; kNoParent when there is none.
    uint32_t find(const std::string& path) const
    {
        uint32_t first = 0, count = root_children, found = kNoParent;
        size_t at = 0;
        for (;;) {
            size_t slash = path.find('/', at);
            std::string part = path.substr(at, slash == std::string::npos ? std::string::npos : slash - at);
            found = kNoParent;
            for (uint32_t i = first; i < first + count; ++i)
                if (same_name_ascii_case(nodes[i].name, part)) {
                    found = i;
                    break;
                }
            if (found == kNoParent || slash == std::string::npos)
                return found;
            first = nodes[found].first_child;
            count = nodes[found].children;
            at = slash + 1;
        }
    }

    FILE* open(const std::string& path, std::string* error) override
    {
        uint32_t i = find(path);
        if (i == kNoParent || nodes[i].is_directory) {
            *error = path + " is not a file on " + name();
            return nullptr;
        }
        ImageVolume volume;
        if (!open_image_volume(image, &volume, error, names))
            return nullptr;
        return open_extent_stream(&volume, nodes[i].lsn, nodes[i].size, path_of(i) + " in " + name(), error);
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

// A folder still to be read: where it is recorded, its node (kNoParent for
// the root), the length of its path, and how deep it is.
struct PendingFolder {
    uint64_t lsn;
    uint32_t size;
    uint32_t node;
    uint64_t path_bytes;
    int depth;
};

// Reads the whole tree, folder by folder from the root. 1 / 0 with *error.
int read_tree(ImageMedium* m, const ImageVolume& volume, std::string* error)
{
    const std::string image = m->name();
    std::set<uint64_t> folders_seen{volume.root_lsn};  // extents of the folders read or to be read
    std::deque<PendingFolder> pending{PendingFolder{volume.root_lsn, volume.root_size, kNoParent, 0, 0}};
    uint64_t listing_bytes = 0;  // the paths the listing will spell out
    while (!pending.empty()) {
        PendingFolder folder = pending.front();
        pending.pop_front();
        const std::string folder_path = folder.node == kNoParent ? "" : m->path_of(folder.node);
        const std::string shown =
            (folder.node == kNoParent ? "the root folder" : "the folder " + folder_path) + " of " + image;
        std::vector<ImageFolderEntry> listed;
        if (!read_image_folder(volume, folder.lsn, folder.size, shown, &listed, error))
            return 0;
        uint32_t first = (uint32_t)m->nodes.size();
        if (folder.node == kNoParent)
            m->root_children = (uint32_t)listed.size();
        else {
            m->nodes[folder.node].first_child = first;
            m->nodes[folder.node].children = (uint32_t)listed.size();
        }
        std::set<std::string> names;  // to find twins (a folder may hold tens of thousands)
        for (const ImageFolderEntry& e : listed) {
            auto path = [&] { return folder_path.empty() ? e.name : folder_path + "/" + e.name; };
            // Salvage keeps twins (the first is read); the record walks find
            // a disc file recorded twice themselves (list_image_discs).
            int twin = e.more_extents || !names.insert(e.name).second;
            if (twin && !m->reading.salvage && !m->reading.root_only) {
                *error = path() + " is recorded more than once in " + image +
                         " (a file in several pieces, or two entries of one name); the check reads a file "
                         "recorded once, in one piece";
                return 0;
            }
            uint64_t end = extent_end_sector(e.lsn, e.size);
            uint32_t size = e.size;
            if (end > volume.sectors && m->reading.salvage) {
                // What the image still holds of it (less than its recorded size).
                uint64_t held = e.lsn >= volume.sectors ? 0 : (volume.sectors - e.lsn) * kImageSectorBytes;
                size = (uint32_t)std::min<uint64_t>(held, e.size);
            } else if (end > volume.sectors) {
                *error = path() + " in " + image + " lies past the end of the image (its data end at sector " +
                         std::to_string(end) + ", the image has " + std::to_string(volume.sectors) +
                         "): cut short or damaged";
                return 0;
            }
            if (m->nodes.size() >= kMaxEntries) {
                *error = image + " holds more than " + std::to_string(kMaxEntries) +
                         " files and folders: no disc does (damaged)";
                return 0;
            }
            uint64_t path_bytes = folder.path_bytes + (folder.node == kNoParent ? 0 : 1) + e.name.size();
            listing_bytes += path_bytes;
            if (listing_bytes > kMaxListingBytes) {
                *error = "the paths of the files and folders in " + image + " add up to more than " +
                         std::to_string(kMaxListingBytes >> 20) +
                         " MiB (folders nested deep under long names): no disc does (damaged)";
                return 0;
            }
            m->nodes.push_back(ImageNode{e.name, folder.node, e.is_directory, e.lsn, size, 0, 0});
            if (!e.is_directory || m->reading.root_only)
                continue;
            if (!folders_seen.insert(e.lsn).second) {
                *error = "the folder " + path() + " in " + image +
                         " leads back to a folder read before (a directory loop): damaged";
                return 0;
            }
            if (folder.depth + 1 > kMaxFolderDepth) {
                *error = "the folder " + path() + " in " + image + " lies more than " +
                         std::to_string(kMaxFolderDepth) + " folders deep: no disc does (damaged)";
                return 0;
            }
            pending.push_back(
                PendingFolder{e.lsn, e.size, (uint32_t)m->nodes.size() - 1, path_bytes, folder.depth + 1});
        }
    }
    return 1;
}

// Opens the volume with the names `names` and reads its tree into `m`.
// 1 / 0 with *error.
int read_volume(ImageMedium* m, iso_extension_mask_t names, std::string* error)
{
    ImageVolume volume;
    if (!open_image_volume(m->image, &volume, error, names))
        return 0;
    m->names = names;
    m->raw_sectors = volume.raw_sectors != 0;
    m->sectors = volume.sectors;
    m->nodes.clear();
    m->root_children = 0;
    int ok = read_tree(m, volume, error);
    volume.release();
    return ok;
}

}  // namespace

std::unique_ptr<DiscMedium> open_disc_image(const fs::path& image, const ImageReading& reading, std::string* error)
{
    std::unique_ptr<ImageMedium> m(new ImageMedium);
    std::error_code ec;
    m->image = fs::absolute(image, ec);
    if (ec) {
        *error = "cannot find the folder of " + utf8_of(image) + ": " + ec.message();
        return nullptr;
    }
    m->reading = reading;
    if (!read_volume(m.get(), kNamesWindowsReads, error)) {
        // In salvage, a Joliet tree that cannot be read leaves the ISO 9660
        // one; the message is still the first tree's.
        std::string first = *error;
        if (!reading.salvage || !read_volume(m.get(), ISO_EXTENSION_NONE, error)) {
            *error = first;
            return nullptr;
        }
    }
    return std::unique_ptr<DiscMedium>(m.release());
}
