#include "disc_json.h"

#include "json_names.h"

#include <cstdio>
#include <cstring>
#include <map>
#include <zlib.h>

namespace {

using json = nlohmann::ordered_json;

std::string header_text(const char* field)
{
    return std::string(field, strnlen(field, disc::kTextSize));
}

json header_json(const DiscHeader& h)
{
    json out = json::object();
    put_cp950_name(&out, "company", header_text(h.company));
    put_cp950_name(&out, "product", header_text(h.product));
    put_cp950_name(&out, "registry_key", header_text(h.regkey));
    put_cp950_name(&out, "game_program", header_text(h.exe));
    out["disc_count"] = h.disc_count;
    out["total_size"] = h.total_size;
    return out;
}

json entry_json(const TreeEntry& e)
{
    json out = json::object();
    put_cp950_name(&out, "path", e.raw_path);
    out["kind"] = e.is_directory ? "directory" : "file";
    out["size"] = e.size;
    json on = json::array();
    for (int32_t d = e.disc; d <= e.last_disc; ++d)
        on.push_back(d);
    out["discs"] = on;
    out["offset"] = e.offset;
    return out;
}

json sum_json(const TreeEntry& e)
{
    json out = json::object();
    put_cp950_name(&out, "path", e.raw_path);
    out["size"] = e.size;
    char crc[9];
    snprintf(crc, sizeof crc, "%08x", (unsigned)e.crc);
    out["crc32"] = crc;
    out["sha256"] = e.sha256;
    return out;
}

json problems_json(const DiscSetSummary& s, const std::vector<DiscFile>& discs)
{
    json out = json::array();
    for (const DiscDamage& d : s.damage)
        out.push_back(damage_json(d, discs));
    return out;
}

}  // namespace

json damage_json(const DiscDamage& damage, const std::vector<DiscFile>& discs)
{
    json out = json::object();
    out["disc"] = damage.disc;
    out["file"] = nullptr;
    for (const DiscFile& d : discs)
        if (d.number == damage.disc)
            out["file"] = d.text;
    out["offset"] = damage.offset >= 0 ? json(damage.offset) : json(nullptr);
    out["reason"] = damage.text;
    out["zlib_status"] = damage.has_zlib_status ? json(damage.zlib_status) : json(nullptr);
    out["zlib_error"] = damage.has_zlib_status ? json(zError(damage.zlib_status)) : json(nullptr);
    return out;
}

int disc_list_json(const std::vector<DiscFile>& discs, json* doc)
{
    DiscSetSummary s;
    json entries = json::array();
    int64_t file_bytes = 0;
    int ok = walk_disc_set(
        discs,
        [&](const TreeEntry& e) {
            entries.push_back(entry_json(e));
            file_bytes += e.size;
        },
        &s);
    json out = json::object();
    out["format"] = "discset-list";
    out["version"] = kListingVersion;
    out["header"] = s.header_read ? header_json(s.header) : json(nullptr);
    json given = json::array();
    for (const DiscFile& d : discs)
        given.push_back(json{{"number", d.number}, {"file", d.text}});
    out["discs"] = given;
    out["entries"] = std::move(entries);
    out["folders"] = s.directories;
    out["files"] = s.files;
    out["file_bytes"] = file_bytes;
    out["damaged"] = !ok;
    out["problems"] = problems_json(s, discs);
    *doc = std::move(out);
    return ok;
}

int disc_file_sums(const std::vector<DiscFile>& discs, std::vector<TreeEntry>* files, DiscSetSummary* s)
{
    std::map<std::string, size_t> at;
    s->hash_files = true;
    int ok = walk_disc_set(
        discs,
        [&](const TreeEntry& e) {
            if (e.is_directory)
                return;
            // A path written again replaces the file, as the engine does.
            auto it = at.find(e.path);
            if (it != at.end()) {
                (*files)[it->second] = e;
            } else {
                at[e.path] = files->size();
                files->push_back(e);
            }
        },
        s);
    return ok;
}

std::string sums_path_of(const TreeEntry& e)
{
    std::string path = e.path.substr(e.path.empty() || e.path[0] != '\\' ? 0 : 1);
    for (char& c : path)
        if (c == '\\')
            c = '/';
    return path;
}

int disc_test_json(const std::vector<DiscFile>& discs, json* doc)
{
    DiscSetSummary s;
    std::vector<TreeEntry> files;
    int ok = disc_file_sums(discs, &files, &s);
    json out = json::object();
    out["format"] = "discset-test";
    out["version"] = kListingVersion;
    out["ok"] = ok == 1;
    out["disc_count"] = s.header_read ? json(s.header.disc_count) : json(nullptr);
    out["records"] = s.records;
    out["folders"] = s.directories;
    out["files"] = s.files;
    out["total_size"] = s.header_read ? json(s.header.total_size) : json(nullptr);
    json sums = json::array();
    for (const TreeEntry& e : files)
        sums.push_back(sum_json(e));
    out["checksums"] = std::move(sums);
    out["problems"] = problems_json(s, discs);
    *doc = std::move(out);
    return ok;
}
