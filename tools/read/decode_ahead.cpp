#include "decode_ahead.h"

#include "disc_format.h"

#include <algorithm>
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

enum SlotState { kSlotFree, kSlotQueued, kSlotDecoding, kSlotReady };

struct Slot {
    std::vector<unsigned char> in;   // the record's compressed data
    std::vector<unsigned char> out;  // its decompressed bytes
    Record record = {};
    int32_t status = kRecordSeekFailed;
    int32_t inflated = 0;
    int32_t length = 0;
    SlotState state = kSlotFree;
};

// Record number n lives in slot n % slots while the engine has not taken
// it. The reader fills numbers in order and never runs more than `slots`
// ahead of the engine; decoders take queued numbers in any order.
struct Pipeline {
    int decoder_count = 1;
    std::vector<Slot> slots;

    std::mutex mutex;
    std::condition_variable reader_wake;    // a slot became free, or stop
    std::condition_variable decoder_wake;   // work was queued, or stop
    std::condition_variable engine_wake;    // the record the engine waits for is ready
    std::deque<int64_t> work;               // numbers read and waiting for a decoder
    int64_t read_count = 0;                 // records the reader has put into slots
    int64_t taken = 0;                      // records the engine has finished with
    bool holding = false;                   // the engine holds record `taken`
    bool reader_done = false;               // the reader met the disc's end or a failure
    bool stopping = false;
    bool reader_waits = false;
    int idle_decoders = 0;
    int64_t engine_waits_for = -1;

    FileObject* disc = nullptr;
    RecordReader reader;
    bool threaded = false;                  // threads run for this disc (else inline)
    std::thread reader_thread;
    std::vector<std::thread> decoders;
};

Slot& slot_of(Pipeline* p, int64_t number)
{
    return p->slots[(size_t)(number % (int64_t)p->slots.size())];
}

void decode(Slot* s)
{
    int32_t n = 0;
    Record r = s->record;
    r.payload = s->in.data();
    s->inflated = inflate_record(r, s->out.data(), disc::kMaxDecompressed, &n, nullptr);
    s->length = n;
}

// Reads one record into `s`; the reader's own buffer is the slot's.
void read_into(Pipeline* p, Slot* s)
{
    p->reader.buffer = s->in.data();
    p->reader.capacity = disc::kMaxCompressed;
    s->status = p->reader.next(&s->record);
    s->record.payload = nullptr;
    s->inflated = 0;
    s->length = 0;
}

bool ends_disc(const Slot& s)
{
    return s.status != kRecordRead || s.record.type == disc::kEnd;
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
        read_into(p, s);
        bool payload = s->status == kRecordRead && record_has_payload(s->record.type);
        // A small stream (a path, a small file) costs less to decode here
        // than to hand to a decoder and wake it.
        if (payload && s->record.compressed_length <= kDecodeInReader) {
            decode(s);
            payload = false;
        }
        bool last = ends_disc(*s);
        bool wake_decoder = false, wake_engine = false;
        {
            std::lock_guard<std::mutex> lock(p->mutex);
            if (payload) {
                s->state = kSlotQueued;
                p->work.push_back(number);
                wake_decoder = p->idle_decoders > 0;
            } else {
                s->state = kSlotReady;
                wake_engine = p->engine_waits_for == number;
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
        decode(s);
        lock.lock();
        s->state = kSlotReady;
        if (p->engine_waits_for == number)
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
    p->reader_done = false;
    p->stopping = false;
    p->reader_waits = false;
    p->idle_decoders = 0;
    p->engine_waits_for = -1;
    for (Slot& s : p->slots)
        s.state = kSlotFree;
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

void fill(const Slot& s, DecodedRecord* out)
{
    out->record = s.record;
    out->inflated = s.inflated;
    out->data = s.inflated ? s.out.data() : nullptr;
    out->length = s.length;
}

// Without threads: the reader and the decoder in turn, in slot 0.
int next_inline(Pipeline* p, DecodedRecord* out)
{
    Slot* s = &p->slots[0];
    read_into(p, s);
    if (s->status == kRecordRead && record_has_payload(s->record.type))
        decode(s);
    fill(*s, out);
    return s->status;
}

int ahead_next(void* context, DecodedRecord* out)
{
    Pipeline* p = (Pipeline*)context;
    if (!p->threaded)
        return next_inline(p, out);
    std::unique_lock<std::mutex> lock(p->mutex);
    if (p->holding) {
        // The record handed out last is done with: its slot may be read into.
        slot_of(p, p->taken).state = kSlotFree;
        ++p->taken;
        p->holding = false;
        if (p->reader_waits)
            p->reader_wake.notify_one();
    }
    int64_t number = p->taken;
    if (p->reader_done && number >= p->read_count) {
        // Past the record that ended the disc: a failure is repeated as the
        // record reader repeats it (type and length 0); the end record is
        // the end of the disc, which the engine never reads past.
        Slot& last = slot_of(p, p->read_count - 1);
        fill(last, out);
        if (last.status != kRecordRead) {
            out->record.type = 0;
            out->record.compressed_length = 0;
        }
        return last.status;
    }
    Slot* s = &slot_of(p, number);
    for (;;) {
        if (number < p->read_count && s->state == kSlotReady)
            break;
        if (number < p->read_count && s->state == kSlotQueued) {
            // No decoder has it yet: decode it here rather than wait.
            p->work.erase(std::find(p->work.begin(), p->work.end(), number));
            s->state = kSlotDecoding;
            lock.unlock();
            decode(s);
            lock.lock();
            s->state = kSlotReady;
            break;
        }
        p->engine_waits_for = number;
        p->engine_wake.wait(lock);
        p->engine_waits_for = -1;
    }
    p->holding = true;
    fill(*s, out);
    return s->status;
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
            s.in.resize(disc::kMaxCompressed);
            s.out.resize(disc::kMaxDecompressed);
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
