#include "disc_scan.h"

#include "disc_image.h"
#include "disc_header.h"
#include "disc_names.h"
#include "file_object.h"
#include "install_journal.h"
#include "medium_serving.h"
#include "platform.h"
#include "record_path.h"
#include "record_reader.h"
#include "record_resync.h"
#include "record_walk.h"
#include "sha256.h"
#include "uninstall_manifest.h"
#include "terminal_text.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <zlib.h>

namespace {

// A text field as read: the NUL inside the field, valid Big5, and the bytes
// after it zero as the writer leaves them.
int header_text_sound(const char* field, std::string* problem)
{
    size_t n = strnlen(field, disc::kTextSize);
    if (n == (size_t)disc::kTextSize) {
        *problem = "has no terminating NUL inside its 40 bytes";
        return 0;
    }
    for (size_t i = n; i < (size_t)disc::kTextSize; ++i)
        if (field[i] != 0) {
            *problem = "has bytes that are not zero after its terminating NUL";
            return 0;
        }
    std::string utf8;
    if (!to_utf8(std::string(field, n), &utf8)) {
        *problem = "is not valid Big5";
        return 0;
    }
    return 1;
}

struct Walk {
    const std::vector<DiscFile>* discs;
    const std::function<void(const TreeEntry&)>* on_entry;
    const std::function<void(int32_t, int64_t)>* on_progress;
    DiscSetSummary* summary;
    int32_t install_path_length = 3;
    bool file_open = false;
    TreeEntry open_file;
    // Discs that ended without an end record, and a file still open when
    // the set ended: both are how a set may end (the end of a disc file acts
    // as its end record), and how a cut one ends. The header's total tells:
    // they are reported only when it does not match.
    std::vector<DiscDamage> open_ends;
    // After a damaged or missing disc the file that ran across it is
    // unknown: its remaining data records are not damage of their own.
    bool lost_file = false;
    // The names the records have made so far; only looked up, never rolled
    // back (nothing is created).
    InstallJournal names;
    // The open file's SHA-256, when summary->hash_files asks for it.
    Sha256 sha;
    ~Walk()
    {
        names.release();
        sha.release();
    }
    // Every file reported, for the proof against the manifest, and the
    // manifest's bytes as its records come (-1: damaged, 2: whole).
    std::vector<TreeEntry> files_seen;
    std::string manifest_bytes;
    int manifest_state = 0;
    int32_t manifest_disc = 0;
    std::unique_ptr<unsigned char[]> in{new unsigned char[disc::kMaxCompressed]};
    std::unique_ptr<unsigned char[]> out{new unsigned char[disc::kMaxDecompressed]};

    void damage(int32_t disc, int64_t offset, const std::string& text)
    {
        summary->damage.push_back(DiscDamage{disc, offset, text});
    }

    // The engine's progress call after a record: the disc in the drive and
    // the decompressed bytes done so far.
    void progress(int32_t disc)
    {
        if (*on_progress)
            (*on_progress)(disc, summary->counted_total);
    }

    void emit(const TreeEntry& e)
    {
        if (e.is_directory) {
            if (*on_entry)
                (*on_entry)(e);
            return;
        }
        files_seen.push_back(e);
        if (sha.state && !sha.finish(&files_seen.back().sha256))
            damage(0, -1, "the SHA-256 of " + e.path + " could not be computed");
        if (*on_entry)
            (*on_entry)(files_seen.back());
    }

    int is_manifest(const TreeEntry& e) const
    {
        return uppercase_cp950(e.raw_path) == uppercase_cp950(std::string("\\") + kUninstallManifestName);
    }

    // The open file meets damage: it is not reported, and the data records
    // after it (until a path record) belong to a file that is lost.
    void lose_open_file()
    {
        if (file_open && is_manifest(open_file))
            manifest_state = -1;
        file_open = false;
        lost_file = true;
    }

    TreeEntry entry_of(bool is_directory, const char* created, int32_t disc, int64_t offset)
    {
        std::string u;
        bool converted = to_utf8(created, &u);
        return TreeEntry{is_directory, converted ? u : escaped_bytes(created), 0, disc, disc, created, converted,
                         offset};
    }

    // After damage at `r`: where the records go on. A damaged record whose
    // frame holds is stepped over; otherwise the next sound record is found
    // byte by byte and the span before it named. -1 when nothing sound
    // follows (the rest of the disc is then named).
    int64_t read_on(RecordProbe* probe, const Record& r, bool framed, int32_t disc, const std::string& text)
    {
        lose_open_file();
        int64_t framed_end = r.offset + 1 + disc::kLengthSize + r.compressed_length;
        if (framed && probe->continues_at(framed_end)) {
            damage(disc, r.offset, text);
            return framed_end;
        }
        int64_t next = probe->next_sound(r.offset + 1);
        int64_t end = next < 0 ? probe->size : next;
        damage(disc, r.offset,
               text + "; skipped offsets " + std::to_string(r.offset) + "-" + std::to_string(end - 1) + " (" +
                   std::to_string(end - r.offset) + " bytes)" +
                   (next < 0 ? " to the end of the disc file" : " to the next sound record"));
        return next;
    }

    // One disc from its record start to its end.
    void walk_disc(const DiscFile& d)
    {
        DiscRecords records;
        if (!records.start(d, in.get())) {
            damage(d.number, records.at, records.why);
            lose_open_file();
            return;
        }
        const int64_t size = records.size;
        RecordProbe probe;
        probe.file = &records.file;
        probe.size = size;
        probe.install_path_length = install_path_length;
        probe.in = in.get();
        probe.out = out.get();
        size_t damage_before = summary->damage.size();
        bool ended = false;
        auto on_step = [&](const WalkStep& s) -> int64_t {
            const Record& r = s.record;
            if (s.status == kRecordReadError) {
                // Not damage in the data: the disc file itself cannot be
                // read from here on, and what follows is unknown.
                damage(d.number, r.offset, record_status_text(s.status));
                lose_open_file();
                return kWalkStop;
            }
            if (s.status != kRecordRead)
                return read_on(&probe, r, false, d.number,
                               record_problem_text(s.status, r) + " in a record of type " + std::to_string(r.type));
            ++summary->records;
            if (s.kind == kWalkEnd) {
                ended = true;
                if (r.offset + 1 >= size)
                    return kWalkStop;
                int64_t after = probe.next_sound(r.offset + 1);
                damage(d.number, r.offset + 1,
                       std::to_string(size - r.offset - 1) +
                           " byte(s) after the end record, which the installer never reads" +
                           (after < 0 ? "" : "; records go on at offset " + std::to_string(after)));
                if (after < 0)
                    return kWalkStop;
                lose_open_file();
                return after;
            }
            if (s.kind == kWalkClose) {
                close_record(d.number);
                return kWalkGoOn;
            }
            if (s.kind == kWalkOtherType)
                return read_on(&probe, r, false, d.number, "unknown record type " + std::to_string(r.type));
            if (s.kind == kWalkDamaged && !s.path_problem) {
                size_t at = summary->damage.size();
                int64_t next = read_on(&probe, r, true, d.number,
                                       "the zlib stream of a record of type " + std::to_string(r.type) +
                                           " does not decompress (zlib status " + std::to_string(s.zlib_status) + ")");
                summary->damage[at].has_zlib_status = true;
                summary->damage[at].zlib_status = s.zlib_status;
                return next;
            }
            summary->counted_total += s.length;
            progress(d.number);
            if (s.kind == kWalkDamaged)
                return read_on(&probe, r, true, d.number,
                               std::string("path refused by the installer: ") + s.path_problem);
            if (s.kind == kWalkData)
                data_record(r, s.length, d.number);
            else
                path_record(r, s.path, d.number);
            return kWalkGoOn;
        };
        // zlib decides, so `test` passes exactly the discs setup accepts.
        InlineRecords source;
        source.create(in.get(), out.get(), 1);
        RecordWalk walk = {source.source(), &records.file, install_path_length};
        walk.run((int32_t)records.reader.position,
                 [](void* c, const WalkStep& s) { return (*(decltype(on_step)*)c)(s); }, &on_step);
        if (!ended && summary->damage.size() == damage_before)
            open_ends.push_back(DiscDamage{d.number, size, "the disc ends without an end record (cut short?)"});
        records.file.close();
    }

    // A data record's n decompressed bytes (in out) go to the open file.
    void data_record(const Record& r, int32_t n, int32_t disc)
    {
        if (!file_open && lost_file)
            return;
        if (!file_open) {
            damage(disc, r.offset, "data record outside a file");
            lost_file = true;
            return;
        }
        open_file.size += n;
        open_file.crc = (uint32_t)crc32(open_file.crc, out.get(), (uInt)n);
        if (sha.state)
            sha.update(out.get(), (size_t)n);
        open_file.last_disc = disc;
        if (manifest_state == 1 && is_manifest(open_file)) {
            if (manifest_bytes.size() + (size_t)n > (size_t)manifest::kMaxBytes)
                manifest_state = -1;
            else
                manifest_bytes.append((const char*)out.get(), (size_t)n);
        }
    }

    // A close record ends the open file.
    void close_record(int32_t disc)
    {
        if (file_open) {
            emit(open_file);
            if (is_manifest(open_file) && manifest_state == 1)
                manifest_state = 2;
            file_open = false;
        }
        lost_file = false;
        progress(disc);
    }

    void path_record(const Record& r, const char* created, int32_t disc)
    {
        lost_file = false;
        // The tree as the engine makes it: "" is the install folder
        // itself, and a name made before is found whatever its case.
        char name[kRecordPathBuffer];
        memcpy(name, created, strlen(created) + 1);
        if (name[0])
            names.match_case(name, 0);
        if (r.type == disc::kDirectory) {
            if (!name[0])
                return;
            ++summary->directories;
            names.add(InstallJournal::kDirectory, name);
            emit(entry_of(true, name, disc, r.offset));
            return;
        }
        if (file_open)
            emit(open_file);  // a new file closes the open one
        ++summary->files;
        names.add(InstallJournal::kFile, name);
        open_file = entry_of(false, name, disc, r.offset);
        open_file.crc = (uint32_t)crc32(0L, Z_NULL, 0);
        if (sha.state)
            sha.restart();
        file_open = true;
        if (is_manifest(open_file)) {
            manifest_state = manifest_state == 0 ? 1 : -1;
            manifest_disc = disc;
        }
    }

    // Every file reported against the manifest the set carries.
    void prove_files()
    {
        UninstallManifest m;
        if (manifest_state != 2 ||
            !m.parse(manifest_bytes.data(), (int32_t)manifest_bytes.size(), install_path_length)) {
            m.release();
            return;
        }
        std::map<std::string, const ManifestEntry*> listed;
        for (int32_t i = 0; i < m.count; ++i)
            if (m.entries[i].kind == manifest::kFile)
                listed[uppercase_cp950(std::string("\\") + m.entries[i].path)] = &m.entries[i];
        summary->manifest_checked = true;
        std::map<int32_t, int64_t> matched, differ;
        std::vector<DiscDamage> found;
        for (const TreeEntry& e : files_seen) {
            if (is_manifest(e) || uppercase_cp950(e.raw_path) == "\\UNINSTALL.EXE")
                continue;
            std::string on = "disc " + std::to_string(e.disc) +
                             (e.last_disc != e.disc ? "-" + std::to_string(e.last_disc) : std::string());
            auto it = listed.find(uppercase_cp950(e.raw_path));
            std::string problem;
            if (it == listed.end()) {
                problem = e.path + " is not in the set's uninstall manifest (its records: " + on + ")";
            } else if (it->second->size != e.size || it->second->crc != e.crc) {
                char text[160];
                snprintf(text, sizeof text,
                         " differs from the set's uninstall manifest: %lld bytes, crc32 %08x; listed: %lu bytes, "
                         "crc32 %08x (its records: ",
                         (long long)e.size, (unsigned)e.crc, (unsigned long)it->second->size,
                         (unsigned)it->second->crc);
                problem = e.path + text + on + ")";
            }
            if (!problem.empty()) {
                found.push_back(DiscDamage{e.disc, e.offset, problem});
                if (e.disc == e.last_disc)
                    ++differ[e.disc];
            } else {
                ++summary->files_proved;
                if (e.disc == e.last_disc)
                    ++matched[e.disc];
            }
        }
        m.release();
        // A disc of another set among them: the header on disc 1 says which
        // set this is. When the files of disc 1 are not those the manifest
        // lists while the manifest's own disc matches it, the manifest's
        // disc is the stranger; otherwise every disc none of whose files
        // matches is.
        std::vector<int32_t> strangers;
        if (!found.empty()) {
            if (manifest_disc != 1 && differ[1] > 0 && matched[1] == 0 && matched[manifest_disc] > 0) {
                strangers.push_back(manifest_disc);
            } else {
                bool any_match = false;
                for (const auto& kv : matched)
                    any_match = any_match || kv.second > 0;
                for (const auto& kv : differ)
                    if (kv.second > 0 && matched[kv.first] == 0 && any_match)
                        strangers.push_back(kv.first);
            }
        }
        for (int32_t d : strangers)
            damage(d, -1,
                   "disc " + std::to_string(d) + " does not belong with the others: " +
                       (d == manifest_disc && d != 1
                            ? "its uninstall manifest lists disc 1's files otherwise than they are"
                            : "none of its files is listed as it is in the set's uninstall manifest") +
                       " (a disc of another set or version?)");
        summary->damage.insert(summary->damage.end(), found.begin(), found.end());
    }
};

}  // namespace

int open_disc_file(const DiscFile& disc, FileObject* file, std::string* error)
{
    std::string path;
    if (disc.kind != kDiscImage) {
        if (!system_path_of(disc.host, &path, nullptr)) {
            *error = "its path has no form the installer can open";
            return 0;
        }
        if (file->open_read(path.c_str()))
            return 1;
        *error = "cannot be opened";
        return 0;
    }
    // The file object opens the image's disc file at its served path, as
    // the engine does when it extracts.
    std::string root;
    if (served_root_of(disc.source, &root)) {
        path = served_path(root, disc_file_name_of(disc.number));
        if (file->open_read(path.c_str()))
            return 1;
        *error = "cannot be read from the image";
        return 0;
    }
    std::unique_ptr<DiscMedium> medium = open_image_of_discs(disc.source, error);
    if (!medium) {
        *error = "cannot be read from the image: " + *error;
        return 0;
    }
    MediaServing serving;
    if (!serving.serve(medium.get(), &root, error)) {
        *error = "cannot be read from the image: " + *error;
        return 0;
    }
    path = served_path(root, disc_file_name_of(disc.number));
    int ok = file->open_read(path.c_str());
    if (!ok)
        *error = "cannot be read from the image: " + serving.open_error;
    serving.release();
    return ok;
}

int DiscRecords::start(const DiscFile& disc, unsigned char* buffer)
{
    at = -1;
    why.clear();
    if (!open_disc_file(disc, &file, &why))
        return 0;
    int32_t first = disc.number == 1 ? disc::kHeaderSize : 0;
    if (reader.start(&file, first, buffer, disc::kMaxCompressed) != kRecordRead) {
        why = record_status_text(kRecordSeekFailed);
        at = first;
        file.close();
        return 0;
    }
    size = file.size();
    return 1;
}

std::string record_problem_text(int status, const Record& r)
{
    std::string text = record_status_text(status);
    if (status == kRecordBadLength)
        text += " (length " + std::to_string(r.compressed_length) + ")";
    return text;
}

int discs_of_argument(const DiscArgument& argument, std::vector<DiscFile>* discs, std::string* error)
{
    discs->clear();
    std::error_code ec;
    fs::path source = fs::absolute(argument.host, ec);
    if (ec) {
        *error = "cannot find the folder of " + argument.text + ": " + ec.message();
        return 0;
    }
    if (argument.kind == kDiscFileGiven) {
        discs->push_back(DiscFile{argument.number, kDiscFileGiven, source, utf8_of(source), source});
        return 1;
    }
    if (argument.kind == kDiscImage) {
        std::vector<ImageDisc> held;
        if (!list_image_discs(source, &held, error))
            return 0;
        for (const ImageDisc& h : held) {
            fs::path host = source / disc_file_name_of(h.number);
            discs->push_back(DiscFile{h.number, kDiscImage, host, utf8_of(host), source});
        }
        return 1;
    }
    for (fs::directory_iterator it(source, ec), end; !ec && it != end; it.increment(ec)) {
        int32_t n = disc_number_in_name(utf8_of(it->path().filename()));
        if (n > 0 && it->is_regular_file(ec))
            discs->push_back(DiscFile{n, kDiscFolder, it->path(), utf8_of(it->path()), source});
    }
    if (discs->empty()) {
        *error = argument.text + " holds no disc file (cd1, cd2, ...)";
        return 0;
    }
    std::sort(discs->begin(), discs->end(), [](const DiscFile& a, const DiscFile& b) { return a.number < b.number; });
    return 1;
}

int disc_of_argument(const DiscArgument& argument, int32_t number, DiscFile* disc, std::string* why)
{
    std::string name = disc_file_name_of(number);
    std::error_code ec;
    if (argument.kind == kDiscFolder) {
        fs::path host = argument.host / name;
        if (!fs::is_regular_file(host, ec))
            return 0;
        *disc = DiscFile{number, kDiscFolder, host, utf8_of(host), argument.host};
        return 1;
    }
    if (argument.kind == kDiscFileGiven) {
        if (argument.number != number)
            return 0;
        *disc = DiscFile{number, kDiscFileGiven, argument.host, argument.text, argument.host};
        return 1;
    }
    std::vector<ImageDisc> held;
    if (!list_image_discs(argument.host, &held, why))
        return 0;
    for (const ImageDisc& h : held)
        if (h.number == number) {
            fs::path host = argument.host / name;
            *disc = DiscFile{number, kDiscImage, host, utf8_of(host), argument.host};
            return 1;
        }
    return 0;
}

int add_discs(const std::vector<DiscFile>& more, std::vector<DiscFile>* discs, std::string* error)
{
    for (const DiscFile& d : more) {
        for (const DiscFile& e : *discs)
            if (e.number == d.number) {
                *error = "disc " + std::to_string(d.number) + " is given twice: " + e.text + " and " + d.text;
                return 0;
            }
        discs->push_back(d);
    }
    std::sort(discs->begin(), discs->end(), [](const DiscFile& a, const DiscFile& b) { return a.number < b.number; });
    return 1;
}

int collect_discs(const std::vector<std::string>& arguments, std::vector<DiscFile>* discs, std::string* error)
{
    discs->clear();
    for (const std::string& text : arguments) {
        DiscArgument argument;
        std::vector<DiscFile> found;
        if (!disc_argument_of_text(text, &argument, error)) {
            *error = text + " is neither a folder holding disc files, a disc file cdN nor a disc image";
            return 0;
        }
        if (!discs_of_argument(argument, &found, error) || !add_discs(found, discs, error))
            return 0;
    }
    return 1;
}

// Reads disc 1's header into the summary and checks each field as the
// installer will; damage is reported on the walk. 0 when the header cannot
// be read at all (the walk stops), else 1.
static int read_set_header(Walk* w, const DiscFile& first)
{
    FileObject file;
    std::string why;
    if (!open_disc_file(first, &file, &why)) {
        w->damage(1, -1, why);
        return 0;
    }
    w->summary->header_read = read_disc_header(&file, &w->summary->header) == 1;
    unsigned char raw[disc::kHeaderSize] = {0};
    file.seek(0);
    bool raw_ok = file.read(raw, disc::kHeaderSize) == disc::kHeaderSize;
    bool unreadable = file.read_failed() == 1;
    file.close();
    if (unreadable) {
        w->summary->header_read = false;
        w->damage(1, 0, "read error: the header cannot be read");
        return 0;
    }
    if (!w->summary->header_read || !raw_ok) {
        w->damage(1, 0, "shorter than the 168-byte header");
        return 0;
    }
    const DiscHeader& h = w->summary->header;
    // Each field once: first as the writer leaves it, then by the rules
    // setup and the engine apply before they use the header.
    for (int32_t at : kDiscHeaderFields) {
        std::string problem;
        const char* refused = nullptr;
        bool text = at != disc::kDiscCountAt && at != disc::kTotalSizeAt;
        if (text && !header_text_sound((const char*)raw + at, &problem))
            w->damage(1, at, std::string("the header's ") + disc_header_field_name(at) + " " + problem);
        else if (!check_disc_header_field(&h, at, &refused))
            w->damage(1, at,
                      std::string("the header's ") + disc_header_field_name(at) +
                          " is refused by the installer: " + refused);
    }
    // Paths are checked against the install folder setup proposes.
    char install_folder[3 * disc::kTextSize];
    proposed_install_folder(h.company, h.product, install_folder, sizeof install_folder);
    w->install_path_length = (int32_t)strlen(install_folder);
    return 1;
}

int walk_disc_set(const std::vector<DiscFile>& discs, const std::function<void(const TreeEntry&)>& on_entry,
                  DiscSetSummary* summary)
{
    return walk_disc_set(discs, on_entry, std::function<void(int32_t, int64_t)>(), summary);
}

int walk_disc_set(const std::vector<DiscFile>& discs, const std::function<void(const TreeEntry&)>& on_entry,
                  const std::function<void(int32_t, int64_t)>& on_progress, DiscSetSummary* summary)
{
    bool hash_files = summary->hash_files;
    *summary = DiscSetSummary();
    summary->hash_files = hash_files;
    memset(&summary->header, 0, sizeof summary->header);
    Walk w;
    w.discs = &discs;
    w.on_entry = &on_entry;
    w.on_progress = &on_progress;
    w.summary = summary;
    if (hash_files && !w.sha.create())
        w.damage(0, -1, "SHA-256 is not available on this system");

    const DiscFile* first = nullptr;
    for (const DiscFile& d : discs)
        if (d.number == 1)
            first = &d;
    if (!first) {
        w.damage(1, -1, "the first disc (cd1) is not given; it holds the header");
        return 0;
    }
    if (!read_set_header(&w, *first))
        return 0;
    const DiscHeader& h = summary->header;
    if (h.disc_count < 0)
        return 0;  // reported above
    if (h.disc_count < 1 || h.disc_count > 9999) {
        w.damage(1, disc::kDiscCountAt,
                 "the header's disc count " + std::to_string(h.disc_count) + " is not a number of discs");
        return 0;
    }
    for (const DiscFile& d : discs)
        if (d.number > h.disc_count)
            w.damage(d.number, -1,
                     "not part of the set: the header counts " + std::to_string(h.disc_count) + " disc(s)");
    for (int32_t n = 1; n <= h.disc_count; ++n) {
        const DiscFile* d = nullptr;
        for (const DiscFile& x : discs)
            if (x.number == n)
                d = &x;
        if (!d) {
            w.damage(n, -1, "missing (cd" + std::to_string(n) + " was not given)");
            // The file that runs on across the missing disc cannot be followed.
            w.lose_open_file();
            continue;
        }
        w.walk_disc(*d);
    }
    if (w.file_open) {
        // The end of the set closes it, as it does in the engine.
        w.emit(w.open_file);
        w.open_ends.push_back(
            DiscDamage{h.disc_count, -1, "the set ends inside the file " + w.open_file.path + " (no close record)"});
    }
    w.prove_files();
    if (summary->damage.empty() && summary->counted_total != h.total_size) {
        for (const DiscDamage& d : w.open_ends)
            summary->damage.push_back(d);
        w.damage(1, disc::kTotalSizeAt,
                 "the header's total size " + std::to_string(h.total_size) + " differs from the records' " +
                     std::to_string(summary->counted_total) + " decompressed bytes");
    }
    return summary->damage.empty() ? 1 : 0;
}

std::string describe_damage(const DiscDamage& damage, const std::vector<DiscFile>& discs)
{
    std::string where = damage.disc > 0 ? "disc " + std::to_string(damage.disc) : "the set";
    for (const DiscFile& d : discs)
        if (d.number == damage.disc)
            where += " (" + d.text + ")";
    if (damage.offset >= 0)
        where += ", offset " + std::to_string(damage.offset);
    return where + ": " + damage.text;
}
