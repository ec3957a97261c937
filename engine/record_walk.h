// The one walk over the records of a disc: the install engine, the
// toolkit's list/test walk and its salvage all drive it.
//
// It takes the records from a source (decoded_records.h) in disc order,
// sorts each into one step (a folder or file record with the path the
// installer creates, a data record with its bytes, a close, an end, a type
// byte of no known record, or a damaged record) and hands it to the caller,
// who says how to go on: with the next record, stop, or read on from another
// offset of the disc (past damage). Decompressing and checking the paths
// are the walk's; what a record does is the caller's.
#pragma once

#include "decoded_records.h"

#include <cstdint>

enum WalkKind : int {
    kWalkFolder = 1,  // a directory record whose path is sound
    kWalkFile,        // a file record whose path is sound
    kWalkData,        // a data record that decompressed
    kWalkClose,       // a close record
    kWalkEnd,         // an end record (where it stands is the caller's to judge)
    kWalkOtherType,   // a type byte of no record (the installer skips it)
    kWalkDamaged,     // see WalkStep::status
};

struct WalkStep {
    int32_t kind;
    Record record;  // type, offset and L (record.payload is not used)
    // kWalkDamaged: the source's status. kRecordRead when the record was read
    // whole but its stream does not decompress (zlib_status) or its path is
    // refused (path_problem); any other the reader's failure.
    int32_t status;
    int32_t zlib_status;
    const char* path_problem;   // fold_record_path's reason; else null
    const unsigned char* data;  // decompressed bytes (data, folder and file records,
    int32_t length;             // and a damaged one whose path is refused); else null, 0
    const char* path;           // kWalkFolder, kWalkFile: the path as created
                                // (fold_record_path); "" for the install folder itself
};

// What a caller answers to a step: the next record, stop, or an offset of
// the disc to read on from (0 or more). After a damaged step whose status
// is the reader's failure no next record can be read: going on stops.
const int64_t kWalkGoOn = -2;
const int64_t kWalkStop = -1;
typedef int64_t (*WalkStepHandler)(void* context, const WalkStep& step);

// How a walk ended.
enum WalkEnd : int {
    kWalkEndOfFile = 1,    // the disc file ended where a record would start
    kWalkStopped = 0,      // the caller stopped it, or reading on from its offset failed
    kWalkNotStarted = -1,  // the source could not start at the first record
};

struct RecordWalk {
    const DecodedRecordSource* source;
    FileObject* disc;             // open; read only through the source
    int32_t install_path_length;  // for the path checks (fold_record_path)

    // Walks from `offset` until the disc's end or the caller's stop. The
    // source is stopped whatever the way out.
    int run(int32_t offset, WalkStepHandler on_step, void* context) const;
};
