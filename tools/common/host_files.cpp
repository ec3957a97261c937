#include "host_files.h"

#include "file_object.h"
#include "platform.h"

#include <algorithm>
#include <fstream>
#include <sstream>

// The conversions have no error_code form; on Windows they throw on text
// that does not convert. Such text names no host file (an empty path) and
// is shown as a placeholder, so nothing is thrown from here.
fs::path host_path_from_utf8(const std::string& utf8)
{
    try {
        return fs::u8path(utf8);
    } catch (const std::exception&) {
        return fs::path();
    }
}

std::string utf8_of(const fs::path& path)
{
    try {
        return path.u8string();
    } catch (const std::exception&) {
        return "(a name with no UTF-8 form)";
    }
}

int to_cp950(const std::string& utf8, std::string* cp950)
{
    std::vector<char> buf(utf8.size() * 2 + 8);
    if (!plat_utf8_to_cp950(utf8.c_str(), buf.data(), (int)buf.size()))
        return 0;
    *cp950 = buf.data();
    return 1;
}

int to_utf8(const std::string& cp950, std::string* utf8)
{
    std::vector<char> buf(cp950.size() * 3 + 8);
    if (!plat_cp950_to_utf8(cp950.c_str(), buf.data(), (int)buf.size()))
        return 0;
    *utf8 = buf.data();
    return 1;
}

int list_host_folder(const fs::path& folder, std::vector<HostEntry>* out, std::string* error)
{
    std::error_code ec;
    fs::directory_iterator it(folder, ec), end;
    if (ec) {
        *error = "cannot list " + utf8_of(folder) + ": " + ec.message();
        return 0;
    }
    std::vector<std::pair<std::string, HostEntry>> keyed;
    for (; it != end; it.increment(ec)) {
        if (ec) {
            *error = "cannot list " + utf8_of(folder) + ": " + ec.message();
            return 0;
        }
        HostEntry e;
        e.path = it->path();
        e.utf8_name = utf8_of(it->path().filename());
        std::string key;
        if (!to_cp950(e.utf8_name, &key)) {
            *error = "the name " + utf8_of(e.path) + " has no Big5 (code page 950) form";
            return 0;
        }
        e.is_directory = it->is_directory(ec);
        e.size = e.is_directory ? 0 : it->file_size(ec);
        if (ec) {
            *error = "cannot read " + utf8_of(e.path) + ": " + ec.message();
            return 0;
        }
        keyed.emplace_back(key, e);
    }
    std::sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    out->clear();
    for (auto& k : keyed)
        out->push_back(k.second);
    return 1;
}

namespace {

int walk_host_folder(const fs::path& folder, const std::string& parent, const HostTreeVisit& visit, std::string* error,
                     int depth)
{
    std::vector<HostEntry> entries;
    if (!list_host_folder(folder, &entries, error))
        return 0;
    for (const HostEntry& e : entries) {
        std::string below;
        if (!visit(e, parent, &below, error))
            return 0;
        if (e.is_directory) {
            if (depth > kMaxHostFolderDepth) {
                *error = "folders nested too deeply at " + utf8_of(e.path);
                return 0;
            }
            if (!walk_host_folder(e.path, below, visit, error, depth + 1))
                return 0;
        }
    }
    return 1;
}

}  // namespace

int walk_host_tree(const fs::path& folder, const std::string& top, const HostTreeVisit& visit, std::string* error)
{
    return walk_host_folder(folder, top, visit, error, 0);
}

FILE* open_host_file_read(const fs::path& path)
{
#ifdef _WIN32
    return _wfopen(path.c_str(), L"rb");  // the wide name: the host's own, whatever the code page
#else
    return fopen(path.c_str(), "rb");
#endif
}

int read_host_file(const fs::path& path, std::string* bytes, std::string* error)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        *error = "cannot open " + utf8_of(path);
        return 0;
    }
    std::ostringstream s;
    s << in.rdbuf();
    if (in.bad()) {
        *error = "cannot read " + utf8_of(path);
        return 0;
    }
    *bytes = s.str();
    return 1;
}

int write_host_file(const fs::path& path, const std::string& bytes, std::string* error)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) {
        *error = "cannot create " + utf8_of(path);
        return 0;
    }
    out.write(bytes.data(), (std::streamsize)bytes.size());
    out.close();
    if (!out) {
        *error = "cannot write " + utf8_of(path);
        return 0;
    }
    return 1;
}

std::string uppercase_cp950(const std::string& cp950)
{
    std::vector<char> buf(cp950.begin(), cp950.end());
    buf.push_back('\0');
    uppercase_dbcs(buf.data());
    return buf.data();
}

int system_path_of(const fs::path& host, std::string* path, std::string* error)
{
    std::error_code ec;
    fs::path abs = fs::absolute(host, ec);
    std::string utf8 = utf8_of(ec ? host : abs);
    std::vector<char> buf(utf8.size() * 2 + 16);
    if (!plat_from_host_path(utf8.c_str(), buf.data(), (int)buf.size())) {
        if (error)
            *error = "the path " + utf8 + " has no form in code page 950";
        return 0;
    }
    *path = buf.data();
    return 1;
}
