#include "disc_writer.h"

#include "disc_output.h"
#include "iso_image.h"
#include "pack_images.h"
#include "pack_plan.h"
#include "record_pipeline.h"

#include <algorithm>
#include <thread>

using namespace pack;

int disc_pack(const fs::path& game, const fs::path& out, const DiscPackOptions& options, DiscPackResult* result,
              std::string* error)
{
    *result = DiscPackResult();
    PackPlan plan;
    if (!plan_pack(game, out, options, &plan, error))
        return 0;

    // Converted pictures and the files xorriso measures with live in a work
    // folder inside the output folder while the pack runs.
    std::error_code ec;
    const bool out_existed = fs::exists(out, ec);
    const fs::path work = out / ".discset-work";
    fs::create_directories(work, ec);
    if (ec) {
        *error = "cannot create " + utf8_of(work) + ": " + ec.message();
        return 0;
    }
    DiscLayout layout;
    std::vector<fs::path> created;
    auto give_up = [&](DiscOutput* discs) {
        for (auto p = created.rbegin(); p != created.rend(); ++p)
            fs::remove(*p, ec);
        if (discs)
            discs->discard();
        layout.release();
        fs::remove_all(work, ec);
        if (!out_existed)
            fs::remove(out, ec);  // only when it is empty
        return 0;
    };
    DiscLayoutOptions layout_options = options.layout;
    std::vector<std::string> signed_programs;
    if (options.signing.enabled() &&
        !sign_programs(options, work / "signed", &plan, &layout_options, &signed_programs, error))
        return give_up(nullptr);
    if (!plan_disc_layout(layout_options, work, &layout, error) || !check_layout_targets(out, layout, options, error))
        return give_up(nullptr);
    StructureSizes sizes{&layout, work, iso_volume_id(options.product, options.regkey, 1), {}};

    DiscOutput discs;
    discs.out = out;
    discs.room_of = [&](int32_t number, unsigned role, int64_t* room, std::string* err) {
        int64_t limit = options.disc_size - (number == 1 ? options.first_disc_reserve : 0);
        if (!options.iso) {
            *room = limit - layout.bytes_on(role);
            return 1;
        }
        int64_t structure = 0;
        if (!sizes.sectors(number, role, &structure, err))
            return 0;
        *room = iso_disc_file_room(limit, structure);
        return 1;
    };
    plan.fields.disc_count = 0;
    plan.fields.total_size = 0;
    discs.header = encode_disc_header(plan.fields);

    RecordSource source;
    source.items = &plan.items;
    source.data = &plan.data;
    const int threads = options.threads > 0 ? options.threads : (int)std::max(1u, std::thread::hardware_concurrency());
    int64_t decompressed_total = 0;
    bool ok = write_records(&source, threads, options.compressor, plan.level, &discs, options, plan.total, result,
                            &decompressed_total, error);
    if (ok && decompressed_total > INT32_MAX) {
        *error = "the game grew while it was packed and now takes more than 2147483647 bytes";
        ok = false;
    }
    if (ok && discs.disc_count > 0)
        ok = discs.finish_set(error);
    if (ok) {
        plan.fields.disc_count = discs.disc_count;
        plan.fields.total_size = (int32_t)decompressed_total;
        ok = patch_header(discs.disc_path(1), plan.fields, error);
    }
    if (ok) {
        result->disc_count = discs.disc_count;
        result->disc_bytes = discs.disc_bytes;
        ok = write_layout_and_images(out, layout, options, &sizes, result, &created, error);
    }
    if (!ok) {
        std::vector<int64_t> none;
        result->disc_bytes.swap(none);
        return give_up(&discs);
    }
    layout.release();
    fs::remove_all(work, ec);
    result->total_size = (int32_t)decompressed_total;
    result->data_bytes = source.data_bytes;
    result->manifest_entries = source.manifest_entries;
    result->pictures = layout.pictures;
    result->signed_programs = signed_programs;
    return 1;
}
