#include "record_pipeline.h"

#include "disc_format.h"
#include "disc_scan.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

namespace pack {

namespace {

void compress_job(RecordCompressor* compressor, RecordJob* job)
{
    size_t cap = compress_bound(job->input_length);
    if (job->output.size() < cap)
        job->output.resize(cap);
    job->output_length = compressor->compress(job->input.data(), job->input_length, job->output.data(), cap);
    job->failed = job->output_length == 0 || job->output_length > (size_t)disc::kMaxCompressed;
}

// Worker threads take jobs in any order; the writer takes results in record
// order, so the output does not depend on timing.
struct CompressPool {
    std::mutex mutex;
    std::condition_variable work_ready;
    std::condition_variable job_done;
    std::deque<RecordJob*> queue;
    bool stopping = false;
    std::vector<std::thread> workers;
    bool create_failed = false;

    void start(int count, CompressorKind kind, int level)
    {
        for (int i = 0; i < count; ++i)
            workers.emplace_back([this, kind, level] { run(kind, level); });
    }

    void run(CompressorKind kind, int level)
    {
        RecordCompressor compressor;
        bool ok = compressor.create(kind, level);
        for (;;) {
            RecordJob* job;
            {
                std::unique_lock<std::mutex> lock(mutex);
                work_ready.wait(lock, [this] { return stopping || !queue.empty(); });
                if (queue.empty())
                    break;
                job = queue.front();
                queue.pop_front();
            }
            if (ok)
                compress_job(&compressor, job);
            else
                job->failed = true;
            {
                std::lock_guard<std::mutex> lock(mutex);
                job->done = true;
            }
            job_done.notify_one();  // only the writing thread waits for results
        }
        compressor.release();
    }

    void submit(RecordJob* job)
    {
        {
            std::lock_guard<std::mutex> lock(mutex);
            job->done = false;
            queue.push_back(job);
        }
        work_ready.notify_one();
    }

    // Waits until `job` is compressed. Meanwhile the caller compresses
    // queued jobs itself with `own`, so the writing thread is one of the
    // compressing threads rather than an extra one that mostly sleeps.
    void wait(RecordJob* job, RecordCompressor* own)
    {
        std::unique_lock<std::mutex> lock(mutex);
        while (!job->done) {
            if (queue.empty()) {
                job_done.wait(lock, [this, job] { return job->done || !queue.empty(); });
                continue;
            }
            RecordJob* other = queue.front();
            queue.pop_front();
            lock.unlock();
            compress_job(own, other);
            lock.lock();
            other->done = true;
        }
    }

    // Drops the jobs still queued (after a failure nobody waits for them)
    // and stops: the ones being compressed are finished first, so no worker
    // touches a job after this returns.
    void abandon_and_stop()
    {
        {
            std::lock_guard<std::mutex> lock(mutex);
            queue.clear();
        }
        stop();
    }

    void stop()
    {
        {
            std::lock_guard<std::mutex> lock(mutex);
            stopping = true;
        }
        work_ready.notify_all();
        for (std::thread& t : workers)
            t.join();
        workers.clear();
    }
};

}  // namespace

int RecordSource::next(RecordJob* job, std::string* error)
{
    job->done = false;
    job->failed = false;
    job->output_length = 0;
    if (in_file) {
        if (job->input.size() < (size_t)disc::kMaxDecompressed)
            job->input.resize(disc::kMaxDecompressed);
        std::streamsize got = 0;
        if (from_memory) {
            got = (std::streamsize)std::min(memory.size() - memory_at, (size_t)disc::kMaxDecompressed);
            memcpy(job->input.data(), memory.data() + memory_at, (size_t)got);
            memory_at += (size_t)got;
        } else {
            file.read((char*)job->input.data(), disc::kMaxDecompressed);
            got = file.gcount();
            if (file.bad()) {
                *error = "cannot read " + utf8_of(fs::path(current->host));
                return -1;
            }
        }
        if (got > 0) {
            job->type = disc::kData;
            job->input_length = (size_t)got;
            crc = crc32(crc, job->input.data(), (uInt)got);
            data_bytes += got;
            return 1;
        }
        if (!from_memory)
            file.close();
        current->crc = (uint32_t)crc;
        in_file = false;
        job->type = disc::kClose;
        job->input_length = 0;
        job->done = true;
        return 1;
    }
    if (next_item >= items->size())
        return 0;
    current = &(*items)[next_item++];
    const std::string& path = current->record_path;
    // The buffer keeps its size (a record's worth) between uses, so
    // reusing it never clears 200 KiB again.
    if (job->input.size() < path.size() + 1)
        job->input.resize(std::max(path.size() + 1, (size_t)disc::kMaxDecompressed));
    memcpy(job->input.data(), path.c_str(), path.size() + 1);
    job->input_length = path.size() + 1;
    job->type = current->is_directory ? disc::kDirectory : disc::kFile;
    if (!current->is_directory) {
        crc = crc32(0L, Z_NULL, 0);
        from_memory = current->is_manifest;
        if (from_memory) {
            // The last item: every file before it has been read, so
            // their checksums are known.
            memory = build_manifest(*items, *data, &manifest_entries);
            memory_at = 0;
        } else {
            file.clear();
            file.open(fs::path(current->host), std::ios::binary);
            if (!file) {
                *error = "cannot open " + utf8_of(fs::path(current->host));
                return -1;
            }
        }
        in_file = true;
    }
    return 1;
}
int write_records(RecordSource* source, int threads, CompressorKind kind, int level, DiscOutput* discs,
                  const DiscPackOptions& options, int64_t planned_total, DiscPackResult* result,
                  int64_t* decompressed_total, std::string* error)
{
    // A window of records in flight: deep enough that the workers still find
    // queued records while the writing thread compresses one itself or
    // writes, and small enough that memory stays bounded (about 400 KiB per
    // record) whatever the size of the game. Many threads get fewer records
    // each (at least two), so memory stays near 20 MiB up to 24 threads.
    const size_t window = std::min<size_t>((size_t)threads * 6 + 2, std::max<size_t>((size_t)threads * 2 + 2, 48));
    std::vector<std::unique_ptr<RecordJob>> jobs;
    std::deque<RecordJob*> in_flight;
    std::vector<RecordJob*> free_jobs;
    for (size_t i = 0; i < window; ++i) {
        jobs.emplace_back(new RecordJob);
        free_jobs.push_back(jobs.back().get());
    }
    CompressPool pool;
    // The writing thread compresses too: threads - 1 workers beside it.
    RecordCompressor inline_compressor;
    inline_compressor.create(kind, level);
    if (threads > 1)
        pool.start(threads - 1, kind, level);

    bool ok = true;
    bool source_done = false;
    while (ok) {
        while (!source_done && !free_jobs.empty()) {
            RecordJob* job = free_jobs.back();
            int r = source->next(job, error);
            if (r < 0) {
                ok = false;
                break;
            }
            if (r == 0) {
                source_done = true;
                break;
            }
            free_jobs.pop_back();
            in_flight.push_back(job);
            if (job->type != disc::kClose) {
                if (threads > 1) {
                    pool.submit(job);
                } else {
                    compress_job(&inline_compressor, job);
                    job->done = true;
                }
            }
        }
        if (!ok || in_flight.empty())
            break;
        RecordJob* job = in_flight.front();
        in_flight.pop_front();
        if (threads > 1 && job->type != disc::kClose)
            pool.wait(job, &inline_compressor);
        if (job->failed) {
            *error = "compression failed for a record of " + std::to_string(job->input_length) + " bytes";
            ok = false;
        } else {
            if (job->type != disc::kClose)
                *decompressed_total += (int64_t)job->input_length;
            if (job->type == disc::kDirectory)
                ++result->directories;
            if (job->type == disc::kFile)
                ++result->files;
            ok = discs->put(job->type, job->output.data(), job->output_length, error);
            if (ok && options.on_entry && (job->type == disc::kDirectory || job->type == disc::kFile))
                options.on_entry(std::string((const char*)job->input.data(), job->input_length - 1),
                                 job->type == disc::kDirectory);
            if (ok && options.on_progress)
                options.on_progress(*decompressed_total, planned_total);
        }
        free_jobs.push_back(job);
    }
    if (threads > 1)
        pool.abandon_and_stop();
    inline_compressor.release();
    return ok;
}

}  // namespace pack
