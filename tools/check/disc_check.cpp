#include "disc_check.h"

#include "ascii_text.h"
#include "disc_scan.h"
#include "file_object.h"
#include "image_buffer.h"
#include "install_engine.h"
#include "medium_serving.h"
#include "setup_finish.h"
#include "registration.h"
#include "slide_show.h"

#include <algorithm>
#include <map>
#include <set>

namespace {

// Names as setup spells them, in UTF-8 with "/" (the form of MediumEntry).
const char kSetupProgram[] = "setup.exe";
const char kLauncherProgram[] = "launcher.exe";
const char kAutorunFile[] = "autorun.inf";
const char kPicturePackage[] = "pic.apkg";
// An autorun file is a few lines; anything larger is not one.
const int64_t kMaxAutorunBytes = 64 * 1024;

std::string entry_path_of(const char* system_name)
{
    std::string u;
    if (!to_utf8(system_name, &u))
        u = system_name;
    std::replace(u.begin(), u.end(), '\\', '/');
    return u;
}

// "pic\NN.tga" of picture `number`, as setup names it.
std::string picture_name(int32_t number)
{
    char name[kSlideNameSize];
    slide_picture_name(number, name);
    return name;
}

std::string picture_entry(int32_t number)
{
    return entry_path_of(picture_name(number).c_str());
}

// The number of a listed "pic/NN.tga" (two digits, any case), else -1.
int32_t picture_number_of(const std::string& path)
{
    if (path.size() != 10)
        return -1;
    std::string lower = ascii_lowered(path);
    if (lower.compare(0, 4, "pic/") != 0 || lower.compare(6, 4, ".tga") != 0)
        return -1;
    if (lower[4] < '0' || lower[4] > '9' || lower[5] < '0' || lower[5] > '9')
        return -1;
    return (lower[4] - '0') * 10 + (lower[5] - '0');
}

// One disc of the set under check.
struct Disc {
    DiscMedium* medium;
    int32_t number;  // its lowest disc file number
    std::vector<MediumEntry> entries;
    std::string root;  // the system path its files are served under
};

struct Check {
    const CheckOptions* options;
    CheckReport* report;
    MediaServing* serving;
    std::vector<Disc> discs;
    std::map<int32_t, Disc*> by_number;  // disc file number -> the disc that holds it

    void problem(int32_t disc, const std::string& text) { report->findings.push_back(CheckFinding{disc, 0, text}); }
    void note(int32_t disc, const std::string& text) { report->findings.push_back(CheckFinding{disc, 1, text}); }

    const MediumEntry* file_on(const Disc& d, const std::string& path)
    {
        const MediumEntry* e = find_entry(d.entries, path);
        return e && !e->is_directory ? e : nullptr;
    }

    // The system path FileObject opens for a file of the disc (served from
    // the medium); "" when the name has none.
    std::string system_path(const Disc& d, const std::string& path) { return served_path(d.root, path); }

    // 1 when `system` loads with the installer's TGA reader.
    static int picture_loads(const std::string& system)
    {
        if (system.empty())
            return 0;
        ImageBuffer picture;
        int ok = picture.load_tga(system.c_str(), nullptr);
        picture.release();
        return ok;
    }

    // Picture `number` as a member of the disc's pic.apkg (and not a plain
    // file): the system path that opens it through the package, else "".
    std::string package_picture(const Disc& d, int32_t number)
    {
        if (!file_on(d, kPicturePackage))
            return "";
        std::string package = system_path(d, kPicturePackage);
        size_t cut = package.rfind('\\');
        if (package.empty() || cut == std::string::npos)
            return "";
        std::string member = package.substr(0, cut + 1) + picture_name(number);
        FileObject probe;
        if (!probe.open_read(member.c_str()))
            return "";
        int member_only = probe.is_member;
        probe.close();
        return member_only ? member : "";
    }

    // Finds the disc files on every medium and gives each disc its number.
    void find_discs(const std::vector<std::unique_ptr<DiscMedium>>& media)
    {
        for (const std::unique_ptr<DiscMedium>& m : media) {
            Disc d{m.get(), 0, {}, ""};
            std::string error;
            if (!m->list(&d.entries, &error)) {
                problem(0, error);
                continue;
            }
            std::vector<int32_t> numbers;
            for (const MediumEntry& e : d.entries)
                if (!e.is_directory && e.path.find('/') == std::string::npos) {
                    int32_t n = disc_number_in_name(e.path);
                    if (n > 0)
                        numbers.push_back(n);
                }
            std::sort(numbers.begin(), numbers.end());
            if (numbers.empty()) {
                problem(0, m->name() + " holds no disc file (cd1, cd2, ...) at its root");
                continue;
            }
            d.number = numbers.front();
            if (!serving->serve(m.get(), &d.root, &error)) {
                problem(0, m->name() + " cannot be read the way setup reads it: " + error);
                continue;
            }
            discs.push_back(d);
        }
        std::sort(discs.begin(), discs.end(), [](const Disc& a, const Disc& b) { return a.number < b.number; });
        for (Disc& d : discs)
            for (const MediumEntry& e : d.entries) {
                if (e.is_directory || e.path.find('/') != std::string::npos)
                    continue;
                int32_t n = disc_number_in_name(e.path);
                if (n <= 0)
                    continue;
                if (by_number.count(n)) {
                    problem(n, "cd" + std::to_string(n) + " is on two discs: " + by_number[n]->medium->name() +
                                   " and " + d.medium->name());
                    continue;
                }
                by_number[n] = &d;
            }
        report->discs = (int32_t)by_number.size();
    }

    // The records of every disc, as setup's engine reads them; the slide
    // show replayed on the engine's progress calls.
    struct PictureRequest {
        int32_t disc;
        int32_t number;
        int32_t percent;
    };

    int walk_records(int32_t picture_count, std::vector<PictureRequest>* requests, DiscSetSummary* summary)
    {
        std::vector<DiscFile> files;
        // Each disc file is opened by the engine's walk at its served path,
        // ROOT\cdN, and read where it lies.
        for (const auto& kv : by_number) {
            fs::path root = kv.second->medium->root();
            fs::path host = root / disc_file_name_of(kv.first);
            std::error_code ec;
            int kind = fs::is_directory(root, ec) ? kDiscFolder : kDiscImage;
            files.push_back(DiscFile{kv.first, kind, host, utf8_of(host), root});
        }
        SlideShow show{picture_count, 0, 0};
        walk_disc_set(
            files, std::function<void(const TreeEntry&)>(),
            [&](int32_t disc, int64_t bytes_done) {
                int32_t percent = progress_percent(bytes_done, summary->header.total_size);
                SlideStep step = slide_show_advance(&show, percent);
                if (step.load)
                    requests->push_back(PictureRequest{disc, step.number, percent});
            },
            summary);
        for (const DiscDamage& damage : summary->damage) {
            std::string where;
            if (damage.offset >= 0)
                where = "cd" + std::to_string(damage.disc) + " at byte " + std::to_string(damage.offset) + ": ";
            problem(damage.disc, where + damage.text);
        }
        return summary->damage.empty() ? 1 : 0;
    }

    void check_programs(const Disc& first)
    {
        if (!file_on(first, kSetupProgram))
            problem(first.number,
                    "no setup.exe: the launcher starts setup.exe from the root of the disc it was "
                    "started from");
        if (!file_on(first, kLauncherProgram))
            problem(first.number, "no launcher.exe: it finds the drive that holds cd1 and starts setup");
        const MediumEntry* autorun = file_on(first, kAutorunFile);
        if (!autorun) {
            problem(first.number, "no autorun.inf: the disc does not start the launcher when it is inserted");
            return;
        }
        if (autorun->size > kMaxAutorunBytes) {
            problem(first.number,
                    "autorun.inf is " + std::to_string(autorun->size) + " bytes, too large to be an autorun file");
            return;
        }
        std::string error, text;
        if (!read_medium_file(first.medium, autorun->path, (size_t)kMaxAutorunBytes, &text, &error)) {
            problem(first.number, "autorun.inf cannot be read: " + error);
            return;
        }
        std::string open, icon;
        bool in_section = false, section_seen = false;
        size_t at = 0;
        while (at <= text.size()) {
            size_t end = text.find('\n', at);
            if (end == std::string::npos)
                end = text.size();
            std::string line = ascii_trimmed(text.substr(at, end - at));
            at = end + 1;
            if (line.empty() || line[0] == ';')
                continue;
            if (line[0] == '[') {
                in_section = ascii_lowered(line) == "[autorun]";
                section_seen = section_seen || in_section;
                continue;
            }
            size_t eq = line.find('=');
            if (!in_section || eq == std::string::npos)
                continue;
            std::string key = ascii_lowered(ascii_trimmed(line.substr(0, eq))),
                        value = ascii_trimmed(line.substr(eq + 1));
            if (key == "open")
                open = value;
            else if (key == "icon")
                icon = value;
        }
        if (!section_seen) {
            problem(first.number, "autorun.inf has no [autorun] section");
            return;
        }
        if (open.empty()) {
            problem(first.number, "autorun.inf has no open= line: nothing starts when the disc is inserted");
            return;
        }
        check_autorun_target(first, "open", open, false);
        if (!icon.empty())
            check_autorun_target(first, "icon", icon, true);
    }

    // The file an autorun line names, relative to the disc's root: the
    // program up to the first blank (or in quotes), an icon before ",N".
    void check_autorun_target(const Disc& first, const char* key, const std::string& value, bool icon)
    {
        std::string name = value;
        if (!name.empty() && name[0] == '"') {
            size_t close = name.find('"', 1);
            name = name.substr(1, close == std::string::npos ? std::string::npos : close - 1);
        } else if (icon) {
            name = ascii_trimmed(name.substr(0, name.rfind(',') == std::string::npos ? name.size() : name.rfind(',')));
        } else {
            name = name.substr(0, name.find(' '));
        }
        std::replace(name.begin(), name.end(), '\\', '/');
        while (!name.empty() && name[0] == '/')
            name.erase(0, 1);
        if (!file_on(first, name))
            problem(first.number, std::string("autorun.inf's ") + key + "=" + value + " names no file on the disc");
    }

    // Setup counts the slide-show pictures on disc 1 (in the drive when the
    // progress display opens): plain files from pic\01.tga up to the first
    // gap, at most 100.
    int32_t count_disc_pictures(const Disc& first)
    {
        int32_t count = 0;
        for (int32_t n = 1; n <= kMaxSlidePictures; ++n) {
            if (!find_entry(first.entries, picture_entry(n)))
                break;
            count = n;
        }
        return count;
    }

    void check_pictures(const Disc& first, int32_t count)
    {
        // Every picture on every disc loads with setup's own reader.
        for (const Disc& d : discs)
            for (const MediumEntry& e : d.entries) {
                int32_t n = picture_number_of(e.path);
                if (n < 0)
                    continue;
                std::string name = picture_name(n);
                std::string shown;
                to_utf8(name, &shown);
                if (e.is_directory)
                    problem(d.number, shown + " is a folder, not a picture (setup counts it all the same)");
                else if (!picture_loads(system_path(d, e.path)))
                    problem(d.number, shown +
                                          " does not load with the installer's TGA reader (a TGA of type 1, 2, "
                                          "3, 9, 10 or 11, 8 bits or more, complete)");
            }
        if (count == 0 && !package_picture(first, 1).empty()) {
            problem(first.number,
                    "pic\\01.tga is only inside pic.apkg: setup shows it first, but counts the "
                    "slide-show pictures as plain files only, so there is no slide show");
        } else if (count == 0) {
            problem(first.number, "no pic\\01.tga: setup's window stays black and there is no slide show");
        } else if (count < kMaxSlidePictures && !package_picture(first, count + 1).empty()) {
            problem(first.number, picture_name_utf8(count + 1) +
                                      " is only inside pic.apkg: setup counts the slide-show pictures as plain "
                                      "files only, so the count stops at " +
                                      std::to_string(count));
        }
        // Pictures past the count never show, on whichever disc they are:
        // one line, on the disc that lacks the picture where the count stops.
        std::set<int32_t> past_count;
        for (const Disc& d : discs)
            for (const MediumEntry& e : d.entries) {
                int32_t n = picture_number_of(e.path);
                if (n > count && !e.is_directory)
                    past_count.insert(n);
            }
        std::string lost;
        for (int32_t n : past_count)
            lost += (lost.empty() ? "" : ", ") + picture_name_utf8(n);
        if (!lost.empty())
            problem(first.number, lost + (past_count.size() == 1 ? " never shows" : " never show") +
                                      ": setup counts the pictures on disc " + std::to_string(first.number) +
                                      " from pic\\01.tga up to the first gap, and " + picture_name_utf8(count + 1) +
                                      " is missing there (" + std::to_string(count) + " picture(s) counted)");
    }

    static std::string picture_name_utf8(int32_t number)
    {
        std::string u;
        return to_utf8(picture_name(number), &u) ? u : picture_name(number);
    }

    // Each picture setup asks for during the extraction is read from the disc
    // in the drive at that moment.
    void check_requests(const std::vector<PictureRequest>& requests, int32_t count)
    {
        for (const PictureRequest& r : requests) {
            auto it = by_number.find(r.disc);
            if (it == by_number.end())
                continue;
            const Disc& d = *it->second;
            std::string name = picture_name_utf8(r.number);
            bool plain = file_on(d, picture_entry(r.number)) != nullptr;
            std::string member = plain ? "" : package_picture(d, r.number);
            if (r.number == 0) {
                if (!plain && member.empty() && count == 0)
                    note(d.number, "setup asks for pic\\00.tga at " + std::to_string(r.percent) +
                                       " % even without slide-show pictures; there is none, so the window stays "
                                       "as it is");
                else if (!plain && member.empty())
                    note(d.number, "setup asks for pic\\00.tga at " + std::to_string(r.percent) +
                                       " %, below the first step of the slide show (" +
                                       std::to_string(100 / (count + 1)) + " % with " + std::to_string(count) +
                                       " picture(s)); there is none, so the first picture stays");
            } else if (!plain && member.empty()) {
                problem(d.number, "no " + name + ": setup asks for it at " + std::to_string(r.percent) +
                                      " % while disc " + std::to_string(r.disc) +
                                      " is in the drive, and keeps the previous picture");
                continue;
            }
            if (!member.empty() && !picture_loads(member))
                problem(d.number, name + " in pic.apkg does not load with the installer's TGA reader");
        }
    }

    // The finishing steps run with the last disc in the drive: the data
    // folder is copied from the source root and the web shortcut file from
    // the current directory, both that disc's root.
    void check_last_disc(const Disc& last)
    {
        std::string url;
        if (!to_utf8(kWebShortcut, &url))
            url = "web shortcut";
        std::string elsewhere_url, elsewhere_data;
        for (const Disc& d : discs) {
            if (&d == &last)
                continue;
            if (file_on(d, url))
                elsewhere_url += (elsewhere_url.empty() ? "disc " : ", ") + std::to_string(d.number);
            const MediumEntry* data = find_entry(d.entries, kDataFolderName);
            if (data && data->is_directory)
                elsewhere_data += (elsewhere_data.empty() ? "disc " : ", ") + std::to_string(d.number);
        }
        std::string tail = last.number == 1 ? "" : " (the last disc, in the drive when setup finishes)";
        if (!file_on(last, url))
            problem(last.number, "no " + url + ": setup copies it into the program group from this disc" + tail +
                                     (elsewhere_url.empty() ? "" : "; " + elsewhere_url + " has one"));
        const MediumEntry* data = find_entry(last.entries, kDataFolderName);
        if (data && !data->is_directory)
            problem(last.number, "data is a file; setup copies a data folder from here");
        else if (!data && !elsewhere_data.empty())
            problem(last.number,
                    "no data folder: setup copies it from this disc" + tail + "; " + elsewhere_data + " has one");
    }

    void check_sizes()
    {
        for (const Disc& d : discs) {
            int64_t needed = d.medium->bytes_needed(d.entries);
            if (needed > options->disc_size)
                problem(d.number, "needs " + std::to_string(needed) + " bytes, " +
                                      std::to_string(needed - options->disc_size) + " more than the disc size " +
                                      std::to_string(options->disc_size));
        }
    }
};

}  // namespace

int check_disc_set(const std::vector<std::unique_ptr<DiscMedium>>& media, const CheckOptions& options,
                   CheckReport* report)
{
    *report = CheckReport();
    // The discs are served to setup's own readers for the whole check.
    struct Served {
        MediaServing serving;
        ~Served() { serving.release(); }
    } served;
    Check c;
    c.options = &options;
    c.report = report;
    c.serving = &served.serving;
    c.find_discs(media);

    const Disc* first = c.by_number.count(1) ? c.by_number[1] : nullptr;
    int32_t count = first ? c.count_disc_pictures(*first) : 0;
    std::vector<Check::PictureRequest> requests;
    DiscSetSummary summary;
    int sound = 0;
    if (!c.by_number.empty())
        sound = c.walk_records(count, &requests, &summary);
    else
        c.problem(0, "no disc file (cd1, cd2, ...) on any disc given");

    if (first) {
        c.check_programs(*first);
        c.check_pictures(*first, count);
        // The replay is only as good as the records it counted.
        if (sound)
            c.check_requests(requests, count);
    }
    // The last disc: the one that holds cd<disc count>, else the highest.
    int32_t last_number = 0;
    if (summary.header_read && summary.header.disc_count > 0 && c.by_number.count(summary.header.disc_count))
        last_number = summary.header.disc_count;
    else if (!c.by_number.empty() && !summary.header_read)
        last_number = c.by_number.rbegin()->first;
    if (last_number)
        c.check_last_disc(*c.by_number[last_number]);
    c.check_sizes();

    std::stable_sort(report->findings.begin(), report->findings.end(),
                     [](const CheckFinding& a, const CheckFinding& b) { return a.disc < b.disc; });
    for (const CheckFinding& f : report->findings)
        (f.note ? report->notes : report->problems)++;
    return report->problems == 0 ? 1 : 0;
}

std::string finding_line(const CheckFinding& finding)
{
    std::string where = finding.disc > 0 ? "disc " + std::to_string(finding.disc) : "the set";
    return where + ": " + (finding.note ? "note: " : "") + finding.text;
}
