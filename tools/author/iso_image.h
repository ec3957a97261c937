// ISO 9660 images of disc folders, written by xorriso (run as a program):
// an ISO 9660 tree and a Joliet tree (UCS-2 names, so Big5 names read right
// on Windows), no Rock Ridge, every date fixed, so the same folder gives the
// same image bytes.
//
// Size accounting. An image is whole 2048-byte sectors: the system area and
// volume descriptors, the path tables and directory records of both trees,
// every file rounded up to a sector, and the 300 KiB of padding that readers
// of the last track want. Everything except the disc file cdN is known before
// packing, and the structures do not depend on a file's size, so xorriso
// measures the image of the disc's layout with an empty cdN once
// ("structure sectors"); the disc file then adds its own sectors.
#pragma once

#include "host_files.h"

#include <cstdint>
#include <string>
#include <vector>

namespace iso {
const int64_t kSectorBytes = 2048;
// The primary descriptor holds 32 d-characters, the Joliet one 16 UCS-2
// characters, and xorriso writes one id into both: at most 16, so that the
// label Windows shows (the Joliet one) keeps the disc number.
const int kMaxVolumeId = 16;
const int kMaxJolietName = 64;  // UCS-2 characters in a Joliet name
}  // namespace iso

// Bytes of an image: its structure sectors and the disc file's sectors.
int64_t iso_image_bytes(int64_t structure_sectors, int64_t disc_file_bytes);
// The most bytes the disc file may take so that the image stays within
// `limit` bytes; negative when not even an empty disc file fits.
int64_t iso_disc_file_room(int64_t limit, int64_t structure_sectors);

// The volume id of disc `number`: "<NAME>_<number>" in ISO d-characters
// (A-Z, 0-9, _), at most kMaxVolumeId. NAME comes from the product: ASCII letters in
// upper case, digits as they are, every other run of characters one "_"
// (none at either end). A product without ASCII letters or digits takes the
// registry key the same way, and if that has none either, "DISC". NAME is
// cut so that the disc number always fits.
std::string iso_volume_id(const std::string& product_utf8, const std::string& regkey_utf8, int number);

// A file or folder of an image and where it comes from on the host.
struct IsoEntry {
    std::string image_path;  // UTF-8, "/" separated, starts with "/"
    fs::path source;
};

// The image's sectors for these entries, as xorriso lays them out.
int iso_measure_sectors(const std::vector<IsoEntry>& entries, const std::string& volume_id, int64_t* sectors,
                        std::string* error);
// Writes `image` (which must not exist) holding these entries, the same
// ones it was measured with.
int iso_write_image(const std::vector<IsoEntry>& entries, const fs::path& image, const std::string& volume_id,
                    std::string* error);
