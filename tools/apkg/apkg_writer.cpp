#include "apkg_writer.h"

#include "apkg_format.h"
#include "file_object.h"
#include "new_file.h"
#include "package_directory.h"
#include "platform.h"
#include "record_path.h"
#include "terminal_text.h"

#include <climits>
#include <cstring>
#include <fstream>
#include <set>

namespace {

// A code page 950 name for a message: UTF-8, control characters escaped.
std::string shown(const std::string& cp950)
{
    std::string u;
    return printable(to_utf8(cp950, &u) ? u : cp950);
}

void put_entry(unsigned char* entry, const std::string& name, int32_t offset, int32_t size)
{
    memset(entry, 0, apkg::kEntrySize);
    memcpy(entry, name.data(), name.size());
    put_le32(entry + apkg::kDataOffsetAt, offset);
    put_le32(entry + apkg::kDataSizeAt, size);
}

}  // namespace

int apkg_check_member_name(const std::string& cp950, std::string* error)
{
    if (cp950.empty() || cp950.size() > (size_t)apkg::kNameMax) {
        *error = "member name \"" + shown(cp950) + "\" must be 1 to " + std::to_string(apkg::kNameMax) +
                 " bytes in code page 950 (it is " + std::to_string(cp950.size()) + ")";
        return 0;
    }
    // The rule of a single path component: no separator, no device, no
    // wildcard or control character, no trailing dot or blank, valid Big5.
    const char* problem = nullptr;
    if (!check_path_component((const unsigned char*)cp950.data(), (int32_t)cp950.size(), &problem)) {
        *error = "member name \"" + shown(cp950) + "\" cannot be a file name on Windows: " + problem;
        return 0;
    }
    if (cp950.find('\\') != std::string::npos) {
        *error = "member name \"" + shown(cp950) +
                 "\" holds a Big5 character whose second byte is 0x5C; the package reader "
                 "would take that byte for a backslash and could never open the member";
        return 0;
    }
    return 1;
}

int apkg_build(const std::vector<ApkgInput>& members, std::string* package, std::string* error)
{
    std::set<std::string> seen;
    uint64_t total = apkg::kHeaderSize + (uint64_t)members.size() * apkg::kEntrySize;
    for (const ApkgInput& m : members) {
        if (!apkg_check_member_name(m.name, error))
            return 0;
        if (!seen.insert(uppercase_cp950(m.name)).second) {
            *error = "two members are named \"" + shown(m.name) + "\" (names match without regard to case)";
            return 0;
        }
        total += m.bytes.size();
    }
    if (total > (uint64_t)INT32_MAX) {
        *error = "a package must stay below 2 GiB";
        return 0;
    }
    std::string out(apkg::kHeaderSize, '\0');
    std::vector<unsigned char> dir(members.size() * apkg::kEntrySize);
    for (size_t i = 0; i < members.size(); ++i) {
        int32_t offset = (int32_t)out.size();
        std::string data = members[i].bytes;
        apkg::complement((unsigned char*)&data[0], (int32_t)data.size());
        out += data;
        put_entry(&dir[i * apkg::kEntrySize], members[i].name, offset, (int32_t)members[i].bytes.size());
    }
    unsigned char header[apkg::kHeaderSize];
    memcpy(header, apkg::kMagic, 4);
    put_le32(header + apkg::kDirectoryOffsetAt, (int32_t)out.size());
    put_le32(header + apkg::kEntryCountAt, (int32_t)members.size());
    out.replace(0, apkg::kHeaderSize, (const char*)header, apkg::kHeaderSize);
    out.append((const char*)dir.data(), dir.size());
    *package = std::move(out);
    return 1;
}

int apkg_create_from_folder(const fs::path& folder, const fs::path& package, std::string* error)
{
    std::vector<HostEntry> entries;
    if (!list_host_folder(folder, &entries, error))
        return 0;
    std::vector<ApkgInput> members;
    for (const HostEntry& e : entries) {
        if (e.is_directory) {
            *error = utf8_of(e.path) +
                     " is a folder; a package holds files only "
                     "(pack the folder as a package of its own)";
            return 0;
        }
        ApkgInput in;
        to_cp950(e.utf8_name, &in.name);
        if (!apkg_check_member_name(in.name, error)) {
            *error = utf8_of(e.path) + ": " + *error;
            return 0;
        }
        if (!read_host_file(e.path, &in.bytes, error))
            return 0;
        members.push_back(std::move(in));
    }
    std::string bytes;
    if (!apkg_build(members, &bytes, error))
        return 0;
    return write_host_file(package, bytes, error);
}

namespace {

// Opens a package as a plain file through the installer's reader.
int open_package(const fs::path& package, FileObject* file, PackageDirectory* dir, std::string* error)
{
    std::string path;
    if (!system_path_of(package, &path, error))
        return 0;
    if (!file->open_read(path.c_str()) || file->is_member) {
        if (file->handle)
            file->close();
        *error = "cannot open " + utf8_of(package);
        return 0;
    }
    if (!dir->read(file)) {
        file->close();
        *error = utf8_of(package) + " is not an intact APKG package (bad magic, header or directory)";
        return 0;
    }
    return 1;
}

}  // namespace

int apkg_list(const fs::path& package, std::vector<ApkgEntryInfo>* entries, std::string* error)
{
    FileObject file;
    PackageDirectory dir;
    if (!open_package(package, &file, &dir, error))
        return 0;
    entries->clear();
    for (int32_t i = 0; i < dir.count; ++i) {
        ApkgEntryInfo info;
        const char* name = dir.name(i);
        info.name = name ? name : "";
        info.offset = dir.data_offset(i);
        info.size = dir.data_size(i);
        info.valid = dir.entry_valid(i) != 0;
        entries->push_back(info);
    }
    dir.release();
    file.close();
    return 1;
}

namespace {

// A member to unpack: its entry and the name it gets on the host.
struct PlannedMember {
    int32_t entry;
    fs::path host;
};

// Checks every entry before anything is written: all intact, every name one
// Windows can hold. Of entries whose names match without regard to ASCII
// case, the installer opens the first; the others are only reported.
int plan_extraction(PackageDirectory* dir, const fs::path& folder, std::vector<PlannedMember>* plan,
                    std::vector<std::string>* shadowed, std::string* error)
{
    std::vector<std::pair<std::string, int32_t>> first_of;  // upper-cased name, entry
    for (int32_t i = 0; i < dir->count; ++i) {
        std::string at = "entry " + std::to_string(i);
        if (!dir->entry_valid(i)) {
            *error = at + " is damaged (unterminated name or data outside the file)";
            return 0;
        }
        std::string cp950 = dir->name(i);
        const char* problem = nullptr;
        if (!check_path_component((const unsigned char*)cp950.data(), (int32_t)cp950.size(), &problem)) {
            *error = at + " is named \"" + shown(cp950) + "\", which cannot be a file name on Windows: " + problem;
            return 0;
        }
        std::string utf8;
        if (!to_utf8(cp950, &utf8)) {
            *error = at + " is named \"" + shown(cp950) + "\", which has no UTF-8 form";
            return 0;
        }
        std::string key = uppercase_cp950(cp950);
        int32_t first = -1;
        for (const auto& f : first_of)
            if (f.first == key)
                first = f.second;
        if (first >= 0) {
            shadowed->push_back(at + " \"" + shown(cp950) + "\" is not unpacked: entry " + std::to_string(first) +
                                " \"" + shown(dir->name(first)) +
                                "\" has the same name without regard to case, and the installer opens that one");
            continue;
        }
        first_of.emplace_back(key, i);
        plan->push_back(PlannedMember{i, folder / host_path_from_utf8(utf8)});
    }
    return 1;
}

// An existing output folder must be a folder and empty: nothing in it can be
// replaced or written through.
int prepare_folder(const fs::path& folder, bool* created, std::string* error)
{
    std::error_code ec;
    *created = false;
    fs::file_status st = fs::symlink_status(folder, ec);
    if (!ec && fs::exists(st)) {
        if (!fs::is_directory(folder, ec) || !fs::is_empty(folder, ec) || ec) {
            *error = utf8_of(folder) + " exists and is not an empty folder; extract into a new folder";
            return 0;
        }
        return 1;
    }
    if (!fs::create_directories(folder, ec) || ec) {
        *error = "cannot create " + utf8_of(folder) + (ec ? ": " + ec.message() : "");
        return 0;
    }
    *created = true;
    return 1;
}

}  // namespace

int apkg_extract(const fs::path& package, const fs::path& folder, std::string* error,
                 std::vector<std::string>* shadowed)
{
    std::vector<std::string> ignored;
    if (!shadowed)
        shadowed = &ignored;
    shadowed->clear();
    FileObject file;
    PackageDirectory dir;
    if (!open_package(package, &file, &dir, error))
        return 0;
    std::vector<PlannedMember> plan;
    bool created = false;
    bool ok = plan_extraction(&dir, folder, &plan, shadowed, error) && prepare_folder(folder, &created, error);
    // Written one by one; a failure removes what this run wrote, so the
    // folder is left as it was found.
    size_t written = 0;
    for (; ok && written < plan.size(); ++written) {
        const PlannedMember& m = plan[written];
        int32_t size = dir.data_size(m.entry);
        std::string bytes((size_t)size, '\0');
        if (!file.seek(dir.data_offset(m.entry)) || (size > 0 && file.read(&bytes[0], size) != size)) {
            *error = "cannot read entry " + std::to_string(m.entry) + " of " + utf8_of(package);
            ok = false;
            break;
        }
        apkg::complement((unsigned char*)&bytes[0], size);
        if (!create_new_host_file(m.host, bytes, error)) {
            ok = false;
            break;
        }
    }
    if (!ok && (written > 0 || created)) {
        std::error_code ec;
        for (size_t i = 0; i < written; ++i)
            fs::remove(plan[i].host, ec);
        if (created)
            fs::remove(folder, ec);
        *error += "; nothing was left in " + utf8_of(folder);
    }
    dir.release();
    file.close();
    return ok;
}
