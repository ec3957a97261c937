// Reading the record stream of one disc file, bounds-checked.
//
// A disc file is a run of records from a start offset (168 in cd1, where the
// header ends; 0 in every later disc) to the end of the file. Each record is
// one type byte; types 1 (directory), 2 (file) and 3 (data) follow it with a
// 4-byte little-endian compressed length L and L bytes of one zlib stream.
// Every other type byte stands alone.
//
// The install engine extracts through this reader and the toolkit's `list`
// and `test` walk discs with it, so both see the same records and report the
// same damage. Usage:
//
//     RecordReader reader;
//     reader.start(&disc, first_disc ? disc::kHeaderSize : 0, buffer, disc::kMaxCompressed);
//     Record r;
//     int status;
//     while ((status = reader.next(&r)) == kRecordRead) {
//         if (record_has_payload(r.type)) {
//             int32_t n = 0;
//             if (!inflate_record(r, out, disc::kMaxDecompressed, &n, nullptr)) { ... damaged at r.offset ... }
//         }
//     }
//     if (status != kRecordEndOfFile) { ... damaged (or unreadable) at r.offset: record_status_text(status) ... }
//
// The reader never reads past its buffer, never trusts L and never reads
// beyond the end of the file; a failure is reported with the offset of the
// record it happened in and stays in force for later calls.
//
// File position: start() seeks once; after that the reader reads straight
// on, one record after the other, and assumes nobody else moves the file
// between calls. (No seek per record: with a buffered stream a seek can throw
// the read-ahead away.)
#pragma once

#include "disc_format.h"
#include "file_object.h"

#include <cstdint>

// Results of RecordReader::start and RecordReader::next.
enum RecordStatus : int {
    kRecordRead = 1,         // the next record is in `record`
    kRecordEndOfFile = 0,    // the file ends where a type byte would be: the disc is over
    kRecordTruncated = -1,   // the file ends inside the record's length or compressed data
    kRecordBadLength = -2,   // L is negative or larger than the reader's buffer
    kRecordSeekFailed = -3,  // the start offset cannot be reached (or no file / buffer)
    kRecordReadError = -4,   // the file could not be read (a read error, not its end)
};

// An English description of a status, for reports ("record cut short by the
// end of the file", ...).
const char* record_status_text(int status);

// Whether records of this type carry a length and a zlib stream: 1 / 0.
inline int record_has_payload(int type)
{
    return type == disc::kDirectory || type == disc::kFile || type == disc::kData;
}

struct Record {
    int32_t type;                  // the type byte, 0 to 255
    int64_t offset;                // offset of the type byte in the disc file
    int32_t compressed_length;     // L; 0 for records without payload
    const unsigned char* payload;  // L bytes inside the reader's buffer; null without payload.
                                   // Valid until the next call of next().
};

struct RecordReader {
    FileObject* file;       // the disc file being read (not owned)
    unsigned char* buffer;  // receives the compressed data (not owned)
    int32_t capacity;       // bytes of `buffer`: the largest L accepted
    int64_t position;       // offset of the next type byte
    int32_t status;         // kRecordRead while records can follow, else the final status

    RecordReader() : file(nullptr), buffer(nullptr), capacity(0), position(0), status(kRecordSeekFailed) {}

    // Positions the reader at `offset` of the open `file`; compressed data go
    // into `buffer` of `capacity` bytes. kRecordRead, or kRecordSeekFailed.
    int start(FileObject* file, int32_t offset, unsigned char* buffer, int32_t capacity);

    // Reads the next record. On kRecordRead `record` describes it and the
    // position moves past it. On kRecordEndOfFile the stream ended cleanly:
    // the file ended where a type byte would be and did not fail to read
    // (a read that fails is kRecordReadError, wherever it happens).
    // On a failure, record->type and record->offset name the damaged record
    // (compressed_length holds L when it was read) and every later call
    // returns the same status.
    int next(Record* record);
};

// Decompresses a record's payload (one complete zlib stream) into `out` of
// `capacity` bytes, with the build's backend (inflate_backend.h), whose
// verdicts are those of zlib's uncompress. 1 on success: *out_length holds
// the decompressed length. 0 when the stream is damaged or its data do not
// fit `capacity`: *out_length is 0. The zlib status goes to *zlib_status
// when that is not null. With `zlib_only` set, zlib's uncompress decides in
// every build, so a check gives exactly the verdict setup will (the faster
// libdeflate backend accepts a few hand-built invalid streams that zlib
// refuses).
int inflate_record(const Record& record, unsigned char* out, int32_t capacity, int32_t* out_length, int* zlib_status,
                   int zlib_only = 0);
