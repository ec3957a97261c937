#include "test_support.h"

#include "byte_order.h"
#include "platform.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <random>
#include <sstream>

std::string big5(const std::string& utf8_text)
{
    std::vector<char> buf(utf8_text.size() * 2 + 8);
    bool ok = plat_utf8_to_cp950(utf8_text.c_str(), buf.data(), (int)buf.size()) != 0;
    EXPECT_TRUE(ok) << "no Big5 form: " << utf8_text;
    return buf.data();
}

std::string utf8(const std::string& cp950)
{
    std::vector<char> buf(cp950.size() * 3 + 8);
    if (!plat_cp950_to_utf8(cp950.c_str(), buf.data(), (int)buf.size()))
        return cp950;
    return buf.data();
}

void expect_texts_are_big5(const ListedText* texts, size_t count)
{
    for (size_t i = 0; i < count; ++i)
        EXPECT_EQ(big5(texts[i].utf8), texts[i].shown) << texts[i].name;
}

TempDir::TempDir()
{
    static std::atomic<int> counter{0};
    auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    fs::path base = fs::temp_directory_path();
    for (int attempt = 0;; ++attempt) {
        host = base / ("di-test-" + std::to_string(stamp % 1000000007) + "-" + std::to_string(counter++));
        std::error_code ec;
        if (fs::create_directory(host, ec))
            break;
        if (attempt > 100)
            throw std::runtime_error("cannot make a temporary folder");
    }
    std::vector<char> buf(4096);
    if (!plat_from_host_path(host.u8string().c_str(), buf.data(), (int)buf.size()))
        throw std::runtime_error("temporary folder has no system name");
    win = buf.data();
}

TempDir::~TempDir()
{
    std::error_code ec;
    // Files a test made read-only must not keep the folder alive.
    for (auto it = fs::recursive_directory_iterator(host, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec))
        fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(host, ec);
}

std::string TempDir::path(const std::string& utf8_name) const
{
    return win + "\\" + big5(utf8_name);
}

fs::path host_of(const std::string& win_path)
{
    std::vector<char> buf(4096);
    if (!plat_to_host_path(win_path.c_str(), buf.data(), (int)buf.size()))
        throw std::runtime_error("no host path for " + utf8(win_path));
    return fs::u8path(buf.data());
}

std::string host_bytes(const fs::path& host_path)
{
    std::ifstream in(host_path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void put_host_bytes(const fs::path& host_path, const std::string& bytes)
{
    std::error_code ec;
    if (host_path.has_parent_path())
        fs::create_directories(host_path.parent_path(), ec);
    std::ofstream out(host_path, std::ios::binary | std::ios::trunc);
    ASSERT_TRUE(out) << "cannot create " << host_path.u8string();
    out.write(bytes.data(), (std::streamsize)bytes.size());
}

void put_number(std::string* bytes, int at, int32_t value)
{
    ASSERT_LE((size_t)at + 4, bytes->size());
    put_le32((unsigned char*)&(*bytes)[(size_t)at], value);
}

Snapshot snapshot(const fs::path& host_folder)
{
    Snapshot s;
    std::error_code ec;
    if (!fs::exists(host_folder, ec))
        return s;
    for (auto it = fs::recursive_directory_iterator(host_folder, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        std::string rel = fs::relative(it->path(), host_folder, ec).generic_u8string();
        s[rel] = it->is_directory(ec) ? std::string(kFolderMark) : host_bytes(it->path());
    }
    return s;
}

std::string describe(const Snapshot& s)
{
    std::string out;
    for (const auto& e : s)
        out += e.first + (e.second == kFolderMark ? "/" : " (" + std::to_string(e.second.size()) + " bytes)") + "\n";
    return out;
}

void write_file(const std::string& win_path, const std::string& bytes)
{
    std::ofstream out(host_of(win_path), std::ios::binary | std::ios::trunc);
    ASSERT_TRUE(out) << "cannot create " << utf8(win_path);
    out.write(bytes.data(), (std::streamsize)bytes.size());
}

std::string read_file(const std::string& win_path)
{
    return host_bytes(host_of(win_path));
}

bool exists(const std::string& win_path)
{
    std::error_code ec;
    return fs::exists(host_of(win_path), ec);
}

std::vector<ShownBox> BoxRecorder::shown;
std::deque<int> BoxRecorder::answers;

namespace {
MessageBoxHandler g_previous = nullptr;

int record_box(void*, const char* text, const char* caption, unsigned type)
{
    BoxRecorder::shown.push_back({utf8(text ? text : ""), utf8(caption ? caption : ""), type});
    if (BoxRecorder::answers.empty())
        return PLAT_IDOK;
    int a = BoxRecorder::answers.front();
    BoxRecorder::answers.pop_front();
    return a;
}
}  // namespace

BoxRecorder::BoxRecorder()
{
    shown.clear();
    answers.clear();
    g_previous = plat_set_message_box_handler(record_box);
}

BoxRecorder::~BoxRecorder()
{
    plat_set_message_box_handler(g_previous);
}

std::string random_bytes(size_t n, unsigned seed)
{
    std::mt19937 gen(seed);
    std::string s(n, '\0');
    for (char& c : s)
        c = (char)(gen() & 0xFF);
    return s;
}
