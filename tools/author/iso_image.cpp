#include "iso_image.h"

#include "run_program.h"

#include <cctype>

namespace {

// Every date in the image: 2000-01-01 00:00:00 UTC. The volume descriptors
// take it from --modification-date, files and folders from
// --set_all_file_dates, anything else xorriso stamps from SOURCE_DATE_EPOCH.
const char kFixedDate[] = "2000010100000000";
const char kFixedEpoch[] = "SOURCE_DATE_EPOCH=946684800";

std::vector<std::string> xorriso_arguments(const std::string& volume_id)
{
    return {"xorriso",
            "-as",
            "mkisofs",
            "-quiet",
            "--norock",
            "-J",
            "-input-charset",
            "UTF-8",
            "-V",
            volume_id,
            std::string("--modification-date=") + kFixedDate,
            "--set_all_file_dates",
            kFixedDate};
}

int run_xorriso(const std::vector<std::string>& args, ProgramRun* run, std::string* error)
{
    if (!run_program(args, {kFixedEpoch, "LC_ALL=C.UTF-8"}, run, error))
        return 0;
    if (run->exit_code != 0) {
        *error = "xorriso failed: " + program_message(*run);
        return 0;
    }
    return 1;
}

// A pathspec of xorriso's graft points: "=" separates the two paths, so it
// and the escape character itself are escaped in them.
std::string graft_escaped(const std::string& path)
{
    std::string out;
    for (char c : path) {
        if (c == '=' || c == '\\')
            out += '\\';
        out += c;
    }
    return out;
}

// The d-characters of `text`: letters upper case, digits, other runs "_".
std::string d_characters(const std::string& text)
{
    std::string out;
    for (unsigned char c : text) {
        if (c < 0x80 && isalnum(c))
            out += (char)toupper(c);
        else if (!out.empty() && out.back() != '_')
            out += '_';
    }
    while (!out.empty() && out.back() == '_')
        out.pop_back();
    bool any = false;
    for (char c : out)
        any = any || c != '_';
    return any ? out : std::string();
}

}  // namespace

int64_t iso_image_bytes(int64_t structure_sectors, int64_t disc_file_bytes)
{
    return (structure_sectors + (disc_file_bytes + iso::kSectorBytes - 1) / iso::kSectorBytes) * iso::kSectorBytes;
}

int64_t iso_disc_file_room(int64_t limit, int64_t structure_sectors)
{
    return (limit / iso::kSectorBytes - structure_sectors) * iso::kSectorBytes;
}

std::string iso_volume_id(const std::string& product_utf8, const std::string& regkey_utf8, int number)
{
    std::string name = d_characters(product_utf8);
    if (name.empty())
        name = d_characters(regkey_utf8);
    if (name.empty())
        name = "DISC";
    std::string suffix = "_" + std::to_string(number);
    if (name.size() + suffix.size() > (size_t)iso::kMaxVolumeId)
        name.resize((size_t)iso::kMaxVolumeId - suffix.size());
    while (!name.empty() && name.back() == '_')
        name.pop_back();
    return name + suffix;
}

namespace {

void add_graft_points(const std::vector<IsoEntry>& entries, std::vector<std::string>* args)
{
    args->push_back("-graft-points");
    for (const IsoEntry& e : entries)
        args->push_back(graft_escaped(e.image_path) + "=" + graft_escaped(utf8_of(e.source)));
}

}  // namespace

int iso_measure_sectors(const std::vector<IsoEntry>& entries, const std::string& volume_id, int64_t* sectors,
                        std::string* error)
{
    std::vector<std::string> args = xorriso_arguments(volume_id);
    args.push_back("-print-size");
    add_graft_points(entries, &args);
    ProgramRun run;
    if (!run_xorriso(args, &run, error))
        return 0;
    // The number of sectors is the last line of standard output.
    std::string text = run.out;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    size_t start = text.find_last_of('\n');
    text = start == std::string::npos ? text : text.substr(start + 1);
    if (text.empty() || text.size() > 12 || text.find_first_not_of("0123456789") != std::string::npos) {
        *error = "xorriso gave no image size (it said: " + program_message(run) + ")";
        return 0;
    }
    *sectors = std::stoll(text);
    return 1;
}

int iso_write_image(const std::vector<IsoEntry>& entries, const fs::path& image, const std::string& volume_id,
                    std::string* error)
{
    std::error_code ec;
    if (fs::exists(fs::symlink_status(image, ec))) {
        *error = utf8_of(image) + " exists already";
        return 0;
    }
    std::vector<std::string> args = xorriso_arguments(volume_id);
    args.push_back("-o");
    args.push_back(utf8_of(image));
    add_graft_points(entries, &args);
    ProgramRun run;
    if (!run_xorriso(args, &run, error)) {
        fs::remove(image, ec);
        return 0;
    }
    return 1;
}
