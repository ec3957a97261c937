// Where the install engine gets the records of a disc: read and already
// decompressed, one after the other in disc order.
//
// The engine applies every record itself (paths, files, journal, progress);
// a source only reads and decompresses. The default source does both inline
// on the engine's thread, one record at a time, with the engine's two
// buffers (setup uses it). The toolkit's extract passes a source that reads
// and decompresses ahead on other threads (tools/extract/decode_ahead.h); since
// it hands the records over in disc order with the same statuses, the engine
// behaves the same with either: it stops at the first damaged record in
// order, whatever was decoded after it.
#pragma once

#include "file_object.h"
#include "record_reader.h"

#include <cstdint>

// One record of the disc, as the engine applies it.
struct DecodedRecord {
    Record record;              // type, offset and L; record.payload is not used
    int32_t inflated;           // payload records: 1 when the stream decompressed, else 0
    const unsigned char* data;  // the decompressed bytes (inflated payload records only)
    int32_t length;             // their number
    int32_t zlib_status;        // the decompressor's status (Z_OK when inflated)
};

struct DecodedRecordSource {
    void* context;
    // Starts on the open disc file `disc` at `offset` (the first record).
    // Until stop() the source alone reads the file. kRecordRead, or
    // kRecordSeekFailed.
    int (*start)(void* context, FileObject* disc, int32_t offset);
    // The next record in disc order: kRecordRead with *out filled in (a
    // payload record whose stream is damaged has out->inflated 0), or the
    // reader's final status (kRecordEndOfFile, kRecordTruncated, ...) with
    // out->record naming the record it happened in; a final status is
    // repeated by later calls. After the end record (type 5) the disc is
    // over: the engine does not call again. out->data stays valid until
    // the next call of next() or stop().
    int (*next)(void* context, DecodedRecord* out);
    // Ends the disc, early or not: when it returns no other thread touches
    // the disc file or the source's buffers any more.
    void (*stop)(void* context);
};

// The inline source: the record reader and the decompressor on the
// caller's thread, one record at a time. Over the caller's two buffers
// (disc::kMaxCompressed and disc::kMaxDecompressed bytes, kept by the
// caller), or, given none, over its own, allocated at each start and
// released at each stop.
struct InlineRecords {
    RecordReader reader;
    unsigned char* in = nullptr;   // compressed data of the current record
    unsigned char* out = nullptr;  // its decompressed bytes
    int32_t owns_buffers = 0;
    int32_t zlib_only = 0;  // zlib's uncompress decides (inflate_record)
    DecodedRecordSource ops = {};

    // `in` and `out` both null: the source's own buffers.
    void create(unsigned char* in_buffer, unsigned char* out_buffer, int32_t zlib_only_verdict);
    const DecodedRecordSource* source() const { return &ops; }
};

// The engine's default: an inline source over its own buffers, with the
// build's decompressor.
const DecodedRecordSource* inline_record_source();
