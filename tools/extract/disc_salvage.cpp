#include "disc_salvage.h"

#include "byte_order.h"
#include "directory_tree.h"
#include "disc_header.h"
#include "file_object.h"
#include "install_journal.h"
#include "platform.h"
#include "record_path.h"
#include "record_reader.h"
#include "record_resync.h"
#include "record_walk.h"
#include "uninstall_manifest.h"
#include "terminal_text.h"

#include <cstring>
#include <algorithm>
#include <map>
#include <memory>
#include <set>

namespace {

// A loss line's common fields; the others keep their defaults.
SalvageLoss loss_of(const std::string& path, int32_t disc, int64_t offset, const std::string& reason, int64_t kept,
                    bool removed)
{
    SalvageLoss l;
    l.path = path;
    l.disc = disc;
    l.offset = offset;
    l.reason = reason;
    l.kept = kept;
    l.removed = removed;
    return l;
}

std::string utf8_name(const char* cp950)
{
    std::string u;
    return to_utf8(cp950, &u) ? u : escaped_bytes(cp950);
}

// What the first pass found, in the order of the discs.
struct MapEvent {
    enum Kind : char {
        kSound,    // a sound record: type 1 to 5 (an end record only as the disc's last byte)
        kBroken,   // a record whose frame holds (type, length, and a sound record after it)
                   // but whose stream does not decompress or whose path is refused
        kSkip,     // a span with no record the walk could trust: [offset, end)
        kDiscLost  // a disc not given, or one that cannot be opened
    };
    Kind kind;
    unsigned char type;
    int32_t disc;
    int64_t offset;
    int64_t end;
    int32_t compressed;  // L of a record with a payload
    int32_t size;        // decompressed bytes of a sound record with a payload
    std::string path;    // a sound folder or file record: the path the engine creates (code page 950)
    std::string reason;  // kBroken, kSkip, kDiscLost
};

// Damage that can hide data: a broken record, a span long enough to hold a
// record with a payload, a lost disc.
int hides_data(const MapEvent& e)
{
    return e.kind == MapEvent::kBroken || e.kind == MapEvent::kDiscLost ||
           (e.kind == MapEvent::kSkip && e.end - e.offset >= kSmallestPayloadRecord);
}

int is_sound(const MapEvent& e, unsigned char type)
{
    return e.kind == MapEvent::kSound && e.type == type;
}

struct Salvage {
    const SalvageOptions* options = nullptr;
    SalvageResult* result = nullptr;
    std::string* error = nullptr;
    char install_path[PLAT_PATH_SIZE] = {0};
    int32_t install_len = 0;
    // The names made so far, and those --include passed over: a later name
    // that differs only in ASCII case takes the first spelling, as on
    // Windows. Never rolled back.
    InstallJournal names;
    InstallJournal passed;
    // Every folder made or found on the way so far (full system paths):
    // each is asked of the system once.
    std::set<std::string> folders_known;
    std::unique_ptr<unsigned char[]> in{new unsigned char[disc::kMaxCompressed]};
    std::unique_ptr<unsigned char[]> out{new unsigned char[disc::kMaxDecompressed]};

    // ---- the map (first pass) ----
    std::vector<MapEvent> events;
    // The uninstall manifest, when the set carries a sound one: path (upper
    // case, code page 950, with its leading "\") -> size.
    std::map<std::string, int64_t> listed;
    std::string manifest_bytes;
    int capturing = 0;  // 1 while the manifest's data records come; -1 once it is damaged

    // ---- the writing (second pass) ----
    const std::vector<DiscFile>* discs = nullptr;
    FileObject source;  // the disc file the data records are read again from
    int32_t source_disc = 0;
    FileObject output;
    bool file_open = false;
    bool file_written = false;  // selected and created: its data go to `output`
    std::string file_path;      // UTF-8
    std::string file_raw;       // code page 950, as created (after the install path)
    char file_full[PLAT_PATH_SIZE] = {0};
    int64_t file_bytes = 0;          // bytes in the file so far, zeros written for lost records included
    int64_t file_disc_bytes = 0;     // of which came from the discs
    int32_t record_size = -1;        // the size its records before the last share; -1 none yet, -2 they differ
    int32_t last_size = -1;          // the size of its last record so far; -1 none
    std::vector<size_t> fill_lines;  // its loss lines that name zeros written for lost records
    int64_t file_filled = 0;
    // Data records with no file of their own to go to, after a loss: they
    // belong to a file whose start is lost, and are dropped without a word.
    bool dropping = false;
    bool failed = false;      // a write failed: the walk stops
    int32_t common_size = 0;  // the set's usual record size (the size of records followed by
                              // another record of their file); 0 when unknown
    int damage_regions = 0;   // events that can hide data

    ~Salvage()
    {
        output.close();
        source.close();
        names.release();
        passed.release();
    }

    int stopped() const { return options->stop && *options->stop ? 1 : 0; }

    void lose(const std::string& raw, int32_t disc, int64_t offset, const std::string& reason, int64_t kept,
              bool removed)
    {
        SalvageLoss l =
            loss_of(raw.empty() ? std::string() : utf8_name(raw.c_str()), disc, offset, reason, kept, removed);
        l.raw_path = raw;
        result->losses.push_back(l);
    }

    // ---- first pass ----------------------------------------------------

    void add(MapEvent::Kind kind, const Record& r, int32_t disc, int64_t end, const std::string& reason)
    {
        events.push_back(
            MapEvent{kind, (unsigned char)r.type, disc, r.offset, end, r.compressed_length, 0, std::string(), reason});
    }

    // The manifest's bytes come as the data of the file uninstall.lst.
    void watch_manifest(const MapEvent& e)
    {
        if (e.kind == MapEvent::kSound && e.type == disc::kFile) {
            if (capturing == 1)
                capturing = -1;  // two of them: trust neither
            else if (capturing == 0 &&
                     uppercase_cp950(e.path) == uppercase_cp950(std::string("\\") + kUninstallManifestName))
                capturing = 1;
            return;
        }
        if (capturing != 1)
            return;
        if (e.kind == MapEvent::kSound && e.type == disc::kData) {
            if (manifest_bytes.size() + (size_t)e.size > (size_t)manifest::kMaxBytes)
                capturing = -1;
            else
                manifest_bytes.append((const char*)out.get(), (size_t)e.size);
        } else if (hides_data(e)) {
            capturing = -1;
        } else if (e.kind == MapEvent::kSound && e.type == disc::kClose) {
            capturing = 2;  // whole
        }
    }

    // One disc from its record start to its end: sound records, broken
    // records and skipped spans into `events`.
    void map_disc(const DiscFile& d)
    {
        DiscRecords records;
        if (!records.start(d, in.get())) {
            std::string why =
                records.at < 0 ? "cannot be opened (" + records.why + "): what lies on it is skipped" : records.why;
            events.push_back(MapEvent{MapEvent::kDiscLost, 0, d.number, -1, -1, 0, 0, std::string(), why});
            return;
        }
        RecordProbe probe;
        probe.file = &records.file;
        probe.size = records.size;
        probe.install_path_length = install_len;
        probe.in = in.get();
        probe.out = out.get();
        const int64_t size = records.size;
        auto on_step = [&](const WalkStep& s) -> int64_t {
            if (stopped()) {
                result->interrupted = true;
                return kWalkStop;
            }
            const Record& r = s.record;
            const int status = s.status;
            if (s.kind == kWalkClose || (s.kind == kWalkEnd && r.offset + 1 == size)) {
                ++result->records;
                add(MapEvent::kSound, r, d.number, r.offset + 1, std::string());
                watch_manifest(events.back());
                return kWalkGoOn;
            }
            if (s.kind == kWalkData || s.kind == kWalkFolder || s.kind == kWalkFile) {
                ++result->records;
                result->counted_total += s.length;
                add(MapEvent::kSound, r, d.number, r.offset + 1 + disc::kLengthSize + r.compressed_length,
                    std::string());
                events.back().size = s.length;
                if (s.kind != kWalkData)
                    events.back().path = s.path;
                watch_manifest(events.back());
                return kWalkGoOn;
            }
            std::string reason;
            bool framed = false;
            if (status == kRecordRead && record_has_payload(r.type)) {
                framed = true;
                if (!s.path_problem)
                    reason = "the zlib stream does not decompress (zlib status " + std::to_string(s.zlib_status) + ")";
                else
                    reason = std::string("path refused by the installer: ") + s.path_problem;
            } else if (s.kind == kWalkEnd) {
                reason = "end record before the end of the disc file";
            } else if (s.kind == kWalkOtherType) {
                // Setup skips a type byte it does not know, but the
                // writer never makes one: a zeroed sector or a damaged
                // byte, and reading on from it would take lengths and
                // data for type bytes.
                reason = "unknown record type " + std::to_string(r.type);
            } else {
                reason = record_problem_text(status, r);
                if (r.type)
                    reason += " in a record of type " + std::to_string(r.type);
            }
            int64_t framed_end = r.offset + 1 + disc::kLengthSize + r.compressed_length;
            if (framed && probe.continues_at(framed_end)) {
                add(MapEvent::kBroken, r, d.number, framed_end, reason);
                watch_manifest(events.back());
                return framed_end;
            }
            // The frame is gone: the next sound record, byte by byte. A read
            // error leaves nothing to look at.
            int64_t next = status == kRecordReadError ? -1 : probe.next_sound(r.offset + 1);
            if (record_has_payload(r.type) && status == kRecordRead)
                reason += " (a record of type " + std::to_string(r.type) + ")";
            add(MapEvent::kSkip, r, d.number, next < 0 ? size : next, reason);
            watch_manifest(events.back());
            return next < 0 ? kWalkStop : next;
        };
        InlineRecords source;
        source.create(in.get(), out.get(), 1);
        RecordWalk walk = {source.source(), &records.file, install_len};
        int end = walk.run((int32_t)records.reader.position,
                           [](void* c, const WalkStep& s) { return (*(decltype(on_step)*)c)(s); }, &on_step);
        // The disc ended with the stop already asked for.
        if (end == kWalkEndOfFile && stopped())
            result->interrupted = true;
        records.file.close();
    }

    // The usual record size, and the manifest, from the map.
    void study_map()
    {
        std::map<int32_t, int64_t> sizes;
        for (size_t i = 0; i + 1 < events.size(); ++i) {
            if (hides_data(events[i]))
                ++damage_regions;
            if (is_sound(events[i], disc::kData) && is_sound(events[i + 1], disc::kData))
                ++sizes[events[i].size];
        }
        if (!events.empty() && hides_data(events.back()))
            ++damage_regions;
        // Only when every such record has the same size: a writer that cuts
        // files into records of one size (pack does) tells it that way.
        if (sizes.size() == 1)
            common_size = sizes.begin()->first;
        UninstallManifest m;
        if (capturing == 2 && m.parse(manifest_bytes.data(), (int32_t)manifest_bytes.size(), install_len)) {
            for (int32_t i = 0; i < m.count; ++i)
                if (m.entries[i].kind == manifest::kFile)
                    listed[uppercase_cp950(std::string("\\") + m.entries[i].path)] = m.entries[i].size;
        }
        m.release();
    }

    // ---- second pass: files ---------------------------------------------

    // The size the manifest lists for the current file; -1 when none.
    int64_t listed_size() const
    {
        auto it = listed.find(uppercase_cp950(file_raw));
        return it == listed.end() ? -1 : it->second;
    }

    // The size of the current file's records before its last: its own, or
    // the set's usual one while it has none; 0 when unknown.
    int64_t usual_size() const { return record_size > 0 ? record_size : record_size == -1 ? common_size : 0; }

    // The bytes of the sound data records right after event i, up to the
    // first event that is not one; *clean when that event ends the file
    // plainly (close, folder or file record, or the end of the set).
    int64_t data_after(size_t i, bool* clean) const
    {
        int64_t sum = 0;
        size_t j = i + 1;
        for (; j < events.size() && is_sound(events[j], disc::kData); ++j)
            sum += events[j].size;
        *clean = j == events.size() || (events[j].kind == MapEvent::kSound && events[j].type != disc::kEnd) ||
                 (is_sound(events[j], disc::kEnd) && j + 1 == events.size());
        // An end record ends a disc, not the file: look past it.
        if (j < events.size() && is_sound(events[j], disc::kEnd) && j + 1 < events.size()) {
            bool rest = false;
            sum += data_after(j, &rest);
            *clean = rest;
        }
        return sum;
    }

    // The length of what event i lost inside the current file, when it can
    // be known; -1 otherwise. `continues`: a data record of the file
    // follows, so what was lost lies before the file's last record.
    int64_t lost_length(size_t i, bool continues)
    {
        bool clean = false;
        int64_t after = data_after(i, &clean);
        int64_t listed_bytes = listed_size();
        if (listed_bytes >= 0 && clean && listed_bytes - file_bytes - after >= (continues ? 1 : 0))
            return listed_bytes - file_bytes - after;
        const MapEvent& e = events[i];
        int64_t usual = usual_size();
        // One lost record whose frame held, with more of the file after it:
        // it was one of the file's full records.
        if (e.kind == MapEvent::kBroken && continues && usual > 0)
            return usual;
        // The only damage in the set: it lost what the header's total lacks.
        int64_t missing = result->header_total - result->counted_total;
        if (damage_regions == 1 && result->header_read && missing > 0 && usual > 0 &&
            (continues ? missing % usual == 0 : missing <= usual))
            return missing;
        return -1;
    }

    // The current file ends normally (close record, a new file, the end).
    // One with zeros in place of lost records goes with --remove-damaged.
    void finish_file(int32_t disc, int64_t offset)
    {
        if (file_written && !output.close())
            lose(file_raw, disc, offset, "the file cannot be closed: its last bytes may not be written", -1, false);
        else if (file_written && !fill_lines.empty())
            remove_if_asked();
        file_open = file_written = false;
        fill_lines.clear();
    }

    // --remove-damaged: the closed current file goes, and its loss lines
    // say so. True when it was removed.
    int remove_if_asked()
    {
        if (!options->remove_damaged || !plat_remove_file(file_full))
            return 0;
        --result->files;
        result->bytes -= file_disc_bytes;
        result->filled -= file_filled;
        for (size_t i : fill_lines) {
            result->losses[i].removed = true;
            result->losses[i].kept = -1;
        }
        return 1;
    }

    // The current file loses the rest of its data here: kept as it is, or
    // removed, and named in the report. A file passed over is not a loss.
    void cut_file(int32_t disc, int64_t offset, const std::string& reason)
    {
        if (file_open && file_written) {
            int closed = output.close();
            bool removed = remove_if_asked();
            lose(file_raw, disc, offset, reason + (closed ? "" : "; the file cannot be closed"),
                 removed ? -1 : file_bytes, removed);
        }
        file_open = file_written = false;
        fill_lines.clear();
        dropping = true;
    }

    // `n` zero bytes in place of a lost record of the current file, named
    // in the report.
    void fill(int64_t n, int32_t disc, int64_t offset, const std::string& reason)
    {
        if (n > 0 && file_written) {
            SalvageLoss l = loss_of(file_path, disc, offset, reason, -1, false);
            l.raw_path = file_raw;
            l.filled_from = file_bytes;
            l.filled_to = file_bytes + n - 1;
            fill_lines.push_back(result->losses.size());
            result->losses.push_back(l);
            file_filled += n;
            std::vector<unsigned char> zeros((size_t)std::min<int64_t>(n, disc::kMaxDecompressed), 0);
            for (int64_t left = n; left > 0 && !failed;) {
                int32_t k = (int32_t)std::min<int64_t>(left, (int64_t)zeros.size());
                if (!output.write(zeros.data(), k)) {
                    *error = "cannot write to " + file_path + " in the output folder";
                    failed = true;
                }
                left -= k;
            }
            result->filled += n;
        }
        file_bytes += n;
        note_record(n > disc::kMaxDecompressed ? -2 : (int32_t)n);
    }

    // A record of `n` bytes was added to the current file.
    void note_record(int32_t n)
    {
        if (last_size >= 0)
            record_size = record_size == -1 || record_size == last_size ? last_size : -2;
        last_size = n;
    }

    // Creates `folder` (a full system path) and the folders on its way, each
    // once in the whole walk. 1 when it is there.
    int make_folder(const std::string& folder)
    {
        if (folders_known.count(folder))
            return 1;
        char path[PLAT_PATH_SIZE];
        snprintf(path, sizeof path, "%s", folder.c_str());
        // The levels below the output folder, outermost first.
        for (const char* sep = find_separator(path + install_len + 1); sep; sep = find_separator(sep + 1)) {
            std::string level(path, (size_t)(sep - path));
            if (!folders_known.count(level) && !make_one_folder(level))
                return 0;
        }
        return make_one_folder(folder);
    }

    int make_one_folder(const std::string& folder)
    {
        ++result->mkdirs;
        if (plat_create_directory(folder.c_str())) {
            names.add(InstallJournal::kDirectory, folder.c_str());
            ++result->folders;
        } else {
            uint32_t attrib = plat_file_attributes(folder.c_str());
            if (attrib == PLAT_ATTR_INVALID || !(attrib & PLAT_ATTR_DIRECTORY))
                return 0;
        }
        folders_known.insert(folder);
        return 1;
    }

    int selected(const std::string& path)
    {
        return !options->selection || options->selection->selects(path) == 1 ? 1 : 0;
    }

    // A sound folder or file record.
    void path_record(const MapEvent& e)
    {
        if (e.type == disc::kFile) {
            finish_file(e.disc, e.offset);  // a new file closes the open one
            dropping = false;
        }
        if (e.path.empty())
            return;  // "\": the output folder itself
        char full[PLAT_PATH_SIZE];
        int len = snprintf(full, sizeof full, "%s%s", install_path, e.path.c_str());
        if (len < 0 || len >= (int)sizeof full) {
            lose("", e.disc, e.offset, "path too long for the output folder", -1, false);
            if (e.type == disc::kFile)
                dropping = true;
            return;
        }
        names.match_case(full, install_len);
        passed.match_case(full, install_len);
        std::string raw = full + install_len;
        std::string path = utf8_name(raw.c_str());
        char kind = e.type == disc::kDirectory ? InstallJournal::kDirectory : InstallJournal::kFile;
        if (e.type == disc::kFile) {
            file_open = true;
            file_raw = raw;
            file_path = path;
            file_bytes = file_disc_bytes = file_filled = 0;
            record_size = last_size = -1;
            fill_lines.clear();
        }
        if (!selected(path)) {
            passed.add(kind, full);
            return;  // a file's data records are passed over
        }
        const char* last = find_last_separator(full + install_len + 1);
        if (last && !make_folder(std::string(full, (size_t)(last - full)))) {
            lose(raw, e.disc, e.offset, "a folder on its way cannot be created", -1, false);
            return;
        }
        if (e.type == disc::kDirectory) {
            if (!make_folder(full))
                lose(raw, e.disc, e.offset, "the folder cannot be created", -1, false);
            return;
        }
        if (!output.open_write(full)) {
            lose(raw, e.disc, e.offset, "the file cannot be created", -1, false);
            return;
        }
        names.add(kind, full);
        memcpy(file_full, full, (size_t)len + 1);
        file_written = true;
        ++result->files;
    }

    // Reads the data record of `e` again and decompresses it into `out`.
    int read_again(const MapEvent& e, int32_t* n)
    {
        if (source_disc != e.disc) {
            source.close();
            source_disc = 0;
            for (const DiscFile& d : *discs) {
                std::string why;
                if (d.number == e.disc && open_disc_file(d, &source, &why))
                    source_disc = e.disc;
            }
        }
        Record r{e.type, e.offset, e.compressed, in.get()};
        return source_disc == e.disc && source.seek((int32_t)(e.offset + 1 + disc::kLengthSize)) &&
               source.read(in.get(), e.compressed) == e.compressed &&
               inflate_record(r, out.get(), disc::kMaxDecompressed, n, nullptr, 1);
    }

    void data_record(const MapEvent& e)
    {
        if (!file_open) {
            if (!dropping)
                lose("", e.disc, e.offset, "data record outside any file", -1, false);
            dropping = true;
            return;
        }
        if (!file_written)
            return;
        int32_t n = 0;
        if (!read_again(e, &n)) {
            cut_file(e.disc, e.offset, "the record cannot be read again");
            return;
        }
        if (n > 0 && !output.write(out.get(), n)) {
            *error = "cannot write to " + file_path + " in the output folder";
            failed = true;
            return;
        }
        file_bytes += n;
        file_disc_bytes += n;
        result->bytes += n;
        note_record(n);
    }

    // Whether the current file ended before damage that may hold its end:
    // its listed size is reached, or its last record is shorter than the
    // ones before it (only a file's last record is).
    bool file_whole_before_damage() const
    {
        int64_t listed_bytes = listed_size();
        if (listed_bytes >= 0)
            return listed_bytes == file_bytes;
        int64_t usual = usual_size();
        return last_size >= 0 && usual > 0 && last_size < usual;
    }

    void broken(size_t i)
    {
        const MapEvent& e = events[i];
        if (e.type == disc::kFile) {
            finish_file(e.disc, e.offset);
            lose("", e.disc, e.offset, e.reason + " (a file record: the file's name is lost)", -1, false);
            dropping = true;
            return;
        }
        if (e.type == disc::kDirectory) {
            lose("", e.disc, e.offset, e.reason + " (a folder record: the folder's name is lost)", -1, false);
            return;
        }
        if (!file_open) {
            if (!dropping)
                lose("", e.disc, e.offset, e.reason + " (a data record outside any file)", -1, false);
            dropping = true;
            return;
        }
        if (!file_written)
            result->passed_over_damage = true;  // in a file --include passes over
        bool continues = i + 1 < events.size() && is_sound(events[i + 1], disc::kData);
        int64_t n = lost_length(i, continues);
        if (n < 0)
            cut_file(e.disc, e.offset, e.reason);
        else
            fill(n, e.disc, e.offset, e.reason);
    }

    void skipped(size_t i)
    {
        const MapEvent& e = events[i];
        SalvageLoss span = loss_of("", e.disc, e.offset, e.reason + "; skipped to the next sound record", -1, false);
        span.last = e.end - 1;
        result->losses.push_back(span);
        if (e.end - e.offset < kSmallestPayloadRecord)
            return;  // only one-byte records fit: no data, no name
        if (!file_open) {
            dropping = true;
            return;
        }
        bool continues = i + 1 < events.size() && is_sound(events[i + 1], disc::kData);
        if (!continues && file_whole_before_damage()) {
            finish_file(e.disc, e.offset);
            dropping = true;
            return;
        }
        int64_t n = lost_length(i, continues);
        if (n < 0) {
            cut_file(e.disc, e.offset, "the rest of the file is lost in the span skipped from here (" + e.reason + ")");
            return;
        }
        fill(n, e.disc, e.offset, "part of the file is lost in the span skipped from here (" + e.reason + ")");
        if (!continues) {
            finish_file(e.disc, e.offset);
            dropping = true;
        }
    }

    void disc_lost(const MapEvent& e)
    {
        if (file_open && file_whole_before_damage())
            finish_file(e.disc, -1);
        cut_file(e.disc, -1,
                 "disc " + std::to_string(e.disc) + ", on which it continues, " +
                     (e.reason.rfind("not given", 0) == 0 ? "was not given" : "cannot be read"));
        lose("", e.disc, -1, e.reason, -1, false);
    }

    void write_all()
    {
        for (size_t i = 0; i < events.size() && !failed; ++i) {
            if (stopped()) {
                result->interrupted = true;
                cut_file(events[i].disc, events[i].offset, "interrupted here");
                break;
            }
            const MapEvent& e = events[i];
            switch (e.kind) {
            case MapEvent::kSound:
                if (e.type == disc::kClose) {
                    finish_file(e.disc, e.offset);
                    dropping = false;
                } else if (e.type == disc::kData) {
                    data_record(e);
                } else if (e.type != disc::kEnd) {
                    path_record(e);
                }
                break;
            case MapEvent::kBroken:
                broken(i);
                break;
            case MapEvent::kSkip:
                skipped(i);
                break;
            case MapEvent::kDiscLost:
                disc_lost(e);
                break;
            }
        }
        // The set may end inside a file, as the installer allows.
        if (!events.empty())
            finish_file(events.back().disc, events.back().end);
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

int SalvageResult::complete() const
{
    return losses.empty() && notes.empty() && !interrupted && header_read &&
           (counted_total == header_total || passed_over_damage);
}

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
    result->header_read = true;
    result->header_total = header.total_size;

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
    s.discs = &discs;
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
    s.folders_known.insert(s.install_path);

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
    for (int32_t n = 1; n <= count && !result->interrupted; ++n) {
        const DiscFile* d = disc_numbered(discs, n);
        if (!d)
            s.events.push_back(MapEvent{MapEvent::kDiscLost, 0, n, -1, -1, 0, 0, std::string(),
                                        "not given (" + disc_file_name_of(n) + "): what lies on it is skipped"});
        else
            s.map_disc(*d);
    }
    s.study_map();
    if (!result->interrupted)
        s.write_all();
    // A set without damage of its own whose records do not add up to the
    // header's total lacks what no record shows: a disc cut at a record
    // boundary, a disc of another set.
    if (!s.failed && !result->interrupted && result->losses.empty() && !result->passed_over_damage &&
        result->counted_total != result->header_total)
        result->losses.push_back(loss_of("", 0, -1,
                                         "the records hold " + std::to_string(result->counted_total) +
                                             " bytes, the header's total size is " +
                                             std::to_string(result->header_total) +
                                             ": the set is not whole (a disc cut short, or one of another set?)",
                                         -1, false));
    return s.failed ? 0 : 1;
}
