#include "fuzz_support.h"

#include "platform.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>

namespace {

std::string g_folder;

void clean_up()
{
    std::error_code ec;
    std::filesystem::remove_all(g_folder, ec);
}

}  // namespace

const std::string& fuzz_folder(const char* name)
{
    if (g_folder.empty()) {
        std::string tmpl = std::string("/tmp/fuzz-") + name + "-XXXXXX";
        if (!mkdtemp(&tmpl[0]))
            abort();
        g_folder = tmpl;
        atexit(clean_up);
    }
    return g_folder;
}

std::string fuzz_system_path(const std::string& host)
{
    char win[4096];
    if (!plat_from_host_path(host.c_str(), win, sizeof win))
        abort();
    return win;
}

void fuzz_write_host(const std::string& path, const std::string& bytes)
{
    FILE* f = fopen(path.c_str(), "wb");
    if (!f)
        abort();
    if (!bytes.empty() && fwrite(bytes.data(), bytes.size(), 1, f) != 1)
        abort();
    fclose(f);
}

std::set<std::string> fuzz_tree(const std::string& folder)
{
    std::set<std::string> out;
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(folder, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
        out.insert(it->path().string().substr(folder.size() + 1));
    return out;
}

void fuzz_check(bool condition)
{
    if (!condition)
        abort();
}
