// Fuzz target: a package built from the input is opened through a file
// object and one member is read to its end, as setup would read a picture.
//
// Input: the first byte picks which name to ask for; the rest is the
// package file.
#include "apkg_writer.h"
#include "file_object.h"
#include "platform.h"
#include "tracked_memory.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

std::string g_folder;

void set_up()
{
    char tmpl[] = "/tmp/fuzz-apkg-XXXXXX";
    if (!mkdtemp(tmpl))
        abort();
    g_folder = tmpl;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (g_folder.empty())
        set_up();
    if (size < 1)
        return 0;
    static const char* names[] = {"m.txt", "M.TXT", "a", "pic.tga", "b\\c"};
    const char* name = names[data[0] % 5];
    std::string host = g_folder + "/p.apkg";
    FILE* f = fopen(host.c_str(), "wb");
    if (!f)
        abort();
    fwrite(data + 1, 1, size - 1, f);
    fclose(f);

    char win[4096];
    if (!plat_from_host_path(g_folder.c_str(), win, sizeof win))
        abort();
    std::string path = std::string(win) + "\\p\\" + name;

    int32_t opened = open_count();
    int32_t live = tracked_stats().live;
    FileObject m;
    if (m.open_read(path.c_str())) {
        char buf[1000];
        int32_t total = 0, n;
        int32_t size_field = m.size();
        while ((n = m.read(buf, sizeof buf)) > 0)
            total += n;
        if (total != size_field)
            abort();  // a member delivers exactly its size
        m.close();
    }
    // Nothing stays open or allocated, whatever the bytes were.
    if (open_count() != opened || tracked_stats().live != live)
        abort();

    // The toolkit's listing reads the same bytes through the same reader.
    std::vector<ApkgEntryInfo> entries;
    std::string error;
    apkg_list(host, &entries, &error);
    return 0;
}
