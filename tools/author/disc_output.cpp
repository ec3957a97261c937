#include "disc_output.h"

#include "byte_order.h"
#include "disc_format.h"
#include "disc_layout.h"
#include "disc_names.h"

#include <cstring>

namespace pack {

fs::path DiscOutput::disc_path(int32_t number) const
{
    return out / ("disc" + std::to_string(number)) / disc_file_name_of(number);
}

int DiscOutput::create_disc_file(std::string* error)
{
    fs::path path = disc_path(disc_count);
    std::error_code ec;
    fs::create_directories(path.parent_path(), ec);
    file.open(path, std::ios::binary | std::ios::trunc);
    if (!file) {
        *error = "cannot create " + utf8_of(path);
        return 0;
    }
    written.push_back(path);
    return 1;
}

int DiscOutput::open_next(std::string* error)
{
    ++disc_count;
    if (!room_of(disc_count, disc_count == 1 ? kOnFirst : kOnMiddle, &room, error) || !create_disc_file(error))
        return 0;
    used = 0;
    starts.clear();
    types.clear();
    if (disc_count == 1) {
        file.write(header.data(), (std::streamsize)header.size());
        used = (int64_t)header.size();
    }
    return 1;
}

int DiscOutput::finish_disc(std::string* error)
{
    char end = (char)disc::kEnd;
    file.write(&end, 1);
    used += 1;
    file.close();
    if (!file) {
        *error = "cannot write " + utf8_of(disc_path(disc_count));
        return 0;
    }
    disc_bytes.push_back(used);
    return 1;
}

int DiscOutput::put(unsigned char type, const unsigned char* stream, size_t length, std::string* error)
{
    int64_t size = type == disc::kClose ? 1 : 1 + disc::kLengthSize + (int64_t)length;
    if (disc_count == 0 || used + size + 1 > room) {
        if (disc_count > 0 && !finish_disc(error))
            return 0;
        if (!open_next(error))
            return 0;
        if (used + size + 1 > room) {
            int64_t left = std::max<int64_t>(0, room - used - 1);
            *error = "a record of " + std::to_string(size) + " bytes does not fit on disc " +
                     std::to_string(disc_count) + " (room for " + std::to_string(left) +
                     " bytes of records on it beside the files that go with the disc file); choose a larger "
                     "--disc-size" +
                     (disc_count == 1 ? " or a smaller --first-disc-reserve" : "");
            return 0;
        }
    }
    starts.push_back(used);
    types.push_back(type);
    unsigned char head[1 + disc::kLengthSize];
    head[0] = type;
    if (type == disc::kClose) {
        file.write((const char*)head, 1);
    } else {
        put_le32(head + 1, (int32_t)length);
        file.write((const char*)head, sizeof head);
        file.write((const char*)stream, (std::streamsize)length);
    }
    used += size;
    if (!file) {
        *error = "cannot write " + utf8_of(disc_path(disc_count));
        return 0;
    }
    return 1;
}

int DiscOutput::finish_set(std::string* error)
{
    if (disc_count == 1)
        return finish_disc(error);  // disc 1 holds all of that already
    int64_t last_room = 0;
    if (!room_of(disc_count, kOnLast, &last_room, error))
        return 0;
    if (used + 1 <= last_room)
        return finish_disc(error);
    int64_t next_room = 0;
    if (!room_of(disc_count + 1, kOnLast, &next_room, error))
        return 0;
    size_t any = starts.size(), entry = starts.size();
    for (size_t i = starts.size(); i-- > 1;) {
        if (used - starts[i] + 1 > next_room)
            break;
        any = i;
        if (types[i] == disc::kDirectory || types[i] == disc::kFile) {
            entry = i;
            break;
        }
    }
    size_t from = entry != starts.size() ? entry : any;
    if (from == starts.size()) {
        *error =
            "the last disc has no room for its data folder, web shortcut and pictures beside a record "
            "of its disc file; choose a larger --disc-size";
        return 0;
    }
    return move_tail(starts[from], error) && finish_disc(error);
}

int DiscOutput::move_tail(int64_t at, std::string* error)
{
    file.close();
    fs::path path = disc_path(disc_count);
    // The buffered bytes are written out here: a full disk shows now.
    if (!file) {
        *error = "cannot write " + utf8_of(path);
        return 0;
    }
    std::ifstream in(path, std::ios::binary);
    in.seekg(at);
    int64_t length = used - at;
    used = at;
    std::error_code ec;
    // The end record follows at `at`: the file is cut there once the
    // tail is copied.
    if (!open_tail_disc(error))
        return 0;
    std::vector<char> buf(1 << 20);
    int64_t left = length;
    while (left > 0 && in) {
        std::streamsize n = (std::streamsize)std::min<int64_t>(left, (int64_t)buf.size());
        in.read(buf.data(), n);
        file.write(buf.data(), in.gcount());
        left -= in.gcount();
    }
    if (left != 0 || !file) {
        *error = "cannot move the last records of " + utf8_of(path) + " onto the next disc";
        return 0;
    }
    in.close();
    fs::resize_file(path, (uintmax_t)at, ec);
    std::ofstream end(path, std::ios::binary | std::ios::app);
    char end_byte = (char)disc::kEnd;
    end.write(&end_byte, 1);
    end.close();
    if (ec || !end) {
        *error = "cannot shorten " + utf8_of(path) + (ec ? ": " + ec.message() : "");
        return 0;
    }
    disc_bytes.push_back(at + 1);
    used = length;
    return 1;
}

int DiscOutput::open_tail_disc(std::string* error)
{
    ++disc_count;
    return create_disc_file(error);
}

void DiscOutput::discard()
{
    if (file.is_open())
        file.close();
    std::error_code ec;
    for (const fs::path& p : written) {
        fs::remove(p, ec);
        fs::remove(p.parent_path(), ec);  // only when it is empty
    }
}
int patch_header(const fs::path& cd1_path, const DiscHeaderFields& fields, std::string* error)
{
    std::string header = encode_disc_header(fields);
    std::fstream cd1(cd1_path, std::ios::binary | std::ios::in | std::ios::out);
    cd1.seekp(0);
    cd1.write(header.data(), (std::streamsize)header.size());
    cd1.close();
    if (!cd1) {
        *error = "cannot write the header of " + utf8_of(cd1_path);
        return 0;
    }
    return 1;
}

}  // namespace pack
