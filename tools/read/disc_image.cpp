// Disc images read through libcdio: libiso9660 finds cdN in the image's root
// folder, libcdio's cue-sheet driver reads raw sectors of a .bin, and a
// glibc cookie stream (fopencookie) turns the file's sectors into the FILE*
// that the engine's file object reads.
#include "disc_image.h"

#include "disc_scan.h"
#include "platform.h"

#include <cdio/cdio.h>
#include <cdio/iso9660.h>
#include <cdio/logging.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <memory>

namespace {

const uint32_t kSector = ISO_BLOCKSIZE;
// Sectors read at a time: the record reader asks for a few KiB at a time,
// and a cue sheet's raw sectors are best read in runs.
const uint32_t kChunkSectors = 32;

// libcdio reports what went wrong through its log. While one of our calls
// runs, its warnings and errors are kept for the message instead of being
// printed.
std::string g_cdio_message;

void keep_cdio_message(cdio_log_level_t level, const char message[])
{
    if (level < CDIO_LOG_WARN || !message)
        return;
    try {
        g_cdio_message = message;
        while (!g_cdio_message.empty() && (g_cdio_message.back() == '\n' || g_cdio_message.back() == ' '))
            g_cdio_message.pop_back();
    } catch (...) {
        // No room for the text: the call's own result still tells.
    }
}

struct CdioLogCapture {
    cdio_log_handler_t previous;
    CdioLogCapture()
    {
        g_cdio_message.clear();
        previous = cdio_log_set_handler(keep_cdio_message);
    }
    ~CdioLogCapture() { cdio_log_set_handler(previous); }
    // " (libcdio: ...)" when libcdio said something.
    std::string detail() const { return g_cdio_message.empty() ? "" : " (libcdio: " + g_cdio_message + ")"; }
};

bool ends_with_ascii_nocase(const std::string& s, const char* suffix)
{
    size_t n = strlen(suffix);
    if (s.size() < n)
        return false;
    for (size_t i = 0; i < n; ++i) {
        char c = s[s.size() - n + i];
        if (c >= 'A' && c <= 'Z')
            c = (char)(c - 'A' + 'a');
        if (c != suffix[i])
            return false;
    }
    return true;
}

// 1 when every FILE line of the cue sheet names a file that exists (beside
// the sheet when relative); else 0 with the first missing one in *missing.
// libcdio reads the sheet itself; this only gives its failure a name.
int cue_files_present(const fs::path& cue, std::string* missing)
{
    std::string text, error;
    if (!read_host_file(cue, &text, &error) || text.size() > (1u << 20))
        return 1;  // libcdio's own open reports the sheet
    size_t at = 0;
    while ((at = text.find("FILE", at)) != std::string::npos) {
        bool line_start = at == 0 || text[at - 1] == '\n' || text[at - 1] == ' ' || text[at - 1] == '\t';
        size_t open = text.find('"', at);
        size_t eol = text.find('\n', at);
        at += 4;
        if (!line_start || open == std::string::npos || (eol != std::string::npos && open > eol))
            continue;
        size_t close = text.find('"', open + 1);
        if (close == std::string::npos || (eol != std::string::npos && close > eol))
            continue;
        std::string named = text.substr(open + 1, close - open - 1);
        fs::path p = host_path_from_utf8(named);
        if (p.is_relative())
            p = cue.parent_path() / p;
        std::error_code ec;
        if (!fs::is_regular_file(p, ec)) {
            *missing = utf8_of(p);
            return 0;
        }
    }
    return 1;
}

// An image opened with libcdio: an ISO 9660 image file, or a disc read
// from a cue sheet.
struct OpenImage {
    iso9660_t* iso = nullptr;
    CdIo_t* cdio = nullptr;
    uint64_t sectors = 0;  // 2048-byte sectors the image holds

    // Reads `count` sectors from `lsn` on. 1 / 0.
    int read(void* buffer, uint64_t lsn, uint32_t count) const
    {
        if (count == 0 || lsn + count > sectors)
            return 0;
        if (iso)
            return iso9660_iso_seek_read(iso, buffer, (lsn_t)lsn, count) == (long)count * (long)kSector;
        return cdio_read_data_sectors(cdio, buffer, (lsn_t)lsn, kSector, count) == DRIVER_OP_SUCCESS;
    }

    void release()
    {
        if (iso)
            iso9660_close(iso);
        if (cdio)
            cdio_destroy(cdio);
        iso = nullptr;
        cdio = nullptr;
    }
};

// Opens the image and reads its volume descriptors. 1 / 0 with *error.
int open_image(const fs::path& image, OpenImage* out, std::string* error)
{
    std::string name = utf8_of(image);
    std::error_code ec;
    if (!fs::is_regular_file(image, ec)) {
        *error = name + " is not a file";
        return 0;
    }
    CdioLogCapture log;
    std::string file = image.string();
    if (ends_with_ascii_nocase(name, ".bin")) {
        *error = name + " holds raw sectors without their layout: give the .cue sheet that names it";
        return 0;
    }
    if (ends_with_ascii_nocase(name, ".cue")) {
        std::string missing;
        if (!cue_files_present(image, &missing)) {
            *error = "the cue sheet " + name + " names " + missing + ", which does not exist";
            return 0;
        }
        out->cdio = cdio_open_cue(file.c_str());
        if (!out->cdio) {
            *error = "the cue sheet " + name +
                     " cannot be read, or the .bin it names is missing or unreadable" + log.detail();
            return 0;
        }
        track_format_t format = cdio_get_track_format(out->cdio, 1);
        if (format != TRACK_FORMAT_DATA && format != TRACK_FORMAT_XA) {
            *error = "the first track of " + name + " is not a data track (mode 1 or mode 2 form 1)";
            out->release();
            return 0;
        }
        lsn_t last = cdio_get_disc_last_lsn(out->cdio);
        out->sectors = last > 0 ? (uint64_t)last : 0;
        if (!iso9660_fs_read_superblock(out->cdio, ISO_EXTENSION_ALL)) {
            *error = name + " holds no ISO 9660 file system in its first track (or the .bin is cut short)" +
                     log.detail();
            out->release();
            return 0;
        }
        return 1;
    }
    out->iso = iso9660_open_ext(file.c_str(), ISO_EXTENSION_ALL);
    if (!out->iso) {
        *error = name + " is neither a disc folder, a disc file cdN nor an ISO 9660 image " +
                 "(no volume descriptor at its sector 16: another kind of file, or cut short)" + log.detail();
        return 0;
    }
    uintmax_t bytes = fs::file_size(image, ec);
    out->sectors = ec ? 0 : bytes / kSector;
    return 1;
}

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

struct RootFile {
    int32_t number;
    std::string name;
    uint64_t lsn;
    uint32_t size;
};

// The disc files of the root folder, checked. 1 / 0 with *error.
int read_root(const fs::path& image, const OpenImage& img, std::vector<RootFile>* files, std::string* error)
{
    files->clear();
    std::string name = utf8_of(image);
    CdioLogCapture log;
    CdioList_t* list = img.iso ? iso9660_ifs_readdir(img.iso, "/") : iso9660_fs_readdir(img.cdio, "/");
    if (!list) {
        *error = "the root folder of " + name + " cannot be read (damaged, or the image is cut short)" +
                 log.detail();
        return 0;
    }
    std::map<int32_t, int> pieces;
    for (CdioListNode_t* node = _cdio_list_begin(list); node; node = _cdio_list_node_next(node)) {
        const iso9660_stat_t* st = (const iso9660_stat_t*)_cdio_list_node_data(node);
        if (!st || st->type != iso9660_stat_s::_STAT_FILE)
            continue;
        int32_t n = disc_number_of_entry(st->filename);
        if (n <= 0)
            continue;
        ++pieces[n];
        files->push_back(RootFile{n, st->filename, (uint64_t)st->lsn, st->size});
    }
    iso9660_filelist_free(list);
    for (const auto& kv : pieces)
        if (kv.second > 1) {
            *error = disc_file_name_of(kv.first) + " is recorded " + std::to_string(kv.second) +
                     " times in the root folder of " + name +
                     " (a file in several pieces, or names that differ only in case); "
                     "discset reads a disc file recorded once, in one piece";
            return 0;
        }
    for (const RootFile& f : *files) {
        uint64_t end = f.lsn + (f.size + kSector - 1) / kSector;
        if (end > img.sectors) {
            *error = f.name + " in " + name + " lies past the end of the image (its data end at sector " +
                     std::to_string(end) + ", the image has " + std::to_string(img.sectors) + "): cut short or damaged";
            return 0;
        }
    }
    std::sort(files->begin(), files->end(),
              [](const RootFile& a, const RootFile& b) { return a.number < b.number; });
    return 1;
}

// The state of one stream over a disc file in an image.
struct ImageStream {
    OpenImage image;
    uint64_t lsn = 0;
    uint64_t size = 0;
    uint64_t position = 0;
    uint64_t cached_first = 0;   // first sector in `cache`
    uint32_t cached_count = 0;   // sectors in `cache`
    std::unique_ptr<unsigned char[]> cache{new unsigned char[kChunkSectors * kSector]};
};

ssize_t stream_read(void* cookie, char* out, size_t n)
{
    ImageStream* s = (ImageStream*)cookie;
    size_t done = 0;
    while (done < n && s->position < s->size) {
        uint64_t sector = s->position / kSector;
        if (sector < s->cached_first || sector >= s->cached_first + s->cached_count) {
            uint64_t file_sectors = (s->size + kSector - 1) / kSector;
            uint32_t count = (uint32_t)std::min<uint64_t>(kChunkSectors, file_sectors - sector);
            s->cached_count = 0;
            if (!s->image.read(s->cache.get(), s->lsn + sector, count)) {
                if (done > 0)
                    return (ssize_t)done;  // the failure comes with the next read
                errno = EIO;
                return -1;
            }
            s->cached_first = sector;
            s->cached_count = count;
        }
        uint64_t in_cache = s->position - s->cached_first * kSector;
        uint64_t available = std::min<uint64_t>((uint64_t)s->cached_count * kSector - in_cache, s->size - s->position);
        size_t take = (size_t)std::min<uint64_t>(available, n - done);
        memcpy(out + done, s->cache.get() + in_cache, take);
        done += take;
        s->position += take;
    }
    return (ssize_t)done;
}

int stream_seek(void* cookie, off64_t* offset, int whence)
{
    ImageStream* s = (ImageStream*)cookie;
    int64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? (int64_t)s->position
                                        : whence == SEEK_END ? (int64_t)s->size : -1;
    if (base < 0 || (*offset < 0 && -*offset > base)) {
        errno = EINVAL;
        return -1;
    }
    s->position = (uint64_t)(base + *offset);
    *offset = (off64_t)s->position;
    return 0;
}

int stream_close(void* cookie)
{
    ImageStream* s = (ImageStream*)cookie;
    s->image.release();
    delete s;
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

int list_image_discs(const fs::path& image, std::vector<ImageDisc>* discs, std::string* error)
{
    discs->clear();
    OpenImage img;
    if (!open_image(image, &img, error))
        return 0;
    std::vector<RootFile> files;
    int ok = read_root(image, img, &files, error);
    img.release();
    if (!ok)
        return 0;
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
    std::unique_ptr<ImageStream> s(new ImageStream);
    if (!open_image(image, &s->image, error))
        return nullptr;
    std::vector<RootFile> files;
    if (!read_root(image, s->image, &files, error)) {
        s->image.release();
        return nullptr;
    }
    const RootFile* found = nullptr;
    for (const RootFile& f : files)
        if (f.number == number)
            found = &f;
    if (!found) {
        *error = utf8_of(image) + " holds no " + disc_file_name_of(number);
        s->image.release();
        return nullptr;
    }
    s->lsn = found->lsn;
    s->size = found->size;
    cookie_io_functions_t io = {stream_read, nullptr, stream_seek, stream_close};
    FILE* f = fopencookie(s.get(), "rb", io);
    if (!f) {
        *error = "no memory for a stream over " + found->name + " in " + utf8_of(image);
        s->image.release();
        return nullptr;
    }
    s.release();  // the stream owns it now; stream_close frees it
    return f;
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
