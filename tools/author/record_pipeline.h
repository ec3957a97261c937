// The records of a pack, from the planned entries to the discs: a source
// that reads them in order in record-sized pieces and a pool of threads that
// compresses them while the writing thread puts them onto the discs in order.
#pragma once

#include "disc_output.h"
#include "disc_writer.h"
#include "pack_plan.h"

#include <zlib.h>

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace pack {

struct RecordJob {
    unsigned char type = 0;
    std::vector<unsigned char> input;  // decompressed bytes
    size_t input_length = 0;
    std::vector<unsigned char> output;  // compressed stream
    size_t output_length = 0;
    bool done = false;
    bool failed = false;
};

// Produces the records one after another from the item list, reading file
// contents in record-sized pieces.
struct RecordSource {
    std::vector<PackItem>* items;
    const std::vector<DataEntry>* data = nullptr;
    size_t next_item = 0;
    std::ifstream file;
    bool in_file = false;
    PackItem* current = nullptr;
    int64_t data_bytes = 0;
    std::string memory;  // the manifest's bytes, while it is the current file
    size_t memory_at = 0;
    bool from_memory = false;
    uLong crc = 0;  // of the current file so far
    int64_t manifest_entries = 0;

    // 1 with a record in job, 0 at the end, -1 on a read error.
    int next(RecordJob* job, std::string* error);
};

// The records in order from the source, compressed on `threads` threads
// (the writing one among them), onto the discs. Counts what it wrote into
// `result` and the decompressed bytes into *decompressed_total.
int write_records(RecordSource* source, int threads, CompressorKind kind, int level, DiscOutput* discs,
                  const DiscPackOptions& options, int64_t planned_total, DiscPackResult* result,
                  int64_t* decompressed_total, std::string* error);

}  // namespace pack
