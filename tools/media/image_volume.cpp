// Disc images through libcdio: libiso9660 reads an ISO 9660 image file,
// libcdio's cue-sheet driver the raw sectors of a .bin, and a glibc cookie
// stream (fopencookie) turns a run of sectors into a FILE*.
#include "image_volume.h"

#include "byte_order.h"

#include <cdio/bytesex.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

namespace {

// Sectors read at a time: readers ask for a few KiB at a time, and a cue
// sheet's raw sectors are best read in runs.
const uint32_t kChunkSectors = 32;
// The volume descriptors libiso9660 uses: the primary one at sector 16,
// the supplementary (Joliet) one it looks for at sector 17.
const uint32_t kPrimaryDescriptorSector = ISO_PVD_SECTOR;
const uint32_t kJolietDescriptorSector = ISO_PVD_SECTOR + 1;

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

// Fields of a directory record (ECMA-119 9.1), by offset.
const size_t kRecordLength = 0;
const size_t kRecordAttributeLength = 1;  // sectors of an extended attribute record before the data
const size_t kRecordExtent = 2;           // both-byte-order 32 bits: little endian first
const size_t kRecordSize = 10;
const size_t kRecordFlags = 25;
const size_t kRecordNameLength = 32;
const size_t kRecordName = 33;
const unsigned char kFlagDirectory = 0x02;
const unsigned char kFlagMoreExtents = 0x80;

// UCS-2 (big endian, surrogate pairs allowed) to UTF-8; false when it is
// not well formed.
bool ucs2_to_utf8(const unsigned char* p, size_t n, std::string* out)
{
    out->clear();
    if (n % 2)
        return false;
    for (size_t i = 0; i < n; i += 2) {
        uint32_t c = (uint32_t)p[i] << 8 | p[i + 1];
        if (c >= 0xD800 && c <= 0xDBFF) {
            if (i + 3 >= n)
                return false;
            uint32_t low = (uint32_t)p[i + 2] << 8 | p[i + 3];
            if (low < 0xDC00 || low > 0xDFFF)
                return false;
            c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
            i += 2;
        } else if (c >= 0xDC00 && c <= 0xDFFF) {
            return false;
        }
        if (c < 0x80) {
            *out += (char)c;
        } else if (c < 0x800) {
            *out += (char)(0xC0 | c >> 6);
            *out += (char)(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            *out += (char)(0xE0 | c >> 12);
            *out += (char)(0x80 | (c >> 6 & 0x3F));
            *out += (char)(0x80 | (c & 0x3F));
        } else {
            *out += (char)(0xF0 | c >> 18);
            *out += (char)(0x80 | (c >> 12 & 0x3F));
            *out += (char)(0x80 | (c >> 6 & 0x3F));
            *out += (char)(0x80 | (c & 0x3F));
        }
    }
    return true;
}

// A recorded name as listings show it; false when it does not convert.
bool shown_name(const unsigned char* recorded, size_t n, uint8_t joliet, std::string* name)
{
    if (joliet) {
        if (!ucs2_to_utf8(recorded, n, name))
            return false;
    } else {
        name->assign((const char*)recorded, n);
    }
    size_t version = name->rfind(';');
    if (version != std::string::npos &&
        name->find_first_not_of("0123456789", version + 1) == std::string::npos)
        name->erase(version);
    if (!joliet) {
        if (!name->empty() && name->back() == '.')
            name->pop_back();
        for (char& c : *name)
            if (c >= 'A' && c <= 'Z')
                c = (char)(c - 'A' + 'a');
        std::string utf8;
        if (!to_utf8(*name, &utf8))
            return false;
        *name = utf8;
    }
    if (name->empty())
        return false;
    for (char c : *name)
        if ((unsigned char)c < 0x20 || c == '/' || c == '\\')
            return false;
    return true;
}

// Checks an extent against the image: 1, or 0 with *error.
int extent_inside(const ImageVolume& v, uint64_t lsn, uint64_t size, const std::string& what, std::string* error)
{
    uint64_t end = extent_end_sector(lsn, size);
    if (end > v.sectors) {
        *error = what + " lies past the end of the image (its data end at sector " + std::to_string(end) +
                 ", the image has " + std::to_string(v.sectors) + "): cut short or damaged";
        return 0;
    }
    return 1;
}

// The root folder of the tree read (the Joliet one when there is one): it
// lies inside the image and is not absurdly large.
int read_root_extent(ImageVolume* v, const std::string& name, std::string* error)
{
    unsigned char sector[kImageSectorBytes];
    uint32_t at = v->joliet ? kJolietDescriptorSector : kPrimaryDescriptorSector;
    if (!v->read(sector, at, 1)) {
        *error = name + ": its volume descriptor at sector " + std::to_string(at) + " cannot be read (cut short)";
        return 0;
    }
    const iso9660_dir_t* root = v->joliet ? &((const iso9660_svd_t*)sector)->root_directory_record
                                          : &((const iso9660_pvd_t*)sector)->root_directory_record;
    v->root_lsn = from_733(root->extent);
    uint64_t size = from_733(root->size);
    if (size == 0 || size > kMaxImageDirectoryBytes) {
        *error = name + ": its root folder is recorded as " + std::to_string(size) + " bytes (damaged)";
        return 0;
    }
    v->root_size = (uint32_t)size;
    return extent_inside(*v, v->root_lsn, size, "the root folder of " + name, error);
}

// The state of one stream over a run of sectors.
struct ExtentStream {
    ImageVolume volume;
    uint64_t lsn = 0;
    uint64_t size = 0;
    uint64_t position = 0;
    uint64_t cached_first = 0;   // first sector in `cache`
    uint32_t cached_count = 0;   // sectors in `cache`
    std::unique_ptr<unsigned char[]> cache{new unsigned char[kChunkSectors * kImageSectorBytes]};
};

ssize_t stream_read(void* cookie, char* out, size_t n)
{
    ExtentStream* s = (ExtentStream*)cookie;
    size_t done = 0;
    while (done < n && s->position < s->size) {
        uint64_t sector = s->position / kImageSectorBytes;
        if (sector < s->cached_first || sector >= s->cached_first + s->cached_count) {
            uint64_t file_sectors = (s->size + kImageSectorBytes - 1) / kImageSectorBytes;
            uint32_t count = (uint32_t)std::min<uint64_t>(kChunkSectors, file_sectors - sector);
            s->cached_count = 0;
            if (!s->volume.read(s->cache.get(), s->lsn + sector, count)) {
                if (done > 0)
                    return (ssize_t)done;  // the failure comes with the next read
                errno = EIO;
                return -1;
            }
            s->cached_first = sector;
            s->cached_count = count;
        }
        uint64_t in_cache = s->position - s->cached_first * kImageSectorBytes;
        uint64_t available =
            std::min<uint64_t>((uint64_t)s->cached_count * kImageSectorBytes - in_cache, s->size - s->position);
        size_t take = (size_t)std::min<uint64_t>(available, n - done);
        memcpy(out + done, s->cache.get() + in_cache, take);
        done += take;
        s->position += take;
    }
    return (ssize_t)done;
}

int stream_seek(void* cookie, off64_t* offset, int whence)
{
    ExtentStream* s = (ExtentStream*)cookie;
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
    ExtentStream* s = (ExtentStream*)cookie;
    s->volume.release();
    delete s;
    return 0;
}

}  // namespace

CdioLogCapture::CdioLogCapture()
{
    g_cdio_message.clear();
    previous = cdio_log_set_handler(keep_cdio_message);
}

CdioLogCapture::~CdioLogCapture()
{
    cdio_log_set_handler(previous);
}

std::string CdioLogCapture::detail() const
{
    return g_cdio_message.empty() ? "" : " (libcdio: " + g_cdio_message + ")";
}

int ImageVolume::read(void* buffer, uint64_t lsn, uint32_t count) const
{
    if (count == 0 || lsn + count > sectors)
        return 0;
    if (iso)
        return iso9660_iso_seek_read(iso, buffer, (lsn_t)lsn, count) == (long)count * (long)kImageSectorBytes;
    return cdio_read_data_sectors(cdio, buffer, (lsn_t)lsn, kImageSectorBytes, count) == DRIVER_OP_SUCCESS;
}

void ImageVolume::release()
{
    if (iso)
        iso9660_close(iso);
    if (cdio)
        cdio_destroy(cdio);
    iso = nullptr;
    cdio = nullptr;
}

int open_image_volume(const fs::path& image, ImageVolume* out, std::string* error, iso_extension_mask_t extensions)
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
            *error = "the cue sheet " + name + " cannot be read, or the .bin it names is missing or unreadable" +
                     log.detail();
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
        out->joliet = cdio_get_joliet_level(out->cdio);
    } else {
        out->iso = iso9660_open_ext(file.c_str(), extensions);
        if (!out->iso) {
            *error = name + " is neither a disc folder, a disc file cdN nor an ISO 9660 image " +
                     "(no volume descriptor at its sector 16: another kind of file, or cut short)" + log.detail();
            return 0;
        }
        uintmax_t bytes = fs::file_size(image, ec);
        out->sectors = ec ? 0 : bytes / kImageSectorBytes;
        out->joliet = iso9660_ifs_get_joliet_level(out->iso);
    }
    if (!read_root_extent(out, name, error)) {
        out->release();
        return 0;
    }
    return 1;
}

FILE* open_extent_stream(ImageVolume* volume, uint64_t lsn, uint64_t size, const std::string& what,
                         std::string* error)
{
    std::unique_ptr<ExtentStream> s;
    try {
        s.reset(new ExtentStream);
    } catch (...) {
        volume->release();
        *error = "no memory for a stream over " + what;
        return nullptr;
    }
    s->volume = *volume;
    *volume = ImageVolume();
    s->lsn = lsn;
    s->size = size;
    cookie_io_functions_t io = {stream_read, nullptr, stream_seek, stream_close};
    FILE* f = fopencookie(s.get(), "rb", io);
    if (!f) {
        *error = "no memory for a stream over " + what;
        s->volume.release();
        return nullptr;
    }
    s.release();  // the stream owns it now; stream_close frees it
    return f;
}

int read_image_folder(const ImageVolume& volume, uint64_t lsn, uint32_t size, const std::string& shown,
                      std::vector<ImageFolderEntry>* entries, std::string* error)
{
    if (size > kMaxImageDirectoryBytes) {
        *error = shown + " is recorded as " + std::to_string(size) + " bytes (damaged)";
        return 0;
    }
    if (!extent_inside(volume, lsn, size, shown, error))
        return 0;
    uint32_t sectors = (size + kImageSectorBytes - 1) / kImageSectorBytes;
    std::vector<unsigned char> bytes((size_t)sectors * kImageSectorBytes);
    if (sectors && !volume.read(bytes.data(), lsn, sectors)) {
        *error = shown + " cannot be read (a bad sector, or the image is cut short)";
        return 0;
    }
    size_t at = 0;
    while (at < size) {
        size_t in_sector = at % kImageSectorBytes;
        size_t length = bytes[at + kRecordLength];
        if (length == 0) {  // the rest of the sector is unused: records never cross a sector
            at += kImageSectorBytes - in_sector;
            continue;
        }
        const unsigned char* r = &bytes[at];
        size_t name_length = in_sector + kRecordName <= kImageSectorBytes ? r[kRecordNameLength] : 0;
        if (length < kRecordName + 1 || in_sector + length > kImageSectorBytes || at + length > size ||
            name_length == 0 || kRecordName + name_length > length) {
            *error = shown + " holds a damaged directory record at byte " + std::to_string(at);
            return 0;
        }
        at += length;
        const unsigned char* recorded = r + kRecordName;
        if (name_length == 1 && (recorded[0] == 0 || recorded[0] == 1))
            continue;  // "." and ".."
        ImageFolderEntry e;
        if (!shown_name(recorded, name_length, volume.joliet, &e.name)) {
            *error = "a name in " + shown + " does not convert to a file name (it is not " +
                     (volume.joliet ? "UCS-2" : "code page 950") + " text, or holds / or \\ or a control character)";
            return 0;
        }
        e.is_directory = (r[kRecordFlags] & kFlagDirectory) != 0;
        e.more_extents = (r[kRecordFlags] & kFlagMoreExtents) != 0;
        e.lsn = (uint64_t)(uint32_t)get_le32(r + kRecordExtent) + r[kRecordAttributeLength];
        e.size = (uint32_t)get_le32(r + kRecordSize);
        entries->push_back(e);
    }
    return 1;
}
