#include "disc_writer.h"

#include "byte_order.h"
#include "disc_header.h"
#include "disc_names.h"
#include "disc_scan.h"
#include "iso_image.h"
#include "record_path.h"
#include "registration.h"
#include "uninstall_manifest.h"

#include <zlib.h>

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <deque>
#include <functional>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <thread>

namespace {

// ---- What goes on the discs ------------------------------------------------

// Kept for every entry of the game until its records are written, so it is
// small: the host path as a plain string (a path object also keeps a list of
// its components, several times the memory).
struct PackItem {
    bool is_directory;
    fs::path::string_type host;
    std::string record_path;  // code page 950, starts with "\"
    uint64_t size;
    bool is_manifest = false; // the uninstall manifest: made in memory when its turn comes
    uint32_t crc = 0;         // of the content, once it has been read
};

// A line of the uninstall manifest for a file or folder of the data folder.
struct DataEntry {
    bool is_directory;
    std::string record_path;
    uint32_t size;
    uint32_t crc;
};

// Characters Windows does not allow in a file name.
bool has_forbidden_char(const std::string& utf8)
{
    for (unsigned char c : utf8)
        if (c < 0x20 || strchr("\\/:*?\"<>|", c))
            return true;
    return false;
}

struct Walker {
    size_t install_folder_length;
    std::string install_folder_utf8;
    std::vector<PackItem>* items;
    std::string* error;

    // Upper-case record paths seen so far: two names of one folder that
    // differ only in ASCII case would install as one file on Windows. (The
    // folder part of the path tells the folders apart, and folders that
    // differ only in case are already refused.)
    std::set<std::string> seen;

    bool walk(const fs::path& game)
    {
        return walk_host_tree(game, "", [this](const HostEntry& e, const std::string& prefix, std::string* below,
                                               std::string*) { return entry(e, prefix, below); },
                              error);
    }

    // One entry of the game's tree, checked as the installer will see it.
    bool entry(const HostEntry& e, const std::string& prefix, std::string* below)
    {
        std::string name;
        if (!to_cp950(e.utf8_name, &name)) {
            *error = "the name " + utf8_of(e.path) + " has no Big5 (code page 950) form";
            return false;
        }
        if (has_forbidden_char(e.utf8_name) || e.utf8_name.back() == '.' || e.utf8_name.back() == ' ') {
            *error = "the name " + utf8_of(e.path) +
                     " cannot be a Windows file name (it holds one of \\ / : * ? \" < > | or a control "
                     "character, or ends with a dot or a space)";
            return false;
        }
        std::string record_path = prefix + "\\" + name;
        if (!seen.insert(uppercase_cp950(record_path)).second) {
            *error = "the name " + utf8_of(e.path) +
                     " differs from another name in its folder only in upper and lower case; Windows "
                     "would install both as one file";
            return false;
        }
        if (install_folder_length + record_path.size() > (size_t)disc::kMaxPathBytes) {
            *error = "the path " + utf8_of(e.path) + " is too long: with the proposed install folder " +
                     install_folder_utf8 + " it takes " +
                     std::to_string(install_folder_length + record_path.size()) +
                     " bytes in code page 950, and the installer allows " +
                     std::to_string(disc::kMaxPathBytes);
            return false;
        }
        // The engine's own check, so nothing packed here is refused at
        // install time or created under another name.
        const char* problem = nullptr;
        std::string with_nul = record_path + '\0';
        char created[kRecordPathBuffer];
        if (!fold_record_path(e.is_directory ? disc::kDirectory : disc::kFile,
                              (const unsigned char*)with_nul.data(), (int32_t)with_nul.size(),
                              (int32_t)install_folder_length, created, &problem)) {
            *error = "the installer would refuse the path " + utf8_of(e.path) + ": " + problem;
            return false;
        }
        if (record_path != created) {
            *error = "the installer would create " + utf8_of(e.path) + " under another name";
            return false;
        }
        items->push_back(PackItem{e.is_directory, e.path.native(), record_path, e.size});
        *below = record_path;
        return true;
    }
};

// ---- Records and the compression pool -------------------------------------

struct RecordJob {
    unsigned char type = 0;
    std::vector<unsigned char> input;   // decompressed bytes
    size_t input_length = 0;
    std::vector<unsigned char> output;  // compressed stream
    size_t output_length = 0;
    bool done = false;
    bool failed = false;
};

void compress_job(RecordCompressor* compressor, RecordJob* job)
{
    size_t cap = compress_bound(job->input_length);
    if (job->output.size() < cap)
        job->output.resize(cap);
    job->output_length = compressor->compress(job->input.data(), job->input_length, job->output.data(), cap);
    job->failed = job->output_length == 0 || job->output_length > (size_t)disc::kMaxCompressed;
}

// Worker threads take jobs in any order; the writer takes results in record
// order, so the output does not depend on timing.
struct CompressPool {
    std::mutex mutex;
    std::condition_variable work_ready;
    std::condition_variable job_done;
    std::deque<RecordJob*> queue;
    bool stopping = false;
    std::vector<std::thread> workers;
    bool create_failed = false;

    void start(int count, CompressorKind kind, int level)
    {
        for (int i = 0; i < count; ++i)
            workers.emplace_back([this, kind, level] { run(kind, level); });
    }

    void run(CompressorKind kind, int level)
    {
        RecordCompressor compressor;
        bool ok = compressor.create(kind, level);
        for (;;) {
            RecordJob* job;
            {
                std::unique_lock<std::mutex> lock(mutex);
                work_ready.wait(lock, [this] { return stopping || !queue.empty(); });
                if (queue.empty())
                    break;
                job = queue.front();
                queue.pop_front();
            }
            if (ok)
                compress_job(&compressor, job);
            else
                job->failed = true;
            {
                std::lock_guard<std::mutex> lock(mutex);
                job->done = true;
            }
            job_done.notify_one();  // only the writing thread waits for results
        }
        compressor.release();
    }

    void submit(RecordJob* job)
    {
        {
            std::lock_guard<std::mutex> lock(mutex);
            job->done = false;
            queue.push_back(job);
        }
        work_ready.notify_one();
    }

    // Waits until `job` is compressed. Meanwhile the caller compresses
    // queued jobs itself with `own`, so the writing thread is one of the
    // compressing threads rather than an extra one that mostly sleeps.
    void wait(RecordJob* job, RecordCompressor* own)
    {
        std::unique_lock<std::mutex> lock(mutex);
        while (!job->done) {
            if (queue.empty()) {
                job_done.wait(lock, [this, job] { return job->done || !queue.empty(); });
                continue;
            }
            RecordJob* other = queue.front();
            queue.pop_front();
            lock.unlock();
            compress_job(own, other);
            lock.lock();
            other->done = true;
        }
    }

    // Drops the jobs still queued (after a failure nobody waits for them)
    // and stops: the ones being compressed are finished first, so no worker
    // touches a job after this returns.
    void abandon_and_stop()
    {
        {
            std::lock_guard<std::mutex> lock(mutex);
            queue.clear();
        }
        stop();
    }

    void stop()
    {
        {
            std::lock_guard<std::mutex> lock(mutex);
            stopping = true;
        }
        work_ready.notify_all();
        for (std::thread& t : workers)
            t.join();
        workers.clear();
    }
};

// Produces the records one after another from the item list, reading file
// contents in record-sized pieces.
std::string build_manifest(const std::vector<PackItem>& items, const std::vector<DataEntry>& data,
                           int64_t* count);

struct RecordSource {
    std::vector<PackItem>* items;
    const std::vector<DataEntry>* data = nullptr;
    size_t next_item = 0;
    std::ifstream file;
    bool in_file = false;
    PackItem* current = nullptr;
    int64_t data_bytes = 0;
    std::string memory;        // the manifest's bytes, while it is the current file
    size_t memory_at = 0;
    bool from_memory = false;
    uLong crc = 0;             // of the current file so far
    int64_t manifest_entries = 0;

    // 1 with a record in job, 0 at the end, -1 on a read error.
    int next(RecordJob* job, std::string* error)
    {
        job->done = false;
        job->failed = false;
        job->output_length = 0;
        if (in_file) {
            if (job->input.size() < (size_t)disc::kMaxDecompressed)
                job->input.resize(disc::kMaxDecompressed);
            std::streamsize got = 0;
            if (from_memory) {
                got = (std::streamsize)std::min(memory.size() - memory_at, (size_t)disc::kMaxDecompressed);
                memcpy(job->input.data(), memory.data() + memory_at, (size_t)got);
                memory_at += (size_t)got;
            } else {
                file.read((char*)job->input.data(), disc::kMaxDecompressed);
                got = file.gcount();
                if (file.bad()) {
                    *error = "cannot read " + utf8_of(fs::path(current->host));
                    return -1;
                }
            }
            if (got > 0) {
                job->type = disc::kData;
                job->input_length = (size_t)got;
                crc = crc32(crc, job->input.data(), (uInt)got);
                data_bytes += got;
                return 1;
            }
            if (!from_memory)
                file.close();
            current->crc = (uint32_t)crc;
            in_file = false;
            job->type = disc::kClose;
            job->input_length = 0;
            job->done = true;
            return 1;
        }
        if (next_item >= items->size())
            return 0;
        current = &(*items)[next_item++];
        const std::string& path = current->record_path;
        // The buffer keeps its size (a record's worth) between uses, so
        // reusing it never clears 200 KiB again.
        if (job->input.size() < path.size() + 1)
            job->input.resize(std::max(path.size() + 1, (size_t)disc::kMaxDecompressed));
        memcpy(job->input.data(), path.c_str(), path.size() + 1);
        job->input_length = path.size() + 1;
        job->type = current->is_directory ? disc::kDirectory : disc::kFile;
        if (!current->is_directory) {
            crc = crc32(0L, Z_NULL, 0);
            from_memory = current->is_manifest;
            if (from_memory) {
                // The last item: every file before it has been read, so
                // their checksums are known.
                memory = build_manifest(*items, *data, &manifest_entries);
                memory_at = 0;
            } else {
                file.clear();
                file.open(fs::path(current->host), std::ios::binary);
                if (!file) {
                    *error = "cannot open " + utf8_of(fs::path(current->host));
                    return -1;
                }
            }
            in_file = true;
        }
        return 1;
    }
};

std::string manifest_line(char kind, uint32_t size, uint32_t crc, const std::string& record_path)
{
    char line[manifest::kMaxLineBytes + 1];
    // Relative to the install folder: without the leading "\". The paths
    // were checked to fit a record path, so the line fits.
    int32_t n = manifest_entry_line(kind, size, crc, record_path.c_str() + 1, line, sizeof line);
    return std::string(line, (size_t)n);
}

// The manifest: every folder and file of the game in record order, a data
// file taking the place of the game file it overwrites at install time,
// then the data folder's other entries. The uninstaller and the manifest
// are not listed.
std::string build_manifest(const std::vector<PackItem>& items, const std::vector<DataEntry>& data, int64_t* count)
{
    std::map<std::string, const DataEntry*> data_by_name;
    for (const DataEntry& d : data)
        data_by_name[uppercase_cp950(d.record_path)] = &d;
    std::set<std::string> listed;
    char buf[64];
    std::string out(buf, (size_t)manifest_first_line(buf, sizeof buf));
    *count = 0;
    for (const PackItem& it : items) {
        if (it.is_manifest || it.record_path == std::string("\\") + kUninstallProgram)
            continue;
        std::string folded = uppercase_cp950(it.record_path);
        listed.insert(folded);
        auto d = data_by_name.find(folded);
        if (!it.is_directory && d != data_by_name.end() && !d->second->is_directory)
            out += manifest_line(manifest::kFile, d->second->size, d->second->crc, it.record_path);
        else
            out += manifest_line(it.is_directory ? manifest::kFolder : manifest::kFile, (uint32_t)it.size, it.crc,
                                 it.record_path);
        ++*count;
    }
    for (const DataEntry& d : data) {
        if (listed.count(uppercase_cp950(d.record_path)))
            continue;
        out += manifest_line(d.is_directory ? manifest::kFolder : manifest::kFile, d.size, d.crc, d.record_path);
        ++*count;
    }
    out += std::string(buf, (size_t)manifest_end_line((int32_t)*count, buf, sizeof buf));
    return out;
}

// The data folder's entries, checked like the game's, with the checksum of
// every file.
bool walk_data(const fs::path& folder, size_t install_folder_length, std::vector<DataEntry>* out, std::string* error)
{
    auto entry = [&](const HostEntry& e, const std::string& prefix, std::string* below, std::string* why) {
        std::string name;
        if (!to_cp950(e.utf8_name, &name)) {
            *why = "the name " + utf8_of(e.path) + " has no Big5 (code page 950) form";
            return false;
        }
        std::string record_path = prefix + "\\" + name;
        const char* problem = nullptr;
        std::string with_nul = record_path + '\0';
        char created[kRecordPathBuffer];
        if (!fold_record_path(e.is_directory ? disc::kDirectory : disc::kFile, (const unsigned char*)with_nul.data(),
                              (int32_t)with_nul.size(), (int32_t)install_folder_length, created, &problem)) {
            *why = "the data file " + utf8_of(e.path) + " cannot be listed for the uninstaller: " + problem;
            return false;
        }
        if (record_path != created) {
            *why = "the data file " + utf8_of(e.path) + " would be copied under another name on Windows";
            return false;
        }
        DataEntry d{e.is_directory, record_path, 0, 0};
        if (!e.is_directory) {
            std::string bytes;
            if (!read_host_file(e.path, &bytes, why))
                return false;
            if (bytes.size() > 0x7FFFFFFFu) {
                *why = "the data file " + utf8_of(e.path) + " is larger than 2 GiB";
                return false;
            }
            d.size = (uint32_t)bytes.size();
            d.crc = (uint32_t)crc32(crc32(0L, Z_NULL, 0), (const Bytef*)bytes.data(), (uInt)bytes.size());
        }
        out->push_back(d);
        *below = record_path;
        return true;
    };
    return walk_host_tree(folder, "", entry, error);
}

// ---- Disc files ------------------------------------------------------------

// The room for the disc file on disc `number` in the role it plays there
// (a DiscRoleBits value): the disc size less what lies beside the disc file.
using DiscRoom = std::function<bool(int32_t number, unsigned role, int64_t* room, std::string* error)>;

struct DiscOutput {
    fs::path out;
    DiscRoom room_of;
    int32_t disc_count = 0;      // discs opened so far
    int64_t used = 0;            // bytes on the open disc
    int64_t room = 0;            // the open disc's room while it is not the last
    std::ofstream file;
    std::vector<fs::path> written;
    std::vector<int64_t> disc_bytes;
    std::string header;          // placeholder written to cd1
    // Where each record of the open disc starts and its type, so that the
    // last records can move onto a disc of their own.
    std::vector<int64_t> starts;
    std::vector<unsigned char> types;

    fs::path disc_path(int32_t number) const
    {
        return out / ("disc" + std::to_string(number)) / disc_file_name_of(number);
    }

    // Creates the file of disc disc_count (and its folder) as `file`.
    bool create_disc_file(std::string* error)
    {
        fs::path path = disc_path(disc_count);
        std::error_code ec;
        fs::create_directories(path.parent_path(), ec);
        file.open(path, std::ios::binary | std::ios::trunc);
        if (!file) {
            *error = "cannot create " + utf8_of(path);
            return false;
        }
        written.push_back(path);
        return true;
    }

    bool open_next(std::string* error)
    {
        ++disc_count;
        if (!room_of(disc_count, disc_count == 1 ? kOnFirst : kOnMiddle, &room, error) || !create_disc_file(error))
            return false;
        used = 0;
        starts.clear();
        types.clear();
        if (disc_count == 1) {
            file.write(header.data(), (std::streamsize)header.size());
            used = (int64_t)header.size();
        }
        return true;
    }

    bool finish_disc(std::string* error)
    {
        char end = (char)disc::kEnd;
        file.write(&end, 1);
        used += 1;
        file.close();
        if (!file) {
            *error = "cannot write " + utf8_of(disc_path(disc_count));
            return false;
        }
        disc_bytes.push_back(used);
        return true;
    }

    // Writes one record, moving to the next disc when it would not leave room
    // for the end record on this one.
    bool put(unsigned char type, const unsigned char* stream, size_t length, std::string* error)
    {
        int64_t size = type == disc::kClose ? 1 : 1 + disc::kLengthSize + (int64_t)length;
        if (disc_count == 0 || used + size + 1 > room) {
            if (disc_count > 0 && !finish_disc(error))
                return false;
            if (!open_next(error))
                return false;
            if (used + size + 1 > room) {
                int64_t left = std::max<int64_t>(0, room - used - 1);
                *error = "a record of " + std::to_string(size) + " bytes does not fit on disc " +
                         std::to_string(disc_count) + " (room for " + std::to_string(left) +
                         " bytes of records on it beside the files that go with the disc file); choose a larger "
                         "--disc-size" +
                         (disc_count == 1 ? " or a smaller --first-disc-reserve" : "");
                return false;
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
            return false;
        }
        return true;
    }

    // Ends the set. The last disc carries more beside its disc file than a
    // middle one (the data folder and the web shortcut): when its records
    // leave too little room for that, its last records move onto one more
    // disc, from the start of the last file or folder when those fit there,
    // else as many as fit.
    bool finish_set(std::string* error)
    {
        if (disc_count == 1)
            return finish_disc(error);  // disc 1 holds all of that already
        int64_t last_room = 0;
        if (!room_of(disc_count, kOnLast, &last_room, error))
            return false;
        if (used + 1 <= last_room)
            return finish_disc(error);
        int64_t next_room = 0;
        if (!room_of(disc_count + 1, kOnLast, &next_room, error))
            return false;
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
            *error = "the last disc has no room for its data folder, web shortcut and pictures beside a record "
                     "of its disc file; choose a larger --disc-size";
            return false;
        }
        return move_tail(starts[from], error) && finish_disc(error);
    }

    // Moves the bytes of the open disc from `at` on into the next disc, which
    // is left open.
    bool move_tail(int64_t at, std::string* error)
    {
        file.close();
        fs::path path = disc_path(disc_count);
        // The buffered bytes are written out here: a full disk shows now.
        if (!file) {
            *error = "cannot write " + utf8_of(path);
            return false;
        }
        std::ifstream in(path, std::ios::binary);
        in.seekg(at);
        int64_t length = used - at;
        used = at;
        std::error_code ec;
        // The end record follows at `at`: the file is cut there once the
        // tail is copied.
        if (!open_tail_disc(error))
            return false;
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
            return false;
        }
        in.close();
        fs::resize_file(path, (uintmax_t)at, ec);
        std::ofstream end(path, std::ios::binary | std::ios::app);
        char end_byte = (char)disc::kEnd;
        end.write(&end_byte, 1);
        end.close();
        if (ec || !end) {
            *error = "cannot shorten " + utf8_of(path) + (ec ? ": " + ec.message() : "");
            return false;
        }
        disc_bytes.push_back(at + 1);
        used = length;
        return true;
    }

    bool open_tail_disc(std::string* error)
    {
        ++disc_count;
        return create_disc_file(error);
    }

    // Removes the disc files of this run after a failure.
    void discard()
    {
        if (file.is_open())
            file.close();
        std::error_code ec;
        for (const fs::path& p : written) {
            fs::remove(p, ec);
            fs::remove(p.parent_path(), ec);  // only when it is empty
        }
    }
};

bool check_existing(const fs::path& out, bool overwrite, std::string* error)
{
    std::error_code ec;
    if (!fs::exists(out, ec))
        return true;
    if (!fs::is_directory(out, ec)) {
        *error = utf8_of(out) + " exists and is not a folder";
        return false;
    }
    for (int n = 1;; ++n) {
        fs::path folder = out / ("disc" + std::to_string(n));
        fs::path cd = folder / disc_file_name_of(n);
        if (!fs::exists(cd, ec))
            return true;
        if (!overwrite) {
            *error = utf8_of(out) + " already holds a disc set (" + utf8_of(cd) + "); use --force to replace it";
            return false;
        }
        // An earlier, longer set leaves discs that this one will not
        // overwrite; they would be taken for part of the new set.
        fs::remove(cd, ec);
        if (ec) {
            *error = "cannot remove " + utf8_of(cd) + ": " + ec.message();
            return false;
        }
    }
}

// Every option whose value the installer's header check refuses, named
// with its value and the reason, in one message.
bool check_header_options(const DiscHeaderFields& fields, const DiscPackOptions& options, std::string* error)
{
    std::string header = encode_disc_header(fields);
    DiscHeader decoded;
    decode_disc_header((const unsigned char*)header.data(), &decoded);
    const struct {
        int32_t at;
        const char* option;
        const std::string* value;
        const char* rule;
    } checks[] = {
        {disc::kCompanyAt, "--company", &options.company, "one folder name"},
        {disc::kProductAt, "--product", &options.product, "one folder name"},
        {disc::kRegkeyAt, "--regkey", &options.regkey, "one registry key name"},
        {disc::kExeAt, "--exe", &options.exe, "a relative path of folder and file names joined by \\"},
    };
    std::string refused;
    for (const auto& c : checks) {
        const char* problem = nullptr;
        if (check_disc_header_field(&decoded, c.at, &problem))
            continue;
        if (!refused.empty())
            refused += "; ";
        refused += std::string(c.option) + " \"" + *c.value + "\" is not " + c.rule + " (" + problem + ")";
    }
    if (refused.empty())
        return true;
    *error = "the installer would refuse this header: " + refused;
    return false;
}

}  // namespace

bool header_text_from_utf8(const std::string& utf8, const char* what, std::string* cp950, std::string* error)
{
    if (utf8.empty()) {
        *error = std::string("the ") + what + " must not be empty";
        return false;
    }
    if (!to_cp950(utf8, cp950)) {
        *error = std::string("the ") + what + " \"" + utf8 + "\" has no Big5 (code page 950) form";
        return false;
    }
    if (cp950->size() > (size_t)disc::kMaxTextBytes) {
        *error = std::string("the ") + what + " \"" + utf8 + "\" takes " + std::to_string(cp950->size()) +
                 " bytes in code page 950; at most " + std::to_string(disc::kMaxTextBytes) +
                 " fit in its 40-byte field with the terminating NUL";
        return false;
    }
    return true;
}

bool parse_disc_size(const std::string& text, int64_t* bytes, std::string* error)
{
    if (text == "650M" || text == "650m") {
        *bytes = disc::kCd650;
        return true;
    }
    if (text == "700M" || text == "700m") {
        *bytes = disc::kCd700;
        return true;
    }
    // A number of bytes, or a number and a unit. K, M and G alone count in
    // 1024s, as the CD names do (a 74-minute CD holds 650.4 MiB).
    static const struct {
        const char* unit;
        int64_t bytes;
    } kUnits[] = {{"", 1},          {"b", 1},          {"k", 1 << 10},       {"kib", 1 << 10},
                  {"m", 1 << 20},   {"mib", 1 << 20},  {"g", 1 << 30},       {"gib", 1 << 30},
                  {"kb", 1000},     {"mb", 1000000},   {"gb", 1000000000}};
    size_t digits = text.find_first_not_of("0123456789");
    if (digits == std::string::npos)
        digits = text.size();
    std::string unit = text.substr(digits);
    for (char& c : unit)
        if (c >= 'A' && c <= 'Z')
            c = (char)(c - 'A' + 'a');
    if (digits > 0 && digits <= 15) {
        int64_t number = std::stoll(text.substr(0, digits));
        for (const auto& u : kUnits)
            if (unit == u.unit && number <= INT64_MAX / u.bytes) {
                *bytes = number * u.bytes;
                return true;
            }
    }
    *error = "disc size \"" + text + "\": give 650M or 700M (the CD sizes), a number of bytes, or a number " +
             "with a unit: K, M, G (1024-based, as KiB, MiB, GiB) or kB, MB, GB (1000-based)";
    return false;
}

std::string proposed_install_folder(const std::string& company_cp950, const std::string& product_cp950)
{
    std::vector<char> folder(sizeof "C:\\Program Files\\" + company_cp950.size() + 1 + product_cp950.size());
    proposed_install_folder(company_cp950.c_str(), product_cp950.c_str(), folder.data(), folder.size());
    return folder.data();
}

namespace {

// What a pack will write, settled before the first byte: the header texts,
// the compression level, the entries in record order (uninstaller and
// manifest last) and the data folder's entries for the manifest.
struct PackPlan {
    DiscHeaderFields fields;
    int level = 0;
    std::vector<PackItem> items;
    std::vector<DataEntry> data;
    int64_t total = 0;  // decompressed bytes the records will hold
};

// The options that do not depend on the game's files.
bool plan_options(const fs::path& game, const DiscPackOptions& options, PackPlan* plan, std::string* error)
{
    DiscHeaderFields& fields = plan->fields;
    if (!header_text_from_utf8(options.company, "company", &fields.company, error) ||
        !header_text_from_utf8(options.product, "product", &fields.product, error) ||
        !header_text_from_utf8(options.regkey, "registry key", &fields.regkey, error) ||
        !header_text_from_utf8(options.exe, "game program", &fields.exe, error))
        return false;
    // Company and product become folder and link names, the registry key a
    // key name, the game program a path below the install folder: the header
    // must pass the installer's own check, or setup would refuse the discs.
    if (!check_header_options(fields, options, error))
        return false;
    std::error_code ec;
    if (!fs::is_directory(game, ec)) {
        *error = utf8_of(game) + " is not a folder";
        return false;
    }
    {
        std::string exe_utf8 = options.exe;
        std::replace(exe_utf8.begin(), exe_utf8.end(), '\\', '/');
        if (!fs::is_regular_file(game / host_path_from_utf8(exe_utf8), ec)) {
            *error = "the game program " + options.exe + " is not a file in " + utf8_of(game);
            return false;
        }
    }
    if (options.first_disc_reserve < 0 || options.disc_size <= 0) {
        *error = "the disc size must be positive and the reserve not negative";
        return false;
    }
    if (!compressor_available(options.compressor)) {
        *error = std::string("this build has no ") + compressor_name(options.compressor) + " compressor";
        return false;
    }
    plan->level = options.level > 0 ? options.level : compressor_default_level(options.compressor);
    RecordCompressor probe;
    if (!probe.create(options.compressor, plan->level)) {
        *error = "compression level " + std::to_string(plan->level) + " is not available for " +
                 compressor_name(options.compressor) +
                 (options.compressor == kCompressorZlib
                      ? std::string(" (zlib: levels 1 to 9; 10 to 12 need libdeflate") +
                            (compressor_available(kCompressorLibdeflate) ? ": --compressor libdeflate)"
                                                                         : ", which this build lacks)")
                      : std::string(" (libdeflate: levels 1 to 12)"));
        return false;
    }
    probe.release();
    return true;
}

// Disc files written into the game folder would be packed into the discs
// themselves.
bool check_output_outside(const fs::path& game, const fs::path& out, std::string* error)
{
    std::error_code ec;
    fs::path g = fs::weakly_canonical(game, ec);
    fs::path o = fs::weakly_canonical(out, ec);
    auto gi = g.begin(), oi = o.begin();
    while (gi != g.end() && oi != o.end() && *gi == *oi) {
        ++gi;
        ++oi;
    }
    if (gi == g.end() || (gi->empty() && std::next(gi) == g.end())) {
        *error = "the output folder " + utf8_of(out) + " is inside the game folder " + utf8_of(game);
        return false;
    }
    return true;
}

// The uninstaller and its manifest go last: the manifest is made when every
// other file has been read.
bool plan_uninstaller(const DiscPackOptions& options, size_t install_folder_length, PackPlan* plan,
                      std::string* error)
{
    std::error_code ec;
    if (!fs::is_regular_file(options.uninstaller, ec)) {
        *error = "the uninstaller " + utf8_of(options.uninstaller) + " is not a file";
        return false;
    }
    const std::string own[] = {std::string("\\") + kUninstallProgram, std::string("\\") + kUninstallManifestName};
    for (const PackItem& it : plan->items)
        for (const std::string& name : own)
            if (uppercase_cp950(it.record_path) == uppercase_cp950(name)) {
                *error = "the game folder holds " + name.substr(1) +
                         " itself; the set's own uninstaller takes that name (use --no-uninstaller to keep yours)";
                return false;
            }
    if (!options.data_folder.empty()) {
        if (!fs::is_directory(options.data_folder, ec)) {
            *error = "the data folder " + utf8_of(options.data_folder) + " is not a folder";
            return false;
        }
        if (!walk_data(options.data_folder, install_folder_length, &plan->data, error))
            return false;
    }
    uint64_t program_size = fs::file_size(options.uninstaller, ec);
    plan->items.push_back(PackItem{false, options.uninstaller.native(), own[0], ec ? 0 : program_size});
    PackItem list{false, {}, own[1], 0};
    list.is_manifest = true;
    plan->items.push_back(list);
    return true;
}

// Every check before the first byte is written: the options, the game's
// names and paths as the installer will see them, the uninstaller, the
// total against the header's counter, and the output folder.
bool plan_pack(const fs::path& game, const fs::path& out, const DiscPackOptions& options, PackPlan* plan,
               std::string* error)
{
    if (!plan_options(game, options, plan, error) || !check_output_outside(game, out, error))
        return false;
    std::string install_folder = proposed_install_folder(plan->fields.company, plan->fields.product);
    Walker walker{install_folder.size(), proposed_install_folder(options.company, options.product), &plan->items,
                  error, {}};
    if (!walker.walk(game))
        return false;
    if (plan->items.empty()) {
        *error = utf8_of(game) + " is empty; a disc set needs at least one file or folder";
        return false;
    }
    if (!options.uninstaller.empty() && !plan_uninstaller(options, install_folder.size(), plan, error))
        return false;
    int64_t total = 0;
    for (const PackItem& it : plan->items)
        total += (int64_t)it.record_path.size() + 1 + (int64_t)it.size;
    if (total > INT32_MAX) {
        *error = "the game takes " + std::to_string(total) +
                 " bytes with its paths; the disc header counts at most 2147483647";
        return false;
    }
    plan->total = total;
    return check_existing(out, options.overwrite, error);
}

// The records in order from the source, compressed on `threads` threads
// (the writing one among them), onto the discs. Counts what it wrote into
// `result` and the decompressed bytes into *decompressed_total.
bool write_records(RecordSource* source, int threads, CompressorKind kind, int level, DiscOutput* discs,
                   const DiscPackOptions& options, int64_t planned_total, DiscPackResult* result,
                   int64_t* decompressed_total, std::string* error)
{
    // A window of records in flight: deep enough that the workers still find
    // queued records while the writing thread compresses one itself or
    // writes, and small enough that memory stays bounded (about 400 KiB per
    // record) whatever the size of the game. Many threads get fewer records
    // each (at least two), so memory stays near 20 MiB up to 24 threads.
    const size_t window = std::min<size_t>((size_t)threads * 6 + 2, std::max<size_t>((size_t)threads * 2 + 2, 48));
    std::vector<std::unique_ptr<RecordJob>> jobs;
    std::deque<RecordJob*> in_flight;
    std::vector<RecordJob*> free_jobs;
    for (size_t i = 0; i < window; ++i) {
        jobs.emplace_back(new RecordJob);
        free_jobs.push_back(jobs.back().get());
    }
    CompressPool pool;
    // The writing thread compresses too: threads - 1 workers beside it.
    RecordCompressor inline_compressor;
    inline_compressor.create(kind, level);
    if (threads > 1)
        pool.start(threads - 1, kind, level);

    bool ok = true;
    bool source_done = false;
    while (ok) {
        while (!source_done && !free_jobs.empty()) {
            RecordJob* job = free_jobs.back();
            int r = source->next(job, error);
            if (r < 0) {
                ok = false;
                break;
            }
            if (r == 0) {
                source_done = true;
                break;
            }
            free_jobs.pop_back();
            in_flight.push_back(job);
            if (job->type != disc::kClose) {
                if (threads > 1) {
                    pool.submit(job);
                } else {
                    compress_job(&inline_compressor, job);
                    job->done = true;
                }
            }
        }
        if (!ok || in_flight.empty())
            break;
        RecordJob* job = in_flight.front();
        in_flight.pop_front();
        if (threads > 1 && job->type != disc::kClose)
            pool.wait(job, &inline_compressor);
        if (job->failed) {
            *error = "compression failed for a record of " + std::to_string(job->input_length) + " bytes";
            ok = false;
        } else {
            if (job->type != disc::kClose)
                *decompressed_total += (int64_t)job->input_length;
            if (job->type == disc::kDirectory)
                ++result->directories;
            if (job->type == disc::kFile)
                ++result->files;
            ok = discs->put(job->type, job->output.data(), job->output_length, error);
            if (ok && options.on_entry && (job->type == disc::kDirectory || job->type == disc::kFile))
                options.on_entry(std::string((const char*)job->input.data(), job->input_length - 1),
                                 job->type == disc::kDirectory);
            if (ok && options.on_progress)
                options.on_progress(*decompressed_total, planned_total);
        }
        free_jobs.push_back(job);
    }
    if (threads > 1)
        pool.abandon_and_stop();
    inline_compressor.release();
    return ok;
}

// The disc count and the total are known only at the end: cd1's header is
// written again with them.
bool patch_header(const fs::path& cd1_path, const DiscHeaderFields& fields, std::string* error)
{
    std::string header = encode_disc_header(fields);
    std::fstream cd1(cd1_path, std::ios::binary | std::ios::in | std::ios::out);
    cd1.seekp(0);
    cd1.write(header.data(), (std::streamsize)header.size());
    cd1.close();
    if (!cd1) {
        *error = "cannot write the header of " + utf8_of(cd1_path);
        return false;
    }
    return true;
}

}  // namespace

namespace {

// UTF-16 units of a UTF-8 name, as the Joliet tree stores it.
size_t utf16_units(const std::string& utf8)
{
    size_t units = 0;
    for (unsigned char c : utf8) {
        if ((c & 0xC0) != 0x80)
            ++units;
        if ((c & 0xF8) == 0xF0)
            ++units;  // a character beyond the BMP takes two units
    }
    return units;
}

// Files of an earlier run that the layout or the images would replace.
bool check_layout_targets(const fs::path& out, const DiscLayout& layout, const DiscPackOptions& options,
                          std::string* error)
{
    std::error_code ec;
    std::vector<fs::path> found = layout.existing_in(out / "disc1", kOnFirst);
    if (!options.overwrite && !found.empty()) {
        *error = utf8_of(out) + " already holds " + utf8_of(found[0]) + "; use --force to replace it";
        return false;
    }
    for (int n = 1;; ++n) {
        fs::path image = out / ("disc" + std::to_string(n) + ".iso");
        if (!fs::exists(fs::symlink_status(image, ec)))
            break;
        if (!options.overwrite) {
            *error = utf8_of(out) + " already holds an image (" + utf8_of(image) + "); use --force to replace it";
            return false;
        }
        fs::remove(image, ec);
        if (ec) {
            *error = "cannot remove " + utf8_of(image) + ": " + ec.message();
            return false;
        }
    }
    if (options.iso)
        for (const LayoutFile& f : layout.files)
            for (const fs::path& part : host_path_from_utf8(f.disc_path))
                if (utf16_units(utf8_of(part)) > (size_t)iso::kMaxJolietName) {
                    *error = "the name " + utf8_of(part) + " (" + f.disc_path + ") is longer than the " +
                             std::to_string(iso::kMaxJolietName) +
                             " characters a Joliet name holds; Windows would see it cut short";
                    return false;
                }
    return true;
}

// The entries of disc `number`'s image: its disc file from `cd_source` and
// the layout files of its role (folders from an empty folder, so that only
// what the set holds is in the image).
std::vector<IsoEntry> image_entries(const DiscLayout& layout, int32_t number, unsigned role, const fs::path& cd_source,
                                    const fs::path& empty_folder)
{
    std::vector<IsoEntry> entries{{"/" + disc_file_name_of(number), cd_source}};
    for (const LayoutFile& f : layout.files)
        if (f.discs & role)
            entries.push_back({"/" + f.disc_path, f.is_directory ? empty_folder : f.source});
    return entries;
}

// Measures with xorriso the image sectors of a disc's layout and an empty
// disc file of that disc's name, once per role and name length.
struct StructureSizes {
    const DiscLayout* layout;
    fs::path work;
    std::string volume_id;
    std::map<std::pair<unsigned, size_t>, int64_t> known;

    fs::path empty_folder() const { return work / "empty-folder"; }

    bool sectors(int32_t number, unsigned role, int64_t* out, std::string* error)
    {
        auto key = std::make_pair(role, disc_file_name_of(number).size());
        auto k = known.find(key);
        if (k != known.end()) {
            *out = k->second;
            return true;
        }
        std::error_code ec;
        fs::path empty_file = work / "empty";
        fs::create_directories(empty_folder(), ec);
        if (!fs::exists(empty_file, ec) && !write_host_file(empty_file, "", error))
            return false;
        if (!iso_measure_sectors(image_entries(*layout, number, role, empty_file, empty_folder()), volume_id, out,
                                 error))
            return false;
        known[key] = *out;
        return true;
    }
};

unsigned role_of(int32_t number, int32_t count)
{
    return number == 1 ? kOnFirst : number == count ? kOnLast : kOnMiddle;
}

// Puts the layout beside each disc file and writes the images.
bool write_layout_and_images(const fs::path& out, const DiscLayout& layout, const DiscPackOptions& options,
                             StructureSizes* sizes, DiscPackResult* result, std::vector<fs::path>* created,
                             std::string* error)
{
    const int32_t count = result->disc_count;
    for (int32_t n = 1; n <= count; ++n) {
        unsigned role = role_of(n, count);
        fs::path folder = out / ("disc" + std::to_string(n));
        if (!layout.write_into(folder, role, created, error))
            return false;
        result->layout_bytes.push_back(layout.bytes_on(role));
        // Anything else in the folder (left by an earlier run, say) is not
        // part of the set: it is named, kept, and not put into the image.
        std::set<std::string> expected{disc_file_name_of(n)};
        for (const LayoutFile& f : layout.files)
            if (f.discs & role)
                expected.insert(f.disc_path);
        std::error_code ec;
        for (fs::recursive_directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
            std::string relative = utf8_of(it->path().lexically_relative(folder));
            std::replace(relative.begin(), relative.end(), '\\', '/');
            if (!expected.count(relative)) {
                result->stray_files.push_back(utf8_of(it->path()));
                it.disable_recursion_pending();
            }
        }
    }
    if (!options.iso)
        return true;
    for (int32_t n = 1; n <= count; ++n) {
        std::string volume_id = iso_volume_id(options.product, options.regkey, n);
        fs::path image = out / ("disc" + std::to_string(n) + ".iso");
        int64_t structure = 0;
        if (!sizes->sectors(n, role_of(n, count), &structure, error))
            return false;
        fs::path folder = out / ("disc" + std::to_string(n));
        if (!iso_write_image(image_entries(layout, n, role_of(n, count), folder / disc_file_name_of(n),
                                           sizes->empty_folder()),
                             image, volume_id, error))
            return false;
        created->push_back(image);
        std::error_code ec;
        int64_t bytes = (int64_t)fs::file_size(image, ec);
        int64_t expected = iso_image_bytes(structure, result->disc_bytes[(size_t)n - 1]);
        int64_t limit = options.disc_size - (n == 1 ? options.first_disc_reserve : 0);
        if (ec || bytes != expected || bytes > limit) {
            *error = "the image " + utf8_of(image) + " takes " + std::to_string(bytes) + " bytes where " +
                     std::to_string(expected) + " were counted (limit " + std::to_string(limit) +
                     ")";
            return false;
        }
        result->image_bytes.push_back(bytes);
        result->volume_ids.push_back(volume_id);
    }
    return true;
}

// Signs the programs that go onto the discs into `folder` and points the
// plan and the layout at the signed copies: the uninstaller (whose size in
// the plan grows by its signature) and setup.exe and launcher.exe.
bool sign_programs(const DiscPackOptions& options, const fs::path& folder, PackPlan* plan,
                   DiscLayoutOptions* layout, std::vector<std::string>* names, std::string* error)
{
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec) {
        *error = "cannot create " + utf8_of(folder) + ": " + ec.message();
        return false;
    }
    auto sign = [&](const fs::path& program, const char* name, fs::path* signed_copy) {
        *signed_copy = folder / name;
        if (!sign_program(options.signing, program, *signed_copy, error))
            return false;
        names->push_back(name);
        return true;
    };
    for (PackItem& it : plan->items) {
        if (options.uninstaller.empty() || it.is_directory || it.host != options.uninstaller.native() ||
            it.record_path != std::string("\\") + kUninstallProgram)
            continue;
        fs::path signed_copy;
        if (!sign(options.uninstaller, kUninstallProgram, &signed_copy))
            return false;
        uint64_t size = fs::file_size(signed_copy, ec);
        if (ec) {
            *error = "cannot read " + utf8_of(signed_copy) + ": " + ec.message();
            return false;
        }
        plan->total += (int64_t)size - (int64_t)it.size;
        it.host = signed_copy.native();
        it.size = size;
        if (plan->total > INT32_MAX) {
            *error = "the game takes " + std::to_string(plan->total) +
                     " bytes with its paths and the signed uninstaller; the disc header counts at most 2147483647";
            return false;
        }
    }
    if (layout->enabled &&
        (!sign(options.layout.setup_program, "setup.exe", &layout->setup_program) ||
         !sign(options.layout.launcher_program, "launcher.exe", &layout->launcher_program)))
        return false;
    return true;
}

}  // namespace

bool disc_pack(const fs::path& game, const fs::path& out, const DiscPackOptions& options, DiscPackResult* result,
               std::string* error)
{
    *result = DiscPackResult();
    PackPlan plan;
    if (!plan_pack(game, out, options, &plan, error))
        return false;

    // Converted pictures and the files xorriso measures with live in a work
    // folder inside the output folder while the pack runs.
    std::error_code ec;
    const bool out_existed = fs::exists(out, ec);
    const fs::path work = out / ".discset-work";
    fs::create_directories(work, ec);
    if (ec) {
        *error = "cannot create " + utf8_of(work) + ": " + ec.message();
        return false;
    }
    DiscLayout layout;
    std::vector<fs::path> created;
    auto give_up = [&](DiscOutput* discs) {
        for (auto p = created.rbegin(); p != created.rend(); ++p)
            fs::remove(*p, ec);
        if (discs)
            discs->discard();
        layout.release();
        fs::remove_all(work, ec);
        if (!out_existed)
            fs::remove(out, ec);  // only when it is empty
        return false;
    };
    DiscLayoutOptions layout_options = options.layout;
    std::vector<std::string> signed_programs;
    if (options.signing.enabled() &&
        !sign_programs(options, work / "signed", &plan, &layout_options, &signed_programs, error))
        return give_up(nullptr);
    if (!plan_disc_layout(layout_options, work, &layout, error) ||
        !check_layout_targets(out, layout, options, error))
        return give_up(nullptr);
    StructureSizes sizes{&layout, work, iso_volume_id(options.product, options.regkey, 1), {}};

    DiscOutput discs;
    discs.out = out;
    discs.room_of = [&](int32_t number, unsigned role, int64_t* room, std::string* err) {
        int64_t limit = options.disc_size - (number == 1 ? options.first_disc_reserve : 0);
        if (!options.iso) {
            *room = limit - layout.bytes_on(role);
            return true;
        }
        int64_t structure = 0;
        if (!sizes.sectors(number, role, &structure, err))
            return false;
        *room = iso_disc_file_room(limit, structure);
        return true;
    };
    plan.fields.disc_count = 0;
    plan.fields.total_size = 0;
    discs.header = encode_disc_header(plan.fields);

    RecordSource source;
    source.items = &plan.items;
    source.data = &plan.data;
    const int threads =
        options.threads > 0 ? options.threads : (int)std::max(1u, std::thread::hardware_concurrency());
    int64_t decompressed_total = 0;
    bool ok = write_records(&source, threads, options.compressor, plan.level, &discs, options, plan.total, result,
                            &decompressed_total, error);
    if (ok && decompressed_total > INT32_MAX) {
        *error = "the game grew while it was packed and now takes more than 2147483647 bytes";
        ok = false;
    }
    if (ok && discs.disc_count > 0)
        ok = discs.finish_set(error);
    if (ok) {
        plan.fields.disc_count = discs.disc_count;
        plan.fields.total_size = (int32_t)decompressed_total;
        ok = patch_header(discs.disc_path(1), plan.fields, error);
    }
    if (ok) {
        result->disc_count = discs.disc_count;
        result->disc_bytes = discs.disc_bytes;
        ok = write_layout_and_images(out, layout, options, &sizes, result, &created, error);
    }
    if (!ok) {
        std::vector<int64_t> none;
        result->disc_bytes.swap(none);
        return give_up(&discs);
    }
    layout.release();
    fs::remove_all(work, ec);
    result->total_size = (int32_t)decompressed_total;
    result->data_bytes = source.data_bytes;
    result->manifest_entries = source.manifest_entries;
    result->pictures = layout.pictures;
    result->signed_programs = signed_programs;
    return true;
}
