#include "private_folder.h"

#include <cstdlib>

int make_private_folder(const char* prefix, fs::path* folder, std::string* error)
{
    std::error_code ec;
    fs::path base = fs::temp_directory_path(ec);
    if (ec)
        base = "/tmp";
    std::string pattern = (base / (std::string(prefix) + "XXXXXX")).string();
    if (!mkdtemp(&pattern[0])) {
        *error = "no folder of its own can be made under " + utf8_of(base);
        return 0;
    }
    *folder = pattern;
    return 1;
}

void remove_private_folder(fs::path* folder)
{
    std::error_code ec;
    if (!folder->empty())
        fs::remove_all(*folder, ec);
    folder->clear();
}
