#include "disc_medium.h"

#include <algorithm>

namespace {

char ascii_lower(char c)
{
    return c >= 'A' && c <= 'Z' ? (char)(c - 'A' + 'a') : c;
}

bool same_name(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (ascii_lower(a[i]) != ascii_lower(b[i]))
            return false;
    return true;
}

struct FolderMedium : DiscMedium {
    fs::path root;

    std::string name() const override { return utf8_of(root); }

    int list(std::vector<MediumEntry>* entries, std::string* error) override
    {
        entries->clear();
        std::error_code ec;
        fs::recursive_directory_iterator it(root, fs::directory_options::none, ec), end;
        for (; !ec && it != end; it.increment(ec)) {
            std::error_code kind;
            bool directory = it->is_directory(kind);
            if (kind)
                continue;
            std::string relative = utf8_of(it->path().lexically_relative(root));
            std::replace(relative.begin(), relative.end(), '\\', '/');  // a Windows host's separator
            MediumEntry e{relative, directory, 0};
            if (!directory) {
                std::error_code size_error;
                uintmax_t n = it->file_size(size_error);
                e.size = size_error ? 0 : (int64_t)n;
            }
            entries->push_back(e);
        }
        if (ec) {
            *error = "cannot list " + utf8_of(root) + ": " + ec.message();
            return 0;
        }
        std::sort(entries->begin(), entries->end(),
                  [](const MediumEntry& a, const MediumEntry& b) { return a.path < b.path; });
        return 1;
    }

    int host_file(const std::string& path, fs::path* host, std::string* error) override
    {
        fs::path p = root / host_path_from_utf8(path);
        std::error_code ec;
        if (!fs::is_regular_file(p, ec)) {
            *error = path + " is not a file on " + utf8_of(root);
            return 0;
        }
        *host = p;
        return 1;
    }

    int64_t bytes_needed(const std::vector<MediumEntry>& entries) const override
    {
        int64_t total = 0;
        for (const MediumEntry& e : entries)
            if (!e.is_directory)
                total += (e.size + kDiscSectorBytes - 1) / kDiscSectorBytes * kDiscSectorBytes;
        return total;
    }
};

}  // namespace

std::unique_ptr<DiscMedium> open_disc_folder(const fs::path& folder, std::string* error)
{
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) {
        *error = utf8_of(folder) + " is not a folder";
        return nullptr;
    }
    std::unique_ptr<FolderMedium> m(new FolderMedium);
    m->root = fs::absolute(folder, ec);
    if (ec) {
        *error = "cannot find the folder " + utf8_of(folder) + ": " + ec.message();
        return nullptr;
    }
    return std::unique_ptr<DiscMedium>(m.release());
}

std::unique_ptr<DiscMedium> open_disc_medium(const fs::path& path, std::string* error)
{
    std::error_code ec;
    if (fs::is_directory(path, ec))
        return open_disc_folder(path, error);
    if (fs::is_regular_file(path, ec))
        *error = utf8_of(path) + " is a file: this build checks disc folders (unpack an image into a folder first)";
    else
        *error = utf8_of(path) + " does not exist";
    return nullptr;
}

const MediumEntry* find_entry(const std::vector<MediumEntry>& entries, const std::string& path)
{
    for (const MediumEntry& e : entries)
        if (same_name(e.path, path))
            return &e;
    return nullptr;
}
