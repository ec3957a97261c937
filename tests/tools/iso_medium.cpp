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

}  // namespace

bool xorriso_available()
{
    return std::system("xorriso -version >/dev/null 2>&1") == 0;
}

bool make_iso(const fs::path& folder, const fs::path& image, const std::string& volume_id, std::string* error,
              bool joliet)
{
    std::error_code ec;
    fs::remove(image, ec);
    return run("xorriso -outdev " + shell_quoted(image.string()) + " -volid " + shell_quoted(volume_id) +
                   " -rockridge off -joliet " + (joliet ? "on" : "off") + " -map " + shell_quoted(folder.string()) +
                   " /",
               error);
}
