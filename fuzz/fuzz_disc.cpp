// Fuzz target: the install engine on a disc set built from the input.
//
// The input is a small script of records with raw payloads; the target
// compresses each payload itself, so mutations change paths, lengths and
// record order rather than breaking deflate data and checksums.
//
//   byte 0 (selector)
//     bits 0-1: header  0  disc count = discs in the script, total size =
//                          the records' decompressed bytes
//                       1  the same with total size 0
//                       2  one disc more than the script holds (the prompt
//                          for it answers Cancel)
//                       3  disc count and total size are the next 8 bytes
//                          (two little-endian 32-bit values)
//     bits 2-7: progress call that answers "stop" (0: never)
//   then operations, one byte each, until the input ends:
//     op & 7 = 1, 2, 3  directory, file or data record: the next byte is the
//                       payload length N, then N payload bytes. Paths get
//                       their NUL appended unless op & 0x08. op & 0x20
//                       repeats the payload to 204800 bytes (op & 0x40: one
//                       more), the decompressed limit. op & 0x80 stores the
//                       payload as it is instead of compressing it.
//     op & 7 = 4, 5     close or end record
//     op & 7 = 6        the next records go on the next disc (at most 4)
//     op & 7 = 0 or 7   op & 0x80: the next byte N, then N bytes copied into
//                       the disc file as they are (any length field, any
//                       truncation); otherwise the op byte itself, a type
//                       byte the engine skips
//
// Checked after every run: every heap block and file given back; on failure
// the install folder (absent before) is gone; nothing appeared or vanished
// anywhere else below the base folder. The install folder lies deeper below
// the base than any record path that fits the 260-byte path buffer can climb
// (each "\.." costs 3 bytes), so every escape lands inside the watched tree.
#include "disc_format.h"
#include "disc_header.h"
#include "file_object.h"
#include "fuzz_support.h"
#include "install_engine.h"
#include "platform.h"
#include "tracked_memory.h"

#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

namespace {

const int kMaxDiscs = 4;
const int kDepth = 48;  // folder levels between the base and the install folder

std::string g_base;      // host folder holding everything
std::string g_src_win;   // the source root as the system names it
std::string g_inst_win;  // the install folder, kDepth levels below the base
std::string g_inst_rel;  // the same, relative to the base
int32_t g_cancel_at = 0;
int32_t g_calls = 0;

int answer_cancel(void*, const char*, const char*, unsigned type)
{
    return (type & 0xF) == PLAT_MB_OKCANCEL ? PLAT_IDCANCEL : PLAT_IDOK;
}

int32_t progress(void*, int32_t)
{
    return ++g_calls == g_cancel_at ? 0 : 1;
}

void set_up()
{
    g_base = fuzz_folder("disc");
    std::string deep;
    for (int i = 0; i < kDepth; ++i)
        deep += i ? "/d" : "d";
    std::error_code ec;
    std::filesystem::create_directories(g_base + "/src", ec);
    std::filesystem::create_directories(g_base + "/" + deep, ec);
    if (ec)
        abort();
    g_src_win = fuzz_system_path(g_base + "/src");
    g_inst_win = fuzz_system_path(g_base + "/" + deep) + "\\i";
    g_inst_rel = deep + "/i";
    // A record path has at most 259 - install path length bytes; it cannot
    // climb more levels than that divided by 3.
    int32_t room = PLAT_PATH_SIZE - 1 - (int32_t)g_inst_win.size();
    if (room / 3 >= kDepth)
        abort();
}

void put32(std::string* out, int32_t v)
{
    uint32_t u = (uint32_t)v;
    for (int i = 0; i < 4; ++i)
        out->push_back((char)(u >> (8 * i)));
}

std::string header(int32_t discs, int32_t total)
{
    return encode_disc_header({"Co", "Game", "Key", "g.exe", discs, total});
}

std::string deflated(const std::string& raw)
{
    uLongf n = compressBound((uLong)raw.size());
    std::vector<Bytef> out(n);
    if (compress(out.data(), &n, (const Bytef*)raw.data(), (uLong)raw.size()) != Z_OK)
        abort();
    return std::string((const char*)out.data(), n);
}

// Reads the script into disc files; *decompressed counts the payload bytes
// of records 1 to 3 as the engine will count them.
struct Script {
    const uint8_t* p;
    const uint8_t* end;

    int byte() { return p < end ? *p++ : -1; }
    std::string take(size_t n)
    {
        size_t left = (size_t)(end - p);
        if (n > left)
            n = left;
        std::string s((const char*)p, n);
        p += n;
        return s;
    }
};

std::vector<std::string> build_discs(Script* s, int64_t* decompressed)
{
    std::vector<std::string> discs(1);
    *decompressed = 0;
    for (int op; (op = s->byte()) >= 0;) {
        int type = op & 7;
        if (type >= disc::kDirectory && type <= disc::kData) {
            int n = s->byte();
            std::string payload = s->take(n < 0 ? 0 : (size_t)n);
            if (type != disc::kData && !(op & 0x08))
                payload.push_back('\0');
            if ((op & 0x20) && !payload.empty()) {
                size_t want = (size_t)disc::kMaxDecompressed + ((op & 0x40) ? 1 : 0);
                std::string big;
                while (big.size() < want)
                    big += payload;
                payload = big.substr(0, want);
            }
            std::string stream = (op & 0x80) ? payload : deflated(payload);
            if (!(op & 0x80))
                *decompressed += (int64_t)payload.size();
            discs.back().push_back((char)type);
            put32(&discs.back(), (int32_t)stream.size());
            discs.back() += stream;
        } else if (type == disc::kClose || type == disc::kEnd) {
            discs.back().push_back((char)type);
        } else if (type == 6) {
            if ((int)discs.size() < kMaxDiscs)
                discs.emplace_back();
        } else if (op & 0x80) {
            int n = s->byte();
            discs.back() += s->take(n < 0 ? 0 : (size_t)n);
        } else {
            discs.back().push_back((char)op);
        }
    }
    return discs;
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
    Script s{data + 1, data + size};
    int32_t raw_count = 0, raw_total = 0;
    if (mode == 3) {
        std::string fields = s.take(8);
        fields.resize(8, '\0');
        memcpy(&raw_count, &fields[0], 4);  // the fuzz hosts are little-endian
        memcpy(&raw_total, &fields[4], 4);
    }
    int64_t decompressed = 0;
    std::vector<std::string> discs = build_discs(&s, &decompressed);
    int32_t count = (int32_t)discs.size();
    int32_t total = decompressed > INT32_MAX ? INT32_MAX : (int32_t)decompressed;
    if (mode == 1)
        total = 0;
    else if (mode == 2)
        count += 1;
    else if (mode == 3)
        count = raw_count, total = raw_total;
    discs[0] = header(count, total) + discs[0];
    for (size_t i = 0; i < discs.size(); ++i)
        fuzz_write_host(g_base + "/src/cd" + std::to_string(i + 1), discs[i]);
    std::set<std::string> before = fuzz_tree(g_base);

    int32_t opened = open_count();
    int32_t live = tracked_stats().live;
    EngineOptions options;
    options.progress = progress;
    options.message_box = answer_cancel;
    options.registration = 0;
    int result = install_disc_set_with(g_inst_win.c_str(), g_src_win.c_str(), options);
    if (open_count() != opened || tracked_stats().live != live)
        abort();  // a file or heap block was left behind

    std::set<std::string> after = fuzz_tree(g_base);
    for (const std::string& p : after) {
        bool inside = p == g_inst_rel || p.compare(0, g_inst_rel.size() + 1, g_inst_rel + "/") == 0;
        if (!before.count(p) && !inside)
            abort();  // something was made outside the install folder
        if (inside && !result)
            abort();  // a failed install left part of itself behind
    }
    for (const std::string& p : before)
        if (!after.count(p))
            abort();  // something that was there is gone

    std::error_code ec;
    std::filesystem::remove_all(g_base + "/" + g_inst_rel, ec);
    for (size_t i = 0; i < discs.size(); ++i)
        std::filesystem::remove(g_base + "/src/cd" + std::to_string(i + 1), ec);
    return 0;
}
