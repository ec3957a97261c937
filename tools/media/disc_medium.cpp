#include "disc_medium.h"

#include "ascii_text.h"
#include "disc_names.h"

#include <algorithm>

namespace {

int same_name(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return 0;
    for (size_t i = 0; i < a.size(); ++i)
        if (ascii_lower(a[i]) != ascii_lower(b[i]))
            return 0;
    return 1;
}

struct FolderMedium : DiscMedium {
    fs::path folder;
    std::vector<MediumEntry> listed;  // the last listing, for open's lookup

    std::string name() const override { return utf8_of(folder); }
    fs::path root() const override { return folder; }

    int list(std::vector<MediumEntry>* entries, std::string* error) override
    {
        entries->clear();
        std::error_code ec;
        fs::recursive_directory_iterator it(folder, fs::directory_options::none, ec), end;
        for (; !ec && it != end; it.increment(ec)) {
            std::error_code kind;
            bool directory = it->is_directory(kind);
            if (kind)
                continue;
            std::string relative = utf8_of(it->path().lexically_relative(folder));
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
            *error = "cannot list " + utf8_of(folder) + ": " + ec.message();
            return 0;
        }
        std::sort(entries->begin(), entries->end(),
                  [](const MediumEntry& a, const MediumEntry& b) { return a.path < b.path; });
        listed = *entries;
        return 1;
    }

    FILE* open(const std::string& path, std::string* error) override
    {
        // The name as listed, so that a name asked for in another ASCII case
        // opens on a host that tells case apart, as it would on Windows.
        const MediumEntry* e = find_entry(listed, path);
        fs::path p = folder / host_path_from_utf8(e ? e->path : path);
        std::error_code ec;
        if ((e && e->is_directory) || !fs::is_regular_file(p, ec)) {
            *error = path + " is not a file on " + utf8_of(folder);
            return nullptr;
        }
        FILE* f = open_host_file_read(p);
        if (!f)
            *error = utf8_of(p) + " cannot be opened";
        return f;
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
    m->folder = fs::absolute(folder, ec);
    if (ec) {
        *error = "cannot find the folder " + utf8_of(folder) + ": " + ec.message();
        return nullptr;
    }
    return std::unique_ptr<DiscMedium>(m.release());
}

int disc_argument_of_path(const fs::path& host, DiscArgument* argument, std::string* error)
{
    argument->host = host;
    argument->text = utf8_of(host);
    argument->number = 0;
    std::error_code ec;
    if (fs::is_directory(host, ec)) {
        argument->kind = kDiscFolder;
        return 1;
    }
    if (!fs::is_regular_file(host, ec)) {
        *error = argument->text + " does not exist";
        return 0;
    }
    argument->number = disc_number_in_name(utf8_of(host.filename()));
    argument->kind = argument->number > 0 ? kDiscFileGiven : kDiscImage;
    return 1;
}

int disc_argument_of_text(const std::string& text, DiscArgument* argument, std::string* error)
{
    return disc_argument_of_path(host_path_from_utf8(text), argument, error);
}

std::unique_ptr<DiscMedium> open_disc_medium(const DiscArgument& argument, std::string* error)
{
    if (argument.kind == kDiscFolder)
        return open_disc_folder(argument.host, error);
    if (argument.kind == kDiscImage)
        return open_disc_image(argument.host, ImageReading(), error);
    *error = argument.text +
             " is a disc file: give the folder or image that holds it (the check reads the "
             "whole disc)";
    return nullptr;
}

const MediumEntry* find_entry(const std::vector<MediumEntry>& entries, const std::string& path)
{
    for (const MediumEntry& e : entries)
        if (same_name(e.path, path))
            return &e;
    return nullptr;
}

int read_medium_file(DiscMedium* medium, const std::string& path, size_t limit, std::string* bytes, std::string* error)
{
    bytes->clear();
    FILE* f = medium->open(path, error);
    if (!f)
        return 0;
    char buffer[4096];
    size_t n;
    int ok = 1;
    while (ok && (n = fread(buffer, 1, sizeof buffer, f)) > 0) {
        if (bytes->size() + n > limit) {
            *error = path + " is larger than " + std::to_string(limit) + " bytes";
            ok = 0;
        } else {
            bytes->append(buffer, n);
        }
    }
    if (ok && ferror(f)) {
        *error = path + " cannot be read on " + medium->name();
        ok = 0;
    }
    fclose(f);
    return ok;
}
