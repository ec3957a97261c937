#include "record_reader.h"

#include "disc_format.h"
#include "byte_order.h"
#include "inflate_backend.h"

#include <climits>
#include <zlib.h>

namespace {

// Reads exactly n bytes; false when the file delivers fewer.
bool read_exact(FileObject* file, unsigned char* to, int32_t n)
{
    int32_t got = 0;
    while (got < n) {
        int32_t r = file->read(to + got, n - got);
        if (r <= 0)
            return false;
        got += r;
    }
    return true;
}

}  // namespace

const char* record_status_text(int status)
{
    switch (status) {
    case kRecordRead:
        return "record read";
    case kRecordEndOfFile:
        return "end of the disc file";
    case kRecordTruncated:
        return "record cut short by the end of the file";
    case kRecordBadLength:
        return "record length outside the buffer";
    case kRecordSeekFailed:
        return "start of the record stream cannot be reached";
    case kRecordReadError:
        return "read error: the disc file cannot be read here";
    default:
        return "unknown record status";
    }
}

int RecordReader::start(FileObject* f, int32_t offset, unsigned char* buf, int32_t cap)
{
    file = f;
    buffer = buf;
    capacity = cap;
    position = offset;
    status = kRecordRead;
    if (!f || !buf || cap < 0 || offset < 0 || !f->seek(offset))
        status = kRecordSeekFailed;
    return status;
}

int RecordReader::next(Record* record)
{
    record->type = 0;
    record->offset = position;
    record->compressed_length = 0;
    record->payload = nullptr;
    if (status != kRecordRead)
        return status;

    // A read that delivers less than asked is the end of the file only when
    // the file did not fail to read; otherwise the rest of the disc is
    // unknown, not absent.
    unsigned char type = 0;
    if (file->read(&type, 1) != 1) {
        status = file->read_failed() ? kRecordReadError : kRecordEndOfFile;
        return status;
    }
    record->type = type;
    if (!record_has_payload(type)) {
        position += 1;
        return kRecordRead;
    }

    unsigned char len[disc::kLengthSize];
    if (!read_exact(file, len, disc::kLengthSize)) {
        status = file->read_failed() ? kRecordReadError : kRecordTruncated;
        return status;
    }
    int32_t L = get_le32(len);
    record->compressed_length = L;
    if (L < 0 || L > capacity) {
        status = kRecordBadLength;
        return status;
    }
    if (!read_exact(file, buffer, L)) {
        status = file->read_failed() ? kRecordReadError : kRecordTruncated;
        return status;
    }
    record->payload = buffer;
    position += 1 + disc::kLengthSize + L;
    return kRecordRead;
}

int inflate_record(const Record& record, unsigned char* out, int32_t capacity, int32_t* out_length, int* zlib_status,
                   int zlib_only)
{
    *out_length = 0;
    int z = Z_DATA_ERROR;
    if (record.payload && record.compressed_length > 0 && capacity >= 0)
        z = (zlib_only ? inflate_stream_zlib : inflate_stream)(record.payload, record.compressed_length, out, capacity,
                                                               out_length);
    if (zlib_status)
        *zlib_status = z;
    return z == Z_OK ? 1 : 0;
}
