#include "disc_fixture.h"

#include "byte_order.h"
#include "disc_format.h"
#include "disc_header.h"
#include "disc_names.h"
#include "uninstall_manifest.h"

#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <zlib.h>

#include "platform.h"

namespace fixture {

namespace {

std::string le32(int32_t v)
{
    unsigned char b[4];
    put_le32(b, v);
    return std::string((const char*)b, 4);
}

std::string& stream_of(std::vector<std::string>* streams, int disc)
{
    if ((int)streams->size() <= disc)
        streams->resize((size_t)disc + 1);
    return (*streams)[(size_t)disc];
}

}  // namespace

std::string header(const std::string& company, const std::string& product, const std::string& regkey,
                   const std::string& exe, int32_t disc_count, int32_t total_size)
{
    return encode_disc_header({company, product, regkey, exe, disc_count, total_size});
}

std::string zlib(const std::string& bytes)
{
    uLongf n = compressBound((uLong)bytes.size());
    std::string out(n, '\0');
    if (compress((Bytef*)&out[0], &n, (const Bytef*)bytes.data(), (uLong)bytes.size()) != Z_OK)
        throw std::runtime_error("compress failed");
    out.resize(n);
    return out;
}

std::string raw_record(unsigned char type, int32_t length, const std::string& stream)
{
    return std::string(1, (char)type) + le32(length) + stream;
}

std::string raw_record(unsigned char type, const std::string& stream)
{
    return raw_record(type, (int32_t)stream.size(), stream);
}

std::string dir(const std::string& path)
{
    return raw_record(disc::kDirectory, zlib(path + std::string(1, '\0')));
}

std::string file(const std::string& path)
{
    return raw_record(disc::kFile, zlib(path + std::string(1, '\0')));
}

std::string data(const std::string& bytes)
{
    return raw_record(disc::kData, zlib(bytes));
}

std::string close_file()
{
    return std::string(1, (char)disc::kClose);
}

std::string end_disc()
{
    return std::string(1, (char)disc::kEnd);
}

std::string manifest_text(const std::vector<std::pair<std::string, std::string>>& files)
{
    char line[manifest::kMaxLineBytes + 1];
    std::string text(line, (size_t)manifest_first_line(line, sizeof line));
    for (const auto& f : files) {
        uint32_t crc = (uint32_t)crc32(0L, (const Bytef*)f.second.data(), (uInt)f.second.size());
        text += std::string(line, (size_t)manifest_entry_line(manifest::kFile, (uint32_t)f.second.size(), crc,
                                                              f.first.c_str() + 1, line, sizeof line));
    }
    return text + std::string(line, (size_t)manifest_end_line((int32_t)files.size(), line, sizeof line));
}

void DiscSet::add_dir(int disc, const std::string& path)
{
    stream_of(&streams, disc) += dir(path);
    total += (int64_t)path.size() + 1;
}

void DiscSet::add_file(int disc, const std::string& path)
{
    stream_of(&streams, disc) += file(path);
    total += (int64_t)path.size() + 1;
}

void DiscSet::add_file(int disc, const std::string& path, const std::string& bytes)
{
    add_file(disc, path);
    add_data(disc, bytes);
}

void DiscSet::add_data(int disc, const std::string& bytes)
{
    stream_of(&streams, disc) += data(bytes);
    total += (int64_t)bytes.size();
}

void DiscSet::add_raw(int disc, const std::string& bytes)
{
    stream_of(&streams, disc) += bytes;
}

std::vector<std::string> DiscSet::files() const
{
    std::vector<std::string> out = streams;
    if (out.empty())
        out.resize(1);
    int32_t count = disc_count_override >= 0 ? disc_count_override : (int32_t)streams.size();
    int32_t size = use_total_override ? total_override : (int32_t)total;
    out[0] = header(company, product, regkey, exe, count, size) + out[0];
    return out;
}

void write_set(const DiscSet& set, const std::string& win_folder)
{
    std::vector<std::string> discs = set.files();
    for (size_t i = 0; i < discs.size(); ++i) {
        char name[300];
        disc_file_path(win_folder.c_str(), (int32_t)i + 1, name, sizeof name);
        FILE* f = plat_fopen(name, "wb");
        if (!f)
            throw std::runtime_error(std::string("cannot write ") + name);
        size_t ok = discs[i].empty() ? 1 : fwrite(discs[i].data(), discs[i].size(), 1, f);
        fclose(f);
        if (ok != 1)
            throw std::runtime_error(std::string("cannot write ") + name);
    }
}

}  // namespace fixture
