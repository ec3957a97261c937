// Disc images by kind: the file name's ending picks the reader that turns
// the image into 2048-byte sectors of user data. A format plugs in with a
// line in kFormats.
#include "sector_reader.h"

#include "ascii_text.h"
#include "alcohol_image.h"
#include "cdrdao_image.h"
#include "chd_image.h"
#include "clonecd_image.h"
#include "nero_image.h"
#include "cue_sheet.h"

#include <cstring>

namespace {

using OpenSectors = std::unique_ptr<SectorReader> (*)(const fs::path& image, std::string* error);

// Where an image named as an ISO file keeps its sectors. Most hold the
// 2048 bytes of user data a sector; some tools write the raw sectors of the
// data track under that name (2352 bytes, or 2448 with subchannel data).
// An ISO file never starts with the sync pattern of a raw sector (its first
// 32 KiB are the system area, zeros or a boot record), so a file whose
// sectors 0, 1 and 16 start with it at one of those strides is read as raw
// sectors, the user data where sector 16's header says.
RawTrack iso_file_track(const fs::path& image)
{
    RawTrack plain{image, 0, kUserBytes, 0, 0};
    FILE* f = open_host_file_read(image);
    if (!f)
        return plain;
    auto sector_at = [f](uint64_t at, unsigned char* sector) {
        return fseeko(f, (off_t)at, SEEK_SET) == 0 && fread(sector, kRawSectorBytes, 1, f) == 1;
    };
    unsigned char first[kRawSectorBytes], next[kRawSectorBytes], sixteenth[kRawSectorBytes];
    uint32_t offset = 0;
    RawTrack found = plain;
    if (sector_at(0, first) && raw_sector_data_offset(first, &offset))
        for (uint32_t stride : {kRawSectorBytes, kRawSubchannelSectorBytes}) {
            if (sector_at(stride, next) && raw_sector_data_offset(next, &offset) &&
                sector_at(kFirstDescriptorSector * stride, sixteenth) && raw_sector_data_offset(sixteenth, &offset)) {
                found = RawTrack{image, 0, stride, offset, 0};
                break;
            }
        }
    fclose(f);
    return found;
}

std::unique_ptr<SectorReader> open_iso_file(const fs::path& image, std::string* error)
{
    return open_raw_track(iso_file_track(image), error);
}

// A file holding the sectors that a descriptor beside it lays out (a
// CloneCD .img, an Alcohol .mdf): with the descriptor there, the user is
// told to give it, since the sectors alone may be raw and their tracks are
// unknown; without one the file is read as an ISO 9660 file, as the
// 2048-byte .img and .mdf files of other tools are.
std::unique_ptr<SectorReader> open_described(const fs::path& image, const char* lower, const char* upper,
                                             const char* format, std::string* error)
{
    std::error_code ec;
    for (const char* ext : {lower, upper}) {
        fs::path d = image;
        d.replace_extension(ext);
        if (fs::is_regular_file(d, ec)) {
            *error = utf8_of(image) + " holds the sectors of " + format + " image: give its descriptor " + utf8_of(d) +
                     ", which says where its tracks lie";
            return nullptr;
        }
    }
    return open_iso_file(image, error);
}

std::unique_ptr<SectorReader> open_img_file(const fs::path& image, std::string* error)
{
    return open_described(image, ".ccd", ".CCD", "a CloneCD", error);
}

std::unique_ptr<SectorReader> open_mdf_file(const fs::path& image, std::string* error)
{
    return open_described(image, ".mds", ".MDS", "an Alcohol", error);
}

std::unique_ptr<SectorReader> open_bin_file(const fs::path& image, std::string* error)
{
    *error = utf8_of(image) + " holds raw sectors without their layout: give the .cue sheet that names it";
    return nullptr;
}

std::unique_ptr<SectorReader> open_sub_file(const fs::path& image, std::string* error)
{
    *error = utf8_of(image) + " holds the subchannel data of a CloneCD image, no sectors of data: give its .ccd sheet";
    return nullptr;
}

struct ImageFormat {
    const char* ending;  // lower case, with its dot
    OpenSectors open;
};
const ImageFormat kFormats[] = {
    {".cue", open_cue_sectors},    {".ccd", open_clonecd_sectors}, {".mds", open_alcohol_sectors},
    {".toc", open_cdrdao_sectors}, {".nrg", open_nero_sectors},    {".chd", open_chd_sectors},
    {".img", open_img_file},       {".mdf", open_mdf_file},        {".sub", open_sub_file},
    {".bin", open_bin_file},
};

// The format that reads `image`; null for an ISO 9660 file.
const ImageFormat* format_of(const fs::path& image)
{
    std::string name = utf8_of(image);
    for (const ImageFormat& f : kFormats)
        if (ends_with_ascii_nocase(name, f.ending))
            return &f;
    return nullptr;
}

}  // namespace

std::unique_ptr<SectorReader> open_image_sectors(const fs::path& image, std::string* error)
{
    const ImageFormat* f = format_of(image);
    return f ? f->open(image, error) : open_iso_file(image, error);
}

int image_is_iso_file(const fs::path& image)
{
    return format_of(image) == nullptr && iso_file_track(image).stride == kUserBytes;
}
