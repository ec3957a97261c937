// The disc files of a pack as they are written: records go onto the open
// disc until it is full, the set's last records may move onto a disc of their
// own, and cd1's header is written again once the count and total are known.
#pragma once

#include "disc_header.h"
#include "host_files.h"

#include <cstdint>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace pack {

// The room for the disc file on disc `number` in the role it plays there
// (a DiscRoleBits value): the disc size less what lies beside the disc file.
using DiscRoom = std::function<bool(int32_t number, unsigned role, int64_t* room, std::string* error)>;

struct DiscOutput {
    fs::path out;
    DiscRoom room_of;
    int32_t disc_count = 0;  // discs opened so far
    int64_t used = 0;        // bytes on the open disc
    int64_t room = 0;        // the open disc's room while it is not the last
    std::ofstream file;
    std::vector<fs::path> written;
    std::vector<int64_t> disc_bytes;
    std::string header;  // placeholder written to cd1
    // Where each record of the open disc starts and its type, so that the
    // last records can move onto a disc of their own.
    std::vector<int64_t> starts;
    std::vector<unsigned char> types;

    fs::path disc_path(int32_t number) const;

    // Creates the file of disc disc_count (and its folder) as `file`.
    int create_disc_file(std::string* error);

    int open_next(std::string* error);

    int finish_disc(std::string* error);

    // Writes one record, moving to the next disc when it would not leave room
    // for the end record on this one.
    int put(unsigned char type, const unsigned char* stream, size_t length, std::string* error);

    // Ends the set. The last disc carries more beside its disc file than a
    // middle one (the data folder and the web shortcut): when its records
    // leave too little room for that, its last records move onto one more
    // disc, from the start of the last file or folder when those fit there,
    // else as many as fit.
    int finish_set(std::string* error);

    // Moves the bytes of the open disc from `at` on into the next disc, which
    // is left open.
    int move_tail(int64_t at, std::string* error);

    int open_tail_disc(std::string* error);

    // Removes the disc files of this run after a failure.
    void discard();
};

// The disc count and the total are known only at the end: cd1's header is
// written again with them.
int patch_header(const fs::path& cd1_path, const DiscHeaderFields& fields, std::string* error);

}  // namespace pack
