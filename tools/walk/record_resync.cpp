#include "record_resync.h"

#include "byte_order.h"
#include "disc_format.h"
#include "record_path.h"
#include "record_reader.h"

#include <algorithm>
#include <memory>

namespace {

// Bytes scanned per read while looking for the next record.
const int32_t kScanWindow = 1 << 20;
// A type byte, the length and the two bytes of a zlib header.
const int32_t kCandidateHead = 1 + disc::kLengthSize + 2;
const int32_t kShortestStream = kSmallestPayloadRecord - 1 - disc::kLengthSize;

// RFC 1950 header: method 8 (deflate), a window of at most 32 KiB, the check
// bits, and no preset dictionary (compress never writes one).
int looks_like_zlib(const unsigned char* p)
{
    return (p[0] & 0x0F) == 8 && (p[0] >> 4) <= 7 && ((p[0] << 8) | p[1]) % 31 == 0 && !(p[1] & 0x20);
}

// The head of a candidate at `p` of a file of `size` bytes: its length, or
// -1 when the head alone rules it out.
int32_t candidate_length(const unsigned char* at, int64_t p, int64_t size)
{
    if (at[0] != disc::kDirectory && at[0] != disc::kFile && at[0] != disc::kData)
        return -1;
    int32_t L = get_le32(at + 1);
    if (L < kShortestStream || L > disc::kMaxCompressed || p + 1 + disc::kLengthSize + L > size ||
        !looks_like_zlib(at + 1 + disc::kLengthSize))
        return -1;
    return L;
}

}  // namespace

int RecordProbe::sound_at(int64_t at, int32_t* type, int64_t* end, int32_t* length)
{
    unsigned char head[kCandidateHead];
    if (at < 0 || at + kCandidateHead > size || !file->seek((int32_t)at) ||
        file->read(head, kCandidateHead) != kCandidateHead)
        return 0;
    int32_t L = candidate_length(head, at, size);
    if (L < 0 || !file->seek((int32_t)(at + 1 + disc::kLengthSize)) || file->read(in, L) != L)
        return 0;
    Record r{head[0], at, L, in};
    int32_t n = 0;
    if (!inflate_record(r, out, disc::kMaxDecompressed, &n, nullptr, 1))
        return 0;
    char folded[kRecordPathBuffer];
    if (r.type != disc::kData && !fold_record_path(r.type, out, n, install_path_length, folded, nullptr))
        return 0;
    *type = r.type;
    *end = at + 1 + disc::kLengthSize + L;
    *length = n;
    return 1;
}

int RecordProbe::continues_at(int64_t at)
{
    // At most a close record and an end record may stand before the next
    // sound record or the end of the file.
    for (int ones = 0; ones <= 2; ++ones, ++at) {
        int32_t type = 0, n = 0;
        int64_t end = 0;
        if (at == size || sound_at(at, &type, &end, &n))
            return 1;
        unsigned char b = 0;
        if (at > size || !file->seek((int32_t)at) || file->read(&b, 1) != 1)
            return 0;
        if (b == disc::kEnd)
            return at + 1 == size || sound_at(at + 1, &type, &end, &n);
        if (b != disc::kClose)
            return 0;
    }
    return 0;
}

int64_t RecordProbe::next_sound(int64_t from)
{
    std::unique_ptr<unsigned char[]> window(new unsigned char[kScanWindow + kCandidateHead]);
    for (int64_t base = from; base + kCandidateHead <= size; base += kScanWindow) {
        int64_t want = std::min<int64_t>(kScanWindow + kCandidateHead, size - base);
        if (!file->seek((int32_t)base) || file->read(window.get(), (int32_t)want) != (int32_t)want)
            return -1;
        int64_t last = std::min<int64_t>(base + kScanWindow - 1, size - kCandidateHead);
        for (int64_t p = base; p <= last; ++p) {
            if (candidate_length(window.get() + (p - base), p, size) < 0)
                continue;
            int32_t type = 0, n = 0;
            int64_t end = 0;
            if (sound_at(p, &type, &end, &n))
                return p;
        }
    }
    return -1;
}
