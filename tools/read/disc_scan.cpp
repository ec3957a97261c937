#include "disc_scan.h"

#include "disc_image.h"
#include "disc_header.h"
#include "disc_names.h"
#include "file_object.h"
#include "install_journal.h"
#include "platform.h"
#include "record_path.h"
#include "record_reader.h"
#include "terminal_text.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>

namespace {



// A text field as read: the NUL inside the field, valid Big5, and the bytes
// after it zero as the writer leaves them.
bool header_text_sound(const char* field, std::string* problem)
{
    size_t n = strnlen(field, disc::kTextSize);
    if (n == (size_t)disc::kTextSize) {
        *problem = "has no terminating NUL inside its 40 bytes";
        return false;
    }
    for (size_t i = n; i < (size_t)disc::kTextSize; ++i)
        if (field[i] != 0) {
            *problem = "has bytes that are not zero after its terminating NUL";
            return false;
        }
    std::string utf8;
    if (!to_utf8(std::string(field, n), &utf8)) {
        *problem = "is not valid Big5";
        return false;
    }
    return true;
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
    ~Walk() { names.release(); }
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
        if (*on_entry)
            (*on_entry)(e);
    }

    TreeEntry entry_of(bool is_directory, const char* created, int32_t disc, int64_t offset)
    {
        std::string u;
        bool converted = to_utf8(created, &u);
        return TreeEntry{is_directory, converted ? u : escaped_bytes(created), 0, disc, disc, created, converted, offset};
    }

    // One disc from its record start to its end.
    void walk_disc(const DiscFile& d)
    {
        DiscRecords records;
        if (!records.start(d, in.get())) {
            damage(d.number, records.at, records.why);
            return;
        }
        const int64_t size = records.size;
        size_t damage_before = summary->damage.size();
        bool ended = false;
        for (;;) {
            Record r;
            int status = records.reader.next(&r);
            if (status == kRecordEndOfFile)
                break;
            if (status == kRecordReadError) {
                // Not damage in the data: the disc file itself cannot be
                // read from here on, and what follows is unknown.
                damage(d.number, r.offset, record_status_text(status));
                break;
            }
            if (status != kRecordRead) {
                damage(d.number, r.offset,
                       record_problem_text(status, r) + " in a record of type " + std::to_string(r.type));
                break;
            }
            ++summary->records;
            if (r.type == disc::kEnd) {
                ended = true;
                if (r.offset + 1 < size)
                    damage(d.number, r.offset + 1,
                           std::to_string(size - r.offset - 1) +
                               " byte(s) after the end record, which the installer never reads");
                break;
            }
            if (r.type == disc::kClose) {
                if (file_open) {
                    emit(open_file);
                    file_open = false;
                }
                lost_file = false;
                progress(d.number);
                continue;
            }
            if (!record_has_payload(r.type)) {
                damage(d.number, r.offset, "unknown record type " + std::to_string(r.type));
                break;
            }
            int32_t n = 0;
            int z = 0;
            // zlib decides, so `test` passes exactly the discs setup accepts.
            if (!inflate_record(r, out.get(), disc::kMaxDecompressed, &n, &z, 1)) {
                damage(d.number, r.offset,
                       "the zlib stream of a record of type " + std::to_string(r.type) +
                           " does not decompress (zlib status " + std::to_string(z) + ")");
                summary->damage.back().has_zlib_status = true;
                summary->damage.back().zlib_status = z;
                break;
            }
            summary->counted_total += n;
            progress(d.number);
            if (r.type == disc::kData) {
                if (!file_open && lost_file)
                    continue;
                if (!file_open) {
                    damage(d.number, r.offset, "data record outside a file");
                    break;
                }
                open_file.size += n;
                open_file.last_disc = d.number;
                continue;
            }
            const char* problem = nullptr;
            char created[kRecordPathBuffer];
            if (!fold_record_path(r.type, out.get(), n, install_path_length, created, &problem)) {
                damage(d.number, r.offset, std::string("path refused by the installer: ") + problem);
                break;
            }
            lost_file = false;
            // The tree as the engine makes it: "" is the install folder
            // itself, and a name made before is found whatever its case.
            if (created[0])
                names.match_case(created, 0);
            if (r.type == disc::kDirectory) {
                if (!created[0])
                    continue;
                ++summary->directories;
                names.add(InstallJournal::kDirectory, created);
                emit(entry_of(true, created, d.number, r.offset));
            } else {
                if (file_open)
                    emit(open_file);  // a new file closes the open one
                ++summary->files;
                names.add(InstallJournal::kFile, created);
                open_file = entry_of(false, created, d.number, r.offset);
                file_open = true;
            }
        }
        if (!ended && summary->damage.size() == damage_before)
            open_ends.push_back(DiscDamage{d.number, size, "the disc ends without an end record (cut short?)"});
        records.file.close();
    }
};

}  // namespace

std::string disc_file_name_of(int32_t number)
{
    char name[16];
    return disc_file_name(number, name, sizeof name) ? name : "";
}

int32_t disc_number_in_name(const std::string& name)
{
    if (name.size() < 3 || name.size() > 11 || name.compare(0, 2, "cd") != 0 || name[2] == '0')
        return 0;
    int64_t n = 0;
    for (size_t i = 2; i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9')
            return 0;
        n = n * 10 + (name[i] - '0');
    }
    return n <= 9999 ? (int32_t)n : 0;
}

// Here rather than in the image reader: the builds with and without one
// tell an image argument the same way.
int is_image_argument(const fs::path& path)
{
    std::error_code ec;
    return fs::is_regular_file(path, ec) && disc_number_in_name(utf8_of(path.filename())) == 0;
}

int open_disc_file(const DiscFile& disc, FileObject* file, std::string* error)
{
    std::string path;
    if (!system_path_of(disc.host, &path, nullptr)) {
        *error = "its path has no form the installer can open";
        return 0;
    }
    if (disc.image.empty()) {
        if (file->open_read(path.c_str()))
            return 1;
        *error = "cannot be opened";
        return 0;
    }
    // The file object opens the image's disc file through the served path,
    // as the engine does when it extracts.
    serve_image_disc(path, disc.image, disc.number);
    int ok = file->open_read(path.c_str());
    stop_serving_image_disc(path);
    if (!ok)
        *error = "cannot be read from the image: " + served_open_error();
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

int collect_discs(const std::vector<std::string>& arguments, std::vector<DiscFile>* discs, std::string* error,
                  int* bad_image)
{
    discs->clear();
    if (bad_image)
        *bad_image = 0;
    std::map<int32_t, DiscFile> found;
    auto add = [&](int32_t number, const fs::path& file) {
        if (found.count(number)) {
            *error = "disc " + std::to_string(number) + " is given twice: " + utf8_of(found[number].host) +
                     " and " + utf8_of(file);
            return false;
        }
        std::error_code ec;
        fs::path absolute = fs::absolute(file, ec);
        if (ec) {
            *error = "cannot find the folder of " + utf8_of(file) + ": " + ec.message();
            return false;
        }
        found[number] = DiscFile{number, absolute, absolute.parent_path(), fs::path()};
        return true;
    };
    for (const std::string& arg : arguments) {
        fs::path p = host_path_from_utf8(arg);
        std::error_code ec;
        if (fs::is_directory(p, ec)) {
            bool any = false;
            for (fs::directory_iterator it(p, ec), end; !ec && it != end; it.increment(ec)) {
                int32_t n = disc_number_in_name(utf8_of(it->path().filename()));
                if (n > 0 && it->is_regular_file(ec)) {
                    if (!add(n, it->path()))
                        return false;
                    any = true;
                }
            }
            if (!any) {
                *error = utf8_of(p) + " holds no disc file (cd1, cd2, ...)";
                return false;
            }
        } else if (fs::is_regular_file(p, ec) && disc_number_in_name(utf8_of(p.filename())) > 0) {
            if (!add(disc_number_in_name(utf8_of(p.filename())), p))
                return false;
        } else if (is_image_argument(p)) {
            std::vector<ImageDisc> held;
            if (!list_image_discs(p, &held, error)) {
                if (bad_image)
                    *bad_image = 1;
                return false;
            }
            fs::path image = fs::absolute(p, ec);
            if (ec) {
                *error = "cannot find the folder of " + utf8_of(p) + ": " + ec.message();
                return false;
            }
            for (const ImageDisc& held_disc : held) {
                if (!add(held_disc.number, image / disc_file_name_of(held_disc.number)))
                    return false;
                found[held_disc.number].folder = image;
                found[held_disc.number].image = image;
            }
        } else {
            *error = arg + " is neither a folder holding disc files, a disc file cdN nor a disc image";
            return false;
        }
    }
    for (auto& kv : found)
        discs->push_back(kv.second);
    return true;
}

int walk_disc_set(const std::vector<DiscFile>& discs, const std::function<void(const TreeEntry&)>& on_entry,
                  DiscSetSummary* summary)
{
    return walk_disc_set(discs, on_entry, std::function<void(int32_t, int64_t)>(), summary);
}

int walk_disc_set(const std::vector<DiscFile>& discs, const std::function<void(const TreeEntry&)>& on_entry,
                  const std::function<void(int32_t, int64_t)>& on_progress, DiscSetSummary* summary)
{
    *summary = DiscSetSummary();
    memset(&summary->header, 0, sizeof summary->header);
    Walk w;
    w.discs = &discs;
    w.on_entry = &on_entry;
    w.on_progress = &on_progress;
    w.summary = summary;

    const DiscFile* first = nullptr;
    for (const DiscFile& d : discs)
        if (d.number == 1)
            first = &d;
    if (!first) {
        w.damage(1, -1, "the first disc (cd1) is not given; it holds the header");
        return 0;
    }
    FileObject file;
    std::string why;
    if (!open_disc_file(*first, &file, &why)) {
        w.damage(1, -1, why);
        return 0;
    }
    summary->header_read = read_disc_header(&file, &summary->header) == 1;
    unsigned char raw[disc::kHeaderSize] = {0};
    file.seek(0);
    bool raw_ok = file.read(raw, disc::kHeaderSize) == disc::kHeaderSize;
    bool unreadable = file.read_failed() == 1;
    file.close();
    if (unreadable) {
        summary->header_read = false;
        w.damage(1, 0, "read error: the header cannot be read");
        return 0;
    }
    if (!summary->header_read || !raw_ok) {
        w.damage(1, 0, "shorter than the 168-byte header");
        return 0;
    }
    const DiscHeader& h = summary->header;
    // Each field once: first as the writer leaves it, then by the rules
    // setup and the engine apply before they use the header.
    for (int32_t at : kDiscHeaderFields) {
        std::string problem;
        const char* refused = nullptr;
        bool text = at != disc::kDiscCountAt && at != disc::kTotalSizeAt;
        if (text && !header_text_sound((const char*)raw + at, &problem))
            w.damage(1, at, std::string("the header's ") + disc_header_field_name(at) + " " + problem);
        else if (!check_disc_header_field(&h, at, &refused))
            w.damage(1, at, std::string("the header's ") + disc_header_field_name(at) +
                                " is refused by the installer: " + refused);
    }
    // Paths are checked against the install folder setup proposes.
    char install_folder[3 * disc::kTextSize];
    proposed_install_folder(h.company, h.product, install_folder, sizeof install_folder);
    w.install_path_length = (int32_t)strlen(install_folder);
    if (h.disc_count < 0)
        return 0;  // reported above
    if (h.disc_count < 1 || h.disc_count > 9999) {
        w.damage(1, disc::kDiscCountAt, "the header's disc count " + std::to_string(h.disc_count) +
                                            " is not a number of discs");
        return 0;
    }
    for (const DiscFile& d : discs)
        if (d.number > h.disc_count)
            w.damage(d.number, -1, "not part of the set: the header counts " + std::to_string(h.disc_count) +
                                       " disc(s)");
    for (int32_t n = 1; n <= h.disc_count; ++n) {
        const DiscFile* d = nullptr;
        for (const DiscFile& x : discs)
            if (x.number == n)
                d = &x;
        if (!d) {
            w.damage(n, -1, "missing (cd" + std::to_string(n) + " was not given)");
            // The file that runs on across the missing disc cannot be followed.
            w.file_open = false;
            w.lost_file = true;
            continue;
        }
        size_t before = summary->damage.size();
        w.walk_disc(*d);
        if (summary->damage.size() != before) {
            // The rest of a damaged disc is unknown.
            w.file_open = false;
            w.lost_file = true;
        }
    }
    if (w.file_open) {
        // The end of the set closes it, as it does in the engine.
        w.emit(w.open_file);
        w.open_ends.push_back(
            DiscDamage{h.disc_count, -1, "the set ends inside the file " + w.open_file.path + " (no close record)"});
    }
    if (summary->damage.empty() && summary->counted_total != h.total_size) {
        for (const DiscDamage& d : w.open_ends)
            summary->damage.push_back(d);
        w.damage(1, disc::kTotalSizeAt, "the header's total size " + std::to_string(h.total_size) +
                                            " differs from the records' " + std::to_string(summary->counted_total) +
                                            " decompressed bytes");
    }
    return summary->damage.empty() ? 1 : 0;
}

std::string describe_damage(const DiscDamage& damage, const std::vector<DiscFile>& discs)
{
    std::string where = damage.disc > 0 ? "disc " + std::to_string(damage.disc) : "the set";
    for (const DiscFile& d : discs)
        if (d.number == damage.disc)
            where += " (" + utf8_of(d.host) + ")";
    if (damage.offset >= 0)
        where += ", offset " + std::to_string(damage.offset);
    return where + ": " + damage.text;
}
