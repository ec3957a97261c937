// Fuzz target: a package built from the input is opened through a file
// object and one member is read to its end, as setup would read a picture;
// then the toolkit lists it and unpacks it with `apkg extract`.
//
// Input: the first byte
//   bits 0-2: which name to ask the file object for
//   bits 3-4: the output folder before unpacking: 0 absent, 1 empty,
//             2 holding a link "m.txt" to a file outside it, 3 holding a
//             file of the user's
// the rest is the package file.
//
// Checked on every input: nothing stays open or allocated; a member
// delivers exactly its size; unpacking creates nothing outside the output
// folder and changes nothing that was there before; a refused unpacking
// leaves the output folder as it was; an accepted one writes every file with
// the bytes the installer's own lookup reads for that name.
#include "apkg_writer.h"
#include "file_object.h"
#include "fuzz_support.h"
#include "platform.h"
#include "tracked_memory.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <unistd.h>

namespace {

std::string g_folder;  // host folder holding everything
std::string g_win;     // the same as the system names it

void set_up()
{
    g_folder = fuzz_folder("apkg");
    g_win = fuzz_system_path(g_folder);
}

std::string read_host(const std::filesystem::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Every entry below the base with its content (links by their target).
std::map<std::string, std::string> snapshot()
{
    std::map<std::string, std::string> out;
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(g_folder, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        std::string rel = it->path().string().substr(g_folder.size() + 1);
        if (it->is_symlink(ec))
            out[rel] = "link:" + std::filesystem::read_symlink(it->path(), ec).string();
        else if (it->is_regular_file(ec))
            out[rel] = read_host(it->path());
        else
            out[rel] = "folder";
    }
    return out;
}

// What the installer reads for member `name` of the package p.apkg.
bool installer_reads(const std::string& name, std::string* bytes)
{
    std::string path = g_win + "\\p\\" + name;
    FileObject m;
    if (!m.open_read(path.c_str()))
        return false;
    char buf[4096];
    bytes->clear();
    for (int32_t n; (n = m.read(buf, sizeof buf)) > 0;)
        bytes->append(buf, (size_t)n);
    m.close();
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (g_folder.empty())
        set_up();
    if (size < 1)
        return 0;
    static const char* names[] = {"m.txt", "M.TXT", "a", "pic.tga", "b\\c", "CON", "m.txt.", "\xA4\x61"};
    const char* name = names[data[0] & 7];
    int out_state = (data[0] >> 3) & 3;
    std::string host = g_folder + "/p.apkg";
    fuzz_write_host(host, std::string((const char*)data + 1, size - 1));

    int32_t opened = open_count();
    int32_t live = tracked_stats().live;
    FileObject m;
    if (m.open_read((g_win + "\\p\\" + name).c_str())) {
        char buf[1000];
        int32_t total = 0, n;
        int32_t size_field = m.size();
        while ((n = m.read(buf, sizeof buf)) > 0)
            total += n;
        if (total != size_field)
            abort();  // a member delivers exactly its size
        m.close();
    }
    if (open_count() != opened || tracked_stats().live != live)
        abort();

    // The toolkit's listing reads the same bytes through the same reader.
    std::vector<ApkgEntryInfo> entries;
    std::string error;
    apkg_list(host, &entries, &error);

    // Unpacking, into the folder state the selector asks for.
    std::string out = g_folder + "/out";
    std::error_code ec;
    if (out_state >= 1)
        std::filesystem::create_directory(out, ec);
    if (out_state == 2) {
        fuzz_write_host(g_folder + "/victim", "outside");
        std::filesystem::create_symlink(g_folder + "/victim", out + "/m.txt", ec);
    } else if (out_state == 3) {
        fuzz_write_host(out + "/mine", "the user's");
    }
    std::map<std::string, std::string> before = snapshot();
    std::vector<std::string> shadowed;
    bool ok = apkg_extract(host, out, &error, &shadowed);
    std::map<std::string, std::string> after = snapshot();
    if (open_count() != opened || tracked_stats().live != live)
        abort();
    if (ok && out_state >= 2)
        abort();  // unpacked into a folder that was not empty
    for (const auto& kv : before) {
        auto it = after.find(kv.first);
        if (it == after.end() || it->second != kv.second)
            abort();  // something that was there is gone or changed
    }
    for (const auto& kv : after) {
        if (before.count(kv.first))
            continue;
        bool inside = kv.first == "out" || kv.first.compare(0, 4, "out/") == 0;
        if (!inside || !ok)
            abort();  // made outside the folder, or left by a refused run
        if (kv.first == "out")
            continue;
        // Each file holds what setup would read for its name. (A name with
        // a Big5 character whose second byte is 0x5C is unpacked too, but
        // the installer's lookup splits the path there and never finds it.)
        std::string member = kv.first.substr(4), want;
        char cp950[256];
        if (member.find('/') != std::string::npos || !plat_utf8_to_cp950(member.c_str(), cp950, sizeof cp950))
            abort();
        if (!strchr(cp950, '\\') && (!installer_reads(cp950, &want) || want != kv.second))
            abort();
    }
    if (open_count() != opened || tracked_stats().live != live)
        abort();
    std::filesystem::remove_all(out, ec);
    std::filesystem::remove(g_folder + "/victim", ec);
    return 0;
}
