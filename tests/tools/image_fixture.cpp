// Test helper for the disc-image tests: turns an ISO 9660 image (made by
// xorriso) into a raw .bin/.cue pair, and damages an image's root folder in
// ways a writer never would. Every change names the bytes it touches.
//
//   image_fixture bincue IMAGE.iso OUT.bin OUT.cue mode1|mode2
//   image_fixture extent-past-end IMAGE.iso NAME   (NAME's data start past the end)
//   image_fixture loop IMAGE.iso DIRNAME          (DIRNAME leads back to the root)
//   image_fixture two-pieces IMAGE.iso FIRST SECOND (SECOND becomes FIRST's second extent)
//   image_fixture bad-name IMAGE.iso NAME          (NAME's first byte becomes 0xFF, no Big5 lead byte)
//   image_fixture size IMAGE.iso NAME BYTES        (NAME's recorded data length becomes BYTES)
//
// The root folder edited is the primary one, so images for the damage cases
// are made without Joliet and Rock Ridge names.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

const size_t kSector = 2048;
const size_t kRaw = 2352;

bool load(const char* path, std::vector<unsigned char>* bytes)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

bool save(const char* path, const std::vector<unsigned char>& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write((const char*)bytes.data(), (std::streamsize)bytes.size());
    return (bool)out;
}

uint32_t le32(const unsigned char* p)
{
    return p[0] | p[1] << 8 | p[2] << 16 | (uint32_t)p[3] << 24;
}

// A both-byte-order 32-bit field (ISO 9660 7.3.3): little endian, then big.
void put733(unsigned char* p, uint32_t v)
{
    for (int i = 0; i < 4; ++i) {
        p[i] = (unsigned char)(v >> (8 * i));
        p[7 - i] = (unsigned char)(v >> (8 * i));
    }
}

// The CD-ROM EDC: CRC-32 with the polynomial x^32+x^31+x^16+x^15+x^4+x^3+x+1
// (reflected 0xD8018001), initial value 0, stored little endian.
uint32_t edc(const unsigned char* data, size_t n)
{
    uint32_t crc = 0;
    for (size_t i = 0; i < n; ++i) {
        crc ^= data[i];
        for (int b = 0; b < 8; ++b)
            crc = crc & 1 ? (crc >> 1) ^ 0xD8018001u : crc >> 1;
    }
    return crc;
}

unsigned char bcd(unsigned v)
{
    return (unsigned char)((v / 10) << 4 | (v % 10));
}

// One raw sector around 2048 bytes of user data: 12 sync bytes
// (00, ten FF, 00), the header (minute, second, frame of the address,
// which runs 150 frames ahead of the sector number, in BCD; then the mode),
// for mode 2 form 1 an 8-byte subheader (file 0, channel 0, submode 0x08
// "data", coding 0, written twice), the data, and the EDC over what it
// covers. The error-correction bytes stay zero: the readers under test take
// the data as it is.
void raw_sector(const unsigned char* data, uint32_t lsn, int mode, unsigned char* out)
{
    memset(out, 0, kRaw);
    memset(out + 1, 0xFF, 10);
    uint32_t address = lsn + 150;
    out[12] = bcd(address / (60 * 75));
    out[13] = bcd(address / 75 % 60);
    out[14] = bcd(address % 75);
    out[15] = (unsigned char)mode;
    if (mode == 1) {
        memcpy(out + 16, data, kSector);
        uint32_t e = edc(out, 16 + kSector);
        memcpy(out + 16 + kSector, &e, 4);
    } else {
        out[18] = out[22] = 0x08;
        memcpy(out + 24, data, kSector);
        uint32_t e = edc(out + 16, 8 + kSector);
        memcpy(out + 24 + kSector, &e, 4);
    }
}

// The ISO image's sectors as raw sectors of `mode` in `bin`, after `lead`
// sectors of CD audio (a pregap, or a track before the data one).
int raw_track(const char* iso, const char* bin, const std::string& mode, size_t lead)
{
    std::vector<unsigned char> image;
    if (!load(iso, &image) || image.size() % kSector != 0 || (mode != "mode1" && mode != "mode2")) {
        fprintf(stderr, "image_fixture: bad arguments for raw\n");
        return 1;
    }
    int m = mode == "mode1" ? 1 : 2;
    std::vector<unsigned char> raw((lead + image.size() / kSector) * kRaw, 0x55);
    for (size_t s = 0; s < image.size() / kSector; ++s)
        raw_sector(&image[s * kSector], (uint32_t)s, m, &raw[(lead + s) * kRaw]);
    return save(bin, raw) ? 0 : 1;
}

int bincue(const char* iso, const char* bin, const char* cue, const std::string& mode)
{
    if (raw_track(iso, bin, mode, 0))
        return 1;
    int m = mode == "mode1" ? 1 : 2;
    std::string name = bin;
    size_t slash = name.rfind('/');
    if (slash != std::string::npos)
        name.erase(0, slash + 1);
    std::string sheet = "FILE \"" + name + "\" BINARY\n  TRACK 01 " + (m == 1 ? "MODE1/2352" : "MODE2/2352") +
                        "\n    INDEX 01 00:00:00\n";
    std::vector<unsigned char> text(sheet.begin(), sheet.end());
    return save(cue, text) ? 0 : 1;
}

// A directory record's name without its version and trailing dot.
std::string record_name(const unsigned char* record)
{
    std::string n((const char*)record + 33, record[32]);
    size_t semi = n.find(';');
    if (semi != std::string::npos)
        n.erase(semi);
    if (!n.empty() && n.back() == '.')
        n.pop_back();
    return n;
}

std::string upper(std::string s)
{
    for (char& c : s)
        if (c >= 'a' && c <= 'z')
            c = (char)(c - 'a' + 'A');
    return s;
}

// The records of the primary root folder: offsets into the image. The
// primary volume descriptor is sector 16; its root directory record sits at
// byte 156, with the extent at +2 and the data length at +10.
bool root_records(const std::vector<unsigned char>& image, std::vector<size_t>* records, uint32_t* root_lsn)
{
    if (image.size() < 17 * kSector || image[16 * kSector] != 1)
        return false;
    const unsigned char* root = &image[16 * kSector + 156];
    *root_lsn = le32(root + 2);
    uint32_t length = le32(root + 10);
    size_t begin = (size_t)*root_lsn * kSector;
    if (begin + length > image.size())
        return false;
    for (size_t at = begin; at < begin + length;) {
        unsigned char len = image[at];
        if (len == 0) {  // records do not cross sectors: go on at the next
            at = (at / kSector + 1) * kSector;
            continue;
        }
        records->push_back(at);
        at += len;
    }
    return true;
}

size_t find_record(const std::vector<unsigned char>& image, const std::vector<size_t>& records, const char* name)
{
    for (size_t at : records)
        if (image[at + 32] > 1 && record_name(&image[at]) == upper(name))
            return at;
    return 0;
}

int damage(const std::string& how, const char* iso, const char* name, const char* second)
{
    std::vector<unsigned char> image;
    std::vector<size_t> records;
    uint32_t root_lsn = 0;
    if (!load(iso, &image) || !root_records(image, &records, &root_lsn)) {
        fprintf(stderr, "image_fixture: %s has no readable primary root folder\n", iso);
        return 1;
    }
    size_t at = find_record(image, records, name);
    if (!at) {
        fprintf(stderr, "image_fixture: no %s in the root folder of %s\n", name, iso);
        return 1;
    }
    if (how == "extent-past-end") {
        put733(&image[at + 2], (uint32_t)(image.size() / kSector + 10));
    } else if (how == "loop") {
        // The folder's extent becomes the root's own.
        put733(&image[at + 2], root_lsn);
    } else if (how == "bad-name") {
        image[at + 33] = 0xFF;  // the first byte of the recorded name
    } else if (how == "size" && second) {
        put733(&image[at + 10], (uint32_t)std::stoul(second));  // the data length, both byte orders
    } else if (how == "two-pieces" && second) {
        size_t next = find_record(image, records, second);
        if (!next || image[next + 32] != image[at + 32]) {
            fprintf(stderr, "image_fixture: %s and %s must both be there, names of one length\n", name, second);
            return 1;
        }
        // File flags (+25) bit 7: "not the final record of this file"; the
        // following record, renamed to the same name, holds the next extent.
        image[at + 25] |= 0x80;
        memcpy(&image[next + 33], &image[at + 33], image[at + 32]);
    } else {
        fprintf(stderr, "image_fixture: unknown change %s\n", how.c_str());
        return 1;
    }
    return save(iso, image) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    std::string what = argc > 1 ? argv[1] : "";
    if (what == "bincue" && argc == 6)
        return bincue(argv[2], argv[3], argv[4], argv[5]);
    if (what == "raw" && argc == 6)
        return raw_track(argv[2], argv[3], argv[4], (size_t)strtoul(argv[5], nullptr, 10));
    if ((what == "extent-past-end" || what == "loop" || what == "bad-name") && argc == 4)
        return damage(what, argv[2], argv[3], nullptr);
    if ((what == "two-pieces" || what == "size") && argc == 5)
        return damage(what, argv[2], argv[3], argv[4]);
    fprintf(stderr, "usage: image_fixture bincue|raw|extent-past-end|loop|two-pieces|bad-name|size ...\n");
    return 1;
}
