#include "iso_medium.h"

#include <cstdlib>

namespace {

// Single quotes for the shell; a quote inside becomes '\''.
std::string shell_quoted(const std::string& text)
{
    std::string s = "'";
    for (char c : text)
        s += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return s + "'";
}

bool run(const std::string& command, std::string* error)
{
    if (std::system((command + " >/dev/null 2>&1").c_str()) == 0)
        return true;
    *error = "failed: " + command;
    return false;
}

// The extracted folder stands in for the image's files; its size on a disc
// is the image's.
struct IsoMedium : DiscMedium {
    fs::path image;
    std::unique_ptr<DiscMedium> files;

    std::string name() const override { return utf8_of(image); }
    int list(std::vector<MediumEntry>* entries, std::string* error) override { return files->list(entries, error); }
    int host_file(const std::string& path, fs::path* host, std::string* error) override
    {
        return files->host_file(path, host, error);
    }
    int64_t bytes_needed(const std::vector<MediumEntry>&) const override
    {
        std::error_code ec;
        uintmax_t n = fs::file_size(image, ec);
        return ec ? 0 : (int64_t)n;
    }
};

}  // namespace

bool xorriso_available()
{
    return std::system("xorriso -version >/dev/null 2>&1") == 0;
}

bool make_iso(const fs::path& folder, const fs::path& image, const std::string& volume_id, std::string* error)
{
    return run("xorriso -outdev " + shell_quoted(image.string()) + " -volid " + shell_quoted(volume_id) +
                   " -joliet on -map " + shell_quoted(folder.string()) + " /",
               error);
}

std::unique_ptr<DiscMedium> open_iso_with_xorriso(const fs::path& image, const fs::path& scratch,
                                                  std::string* error)
{
    std::error_code ec;
    fs::create_directories(scratch, ec);
    if (ec || !run("xorriso -osirrox on -indev " + shell_quoted(image.string()) + " -extract / " +
                       shell_quoted(scratch.string()),
                   error))
        return nullptr;
    std::unique_ptr<IsoMedium> m(new IsoMedium);
    m->image = image;
    m->files = open_disc_folder(scratch, error);
    if (!m->files)
        return nullptr;
    return std::unique_ptr<DiscMedium>(m.release());
}
