// The inline source: the record reader and the decompressor on the
// engine's thread, one record at a time.
#include "decoded_records.h"

#include "disc_format.h"
#include "tracked_memory.h"

#include <zlib.h>

namespace {

void inline_release(InlineRecords* r)
{
    if (!r->owns_buffers)
        return;
    tracked_free(r->in);
    tracked_free(r->out);
    r->in = nullptr;
    r->out = nullptr;
}

int inline_start(void* context, FileObject* disc, int32_t offset)
{
    InlineRecords* r = (InlineRecords*)context;
    if (r->owns_buffers) {
        inline_release(r);
        r->in = (unsigned char*)tracked_alloc(disc::kMaxCompressed);
        r->out = (unsigned char*)tracked_alloc(disc::kMaxDecompressed);
    }
    return r->reader.start(disc, offset, r->in, disc::kMaxCompressed);
}

int inline_next(void* context, DecodedRecord* out)
{
    InlineRecords* r = (InlineRecords*)context;
    out->inflated = 0;
    out->data = nullptr;
    out->length = 0;
    out->zlib_status = Z_OK;
    int status = r->reader.next(&out->record);
    if (status == kRecordRead && record_has_payload(out->record.type)) {
        int32_t n = 0;
        int z = Z_OK;
        out->inflated = inflate_record(out->record, r->out, disc::kMaxDecompressed, &n, &z, r->zlib_only);
        out->data = r->out;
        out->length = n;
        out->zlib_status = z;
    }
    return status;
}

void inline_stop(void* context)
{
    inline_release((InlineRecords*)context);
}

InlineRecords g_engine_inline;

}  // namespace

void InlineRecords::create(unsigned char* in_buffer, unsigned char* out_buffer, int32_t zlib_only_verdict)
{
    in = in_buffer;
    out = out_buffer;
    owns_buffers = !in_buffer && !out_buffer;
    zlib_only = zlib_only_verdict ? 1 : 0;
    ops = DecodedRecordSource{this, inline_start, inline_next, inline_stop};
}

const DecodedRecordSource* inline_record_source()
{
    if (!g_engine_inline.ops.start)
        g_engine_inline.create(nullptr, nullptr, 0);
    return g_engine_inline.source();
}
