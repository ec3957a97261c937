// Fuzz target: the input becomes the first disc file of a set, and the whole
// set is installed into a temporary folder. Every message box answers
// Cancel, so a prompt for a missing disc gives up.
//
// Input: the first byte selects the set, the rest is the disc data.
//   bits 0-1: 0  the rest is cd1 as it is (header included)
//             1  a valid header (one disc, total size 1000) + the rest
//             2  a valid header for two discs + the rest; cd2 is the rest too
//             3  a valid header with total size 0 + the rest
//   bits 2-7: progress call that answers "stop" (0: never)
//
// Checked after every run: all heap blocks and files given back; on failure
// the install folder (absent before) is gone; nothing appeared anywhere
// else in the temporary folder.
#include "disc_format.h"
#include "file_object.h"
#include "install_engine.h"
#include "platform.h"
#include "tracked_memory.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <filesystem>
#include <set>
#include <string>

namespace {

std::string g_base;     // host folder holding everything
std::string g_src_win;  // the source root as the system names it
std::string g_inst_win; // the install folder, three levels below the base
int32_t g_cancel_at = 0;
int32_t g_calls = 0;

int answer_cancel(void*, const char*, const char*, unsigned type)
{
    return (type & 0xF) == PLAT_MB_OKCANCEL ? PLAT_IDCANCEL : PLAT_IDOK;
}

int32_t progress(int32_t)
{
    return ++g_calls == g_cancel_at ? 0 : 1;
}

std::string system_path(const std::string& host)
{
    char win[4096];
    if (!plat_from_host_path(host.c_str(), win, sizeof win))
        abort();
    return win;
}

void clean_up()
{
    std::error_code ec;
    std::filesystem::remove_all(g_base, ec);
}

void set_up()
{
    char tmpl[] = "/tmp/fuzz-disc-XXXXXX";
    if (!mkdtemp(tmpl))
        abort();
    g_base = tmpl;
    atexit(clean_up);
    std::filesystem::create_directories(g_base + "/src");
    std::filesystem::create_directories(g_base + "/a/b");
    g_src_win = system_path(g_base + "/src");
    g_inst_win = system_path(g_base + "/a/b") + "\\inst";
    plat_set_message_box_handler(answer_cancel);
    set_registration_enabled(0);
}

void write_host(const std::string& path, const std::string& bytes)
{
    FILE* f = fopen(path.c_str(), "wb");
    if (!f)
        abort();
    if (!bytes.empty() && fwrite(bytes.data(), bytes.size(), 1, f) != 1)
        abort();
    fclose(f);
}

std::string header(int32_t discs, int32_t total)
{
    std::string h(disc::kHeaderSize, '\0');
    memcpy(&h[disc::kCompanyAt], "Co", 2);
    memcpy(&h[disc::kProductAt], "Game", 4);
    memcpy(&h[disc::kRegkeyAt], "Key", 3);
    memcpy(&h[disc::kExeAt], "g.exe", 5);
    memcpy(&h[disc::kDiscCountAt], &discs, 4);  // the fuzz hosts are little-endian
    memcpy(&h[disc::kTotalSizeAt], &total, 4);
    return h;
}

// Every path below the base, relative to it.
std::set<std::string> tree()
{
    std::set<std::string> out;
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(g_base, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
        out.insert(std::filesystem::relative(it->path(), g_base).string());
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (g_base.empty())
        set_up();
    if (size < 1)
        return 0;
    int mode = data[0] & 3;
    g_cancel_at = data[0] >> 2;
    g_calls = 0;
    std::string rest((const char*)data + 1, size - 1);
    std::string cd1 = rest;
    if (mode == 1)
        cd1 = header(1, 1000) + rest;
    else if (mode == 2)
        cd1 = header(2, 1000) + rest;
    else if (mode == 3)
        cd1 = header(1, 0) + rest;
    write_host(g_base + "/src/cd1", cd1);
    if (mode == 2)
        write_host(g_base + "/src/cd2", rest);
    std::set<std::string> before = tree();

    int32_t opened = open_count();
    int32_t live = tracked_stats().live;
    int result = install_disc_set(g_inst_win.c_str(), g_src_win.c_str(), "u", nullptr, progress);
    if (open_count() != opened || tracked_stats().live != live)
        abort();  // a file or heap block was left behind

    std::set<std::string> after = tree();
    std::string inst = "a/b/inst";
    for (const std::string& p : after) {
        bool inside = p == inst || p.compare(0, inst.size() + 1, inst + "/") == 0;
        if (!before.count(p) && !inside)
            abort();  // something was made outside the install folder
        if (inside && !result)
            abort();  // a failed install left part of itself behind
    }
    for (const std::string& p : before)
        if (!after.count(p))
            abort();  // something that was there is gone

    std::error_code ec;
    std::filesystem::remove_all(g_base + "/a/b/inst", ec);
    std::filesystem::remove(g_base + "/src/cd2", ec);
    return 0;
}
