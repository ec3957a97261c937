// The speed limit of extraction: every record of a disc set read into memory
// first (with the engine's record reader), then decompressed into one
// record-sized buffer, as the engine does, but with no file I/O at all.
// Two decompressors: zlib's uncompress (what setup uses on Windows) and
// libdeflate_zlib_decompress_ex (what the engine uses in the Linux build).
//
//     inflate_limit DISC_FILE...    (cd1 first, then cd2, ...)
//
// Prints one line per decompressor: its name, the decompressed bytes, the
// number of records, and the best of three passes as processor time
// (seconds, and MB/s of decompressed data); processor time keeps the figure
// steady on a machine shared with other work. A last line names the
// decompressor the engine of this build uses: "engine libdeflate".
#include "disc_format.h"
#include "file_object.h"
#include "inflate_backend.h"
#include "platform.h"
#include "record_reader.h"

#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>
#include <libdeflate.h>
#include <zlib.h>

int main(int argc, char** argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: inflate_limit DISC_FILE...\n");
        return 2;
    }
    std::vector<std::vector<unsigned char>> records;
    std::vector<unsigned char> buffer(disc::kMaxCompressed);
    for (int i = 1; i < argc; ++i) {
        char path[4096];
        if (!plat_from_host_path(argv[i], path, sizeof path)) {
            fprintf(stderr, "no system path for %s\n", argv[i]);
            return 1;
        }
        FileObject file;
        if (!file.open_read(path)) {
            fprintf(stderr, "cannot open %s\n", argv[i]);
            return 1;
        }
        RecordReader reader;
        reader.start(&file, i == 1 ? disc::kHeaderSize : 0, buffer.data(), disc::kMaxCompressed);
        Record r;
        int status;
        while ((status = reader.next(&r)) == kRecordRead) {
            if (record_has_payload(r.type))
                records.emplace_back(r.payload, r.payload + r.compressed_length);
        }
        file.close();
        if (status != kRecordEndOfFile) {
            fprintf(stderr, "%s: %s at offset %lld\n", argv[i], record_status_text(status), (long long)r.offset);
            return 1;
        }
    }
    std::vector<unsigned char> out(disc::kMaxDecompressed);
    libdeflate_decompressor* d = libdeflate_alloc_decompressor();
    for (int backend = 0; backend < 2; ++backend) {
        double best = 1e30;
        long long total = 0;
        for (int pass = 0; pass < 3; ++pass) {
            total = 0;
            std::clock_t t0 = std::clock();
            for (const auto& rec : records) {
                size_t n = 0;
                bool ok;
                if (backend == 0) {
                    uLongf len = (uLongf)out.size();
                    ok = uncompress(out.data(), &len, rec.data(), (uLong)rec.size()) == Z_OK;
                    n = len;
                } else {
                    size_t used = 0;
                    ok = libdeflate_zlib_decompress_ex(d, rec.data(), rec.size(), out.data(), out.size(), &used, &n) ==
                         LIBDEFLATE_SUCCESS;
                }
                if (!ok) {
                    fprintf(stderr, "a record does not decompress\n");
                    return 1;
                }
                total += (long long)n;
            }
            double s = (double)(std::clock() - t0) / CLOCKS_PER_SEC;
            if (s < best)
                best = s;
        }
        printf("%s %lld %zu %.4f %.1f\n", backend == 0 ? "zlib" : "libdeflate", total, records.size(), best,
               total / best / 1e6);
    }
    libdeflate_free_decompressor(d);
    printf("engine %s\n", inflate_backend_name());
    return 0;
}
