#include "medium_serving.h"

#include "platform.h"

#include <algorithm>
#include <cstring>

namespace {

// The serving in effect (one at a time) and the handler it replaced.
MediaServing* g_serving = nullptr;
FileOpenHandler g_previous = nullptr;

FILE* open_served(const char* path, const char* mode)
{
    MediaServing* s = g_serving;
    if (s) {
        try {
            for (size_t i = 0; i < s->roots.size(); ++i) {
                const std::string& root = s->roots[i];
                if (strncmp(path, root.c_str(), root.size()) != 0 || path[root.size()] != '\\')
                    continue;
                // A disc is only read; a write falls through to plat_fopen
                // as if nothing were served.
                if (strchr(mode, 'w') || strchr(mode, 'a') || strchr(mode, '+'))
                    break;
                std::string name;
                if (!to_utf8(path + root.size() + 1, &name))
                    return nullptr;
                std::replace(name.begin(), name.end(), '\\', '/');
                std::string error;
                FILE* f = s->media[i]->open(name, &error);
                if (!f)
                    s->open_error = error;
                return f;
            }
        } catch (...) {
            // No memory for a name: the open fails like a missing file.
            return nullptr;
        }
    }
    return g_previous ? g_previous(path, mode) : nullptr;
}

}  // namespace

int MediaServing::serve(DiscMedium* medium, std::string* root, std::string* error)
{
    if (!system_path_of(medium->root(), root, error))
        return 0;
    while (!root->empty() && root->back() == '\\')
        root->pop_back();  // a drive's root, "Z:\": its names follow one "\"
    return serve_as(medium, *root, error);
}

int MediaServing::serve_as(DiscMedium* medium, const std::string& root, std::string* error)
{
    if (g_serving && g_serving != this) {
        *error = "another set of discs is being served";
        return 0;
    }
    if (!g_serving) {
        g_previous = plat_set_file_open_handler(open_served);
        g_serving = this;
    }
    media.push_back(medium);
    roots.push_back(root);
    return 1;
}

void MediaServing::release()
{
    if (g_serving == this) {
        plat_set_file_open_handler(g_previous);
        g_previous = nullptr;
        g_serving = nullptr;
    }
    media.clear();
    roots.clear();
    open_error.clear();
}

int served_root_of(const fs::path& root, std::string* system_root)
{
    if (!g_serving)
        return 0;
    for (size_t i = 0; i < g_serving->media.size(); ++i)
        if (g_serving->media[i]->root() == root) {
            *system_root = g_serving->roots[i];
            return 1;
        }
    return 0;
}

std::string served_path(const std::string& root, const std::string& path)
{
    std::string name;
    if (!to_cp950(path, &name))
        return "";
    std::replace(name.begin(), name.end(), '/', '\\');
    return root + "\\" + name;
}
