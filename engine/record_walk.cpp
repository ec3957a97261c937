#include "record_walk.h"

#include "record_path.h"

namespace {

// Sorts the record the source gave with `status` into `step`; folder and
// file paths are folded into `path` (kRecordPathBuffer bytes).
void sort_record(int status, const DecodedRecord& d, int32_t install_path_length, char* path, WalkStep* step)
{
    *step = WalkStep{kWalkDamaged, d.record, status, d.zlib_status, nullptr, nullptr, 0, nullptr};
    if (status != kRecordRead)
        return;
    int32_t type = d.record.type;
    if (!record_has_payload(type)) {
        step->kind = type == disc::kClose ? kWalkClose : type == disc::kEnd ? kWalkEnd : kWalkOtherType;
        return;
    }
    if (!d.inflated)
        return;
    step->data = d.data;
    step->length = d.length;
    if (type == disc::kData) {
        step->kind = kWalkData;
        return;
    }
    const char* problem = nullptr;
    if (!fold_record_path(type, d.data, d.length, install_path_length, path, &problem)) {
        step->path_problem = problem ? problem : "refused";
        return;
    }
    step->kind = type == disc::kDirectory ? kWalkFolder : kWalkFile;
    step->path = path;
}

}  // namespace

int RecordWalk::run(int32_t offset, WalkStepHandler on_step, void* context) const
{
    if (source->start(source->context, disc, offset) != kRecordRead) {
        source->stop(source->context);
        return kWalkNotStarted;
    }
    int end = kWalkStopped;
    for (;;) {
        DecodedRecord decoded;
        int status = source->next(source->context, &decoded);
        if (status == kRecordEndOfFile) {
            end = kWalkEndOfFile;
            break;
        }
        char path[kRecordPathBuffer];
        WalkStep step;
        sort_record(status, decoded, install_path_length, path, &step);
        int64_t next = on_step(context, step);
        // After a failure of the reader no record follows: going on ends
        // the walk there.
        if (next == kWalkGoOn && status == kRecordRead)
            continue;
        if (next < 0 || next > INT32_MAX)
            break;
        // Read on from there: the source starts again, as for a new disc.
        source->stop(source->context);
        if (source->start(source->context, disc, (int32_t)next) != kRecordRead)
            break;
    }
    source->stop(source->context);
    return end;
}
