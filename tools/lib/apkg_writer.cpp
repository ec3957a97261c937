#include "apkg_writer.h"

#include "apkg_format.h"
#include "file_object.h"
#include "package_directory.h"
#include "platform.h"

#include <climits>
#include <cstring>
#include <fstream>
#include <set>

namespace {

std::string upper(const std::string& cp950)
{
    std::vector<char> buf(cp950.begin(), cp950.end());
    buf.push_back('\0');
    uppercase_dbcs(buf.data());
    return buf.data();
}

std::string shown(const std::string& cp950)
{
    std::string u;
    return to_utf8(cp950, &u) ? u : cp950;
}

void put_entry(unsigned char* entry, const std::string& name, int32_t offset, int32_t size)
{
    memset(entry, 0, apkg::kEntrySize);
    memcpy(entry, name.data(), name.size());
    put_le32(entry + apkg::kDataOffsetAt, offset);
    put_le32(entry + apkg::kDataSizeAt, size);
}

}  // namespace

bool system_path_of(const fs::path& host, std::string* path, std::string* error)
{
    std::error_code ec;
    fs::path abs = fs::absolute(host, ec);
    std::string utf8 = utf8_of(ec ? host : abs);
    std::vector<char> buf(utf8.size() * 2 + 16);
    if (!plat_from_host_path(utf8.c_str(), buf.data(), (int)buf.size())) {
        *error = "the path " + utf8 + " has no form in code page 950";
        return false;
    }
    *path = buf.data();
    return true;
}

bool apkg_check_member_name(const std::string& cp950, std::string* error)
{
    if (cp950.empty() || cp950.size() > (size_t)apkg::kNameMax) {
        *error = "member name \"" + shown(cp950) + "\" must be 1 to " + std::to_string(apkg::kNameMax) +
                 " bytes in code page 950 (it is " + std::to_string(cp950.size()) + ")";
        return false;
    }
    std::string utf8;
    if (!to_utf8(cp950, &utf8)) {
        *error = "member name is not valid Big5 text";
        return false;
    }
    if (!is_safe_member_name(utf8)) {
        *error = "member name \"" + utf8 + "\" is not a bare file name";
        return false;
    }
    if (cp950.find('\\') != std::string::npos) {
        *error = "member name \"" + utf8 +
                 "\" holds a Big5 character whose second byte is 0x5C; the package reader "
                 "would take that byte for a backslash and could never open the member";
        return false;
    }
    return true;
}

bool apkg_build(const std::vector<ApkgInput>& members, std::string* package, std::string* error)
{
    std::set<std::string> seen;
    uint64_t total = apkg::kHeaderSize + (uint64_t)members.size() * apkg::kEntrySize;
    for (const ApkgInput& m : members) {
        if (!apkg_check_member_name(m.name, error))
            return false;
        if (!seen.insert(upper(m.name)).second) {
            *error = "two members are named \"" + shown(m.name) + "\" (names match without regard to case)";
            return false;
        }
        total += m.bytes.size();
    }
    if (total > (uint64_t)INT32_MAX) {
        *error = "a package must stay below 2 GiB";
        return false;
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
    return true;
}

bool apkg_create_from_folder(const fs::path& folder, const fs::path& package, std::string* error)
{
    std::vector<HostEntry> entries;
    if (!list_host_folder(folder, &entries, error))
        return false;
    std::vector<ApkgInput> members;
    for (const HostEntry& e : entries) {
        if (e.is_directory) {
            *error = utf8_of(e.path) + " is a folder; a package holds files only "
                     "(pack the folder as a package of its own)";
            return false;
        }
        ApkgInput in;
        to_cp950(e.utf8_name, &in.name);
        if (!apkg_check_member_name(in.name, error)) {
            *error = utf8_of(e.path) + ": " + *error;
            return false;
        }
        if (!read_host_file(e.path, &in.bytes, error))
            return false;
        members.push_back(std::move(in));
    }
    std::string bytes;
    if (!apkg_build(members, &bytes, error))
        return false;
    return write_host_file(package, bytes, error);
}

namespace {

// Opens a package as a plain file through the installer's reader.
bool open_package(const fs::path& package, FileObject* file, PackageDirectory* dir, std::string* error)
{
    std::string path;
    if (!system_path_of(package, &path, error))
        return false;
    if (!file->open_read(path.c_str()) || file->is_member) {
        if (file->handle)
            file->close();
        *error = "cannot open " + utf8_of(package);
        return false;
    }
    if (!dir->read(file)) {
        file->close();
        *error = utf8_of(package) + " is not an intact APKG package (bad magic, header or directory)";
        return false;
    }
    return true;
}

}  // namespace

bool apkg_list(const fs::path& package, std::vector<ApkgEntryInfo>* entries, std::string* error)
{
    FileObject file;
    PackageDirectory dir;
    if (!open_package(package, &file, &dir, error))
        return false;
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
    return true;
}

bool apkg_extract(const fs::path& package, const fs::path& folder, std::string* error)
{
    FileObject file;
    PackageDirectory dir;
    if (!open_package(package, &file, &dir, error))
        return false;
    bool ok = true;
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec) {
        *error = "cannot create " + utf8_of(folder) + ": " + ec.message();
        ok = false;
    }
    for (int32_t i = 0; ok && i < dir.count; ++i) {
        std::string utf8;
        if (!dir.entry_valid(i)) {
            *error = "entry " + std::to_string(i) + " is damaged (unterminated name or data outside the file)";
            ok = false;
        } else if (!to_utf8(dir.name(i), &utf8) || !is_safe_member_name(utf8)) {
            *error = "entry " + std::to_string(i) + " has a name that is not a bare file name";
            ok = false;
        } else {
            int32_t size = dir.data_size(i);
            std::string bytes((size_t)size, '\0');
            if (!file.seek(dir.data_offset(i)) || file.read(&bytes[0], size) != size) {
                *error = "cannot read member " + utf8;
                ok = false;
            } else {
                apkg::complement((unsigned char*)&bytes[0], size);
                ok = write_host_file(folder / host_path_from_utf8(utf8), bytes, error);
            }
        }
    }
    dir.release();
    file.close();
    return ok;
}
