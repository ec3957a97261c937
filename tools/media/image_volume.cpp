// The ISO 9660 volume of a disc image: its volume descriptors and
// directory records read here from the sectors a SectorReader gives
// (whatever the image's format), and a glibc cookie stream (fopencookie)
// turning a run of sectors into a FILE*.
#include "image_volume.h"

#include "byte_order.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

namespace {

// Sectors read at a time: readers ask for a few KiB at a time, and a cue
// sheet's raw sectors are best read in runs.
const uint32_t kChunkSectors = 32;

// Volume descriptors (ECMA-119 8): a set of them from sector 16 on, one a
// sector, ended by the set terminator.
const size_t kDescriptorType = 0;
const size_t kDescriptorIdentifier = 1;    // "CD001"
const size_t kDescriptorVersion = 6;       // 1; 2 in an enhanced descriptor
const size_t kDescriptorEscapes = 88;      // a supplementary descriptor's escape sequences, 32 bytes
const size_t kDescriptorRootRecord = 156;  // the root folder's directory record
const unsigned char kTypePrimary = 1;
const unsigned char kTypeSupplementary = 2;
const unsigned char kTypeTerminator = 255;

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
int ucs2_to_utf8(const unsigned char* p, size_t n, std::string* out)
{
    out->clear();
    if (n % 2)
        return 0;
    for (size_t i = 0; i < n; i += 2) {
        uint32_t c = (uint32_t)p[i] << 8 | p[i + 1];
        if (c >= 0xD800 && c <= 0xDBFF) {
            if (i + 3 >= n)
                return 0;
            uint32_t low = (uint32_t)p[i + 2] << 8 | p[i + 3];
            if (low < 0xDC00 || low > 0xDFFF)
                return 0;
            c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
            i += 2;
        } else if (c >= 0xDC00 && c <= 0xDFFF) {
            return 0;
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
    return 1;
}

// A recorded name as listings show it; false when it does not convert.
int shown_name(const unsigned char* recorded, size_t n, ImageTree tree, std::string* name)
{
    bool joliet = tree == kTreeJoliet;
    if (joliet) {
        if (!ucs2_to_utf8(recorded, n, name))
            return 0;
    } else {
        name->assign((const char*)recorded, n);
    }
    size_t version = name->rfind(';');
    if (version != std::string::npos && name->find_first_not_of("0123456789", version + 1) == std::string::npos)
        name->erase(version);
    if (!joliet) {
        if (!name->empty() && name->back() == '.')
            name->pop_back();
        for (char& c : *name)
            if (c >= 'A' && c <= 'Z' && tree == kTreePrimary)
                c = (char)(c - 'A' + 'a');
        std::string utf8;
        if (!to_utf8(*name, &utf8))
            return 0;
        *name = utf8;
    }
    if (name->empty())
        return 0;
    for (char c : *name)
        if ((unsigned char)c < 0x20 || c == '/' || c == '\\')
            return 0;
    return 1;
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

// The root folders the volume descriptors give, by tree; size 0: no such
// descriptor.
struct VolumeRoots {
    uint64_t lsn[3] = {};
    uint64_t size[3] = {};
    uint8_t joliet_level = 0;
};

// The Joliet level a supplementary descriptor's escape sequences give; 0:
// not Joliet.
uint8_t joliet_level_of(const unsigned char* descriptor)
{
    const unsigned char* e = descriptor + kDescriptorEscapes;
    if (e[0] != '%' || e[1] != '/')
        return 0;
    return e[2] == '@' ? 1 : e[2] == 'C' ? 2 : e[2] == 'E' ? 3 : 0;
}

// Reads the descriptor set from sector 16 to its terminator (or
// kMaxVolumeDescriptors, or the end of the image). 1 / 0 with *error when
// no primary descriptor stands at sector 16.
int read_descriptors(const ImageVolume& v, const std::string& name, VolumeRoots* roots, std::string* error)
{
    unsigned char d[kImageSectorBytes];
    for (uint32_t i = 0; i < kMaxVolumeDescriptors; ++i) {
        uint64_t at = kFirstDescriptorSector + i;
        if (at >= v.sectors || !v.read(d, at, 1) || memcmp(d + kDescriptorIdentifier, "CD001", 5) != 0)
            break;
        if (d[kDescriptorType] == kTypeTerminator)
            break;
        int tree = -1;
        uint8_t level = 0;
        if (d[kDescriptorType] == kTypePrimary && i == 0)
            tree = kTreePrimary;
        else if (d[kDescriptorType] == kTypeSupplementary && (level = joliet_level_of(d)) != 0)
            tree = kTreeJoliet;
        else if (d[kDescriptorType] == kTypeSupplementary && d[kDescriptorVersion] == 2)
            tree = kTreeEnhanced;
        if (tree < 0 || roots->size[tree] != 0)
            continue;  // a boot record, a partition, a second one of a kind: the first one counts
        const unsigned char* root = d + kDescriptorRootRecord;
        roots->lsn[tree] = (uint32_t)get_le32(root + kRecordExtent) + root[kRecordAttributeLength];
        roots->size[tree] = (uint32_t)get_le32(root + kRecordSize);
        if (roots->size[tree] == 0)
            roots->size[tree] = UINT64_MAX;  // recorded as 0 bytes: present, and damaged
        if (tree == kTreeJoliet)
            roots->joliet_level = level;
    }
    if (roots->size[kTreePrimary] == 0) {
        *error = name + " is not an ISO 9660 image: no primary volume descriptor at its sector 16 " +
                 "(another kind of file, or cut short)";
        return 0;
    }
    return 1;
}

const char* tree_name(int tree)
{
    return tree == kTreeJoliet ? "Joliet" : tree == kTreeEnhanced ? "enhanced (ISO 9660:1999)" : "ISO 9660";
}

// Sets the volume's tree to `tree` when its root folder lies inside the
// image, has a sane size, and reads. 1 / 0 with *error.
int take_tree(ImageVolume* v, const VolumeRoots& roots, int tree, const std::string& name, std::string* error)
{
    std::string shown = "the root folder of " + name;
    uint64_t size = roots.size[tree];
    if (size == UINT64_MAX || size > kMaxImageDirectoryBytes) {
        *error = name + ": the root folder of its " + tree_name(tree) + " tree is recorded as " +
                 std::to_string(size == UINT64_MAX ? 0 : size) + " bytes (damaged)";
        return 0;
    }
    v->tree = (ImageTree)tree;
    v->joliet = tree == kTreeJoliet ? roots.joliet_level : 0;
    std::vector<ImageFolderEntry> entries;
    if (!read_image_folder(*v, roots.lsn[tree], (uint32_t)size, shown, &entries, error))
        return 0;
    v->root_lsn = roots.lsn[tree];
    v->root_size = (uint32_t)size;
    return 1;
}

// The state of one stream over a run of sectors.
struct ExtentStream {
    ImageVolume volume;
    uint64_t lsn = 0;
    uint64_t size = 0;
    uint64_t position = 0;
    uint64_t cached_first = 0;  // first sector in `cache`
    uint32_t cached_count = 0;  // sectors in `cache`
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
    int64_t base = whence == SEEK_SET   ? 0
                   : whence == SEEK_CUR ? (int64_t)s->position
                   : whence == SEEK_END ? (int64_t)s->size
                                        : -1;
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
    if (!reader || count == 0 || lsn >= sectors || count > sectors - lsn)
        return 0;
    return reader->read(buffer, lsn, count);
}

void ImageVolume::release()
{
    delete reader;
    reader = nullptr;
}

int open_image_volume(const fs::path& image, ImageVolume* out, std::string* error, iso_extension_mask_t extensions)
{
    std::string name = utf8_of(image);
    std::error_code ec;
    if (!fs::is_regular_file(image, ec)) {
        *error = name + " is not a file";
        return 0;
    }
    std::unique_ptr<SectorReader> reader = open_image_sectors(image, error);
    if (!reader)
        return 0;
    *out = ImageVolume();
    out->sectors = reader->sectors();
    out->raw_sectors = !image_is_iso_file(image);
    out->reader = reader.release();
    VolumeRoots roots;
    if (!read_descriptors(*out, name, &roots, error)) {
        out->release();
        return 0;
    }
    static const int kJolietFirst[] = {kTreeJoliet, kTreeEnhanced, kTreePrimary};
    static const int kPrimaryFirst[] = {kTreePrimary, kTreeEnhanced, kTreeJoliet};
    const int* order = (extensions & ISO_EXTENSION_JOLIET) ? kJolietFirst : kPrimaryFirst;
    std::string first;
    for (int i = 0; i < 3; ++i) {
        if (roots.size[order[i]] == 0)
            continue;
        if (take_tree(out, roots, order[i], name, error))
            return 1;
        if (first.empty())
            first = *error;
    }
    *error = first;
    out->release();
    return 0;
}

FILE* open_extent_stream(ImageVolume* volume, uint64_t lsn, uint64_t size, const std::string& what, std::string* error)
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
        if (!shown_name(recorded, name_length, volume.tree, &e.name)) {
            *error = "a name in " + shown + " does not convert to a file name (it is not " +
                     (volume.tree == kTreeJoliet ? "UCS-2" : "code page 950") +
                     " text, or holds / or \\ or a control character)";
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
