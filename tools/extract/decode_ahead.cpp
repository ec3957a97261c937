#include "decode_ahead.h"

#include "disc_format.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

namespace {

// Compressed records up to this size are decoded by the reader itself.
const int32_t kDecodeInReader = 4096;
// A slot holds a batch: the records that follow one another until one of
// them needs a decoder, until kBatchRecords are in it or until more than
// kBatchBytes of compressed or of decompressed data are. A run of small
// records (folders, paths, closes, small files) thus passes from the reader
// to the engine in one hand-over, with one wake-up at most, instead of one
// per record. The slot's buffers hold kBatchBytes more than one record's
// largest, so every record of a batch is read and decompressed with the
// same limits as inline.
const int kBatchRecords = 64;
const int32_t kBatchBytes = 64 * 1024;

enum SlotState { kSlotFree, kSlotQueued, kSlotDecoding, kSlotReady };

// One record of a batch.
struct Entry {
    Record record = {};  // record.payload is not kept
    int32_t status = kRecordSeekFailed;
    int32_t inflated = 0;
    int32_t length = 0;
    int32_t zlib_status = 0;
    int32_t in_at = 0;   // its compressed data in the slot's `in`
    int32_t out_at = 0;  // its decompressed data in the slot's `out`
};

struct Slot {
    std::vector<unsigned char> in;   // compressed data of the batch
    std::vector<unsigned char> out;  // decompressed data of the batch
    Entry entries[kBatchRecords];
    int32_t count = 0;     // entries in the batch
    int32_t pending = -1;  // the entry a decoder decompresses, or -1
    SlotState state = kSlotFree;
};

// Batch number n lives in slot n % slots while the engine has not finished
// with it. The reader fills numbers in order and never runs more than
// `slots` ahead of the engine; decoders take queued numbers in any order.
struct Pipeline {
    int decoder_count = 1;
    std::vector<Slot> slots;

    std::mutex mutex;
    std::condition_variable reader_wake;   // a slot became free, or stop
    std::condition_variable decoder_wake;  // work was queued, or stop
    std::condition_variable engine_wake;   // the batch the engine waits for is ready
    std::deque<int64_t> work;              // batches read and waiting for a decoder
    int64_t read_count = 0;                // batches the reader has put into slots
    int64_t taken = 0;                     // batches the engine has finished with
    bool holding = false;                  // the engine holds batch `taken`
    int32_t cursor = 0;                    // the entry of it handed out last
    bool reader_done = false;              // the reader met the disc's end or a failure
    bool stopping = false;
    bool reader_waits = false;
    int idle_decoders = 0;
    // The batch the engine waits for, or -1; the reader reads it without
    // the lock to hand a batch over early to an engine that waits for it.
    std::atomic<int64_t> engine_waits_for{-1};

    FileObject* disc = nullptr;
    RecordReader reader;
    bool threaded = false;  // threads run for this disc (else inline)
    std::thread reader_thread;
    std::vector<std::thread> decoders;
};

Slot& slot_of(Pipeline* p, int64_t number)
{
    return p->slots[(size_t)(number % (int64_t)p->slots.size())];
}

void decode(Slot* s, Entry* e)
{
    int32_t n = 0;
    int z = 0;
    Record r = e->record;
    r.payload = s->in.data() + e->in_at;
    e->inflated = inflate_record(r, s->out.data() + e->out_at, disc::kMaxDecompressed, &n, &z);
    e->length = n;
    e->zlib_status = z;
}

// Reads the next record into entry `e` of `s`, its compressed data at
// `in_at`, its decompressed data to go at `out_at`.
void read_entry(Pipeline* p, Slot* s, Entry* e, int32_t in_at, int32_t out_at)
{
    p->reader.buffer = s->in.data() + in_at;
    p->reader.capacity = disc::kMaxCompressed;
    e->status = p->reader.next(&e->record);
    e->record.payload = nullptr;
    e->inflated = 0;
    e->length = 0;
    e->zlib_status = 0;
    e->in_at = in_at;
    e->out_at = out_at;
}

int ends_disc(const Entry& e)
{
    return e.status != kRecordRead || e.record.type == disc::kEnd;
}

// Reads the batch `number` into the free slot `s`, decompressing the small
// streams; a large one ends the batch as its pending entry. 1 when the
// disc ends in this batch (its end record or a final status).
int fill_batch(Pipeline* p, Slot* s, int64_t number)
{
    s->count = 0;
    s->pending = -1;
    int32_t in_used = 0, out_used = 0;
    for (;;) {
        Entry* e = &s->entries[s->count++];
        read_entry(p, s, e, in_used, out_used);
        if (ends_disc(*e))
            return 1;
        if (record_has_payload(e->record.type)) {
            in_used += e->record.compressed_length;
            if (e->record.compressed_length > kDecodeInReader) {
                s->pending = s->count - 1;
                return 0;
            }
            // A small stream (a path, a small file) costs less to decode
            // here than to hand to a decoder and wake it.
            decode(s, e);
            out_used += e->length;
        }
        if (s->count == kBatchRecords || in_used > kBatchBytes || out_used > kBatchBytes)
            return 0;
        // An engine that has nothing left waits for this batch: it gets
        // what there is rather than wait for the batch to fill.
        if (p->engine_waits_for.load(std::memory_order_relaxed) == number)
            return 0;
    }
}

void run_reader(Pipeline* p)
{
    for (int64_t number = 0;; ++number) {
        Slot* s;
        {
            std::unique_lock<std::mutex> lock(p->mutex);
            while (!p->stopping && number - p->taken >= (int64_t)p->slots.size()) {
                p->reader_waits = true;
                p->reader_wake.wait(lock);
                p->reader_waits = false;
            }
            if (p->stopping)
                return;
            s = &slot_of(p, number);
        }
        // The slot is free and only this thread touches it until it is
        // queued or ready.
        bool last = fill_batch(p, s, number);
        bool wake_decoder = false, wake_engine = false;
        {
            std::lock_guard<std::mutex> lock(p->mutex);
            if (s->pending >= 0) {
                s->state = kSlotQueued;
                p->work.push_back(number);
                wake_decoder = p->idle_decoders > 0;
            } else {
                s->state = kSlotReady;
                wake_engine = p->engine_waits_for.load(std::memory_order_relaxed) == number;
            }
            p->read_count = number + 1;
            if (last)
                p->reader_done = true;
        }
        if (wake_decoder)
            p->decoder_wake.notify_one();
        if (wake_engine)
            p->engine_wake.notify_one();
        if (last)
            return;
    }
}

void run_decoder(Pipeline* p)
{
    std::unique_lock<std::mutex> lock(p->mutex);
    for (;;) {
        while (!p->stopping && p->work.empty()) {
            ++p->idle_decoders;
            p->decoder_wake.wait(lock);
            --p->idle_decoders;
        }
        if (p->stopping)
            return;
        int64_t number = p->work.front();
        p->work.pop_front();
        Slot* s = &slot_of(p, number);
        s->state = kSlotDecoding;
        lock.unlock();
        decode(s, &s->entries[s->pending]);
        lock.lock();
        s->state = kSlotReady;
        if (p->engine_waits_for.load(std::memory_order_relaxed) == number)
            p->engine_wake.notify_one();
    }
}

void join_all(Pipeline* p)
{
    {
        std::lock_guard<std::mutex> lock(p->mutex);
        p->stopping = true;
    }
    p->reader_wake.notify_all();
    p->decoder_wake.notify_all();
    if (p->reader_thread.joinable())
        p->reader_thread.join();
    for (std::thread& t : p->decoders)
        if (t.joinable())
            t.join();
    p->decoders.clear();
    p->threaded = false;
}

int ahead_start(void* context, FileObject* disc, int32_t offset)
{
    Pipeline* p = (Pipeline*)context;
    p->disc = disc;
    p->work.clear();
    p->read_count = 0;
    p->taken = 0;
    p->holding = false;
    p->cursor = 0;
    p->reader_done = false;
    p->stopping = false;
    p->reader_waits = false;
    p->idle_decoders = 0;
    p->engine_waits_for = -1;
    for (Slot& s : p->slots) {
        s.state = kSlotFree;
        s.count = 0;
    }
    int status = p->reader.start(disc, offset, p->slots[0].in.data(), disc::kMaxCompressed);
    if (status != kRecordRead)
        return status;
    // The engine must not see an exception: when the threads cannot be had,
    // this disc is read and decoded inline instead, with the same results.
    try {
        // Decoders first: if one cannot be started, nothing has been read
        // yet and inline reading starts at the first record.
        p->threaded = true;
        for (int i = 0; i < p->decoder_count; ++i)
            p->decoders.emplace_back(run_decoder, p);
        p->reader_thread = std::thread(run_reader, p);
    } catch (...) {
        join_all(p);
        p->stopping = false;
    }
    return status;
}

// Hands entry `e` of `s` to the engine. A final status asked for again is
// repeated as the record reader repeats it (type and length 0).
int fill(const Slot& s, const Entry& e, DecodedRecord* out, bool again)
{
    out->record = e.record;
    out->inflated = e.inflated;
    out->data = e.inflated ? s.out.data() + e.out_at : nullptr;
    out->length = e.length;
    out->zlib_status = e.zlib_status;
    if (again && e.status != kRecordRead) {
        out->record.type = 0;
        out->record.compressed_length = 0;
    }
    return e.status;
}

// Without threads: the reader and the decoder in turn, in the first entry
// of slot 0.
int next_inline(Pipeline* p, DecodedRecord* out)
{
    Slot* s = &p->slots[0];
    Entry* e = &s->entries[0];
    read_entry(p, s, e, 0, 0);
    if (e->status == kRecordRead && record_has_payload(e->record.type))
        decode(s, e);
    return fill(*s, *e, out, false);
}

int ahead_next(void* context, DecodedRecord* out)
{
    Pipeline* p = (Pipeline*)context;
    if (!p->threaded)
        return next_inline(p, out);
    if (p->holding) {
        // The engine alone touches the batch it holds: the next record of
        // it needs no lock. After the record that ended the disc nothing
        // follows: it is given again.
        Slot& held = slot_of(p, p->taken);
        const Entry& current = held.entries[p->cursor];
        if (ends_disc(current))
            return fill(held, current, out, true);
        if (p->cursor + 1 < held.count) {
            ++p->cursor;
            return fill(held, held.entries[p->cursor], out, false);
        }
    }
    std::unique_lock<std::mutex> lock(p->mutex);
    if (p->holding) {
        // The batch handed out last is done with: its slot may be read into.
        slot_of(p, p->taken).state = kSlotFree;
        ++p->taken;
        p->holding = false;
        if (p->reader_waits)
            p->reader_wake.notify_one();
    }
    int64_t number = p->taken;
    Slot* s = &slot_of(p, number);
    for (;;) {
        if (number < p->read_count && s->state == kSlotReady)
            break;
        if (number < p->read_count && s->state == kSlotQueued) {
            // No decoder has it yet: decode it here rather than wait.
            p->work.erase(std::find(p->work.begin(), p->work.end(), number));
            s->state = kSlotDecoding;
            lock.unlock();
            decode(s, &s->entries[s->pending]);
            lock.lock();
            s->state = kSlotReady;
            break;
        }
        p->engine_waits_for = number;
        p->engine_wake.wait(lock);
        p->engine_waits_for = -1;
    }
    p->holding = true;
    p->cursor = 0;
    return fill(*s, s->entries[0], out, false);
}

void ahead_stop(void* context)
{
    Pipeline* p = (Pipeline*)context;
    join_all(p);
    p->work.clear();
    p->holding = false;
    p->disc = nullptr;
}

}  // namespace

int DecodeAhead::create(int decoder_threads)
{
    release();
    Pipeline* p = new (std::nothrow) Pipeline;
    if (!p)
        return 0;
    p->decoder_count = std::max(1, decoder_threads);
    // Enough records in flight for every decoder to have one while the
    // engine writes another and the reader fills a third, with a fixed
    // ceiling so memory does not grow with --threads beyond it.
    size_t count = (size_t)std::min(12, std::max(4, 3 * p->decoder_count));
    try {
        p->slots.resize(count);
        for (Slot& s : p->slots) {
            s.in.resize(disc::kMaxCompressed + kBatchBytes);
            s.out.resize(disc::kMaxDecompressed + kBatchBytes);
        }
    } catch (const std::bad_alloc&) {
        delete p;
        return 0;
    }
    impl = p;
    ops.context = p;
    ops.start = ahead_start;
    ops.next = ahead_next;
    ops.stop = ahead_stop;
    return 1;
}

int DecodeAhead::slot_count() const
{
    return impl ? (int)((Pipeline*)impl)->slots.size() : 0;
}

void DecodeAhead::release()
{
    Pipeline* p = (Pipeline*)impl;
    if (p) {
        join_all(p);
        delete p;
    }
    impl = nullptr;
    ops = DecodedRecordSource();
}
