// The image form of a disc medium: the image's tree read once with
// libiso9660 when it is opened, each file then read in place as a stream
// over its sectors.
#include "disc_medium.h"

#include "image_volume.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <set>

namespace {

// Limits beyond any compact disc: a hostile image could otherwise keep the
// walk going (deep chains of folders, millions of entries).
const int kMaxFolderDepth = 64;
const size_t kMaxEntries = 200000;

// Windows reads a disc's Joliet names when it has them, else the ISO 9660
// names; Rock Ridge names are left unread on an ISO file (a cue sheet's
// disc gets them from libiso9660 when it has them and no Joliet names).
const iso_extension_mask_t kNamesWindowsReads = ISO_EXTENSION_JOLIET;

// 1 when `s` is well-formed UTF-8 without control characters.
int readable_utf8(const std::string& s)
{
    size_t i = 0;
    while (i < s.size()) {
        unsigned char c = (unsigned char)s[i];
        size_t n = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 0;
        if (n == 0 || i + n > s.size() || (n == 1 && c < 0x20) || (n == 2 && c < 0xC2))
            return 0;
        for (size_t k = 1; k < n; ++k)
            if (((unsigned char)s[i + k] & 0xC0) != 0x80)
                return 0;
        i += n;
    }
    return 1;
}

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

// A folder still to be read: its path as libiso9660 looks it up (the names
// as recorded), as the medium lists it, and how deep it is.
struct PendingFolder {
    std::string lookup;
    std::string path;
    int depth;
};

// The name of a listed entry as the medium shows it, "" when it does not
// convert: Joliet names are UTF-8 already (libiso9660 converts them) and
// lose only a ";1"; ISO 9660 names also lose a trailing "." and are lower
// case, as listings show them; bytes outside ASCII in those are read as
// code page 950, as Windows reads them.
std::string shown_name(const iso9660_stat_t* st, uint8_t joliet)
{
    const char* recorded = st->filename;
    std::string name;
    if (st->rr.b3_rock == yep) {
        name = recorded;  // Rock Ridge names are shown as they are
    } else {
        std::vector<char> buffer(strlen(recorded) + 1);
        iso9660_name_translate_ext(recorded, buffer.data(), joliet);
        name = buffer.data();
    }
    if (!joliet && st->rr.b3_rock != yep) {
        std::string utf8;
        if (!to_utf8(name, &utf8))
            return "";
        name = utf8;
    }
    return readable_utf8(name) ? name : "";
}

// Reads the whole tree. 1 / 0 with *error.
int read_tree(ImageMedium* m, const ImageVolume& volume, std::string* error)
{
    const std::string image = m->name();
    CdioLogCapture log;
    std::set<uint64_t> folders_seen;  // extents of the folders read
    std::deque<PendingFolder> pending{PendingFolder{"/", "", 0}};
    while (!pending.empty()) {
        PendingFolder folder = pending.front();
        pending.pop_front();
        const std::string shown = folder.path.empty() ? "the root folder" : "the folder " + folder.path;
        CdioList_t* list = volume.read_directory(folder.lookup.c_str());
        if (!list) {
            *error = shown + " of " + image + " cannot be read (damaged, or the image is cut short)" + log.detail();
            return 0;
        }
        std::vector<std::string> names;  // as recorded, to find twins
        int ok = 1;
        for (CdioListNode_t* node = _cdio_list_begin(list); node && ok; node = _cdio_list_node_next(node)) {
            const iso9660_stat_t* st = (const iso9660_stat_t*)_cdio_list_node_data(node);
            if (!st || !strcmp(st->filename, ".") || !strcmp(st->filename, ".."))
                continue;
            std::string name = shown_name(st, volume.joliet);
            std::string path = folder.path.empty() ? name : folder.path + "/" + name;
            if (name.empty() || strchr(st->filename, '/') || name.find('\\') != std::string::npos) {
                *error = "a name in " + shown + " of " + image +
                         " does not convert to a file name (it is not text, or holds / or \\): damaged";
                ok = 0;
                break;
            }
            if (std::find(names.begin(), names.end(), st->filename) != names.end()) {
                *error = path + " is recorded twice in " + image +
                         " (a file in several pieces, or two entries of one name); the check reads a file "
                         "recorded once, in one piece";
                ok = 0;
                break;
            }
            names.push_back(st->filename);
            bool directory = st->type == iso9660_stat_s::_STAT_DIR;
            uint64_t end = (uint64_t)st->lsn + (st->size + kImageSectorBytes - 1) / kImageSectorBytes;
            if (st->lsn < 0 || end > volume.sectors) {
                *error = path + " in " + image + " lies past the end of the image (its data end at sector " +
                         std::to_string(end) + ", the image has " + std::to_string(volume.sectors) +
                         "): cut short or damaged";
                ok = 0;
                break;
            }
            if (m->entries.size() >= kMaxEntries) {
                *error = image + " holds more than " + std::to_string(kMaxEntries) +
                         " files and folders: no disc does (damaged)";
                ok = 0;
                break;
            }
            m->entries.push_back(MediumEntry{path, directory, directory ? 0 : (int64_t)st->size});
            m->places.push_back(ImageEntry{(uint64_t)st->lsn, st->size});
            if (!directory)
                continue;
            if (st->size > kMaxImageDirectoryBytes) {
                *error = "the folder " + path + " in " + image + " is recorded as " + std::to_string(st->size) +
                         " bytes (damaged)";
                ok = 0;
            } else if (!folders_seen.insert((uint64_t)st->lsn).second) {
                *error = "the folder " + path + " in " + image +
                         " leads back to a folder read before (a directory loop): damaged";
                ok = 0;
            } else if (folder.depth + 1 > kMaxFolderDepth) {
                *error = "the folder " + path + " in " + image + " lies more than " +
                         std::to_string(kMaxFolderDepth) + " folders deep: no disc does (damaged)";
                ok = 0;
            } else {
                pending.push_back(PendingFolder{folder.lookup + (folder.path.empty() ? "" : "/") + st->filename,
                                                path, folder.depth + 1});
            }
        }
        iso9660_filelist_free(list);
        if (!ok)
            return 0;
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
