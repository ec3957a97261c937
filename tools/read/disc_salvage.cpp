#include "disc_salvage.h"

#include "byte_order.h"
#include "directory_tree.h"
#include "disc_header.h"
#include "file_object.h"
#include "install_journal.h"
#include "platform.h"
#include "record_path.h"
#include "record_reader.h"
#include "terminal_text.h"

#include <nlohmann/json.hpp>

#include <cstring>
#include <memory>

namespace {

const int kPathBuffer = 260;
// Bytes scanned per read while looking for the next record after damage.
const int32_t kScanWindow = 1 << 20;
// A type byte, the length and the two bytes of a zlib header.
const int32_t kCandidateHead = 1 + disc::kLengthSize + 2;
// The shortest zlib stream of a path: header, a few bytes of deflate data
// and the Adler-32 trailer.
const int32_t kShortestPathStream = 8;

// RFC 1950 header: method 8 (deflate), a window of at most 32 KiB, the check
// bits, and no preset dictionary (compress never writes one).
bool looks_like_zlib(const unsigned char* p)
{
    return (p[0] & 0x0F) == 8 && (p[0] >> 4) <= 7 && ((p[0] << 8) | p[1]) % 31 == 0 && !(p[1] & 0x20);
}

std::string utf8_name(const char* cp950)
{
    std::string u;
    return to_utf8(cp950, &u) ? u : std::string("(not Big5)");
}

struct Salvage {
    const SalvageOptions* options = nullptr;
    SalvageResult* result = nullptr;
    std::string* error = nullptr;
    char install_path[kPathBuffer] = {0};
    int32_t install_len = 0;
    // The names made so far, and those --include passed over: a later name
    // that differs only in ASCII case takes the first spelling, as on
    // Windows. Never rolled back.
    InstallJournal names;
    InstallJournal passed;
    std::unique_ptr<unsigned char[]> in{new unsigned char[disc::kMaxCompressed]};
    std::unique_ptr<unsigned char[]> out{new unsigned char[disc::kMaxDecompressed]};

    // The current file: the one the data records that follow belong to.
    FileObject output;
    bool file_open = false;
    bool file_written = false;     // selected and created: its data go to `output`
    std::string file_path;         // UTF-8
    char file_full[kPathBuffer] = {0};
    int64_t file_bytes = 0;
    // Data records with no file of their own to go to, after a loss: they
    // belong to a file whose start is lost, and are dropped without a word.
    bool dropping = false;
    bool failed = false;           // a write failed: the walk stops

    ~Salvage()
    {
        output.close();
        names.release();
        passed.release();
    }

    void lose(const std::string& path, int32_t disc, int64_t offset, const std::string& reason, int64_t kept,
              bool removed)
    {
        result->losses.push_back(SalvageLoss{path, disc, offset, reason, kept, removed});
    }

    // The current file ends normally (close record, a new file, the end).
    void finish_file()
    {
        // The close writes the runtime's buffered bytes: failing, it is a
        // write that failed, and the walk stops as it does for one.
        if (file_written && !output.close() && !failed) {
            *error = "cannot write to " + file_path + " in the output folder (closing it failed)";
            failed = true;
        }
        file_open = file_written = false;
    }

    // The current file loses the rest of its data here: kept as it is, or
    // removed, and named in the report. A file passed over is not a loss.
    void cut_file(int32_t disc, int64_t offset, const std::string& reason)
    {
        if (file_open && file_written) {
            output.close();
            bool removed = false;
            if (options->remove_damaged && plat_remove_file(file_full)) {
                removed = true;
                --result->files;
                result->bytes -= file_bytes;
            }
            lose(file_path, disc, offset, reason, removed ? -1 : file_bytes, removed);
        }
        file_open = file_written = false;
        dropping = true;
    }

    // Creates the folders on the way to `full` that are not there yet.
    void make_parents(const char* full)
    {
        const char* last = nullptr;
        for (const char* sep = find_separator(full); sep; sep = find_separator(sep + 1))
            last = sep;
        size_t n = last ? (size_t)(last - full) : 0;
        if (n <= (size_t)install_len)
            return;
        char parent[kPathBuffer];
        memcpy(parent, full, n);
        parent[n] = '\0';
        // Each level it creates is noted, and counted.
        int32_t before = names.count;
        make_directory_path(parent, &names);
        result->folders += names.count - before;
    }

    bool selected(const std::string& path)
    {
        return !options->selection || options->selection->selects(path) == 1;
    }

    // A directory or file record whose path decompressed into `out`.
    void path_record(const Record& r, int32_t n, int32_t disc)
    {
        if (r.type == disc::kFile)
            finish_file();  // a new file closes the open one
        const char* problem = nullptr;
        char created[kRecordPathBuffer];
        if (!fold_record_path(r.type, out.get(), n, install_len, created, &problem)) {
            lose("", disc, r.offset, std::string("path refused by the installer: ") + problem, -1, false);
            if (r.type == disc::kFile)
                dropping = true;
            return;
        }
        if (r.type == disc::kFile)
            dropping = false;
        if (!created[0])
            return;  // "\": the output folder itself
        char full[kPathBuffer];
        int len = snprintf(full, sizeof full, "%s%s", install_path, created);
        if (len < 0 || len >= (int)sizeof full) {
            lose("", disc, r.offset, "path too long for the output folder", -1, false);
            return;
        }
        names.match_case(full, install_len);
        passed.match_case(full, install_len);
        std::string path = utf8_name(full + install_len);
        char kind = r.type == disc::kDirectory ? InstallJournal::kDirectory : InstallJournal::kFile;
        if (!selected(path)) {
            passed.add(kind, full);
            if (r.type == disc::kFile)
                file_open = true;  // its data records are passed over
            return;
        }
        make_parents(full);
        if (r.type == disc::kDirectory) {
            if (plat_create_directory(full)) {
                names.add(kind, full);
                ++result->folders;
            } else {
                uint32_t attrib = plat_file_attributes(full);
                if (attrib == PLAT_ATTR_INVALID || !(attrib & PLAT_ATTR_DIRECTORY))
                    lose(path, disc, r.offset, "the folder cannot be created", -1, false);
            }
            return;
        }
        file_open = true;
        if (!output.open_write(full)) {
            lose(path, disc, r.offset, "the file cannot be created", -1, false);
            return;
        }
        names.add(kind, full);
        memcpy(file_full, full, (size_t)len + 1);
        file_path = path;
        file_bytes = 0;
        file_written = true;
        ++result->files;
    }

    void data_record(const Record& r, int32_t n, int32_t disc)
    {
        if (!file_open) {
            if (!dropping)
                lose("", disc, r.offset, "data record outside any file", -1, false);
            dropping = true;
            return;
        }
        if (!file_written || n == 0)
            return;
        if (!output.write(out.get(), n)) {
            *error = "cannot write to " + file_path + " in the output folder";
            failed = true;
            return;
        }
        file_bytes += n;
        result->bytes += n;
    }

    // The offset of the next directory or file record at or after `from`
    // that is sound: its length fits the buffer and the disc, its zlib
    // stream decompresses (which checks its Adler-32) and its path is one
    // the installer accepts. -1 when there is none.
    //
    // This is how the walk finds its feet again after damage: a damaged
    // length, a stream cut short or a flipped byte leave nothing that says
    // where the next record starts, and the rest of the file the damage is
    // in cannot be trusted anyway. Only a folder or file record can start
    // afresh (a data record does not say which file it belongs to), and a
    // false start needs a valid zlib stream that also reads as a safe path,
    // which random bytes practically never are.
    int64_t next_path_record(FileObject* file, int64_t from, int64_t size)
    {
        std::unique_ptr<unsigned char[]> window(new unsigned char[kScanWindow + kCandidateHead]);
        for (int64_t base = from; base + kCandidateHead <= size; base += kScanWindow) {
            int64_t want = std::min<int64_t>(kScanWindow + kCandidateHead, size - base);
            if (!file->seek((int32_t)base) || file->read(window.get(), (int32_t)want) != (int32_t)want)
                return -1;
            int64_t last = std::min<int64_t>(base + kScanWindow, size - kCandidateHead);
            for (int64_t p = base; p <= last; ++p) {
                const unsigned char* at = window.get() + (p - base);
                if (at[0] != disc::kDirectory && at[0] != disc::kFile)
                    continue;
                int32_t L = get_le32(at + 1);
                if (L < kShortestPathStream || L > disc::kMaxCompressed || p + 1 + disc::kLengthSize + L > size ||
                    !looks_like_zlib(at + 1 + disc::kLengthSize))
                    continue;
                if (!file->seek((int32_t)(p + 1 + disc::kLengthSize)) || file->read(in.get(), L) != L)
                    return -1;
                Record r{at[0], p, L, in.get()};
                int32_t n = 0;
                char folded[kRecordPathBuffer];
                if (inflate_record(r, out.get(), disc::kMaxDecompressed, &n, nullptr, 1) &&
                    fold_record_path(r.type, out.get(), n, install_len, folded, nullptr))
                    return p;
            }
        }
        return -1;
    }

    // Damage at record `r`. The walk goes on at the next sound folder or
    // file record, so the file being written loses whatever came before
    // that: it is cut here. A damaged file record would have closed it
    // anyway, and takes the name of the file it starts with it.
    void damaged(const Record& r, int32_t disc, const std::string& reason)
    {
        if (r.type == disc::kFile) {
            finish_file();
            lose("", disc, r.offset, reason + " (a file record: the file's name is lost)", -1, false);
        } else if (r.type == disc::kDirectory) {
            cut_file(disc, r.offset, reason + " (in the folder record after it)");
            lose("", disc, r.offset, reason + " (a folder record: the folder's name is lost)", -1, false);
        } else {
            cut_file(disc, r.offset, reason);
        }
        dropping = true;
    }

    bool stopped() const { return options->stop && *options->stop; }

    // One disc from its record start to its end (or until stopped).
    void walk_disc(const DiscFile& d)
    {
        DiscRecords records;
        if (!records.start(d, in.get())) {
            if (records.at < 0) {
                cut_file(d.number, -1, "disc " + std::to_string(d.number) + " cannot be opened");
                lose("", d.number, -1, "cannot be opened: what lies on it is skipped", -1, false);
            } else {
                cut_file(d.number, records.at, records.why);
            }
            return;
        }
        const int64_t size = records.size;
        while (!failed) {
            Record r;
            int status = records.reader.next(&r);
            if (stopped()) {
                result->interrupted = true;
                cut_file(d.number, r.offset, "interrupted here");
                break;
            }
            if (status == kRecordEndOfFile)
                break;
            std::string reason;
            if (status != kRecordRead) {
                reason = record_problem_text(status, r);
            } else {
                ++result->records;
                if (r.type == disc::kEnd) {
                    // The writer ends each disc with one end record as its
                    // last byte. Sound records after it mean the type byte
                    // of a record was damaged into an end record.
                    int64_t next = r.offset + 1 < size ? next_path_record(&records.file, r.offset + 1, size) : -1;
                    if (next < 0)
                        break;
                    damaged(r, d.number, "end record before the end of the disc file, with records after it");
                    if (records.reader.start(&records.file, (int32_t)next, in.get(), disc::kMaxCompressed) != kRecordRead)
                        break;
                    continue;
                }
                if (r.type == disc::kClose) {
                    finish_file();
                    dropping = false;
                    continue;
                }
                int32_t n = 0;
                int z = 0;
                if (record_has_payload(r.type) && inflate_record(r, out.get(), disc::kMaxDecompressed, &n, &z, 1)) {
                    if (r.type == disc::kData)
                        data_record(r, n, d.number);
                    else
                        path_record(r, n, d.number);
                    continue;
                }
                // Setup skips a type byte it does not know, but the writer
                // never makes one: it is a damaged byte, and reading on
                // from it would take lengths and data for type bytes.
                reason = !record_has_payload(r.type)
                             ? "unknown record type " + std::to_string(r.type)
                             : "the zlib stream does not decompress (zlib status " + std::to_string(z) + ")";
            }
            damaged(r, d.number, reason);
            int64_t next = next_path_record(&records.file, r.offset + 1, size);
            if (next < 0 || records.reader.start(&records.file, (int32_t)next, in.get(), disc::kMaxCompressed) != kRecordRead)
                break;
        }
        records.file.close();
    }
};

const DiscFile* disc_numbered(const std::vector<DiscFile>& discs, int32_t number)
{
    for (const DiscFile& d : discs)
        if (d.number == number)
            return &d;
    return nullptr;
}

}  // namespace

int salvage_disc_set(const std::vector<DiscFile>& discs, const fs::path& dest, const SalvageOptions& options,
                     SalvageResult* result, std::string* error)
{
    *result = SalvageResult();
    const DiscFile* first = disc_numbered(discs, 1);
    if (!first) {
        *error = "the first disc (cd1) is not given; it holds the header";
        return 0;
    }
    FileObject file;
    std::string why;
    if (!open_disc_file(*first, &file, &why)) {
        *error = "cd1 (" + utf8_of(first->host) + "): " + why;
        return 0;
    }
    DiscHeader header;
    int header_ok = read_disc_header(&file, &header);
    file.close();
    if (!header_ok) {
        *error = "the header of cd1 cannot be read (shorter than 168 bytes, or a read error)";
        return 0;
    }

    std::error_code ec;
    fs::path target = fs::absolute(dest, ec);
    if (!ec && fs::exists(target, ec) && (!fs::is_directory(target, ec) || !fs::is_empty(target, ec))) {
        *error = utf8_of(target) + " exists and is not an empty folder; extract into a new folder";
        return 0;
    }
    Salvage s;
    s.options = &options;
    s.result = result;
    s.error = error;
    std::string target_utf8 = utf8_of(target.lexically_normal());
    while (target_utf8.size() > 1 && (target_utf8.back() == '/' || target_utf8.back() == '\\'))
        target_utf8.pop_back();
    if (ec || !plat_from_host_path(target_utf8.c_str(), s.install_path, sizeof s.install_path)) {
        *error = "the folder " + target_utf8 + " has no name the installer can use (no Big5 form, or too long)";
        return 0;
    }
    s.install_len = (int32_t)strlen(s.install_path);
    make_directory_path(s.install_path, nullptr);
    if (!fs::is_directory(target, ec)) {
        *error = "cannot create the folder " + target_utf8;
        return 0;
    }

    // A header setup refuses loses no file by itself: a note, and the
    // records are read all the same.
    int32_t field = 0;
    const char* problem = nullptr;
    if (!check_disc_header(&header, &field, &problem))
        result->notes.push_back("the header's " + std::string(disc_header_field_name(field)) +
                                " is refused by the installer: " + problem);
    int32_t count = header.disc_count;
    if (count < 1 || count > 9999) {
        count = discs.back().number;
        result->notes.push_back("the header's disc count " + std::to_string(header.disc_count) +
                                " is not a number of discs; the discs given up to cd" + std::to_string(count) +
                                " are read");
    }
    for (int32_t n = 1; n <= count && !s.failed && !result->interrupted; ++n) {
        const DiscFile* d = disc_numbered(discs, n);
        if (!d) {
            s.cut_file(n, -1, "disc " + std::to_string(n) + ", on which it continues, was not given");
            s.lose("", n, -1, "not given (" + disc_file_name_of(n) + "): what lies on it is skipped", -1, false);
            continue;
        }
        s.walk_disc(*d);
    }
    // The set may end inside a file, as the installer allows.
    s.finish_file();
    return s.failed ? 0 : 1;
}

std::string describe_loss(const SalvageLoss& loss)
{
    std::string who = !loss.path.empty() ? loss.path
                      : loss.offset < 0  ? "(disc " + std::to_string(loss.disc) + ")"
                                         : "(name lost)";
    std::string line = who + "  disc " + std::to_string(loss.disc);
    if (loss.offset >= 0)
        line += ", offset " + std::to_string(loss.offset);
    line += ": " + loss.reason;
    if (loss.removed)
        line += "; removed";
    else if (!loss.path.empty() && loss.kept >= 0)
        line += "; kept the first " + std::to_string(loss.kept) + " bytes";
    return printable(line);
}

std::string salvage_report_json(const SalvageResult& result)
{
    nlohmann::ordered_json report;
    report["complete"] = result.losses.empty() && !result.interrupted;
    report["interrupted"] = result.interrupted;
    report["folders"] = result.folders;
    report["files"] = result.files;
    report["bytes"] = result.bytes;
    nlohmann::ordered_json losses = nlohmann::ordered_json::array();
    for (const SalvageLoss& l : result.losses) {
        nlohmann::ordered_json j;
        j["path"] = l.path.empty() ? nlohmann::ordered_json() : nlohmann::ordered_json(l.path);
        j["disc"] = l.disc;
        j["offset"] = l.offset < 0 ? nlohmann::ordered_json() : nlohmann::ordered_json(l.offset);
        j["reason"] = l.reason;
        j["kept"] = l.kept < 0 ? nlohmann::ordered_json() : nlohmann::ordered_json(l.kept);
        j["removed"] = l.removed;
        losses.push_back(j);
    }
    report["losses"] = losses;
    // Paths come from Big5 names and are valid UTF-8; a byte that is not is
    // replaced rather than thrown about.
    return report.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}
