// Reading and decompressing a disc's records ahead of the install engine.
//
// Every record is a complete zlib stream of its own, so records can be
// decompressed in any order on several threads while the engine applies
// them one by one in disc order on its own thread (and the kernel writes
// the files). One reader thread reads records from the disc file into a
// fixed ring of slots; a pool of decoder threads decompresses them; the
// engine takes the slots in disc order, each one with the status the inline
// reader would have given at that place, so the engine's behaviour (damage
// stops at the first damaged record in order, progress and cancel after
// every record, rollback) is the same as with inline decoding.
//
// Records pass between the threads in batches, one per slot: a run of
// small records (folders, paths, closes, small files) in one hand-over, a
// large one that needs a decoder at the end of its batch. Memory is fixed:
// `slots` batches of at most 464 + 264 KiB, however large the set; the
// reader waits while every slot is taken.
//
//     DecodeAhead ahead;
//     EngineOptions options;
//     if (ahead.create(threads)) options.records = ahead.source();
//     install_disc_set_with(..., options);
//     ahead.release();
#pragma once

#include "decoded_records.h"

struct DecodeAhead {
    void* impl;
    DecodedRecordSource ops;

    DecodeAhead() : impl(nullptr), ops() {}

    // Prepares `decoders` decoder threads (at least 1) and their slots; the
    // threads run only between the engine's start and stop of each disc.
    // 1 / 0 (out of memory).
    int create(int decoders);
    // The source for EngineOptions::records; valid until release.
    const DecodedRecordSource* source() const { return &ops; }
    // Number of slots: the batches held at most, decoded or not.
    int slot_count() const;
    void release();
};
