#include "pack_plan.h"

#include "ascii_text.h"
#include "byte_order.h"
#include "disc_names.h"
#include "record_path.h"
#include "registration.h"
#include "uninstall_manifest.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <set>

int header_text_from_utf8(const std::string& utf8, const char* what, std::string* cp950, std::string* error)
{
    if (utf8.empty()) {
        *error = std::string("the ") + what + " must not be empty";
        return 0;
    }
    if (!to_cp950(utf8, cp950)) {
        *error = std::string("the ") + what + " \"" + utf8 + "\" has no Big5 (code page 950) form";
        return 0;
    }
    if (cp950->size() > (size_t)disc::kMaxTextBytes) {
        *error = std::string("the ") + what + " \"" + utf8 + "\" takes " + std::to_string(cp950->size()) +
                 " bytes in code page 950; at most " + std::to_string(disc::kMaxTextBytes) +
                 " fit in its 40-byte field with the terminating NUL";
        return 0;
    }
    return 1;
}

int parse_disc_size(const std::string& text, int64_t* bytes, std::string* error)
{
    if (text == "650M" || text == "650m") {
        *bytes = disc::kCd650;
        return 1;
    }
    if (text == "700M" || text == "700m") {
        *bytes = disc::kCd700;
        return 1;
    }
    // A number of bytes, or a number and a unit. K, M and G alone count in
    // 1024s, as the CD names do (a 74-minute CD holds 650.4 MiB).
    static const struct {
        const char* unit;
        int64_t bytes;
    } kUnits[] = {{"", 1},        {"b", 1},         {"k", 1 << 10},    {"kib", 1 << 10},
                  {"m", 1 << 20}, {"mib", 1 << 20}, {"g", 1 << 30},    {"gib", 1 << 30},
                  {"kb", 1000},   {"mb", 1000000},  {"gb", 1000000000}};
    size_t digits = text.find_first_not_of("0123456789");
    if (digits == std::string::npos)
        digits = text.size();
    std::string unit = ascii_lowered(text.substr(digits));
    if (digits > 0 && digits <= 15) {
        int64_t number = std::stoll(text.substr(0, digits));
        for (const auto& u : kUnits)
            if (unit == u.unit && number <= INT64_MAX / u.bytes) {
                *bytes = number * u.bytes;
                return 1;
            }
    }
    *error = "disc size \"" + text + "\": give 650M or 700M (the CD sizes), a number of bytes, or a number " +
             "with a unit: K, M, G (1024-based, as KiB, MiB, GiB) or kB, MB, GB (1000-based)";
    return 0;
}

std::string proposed_install_folder(const std::string& company_cp950, const std::string& product_cp950)
{
    std::vector<char> folder(sizeof "C:\\Program Files\\" + company_cp950.size() + 1 + product_cp950.size());
    proposed_install_folder(company_cp950.c_str(), product_cp950.c_str(), folder.data(), folder.size());
    return folder.data();
}

namespace pack {

namespace {

// Characters Windows does not allow in a file name.
int has_forbidden_char(const std::string& utf8)
{
    for (unsigned char c : utf8)
        if (c < 0x20 || strchr("\\/:*?\"<>|", c))
            return 1;
    return 0;
}

// The engine's own check of a record path, so nothing packed is refused at
// install time or created under another name: 1 when the installer creates
// `record_path` as it is; 0 with *problem saying why it refuses it, or with
// *problem null when it would create it under another name.
int installer_takes_path(bool is_directory, const std::string& record_path, size_t install_folder_length,
                         const char** problem)
{
    *problem = nullptr;
    std::string with_nul = record_path + '\0';
    char created[kRecordPathBuffer];
    if (!fold_record_path(is_directory ? disc::kDirectory : disc::kFile, (const unsigned char*)with_nul.data(),
                          (int32_t)with_nul.size(), (int32_t)install_folder_length, created, problem))
        return 0;
    return record_path == created ? 1 : 0;
}

struct Walker {
    size_t install_folder_length;
    std::string install_folder_utf8;
    std::vector<PackItem>* items;
    std::string* error;

    // Upper-case record paths seen so far: two names of one folder that
    // differ only in ASCII case would install as one file on Windows. (The
    // folder part of the path tells the folders apart, and folders that
    // differ only in case are already refused.)
    std::set<std::string> seen;

    int walk(const fs::path& game)
    {
        return walk_host_tree(
            game, "",
            [this](const HostEntry& e, const std::string& prefix, std::string* below, std::string*) {
                return entry(e, prefix, below);
            },
            error);
    }

    // One entry of the game's tree, checked as the installer will see it.
    int entry(const HostEntry& e, const std::string& prefix, std::string* below)
    {
        std::string name;
        if (!to_cp950(e.utf8_name, &name)) {
            *error = "the name " + utf8_of(e.path) + " has no Big5 (code page 950) form";
            return 0;
        }
        if (has_forbidden_char(e.utf8_name) || e.utf8_name.back() == '.' || e.utf8_name.back() == ' ') {
            *error = "the name " + utf8_of(e.path) +
                     " cannot be a Windows file name (it holds one of \\ / : * ? \" < > | or a control "
                     "character, or ends with a dot or a space)";
            return 0;
        }
        std::string record_path = prefix + "\\" + name;
        if (!seen.insert(uppercase_cp950(record_path)).second) {
            *error = "the name " + utf8_of(e.path) +
                     " differs from another name in its folder only in upper and lower case; Windows "
                     "would install both as one file";
            return 0;
        }
        if (install_folder_length + record_path.size() > (size_t)disc::kMaxPathBytes) {
            *error = "the path " + utf8_of(e.path) + " is too long: with the proposed install folder " +
                     install_folder_utf8 + " it takes " + std::to_string(install_folder_length + record_path.size()) +
                     " bytes in code page 950, and the installer allows " + std::to_string(disc::kMaxPathBytes);
            return 0;
        }
        const char* problem = nullptr;
        if (!installer_takes_path(e.is_directory, record_path, install_folder_length, &problem)) {
            *error = problem ? "the installer would refuse the path " + utf8_of(e.path) + ": " + problem
                             : "the installer would create " + utf8_of(e.path) + " under another name";
            return 0;
        }
        items->push_back(PackItem{e.is_directory, e.path.native(), record_path, e.size});
        *below = record_path;
        return 1;
    }
};

std::string manifest_line(char kind, uint32_t size, uint32_t crc, const std::string& record_path)
{
    char line[manifest::kMaxLineBytes + 1];
    // Relative to the install folder: without the leading "\". The paths
    // were checked to fit a record path, so the line fits.
    int32_t n = manifest_entry_line(kind, size, crc, record_path.c_str() + 1, line, sizeof line);
    return std::string(line, (size_t)n);
}

}  // namespace

// The manifest: every folder and file of the game in record order, a data
// file taking the place of the game file it overwrites at install time,
// then the data folder's other entries. The uninstaller and the manifest
// are not listed.
std::string build_manifest(const std::vector<PackItem>& items, const std::vector<DataEntry>& data, int64_t* count)
{
    std::map<std::string, const DataEntry*> data_by_name;
    for (const DataEntry& d : data)
        data_by_name[uppercase_cp950(d.record_path)] = &d;
    std::set<std::string> listed;
    char buf[64];
    std::string out(buf, (size_t)manifest_first_line(buf, sizeof buf));
    *count = 0;
    for (const PackItem& it : items) {
        if (it.is_manifest || it.record_path == std::string("\\") + kUninstallProgram)
            continue;
        std::string folded = uppercase_cp950(it.record_path);
        listed.insert(folded);
        auto d = data_by_name.find(folded);
        if (!it.is_directory && d != data_by_name.end() && !d->second->is_directory)
            out += manifest_line(manifest::kFile, d->second->size, d->second->crc, it.record_path);
        else
            out += manifest_line(it.is_directory ? manifest::kFolder : manifest::kFile, (uint32_t)it.size, it.crc,
                                 it.record_path);
        ++*count;
    }
    for (const DataEntry& d : data) {
        if (listed.count(uppercase_cp950(d.record_path)))
            continue;
        out += manifest_line(d.is_directory ? manifest::kFolder : manifest::kFile, d.size, d.crc, d.record_path);
        ++*count;
    }
    out += std::string(buf, (size_t)manifest_end_line((int32_t)*count, buf, sizeof buf));
    return out;
}

namespace {

// The data folder's entries, checked like the game's, with the checksum of
// every file.
int walk_data(const fs::path& folder, size_t install_folder_length, std::vector<DataEntry>* out, std::string* error)
{
    auto entry = [&](const HostEntry& e, const std::string& prefix, std::string* below, std::string* why) {
        std::string name;
        if (!to_cp950(e.utf8_name, &name)) {
            *why = "the name " + utf8_of(e.path) + " has no Big5 (code page 950) form";
            return 0;
        }
        std::string record_path = prefix + "\\" + name;
        const char* problem = nullptr;
        if (!installer_takes_path(e.is_directory, record_path, install_folder_length, &problem)) {
            *why = problem ? "the data file " + utf8_of(e.path) + " cannot be listed for the uninstaller: " + problem
                           : "the data file " + utf8_of(e.path) + " would be copied under another name on Windows";
            return 0;
        }
        DataEntry d{e.is_directory, record_path, 0, 0};
        if (!e.is_directory) {
            std::string bytes;
            if (!read_host_file(e.path, &bytes, why))
                return 0;
            if (bytes.size() > 0x7FFFFFFFu) {
                *why = "the data file " + utf8_of(e.path) + " is larger than 2 GiB";
                return 0;
            }
            d.size = (uint32_t)bytes.size();
            d.crc = (uint32_t)crc32(crc32(0L, Z_NULL, 0), (const Bytef*)bytes.data(), (uInt)bytes.size());
        }
        out->push_back(d);
        *below = record_path;
        return 1;
    };
    return walk_host_tree(folder, "", entry, error);
}

int check_existing(const fs::path& out, bool overwrite, std::string* error)
{
    std::error_code ec;
    if (!fs::exists(out, ec))
        return 1;
    if (!fs::is_directory(out, ec)) {
        *error = utf8_of(out) + " exists and is not a folder";
        return 0;
    }
    for (int n = 1;; ++n) {
        fs::path folder = out / ("disc" + std::to_string(n));
        fs::path cd = folder / disc_file_name_of(n);
        if (!fs::exists(cd, ec))
            return 1;
        if (!overwrite) {
            *error = utf8_of(out) + " already holds a disc set (" + utf8_of(cd) + "); use --force to replace it";
            return 0;
        }
        // An earlier, longer set leaves discs that this one will not
        // overwrite; they would be taken for part of the new set.
        fs::remove(cd, ec);
        if (ec) {
            *error = "cannot remove " + utf8_of(cd) + ": " + ec.message();
            return 0;
        }
    }
}

// Every option whose value the installer's header check refuses, named
// with its value and the reason, in one message.
int check_header_options(const DiscHeaderFields& fields, const DiscPackOptions& options, std::string* error)
{
    std::string header = encode_disc_header(fields);
    DiscHeader decoded;
    decode_disc_header((const unsigned char*)header.data(), &decoded);
    const struct {
        int32_t at;
        const char* option;
        const std::string* value;
        const char* rule;
    } checks[] = {
        {disc::kCompanyAt, "--company", &options.company, "one folder name"},
        {disc::kProductAt, "--product", &options.product, "one folder name"},
        {disc::kRegkeyAt, "--regkey", &options.regkey, "one registry key name"},
        {disc::kExeAt, "--exe", &options.exe, "a relative path of folder and file names joined by \\"},
    };
    std::string refused;
    for (const auto& c : checks) {
        const char* problem = nullptr;
        if (check_disc_header_field(&decoded, c.at, &problem))
            continue;
        if (!refused.empty())
            refused += "; ";
        refused += std::string(c.option) + " \"" + *c.value + "\" is not " + c.rule + " (" + problem + ")";
    }
    if (refused.empty())
        return 1;
    *error = "the installer would refuse this header: " + refused;
    return 0;
}

// The options that do not depend on the game's files.
int plan_options(const fs::path& game, const DiscPackOptions& options, PackPlan* plan, std::string* error)
{
    DiscHeaderFields& fields = plan->fields;
    if (!header_text_from_utf8(options.company, "company", &fields.company, error) ||
        !header_text_from_utf8(options.product, "product", &fields.product, error) ||
        !header_text_from_utf8(options.regkey, "registry key", &fields.regkey, error) ||
        !header_text_from_utf8(options.exe, "game program", &fields.exe, error))
        return 0;
    // Company and product become folder and link names, the registry key a
    // key name, the game program a path below the install folder: the header
    // must pass the installer's own check, or setup would refuse the discs.
    if (!check_header_options(fields, options, error))
        return 0;
    std::error_code ec;
    if (!fs::is_directory(game, ec)) {
        *error = utf8_of(game) + " is not a folder";
        return 0;
    }
    {
        std::string exe_utf8 = options.exe;
        std::replace(exe_utf8.begin(), exe_utf8.end(), '\\', '/');
        if (!fs::is_regular_file(game / host_path_from_utf8(exe_utf8), ec)) {
            *error = "the game program " + options.exe + " is not a file in " + utf8_of(game);
            return 0;
        }
    }
    if (options.first_disc_reserve < 0 || options.disc_size <= 0) {
        *error = "the disc size must be positive and the reserve not negative";
        return 0;
    }
    if (!compressor_available(options.compressor)) {
        *error = std::string("this build has no ") + compressor_name(options.compressor) + " compressor";
        return 0;
    }
    plan->level = options.level > 0 ? options.level : compressor_default_level(options.compressor);
    RecordCompressor probe;
    if (!probe.create(options.compressor, plan->level)) {
        *error = "compression level " + std::to_string(plan->level) + " is not available for " +
                 compressor_name(options.compressor) +
                 (options.compressor == kCompressorZlib
                      ? std::string(" (zlib: levels 1 to 9; 10 to 12 need libdeflate") +
                            (compressor_available(kCompressorLibdeflate) ? ": --compressor libdeflate)"
                                                                         : ", which this build lacks)")
                      : std::string(" (libdeflate: levels 1 to 12)"));
        return 0;
    }
    probe.release();
    return 1;
}

// Disc files written into the game folder would be packed into the discs
// themselves.
int check_output_outside(const fs::path& game, const fs::path& out, std::string* error)
{
    std::error_code ec;
    fs::path g = fs::weakly_canonical(game, ec);
    fs::path o = fs::weakly_canonical(out, ec);
    auto gi = g.begin(), oi = o.begin();
    while (gi != g.end() && oi != o.end() && *gi == *oi) {
        ++gi;
        ++oi;
    }
    if (gi == g.end() || (gi->empty() && std::next(gi) == g.end())) {
        *error = "the output folder " + utf8_of(out) + " is inside the game folder " + utf8_of(game);
        return 0;
    }
    return 1;
}

// The uninstaller and its manifest go last: the manifest is made when every
// other file has been read.
int plan_uninstaller(const DiscPackOptions& options, size_t install_folder_length, PackPlan* plan, std::string* error)
{
    std::error_code ec;
    if (!fs::is_regular_file(options.uninstaller, ec)) {
        *error = "the uninstaller " + utf8_of(options.uninstaller) + " is not a file";
        return 0;
    }
    const std::string own[] = {std::string("\\") + kUninstallProgram, std::string("\\") + kUninstallManifestName};
    for (const PackItem& it : plan->items)
        for (const std::string& name : own)
            if (uppercase_cp950(it.record_path) == uppercase_cp950(name)) {
                *error = "the game folder holds " + name.substr(1) +
                         " itself; the set's own uninstaller takes that name (use --no-uninstaller to keep yours)";
                return 0;
            }
    if (!options.data_folder.empty()) {
        if (!fs::is_directory(options.data_folder, ec)) {
            *error = "the data folder " + utf8_of(options.data_folder) + " is not a folder";
            return 0;
        }
        if (!walk_data(options.data_folder, install_folder_length, &plan->data, error))
            return 0;
    }
    uint64_t program_size = fs::file_size(options.uninstaller, ec);
    plan->items.push_back(PackItem{false, options.uninstaller.native(), own[0], ec ? 0 : program_size});
    PackItem list{false, {}, own[1], 0};
    list.is_manifest = true;
    plan->items.push_back(list);
    return 1;
}

}  // namespace

// Every check before the first byte is written: the options, the game's
// names and paths as the installer will see them, the uninstaller, the
// total against the header's counter, and the output folder.
int plan_pack(const fs::path& game, const fs::path& out, const DiscPackOptions& options, PackPlan* plan,
              std::string* error)
{
    if (!plan_options(game, options, plan, error) || !check_output_outside(game, out, error))
        return 0;
    std::string install_folder = proposed_install_folder(plan->fields.company, plan->fields.product);
    Walker walker{
        install_folder.size(), proposed_install_folder(options.company, options.product), &plan->items, error, {}};
    if (!walker.walk(game))
        return 0;
    if (plan->items.empty()) {
        *error = utf8_of(game) + " is empty; a disc set needs at least one file or folder";
        return 0;
    }
    if (!options.uninstaller.empty() && !plan_uninstaller(options, install_folder.size(), plan, error))
        return 0;
    int64_t total = 0;
    for (const PackItem& it : plan->items)
        total += (int64_t)it.record_path.size() + 1 + (int64_t)it.size;
    if (total > INT32_MAX) {
        *error = "the game takes " + std::to_string(total) +
                 " bytes with its paths; the disc header counts at most 2147483647";
        return 0;
    }
    plan->total = total;
    return check_existing(out, options.overwrite, error);
}

// Signs the programs that go onto the discs into `folder` and points the
// plan and the layout at the signed copies: the uninstaller (whose size in
// the plan grows by its signature) and setup.exe and launcher.exe.
int sign_programs(const DiscPackOptions& options, const fs::path& folder, PackPlan* plan, DiscLayoutOptions* layout,
                  std::vector<std::string>* names, std::string* error)
{
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec) {
        *error = "cannot create " + utf8_of(folder) + ": " + ec.message();
        return 0;
    }
    auto sign = [&](const fs::path& program, const char* name, fs::path* signed_copy) {
        *signed_copy = folder / name;
        if (!sign_program(options.signing, program, *signed_copy, error))
            return 0;
        names->push_back(name);
        return 1;
    };
    for (PackItem& it : plan->items) {
        if (options.uninstaller.empty() || it.is_directory || it.host != options.uninstaller.native() ||
            it.record_path != std::string("\\") + kUninstallProgram)
            continue;
        fs::path signed_copy;
        if (!sign(options.uninstaller, kUninstallProgram, &signed_copy))
            return 0;
        uint64_t size = fs::file_size(signed_copy, ec);
        if (ec) {
            *error = "cannot read " + utf8_of(signed_copy) + ": " + ec.message();
            return 0;
        }
        plan->total += (int64_t)size - (int64_t)it.size;
        it.host = signed_copy.native();
        it.size = size;
        if (plan->total > INT32_MAX) {
            *error = "the game takes " + std::to_string(plan->total) +
                     " bytes with its paths and the signed uninstaller; the disc header counts at most 2147483647";
            return 0;
        }
    }
    if (layout->enabled && (!sign(options.layout.setup_program, "setup.exe", &layout->setup_program) ||
                            !sign(options.layout.launcher_program, "launcher.exe", &layout->launcher_program)))
        return 0;
    return 1;
}

}  // namespace pack
