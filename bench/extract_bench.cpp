// Extraction speed: install_disc_set against plain in-memory zlib
// uncompress of the same records, and the cost of a seek per record.
//
//   engine_bench [MiB]   (default 64)
//
// Prints decompressed MB/s for each and the engine's share of the
// in-memory speed. Best of five runs each.
#include "disc_fixture.h"
#include "disc_format.h"
#include "file_object.h"
#include "install_engine.h"
#include "platform.h"
#include "record_reader.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>
#include <zlib.h>

namespace fs = std::filesystem;

namespace {

double seconds_since(std::chrono::steady_clock::time_point t0)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// Game-like data: words from a small vocabulary with some noise, which
// compresses about 3:1.
std::string sample_data(size_t n, unsigned seed)
{
    static const char* words[] = {"tile", "sprite", "0x7f", "level", "\x01\x02", "sound", "map", "....", "npc"};
    std::mt19937 gen(seed);
    std::string s;
    s.reserve(n + 16);
    while (s.size() < n) {
        if (gen() % 4 == 0)
            s += (char)(gen() & 0xFF);
        else
            s += words[gen() % 9];
    }
    s.resize(n);
    return s;
}

std::string system_path(const fs::path& host)
{
    char win[4096];
    if (!plat_from_host_path(host.u8string().c_str(), win, sizeof win)) {
        fprintf(stderr, "no system path for %s\n", host.u8string().c_str());
        exit(1);
    }
    return win;
}

}  // namespace

int main(int argc, char** argv)
{
    int mib = argc > 1 ? atoi(argv[1]) : 64;
    if (mib <= 0)
        mib = 64;
    fs::path base = fs::temp_directory_path() / ("engine-bench-" + std::to_string((unsigned)std::random_device()()));
    fs::create_directories(base / "src");
    std::string src = system_path(base / "src");
    std::string inst = system_path(base) + "\\inst";

    // The set: files of 4 MiB in records of the largest size.
    const size_t record = disc::kMaxDecompressed;
    size_t total = (size_t)mib << 20;
    fixture::DiscSet set;
    std::vector<std::string> streams;  // every data record's zlib stream
    size_t done = 0;
    for (int f = 0; done < total; ++f) {
        set.add_file(0, "\\file" + std::to_string(f) + ".dat");
        for (size_t in_file = 0; in_file < ((size_t)4 << 20) && done < total; in_file += record) {
            std::string d = sample_data(record, (unsigned)(done / record));
            streams.push_back(fixture::zlib(d));
            set.add_raw(0, fixture::raw_record(disc::kData, streams.back()));
            set.total += (int64_t)d.size();
            done += d.size();
        }
        set.add_raw(0, fixture::close_file());
    }
    fixture::write_set(set, src);
    size_t compressed = 0;
    for (const std::string& s : streams)
        compressed += s.size();
    printf("set: %zu MiB in %zu records, %.2f MiB compressed (%.2f:1)\n", total >> 20, streams.size(),
           compressed / 1048576.0, (double)total / (double)compressed);

    // Alternating runs, so that load from elsewhere hits both alike.
    std::vector<unsigned char> out(record);
    EngineOptions options;
    options.registration = 0;
    double best_memory = 1e9, best_engine = 1e9, best_write = 1e9;
    std::string scratch = (base / "scratch.dat").u8string();
    for (int run = 0; run < 5; ++run) {
        // Writing the decompressed bytes alone, 4 MiB per file as the set has them.
        auto tw = std::chrono::steady_clock::now();
        FILE* w = nullptr;
        for (size_t i = 0; i < streams.size(); ++i) {
            if (i % 20 == 0) {
                if (w)
                    fclose(w);
                w = fopen((scratch + std::to_string(i)).c_str(), "wb");
            }
            if (!w || fwrite(out.data(), out.size(), 1, w) != 1)
                return 1;
        }
        if (w)
            fclose(w);
        best_write = std::min(best_write, seconds_since(tw));
        for (size_t i = 0; i < streams.size(); i += 20)
            fs::remove(scratch + std::to_string(i));

        auto t0 = std::chrono::steady_clock::now();
        for (const std::string& s : streams) {
            uLongf n = (uLongf)out.size();
            if (uncompress(out.data(), &n, (const Bytef*)s.data(), (uLong)s.size()) != Z_OK)
                return 1;
        }
        best_memory = std::min(best_memory, seconds_since(t0));

        t0 = std::chrono::steady_clock::now();
        if (install_disc_set_with(inst.c_str(), src.c_str(), options) != 1) {
            fprintf(stderr, "install failed\n");
            return 1;
        }
        best_engine = std::min(best_engine, seconds_since(t0));
        std::error_code ec;
        fs::remove_all(base / "inst", ec);
    }

    // Walking the records only, with and without a seek before every record.
    std::string cd1 = src + "\\cd1";
    std::vector<unsigned char> in(disc::kMaxCompressed);
    double best_walk[2] = {1e9, 1e9};
    for (int seek_each = 0; seek_each < 2; ++seek_each) {
        for (int run = 0; run < 3; ++run) {
            FileObject f;
            if (!f.open_read(cd1.c_str()))
                return 1;
            auto t0 = std::chrono::steady_clock::now();
            RecordReader reader;
            reader.start(&f, disc::kHeaderSize, in.data(), (int32_t)in.size());
            Record r;
            while (reader.next(&r) == kRecordRead)
                if (seek_each)
                    f.seek((int32_t)reader.position);
            best_walk[seek_each] = std::min(best_walk[seek_each], seconds_since(t0));
            f.close();
        }
    }

    // The message pump runs once per record.
    auto tp = std::chrono::steady_clock::now();
    for (int i = 0; i < 10000; ++i)
        plat_pump_messages();
    double pump_us = seconds_since(tp) / 10000 * 1e6;

    double mb = (double)total / 1e6;
    printf("in-memory uncompress:      %8.1f MB/s\n", mb / best_memory);
    printf("writing the output only:   %8.1f MB/s\n", mb / best_write);
    printf("uncompress + write bound:  %8.1f MB/s\n", mb / (best_memory + best_write));
    printf("install_disc_set:          %8.1f MB/s  (%.2fx of in-memory)\n", mb / best_engine,
           best_memory / best_engine);
    printf("record walk, no seeks:     %8.1f ms\n", best_walk[0] * 1000);
    printf("record walk, seek each:    %8.1f ms\n", best_walk[1] * 1000);
    printf("message pump, empty queue: %8.2f us per call (%zu calls per run)\n", pump_us, streams.size());
    std::error_code ec;
    fs::remove_all(base, ec);
    return 0;
}
