// The inline source: the record reader and the decompressor on the engine's
// thread, one record at a time, with the engine's two buffers.
#include "decoded_records.h"

#include "disc_format.h"
#include "tracked_memory.h"

namespace {

struct InlineSource {
    RecordReader reader;
    unsigned char* in = nullptr;   // compressed data of the current record
    unsigned char* out = nullptr;  // its decompressed bytes
};

InlineSource g_inline;

void inline_release()
{
    tracked_free(g_inline.in);
    tracked_free(g_inline.out);
    g_inline.in = nullptr;
    g_inline.out = nullptr;
}

int inline_start(void*, FileObject* disc, int32_t offset)
{
    inline_release();
    g_inline.in = (unsigned char*)tracked_alloc(disc::kMaxCompressed);
    g_inline.out = (unsigned char*)tracked_alloc(disc::kMaxDecompressed);
    return g_inline.reader.start(disc, offset, g_inline.in, disc::kMaxCompressed);
}

int inline_next(void*, DecodedRecord* out)
{
    out->inflated = 0;
    out->data = nullptr;
    out->length = 0;
    int status = g_inline.reader.next(&out->record);
    if (status == kRecordRead && record_has_payload(out->record.type)) {
        int32_t n = 0;
        out->inflated = inflate_record(out->record, g_inline.out, disc::kMaxDecompressed, &n, nullptr);
        out->data = g_inline.out;
        out->length = n;
    }
    return status;
}

void inline_stop(void*)
{
    inline_release();
}

const DecodedRecordSource kInlineSource = {nullptr, inline_start, inline_next, inline_stop};

}  // namespace

const DecodedRecordSource* inline_record_source()
{
    return &kInlineSource;
}
