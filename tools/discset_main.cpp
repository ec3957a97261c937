// discset: author, list, test, check and extract disc sets.
#include "disc_check.h"
#include "disc_extract.h"
#include "disc_salvage.h"
#include "disc_image.h"
#include "disc_scan.h"
#include "disc_writer.h"
#include "command_line.h"
#include "exit_codes.h"
#include "standard_output.h"
#include "disc_json.h"
#include "json_names.h"
#include "platform.h"
#include "progress_bar.h"
#include "terminal_text.h"


#include <algorithm>
#include <csignal>
#include <cstdio>

namespace {

// What --disc-size takes (parse_disc_size), for pack and check alike.
const char kDiscSizeHelp[] =
    "650M (681984000 bytes, a 74-minute CD) or 700M (737280000, an 80-minute CD); else bytes, or a number "
    "with a unit: K, M, G count in 1024s (25M is 26214400 bytes, as 25MiB), kB, MB, GB in 1000s (25MB is "
    "25000000); default 650M";

// How much pack and extract tell while they work: --quiet draws no
// progress bar, --verbose names each folder and file.
struct Chatter {
    bool quiet = false;
    bool verbose = false;
};

// A header text in UTF-8; bytes that are not Big5 are shown as \xNN.
std::string text_of(const char* cp950)
{
    std::string u;
    return to_utf8(cp950, &u) ? printable(u) : escaped_bytes(cp950);
}

// The code page names that --codepage takes: the format's own, 950 (Big5).
// 1 when `name` is one of them, else 0 after saying why on stderr.
int check_codepage(const char* command, const std::string& name)
{
    std::string n = name;
    for (char& c : n)
        if (c >= 'A' && c <= 'Z')
            c = (char)(c - 'A' + 'a');
    if (n == "950" || n == "cp950" || n == "big5")
        return 1;
    fprintf(stderr,
            "discset %s: --codepage %s does not convert: disc sets name their files in code page 950 (Big5), "
            "the only one discset reads and writes (--codepage 950)\n",
            command, printable(name).c_str());
    return 0;
}

void print_damage(const char* command, const DiscSetSummary& s, const std::vector<DiscFile>& discs)
{
    for (const DiscDamage& d : s.damage)
        fprintf(stderr, "discset %s: %s\n", command, printable(describe_damage(d, discs)).c_str());
}

void print_header(const DiscHeader& h)
{
    printf("company:      %s\n", text_of(h.company).c_str());
    printf("product:      %s\n", text_of(h.product).c_str());
    printf("registry key: %s\n", text_of(h.regkey).c_str());
    printf("game program: %s\n", text_of(h.exe).c_str());
    printf("discs:        %d\n", h.disc_count);
    printf("total size:   %d bytes\n", h.total_size);
    printf("%12s  %5s  %s\n", "SIZE", "DISC", "PATH");
}

// A Windows program that pack puts in: the one named, else the first that
// exists of: beside this program (a Windows install), in the folder an
// install puts them in relative to this program (share/discset/windows
// beside bin/ on Linux), in the build tree's `build_folder` next to this
// program's folder, and the path configured at build time (a native build
// takes the one of the Windows release build).
bool find_program(const std::string& named, const char* file_name, const char* build_folder, const char* configured,
                  const char* option, const char* without, fs::path* found, std::string* error)
{
    if (!named.empty()) {
        *found = host_path_from_utf8(named);
        return true;
    }
    std::vector<fs::path> candidates;
    char self[4096];
    if (plat_program_path_utf8(self, sizeof self)) {
        fs::path folder = fs::u8path(self).parent_path();
        candidates.push_back(folder / file_name);
        if (DI_INSTALLED_PROGRAMS[0])
            candidates.push_back((folder / fs::u8path(DI_INSTALLED_PROGRAMS) / file_name).lexically_normal());
        candidates.push_back(folder.parent_path() / build_folder / file_name);
    }
    if (configured[0])
        candidates.push_back(fs::u8path(configured));
    std::string looked;
    for (const fs::path& c : candidates) {
        std::error_code ec;
        if (fs::is_regular_file(c, ec)) {
            *found = c;
            return true;
        }
        looked += (looked.empty() ? "" : ", ") + utf8_of(c);
    }
    *error = std::string("no ") + file_name + " to put in (looked at " + looked + "); pass " + option +
             " PATH (the " + file_name + " of a Windows build)" + without;
    return false;
}

// The layout options as typed.
struct LayoutArgs {
    bool layout = false;
    std::string setup, launcher, pictures, web_shortcut;
};

// The signing options as typed.
struct SigningArgs {
    std::string pkcs12, password_file, timestamp_url;
};

// What pack's command line names: the options the disc writer takes as they
// are, and those it takes only once checked and turned into host paths.
struct PackArgs {
    std::string game, out, disc_size = "650M", compressor;
    DiscPackOptions options;
    bool no_uninstaller = false;
    std::string uninstaller, data;
    LayoutArgs layout;
    SigningArgs signing;
    Chatter chatter;
};

// Options that go only with others, or not with them: 0, or the usage exit
// code after saying on stderr why not.
int check_pack_combinations(const PackArgs& args)
{
    const SigningArgs& signing = args.signing;
    const LayoutArgs& layout = args.layout;
    if (signing.pkcs12.empty() && (!signing.password_file.empty() || !signing.timestamp_url.empty())) {
        fprintf(stderr, "discset pack: --sign-password-file and --sign-timestamp go with --sign-pkcs12\n");
        return kExitUsage;
    }
    if (!signing.pkcs12.empty() && args.no_uninstaller && !layout.layout) {
        fprintf(stderr, "discset pack: --sign-pkcs12 signs uninstall.exe, and with --layout setup.exe and "
                        "launcher.exe; with --no-uninstaller and no --layout there is nothing to sign\n");
        return kExitUsage;
    }
    if (args.no_uninstaller && !args.uninstaller.empty()) {
        fprintf(stderr, "discset pack: --no-uninstaller and --uninstaller do not go together\n");
        return kExitUsage;
    }
    if (args.no_uninstaller && !args.data.empty() && !layout.layout) {
        fprintf(stderr, "discset pack: --no-uninstaller puts no manifest in, so --data applies only with --layout\n");
        return kExitUsage;
    }
    if (!layout.layout && (!layout.setup.empty() || !layout.launcher.empty() || !layout.pictures.empty() ||
                           !layout.web_shortcut.empty())) {
        fprintf(stderr, "discset pack: --setup-exe, --launcher-exe, --pictures and --web-shortcut go with --layout\n");
        return kExitUsage;
    }
    return kExitDone;
}

// The disc writer's options from the command line: 0, or the exit code
// after saying on stderr why not.
int pack_options_of(const PackArgs& args, DiscPackOptions* options)
{
    std::string error;
    const LayoutArgs& layout = args.layout;
    if (!args.signing.pkcs12.empty()) {
        options->signing.pkcs12 = host_path_from_utf8(args.signing.pkcs12);
        if (!args.signing.password_file.empty())
            options->signing.password_file = host_path_from_utf8(args.signing.password_file);
        options->signing.timestamp_url = args.signing.timestamp_url;
    }
    if (layout.layout) {
        options->layout.enabled = true;
        if (!find_program(layout.setup, "setup.exe", "frontend", DI_DEFAULT_SETUP, "--setup-exe", "",
                          &options->layout.setup_program, &error) ||
            !find_program(layout.launcher, "launcher.exe", "launcher", DI_DEFAULT_LAUNCHER, "--launcher-exe", "",
                          &options->layout.launcher_program, &error)) {
            fprintf(stderr, "discset pack: %s\n", error.c_str());
            return kExitFailed;
        }
        if (!layout.pictures.empty())
            options->layout.pictures = host_path_from_utf8(layout.pictures);
        if (!layout.web_shortcut.empty())
            options->layout.web_shortcut = host_path_from_utf8(layout.web_shortcut);
        if (!args.data.empty())
            options->layout.data_folder = host_path_from_utf8(args.data);
    }
    if (!args.no_uninstaller) {
        if (!find_program(args.uninstaller, "uninstall.exe", "uninstall", DI_DEFAULT_UNINSTALLER, "--uninstaller",
                          " or --no-uninstaller", &options->uninstaller, &error)) {
            fprintf(stderr, "discset pack: %s\n", error.c_str());
            return kExitFailed;
        }
        if (!args.data.empty())
            options->data_folder = host_path_from_utf8(args.data);
    }
    if (!parse_disc_size(args.disc_size, &options->disc_size, &error)) {
        fprintf(stderr, "discset pack: %s\n", error.c_str());
        return kExitUsage;
    }
    if (!args.compressor.empty() && !compressor_from_name(args.compressor, &options->compressor)) {
        fprintf(stderr, "discset pack: no compressor \"%s\" in this build (it has zlib%s)\n", args.compressor.c_str(),
                compressor_available(kCompressorLibdeflate) ? " and libdeflate" : "");
        return kExitUsage;
    }
    return kExitDone;
}

// What a finished pack wrote, on stdout (and a stray file's warning on stderr).
void report_pack(const PackArgs& args, const DiscPackOptions& options, const DiscPackResult& result)
{
    printf("%d disc(s): %lld folder(s), %lld file(s), %lld bytes of file data, total size %d\n", result.disc_count,
           (long long)result.directories, (long long)result.files, (long long)result.data_bytes, result.total_size);
    for (size_t i = 0; i < result.disc_bytes.size(); ++i)
        printf("  disc%zu/cd%zu  %lld bytes%s\n", i + 1, i + 1, (long long)result.disc_bytes[i],
               i < result.layout_bytes.size()
                   ? (", " + std::to_string(result.layout_bytes[i]) + " bytes beside it").c_str()
                   : "");
    if (result.pictures > 0)
        printf("  %d slide-show picture(s) in pic\\ on every disc\n", result.pictures);
    for (size_t i = 0; i < result.image_bytes.size(); ++i)
        printf("  disc%zu.iso  %lld bytes, volume id %s\n", i + 1, (long long)result.image_bytes[i],
               result.volume_ids[i].c_str());
    for (const std::string& stray : result.stray_files)
        fprintf(stderr, "discset pack: warning: %s is not part of this set (left by an earlier run?); it is not in "
                        "the images, remove it before burning the folder\n", printable(stray).c_str());
    if (args.layout.layout)
        printf("  setup.exe %s, launcher.exe %s on disc 1\n", utf8_of(options.layout.setup_program).c_str(),
               utf8_of(options.layout.launcher_program).c_str());
    if (!args.no_uninstaller)
        printf("  uninstaller %s and uninstall.lst (%lld entries)\n", utf8_of(options.uninstaller).c_str(),
               (long long)result.manifest_entries);
    for (const std::string& name : result.signed_programs)
        printf("  %s signed with %s%s\n", name.c_str(), utf8_of(options.signing.pkcs12).c_str(),
               options.signing.timestamp_url.empty() ? "" : ", time-stamped");
}

int run_pack(const PackArgs& args)
{
    int code = check_pack_combinations(args);
    if (code != kExitDone)
        return code;
    DiscPackOptions options = args.options;
    code = pack_options_of(args, &options);
    if (code != kExitDone)
        return code;
    ProgressBar bar;
    bar.create(stderr, progress_wanted(stream_is_terminal(stderr), args.chatter.quiet), 0, progress_clock());
    options.on_progress = [&](int64_t done, int64_t total) {
        bar.total = total;
        bar.update(done, progress_clock());
    };
    if (args.chatter.verbose)
        options.on_entry = [&](const std::string& record_path, bool is_directory) {
            std::string u;
            bar.note(stdout, (to_utf8(record_path, &u) ? printable(u) : printable(record_path)) +
                                 (is_directory ? "\\" : ""));
        };
    DiscPackResult result;
    std::string error;
    bool packed = disc_pack(host_path_from_utf8(args.game), host_path_from_utf8(args.out), options, &result, &error);
    bar.release(progress_clock());
    if (!packed) {
        fprintf(stderr, "discset pack: %s\n", error.c_str());
        return kExitFailed;
    }
    report_pack(args, options, result);
    return 0;
}

// The discs the arguments name: 0, or the exit code after saying on
// stderr why not (2 for an image that cannot be read, 1 otherwise).
int collect_or_report(const char* command, const std::vector<std::string>& args, std::vector<DiscFile>* discs)
{
    std::string error;
    if (collect_discs(args, discs, &error))
        return kExitDone;
    // A disc that is not there and an image that does not read both fail.
    fprintf(stderr, "discset %s: %s\n", command, error.c_str());
    return kExitFailed;
}

// Every image among the arguments must be readable before extract starts:
// 0, or 2 after saying why one is not.
int check_images(const std::vector<std::string>& args)
{
    for (const std::string& a : args) {
        fs::path p = host_path_from_utf8(a);
        std::vector<ImageDisc> held;
        std::string error;
        if (is_image_argument(p) && !list_image_discs(p, &held, &error)) {
            fprintf(stderr, "discset extract: %s\n", error.c_str());
            return kExitFailed;
        }
    }
    return 0;
}

// The JSON document on standard output; 0, or 2 for a damaged set.
int print_json(const nlohmann::ordered_json& doc, int undamaged)
{
    fputs(json_text(doc).c_str(), stdout);
    fflush(stdout);
    return undamaged ? 0 : 2;
}

// Builds the JSON answer of list or test for a set; 1 when it is undamaged.
using JsonAnswer = int (*)(const std::vector<DiscFile>&, nlohmann::ordered_json*);

// The start of list and test: the discs the arguments name and, with
// --json (`json_answer` given), the command's whole answer. 1 when the
// command goes on to its text form, else 0 with the exit code in *code.
int start_reading(const char* command, const std::vector<std::string>& args, JsonAnswer json_answer,
                  std::vector<DiscFile>* discs, int* code)
{
    *code = collect_or_report(command, args, discs);
    if (*code != kExitDone)
        return 0;
    if (!json_answer)
        return 1;
    nlohmann::ordered_json doc;
    int ok = json_answer(*discs, &doc);
    *code = print_json(doc, ok);
    return 0;
}

// list's text form: the header, one line per entry, the totals.
int run_list(const std::vector<DiscFile>& discs)
{
    DiscSetSummary s;
    int64_t file_bytes = 0;
    bool header_shown = false;
    // The header is read before the first entry arrives.
    int ok = walk_disc_set(
        discs,
        [&](const TreeEntry& e) {
            if (!header_shown) {
                print_header(s.header);
                header_shown = true;
            }
            std::string discs_of = std::to_string(e.disc);
            if (e.last_disc != e.disc)
                discs_of += "-" + std::to_string(e.last_disc);
            // Names come from the disc: no control character reaches the terminal.
            std::string path = printable(e.path);
            if (e.is_directory)
                printf("%12s  %5s  %s\\\n", "-", discs_of.c_str(), path.c_str());
            else
                printf("%12lld  %5s  %s\n", (long long)e.size, discs_of.c_str(), path.c_str());
            file_bytes += e.size;
        },
        &s);
    if (!header_shown && s.header_read)
        print_header(s.header);
    printf("%lld folder(s), %lld file(s), %lld bytes in files\n", (long long)s.directories, (long long)s.files,
           (long long)file_bytes);
    fflush(stdout);
    print_damage("list", s, discs);
    return ok ? kExitDone : kExitFailed;
}

// test's text form: each problem, or one line of counts.
int run_test(const std::vector<DiscFile>& discs)
{
    DiscSetSummary s;
    int ok = walk_disc_set(discs, std::function<void(const TreeEntry&)>(), &s);
    if (!ok) {
        print_damage("test", s, discs);
        fprintf(stderr, "discset test: the set is damaged (%zu problem(s))\n", s.damage.size());
        return kExitFailed;
    }
    printf("OK: %d disc(s), %lld record(s), %lld folder(s), %lld file(s), total size %d bytes\n", s.header.disc_count,
           (long long)s.records, (long long)s.directories, (long long)s.files, s.header.total_size);
    return kExitDone;
}

// The files and folders under `folder`, each as "\\a\\b" (folders with a
// trailing "\\") and its size, sorted; what --verbose shows after extract.
void print_extracted(const fs::path& folder)
{
    std::vector<std::pair<std::string, int64_t>> found;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::string name = utf8_of(it->path().lexically_relative(folder));
        std::replace(name.begin(), name.end(), '/', '\\');
        std::error_code size_ec;
        bool is_folder = it->is_directory(size_ec);
        int64_t size = is_folder ? -1 : (int64_t)it->file_size(size_ec);
        found.emplace_back("\\" + name + (is_folder ? "\\" : ""), size_ec ? 0 : size);
    }
    std::sort(found.begin(), found.end());
    for (const auto& f : found) {
        if (f.second < 0)
            printf("%12s  %s\n", "-", printable(f.first).c_str());
        else
            printf("%12lld  %s\n", (long long)f.second, printable(f.first).c_str());
    }
}

// The pre-flight check: one line per finding on stdout, then a summary.
// 0 no problem, 1 usage (an argument that names no disc), 2 problems found
// or an image that cannot be read.
int run_check(const std::vector<std::string>& args, const std::string& disc_size)
{
    CheckOptions options{0};
    std::string error;
    if (!parse_disc_size(disc_size, &options.disc_size, &error)) {
        fprintf(stderr, "discset check: %s\n", error.c_str());
        return kExitUsage;
    }
    std::vector<std::unique_ptr<DiscMedium>> media;
    for (const std::string& arg : args) {
        int bad_image = 0;
        std::unique_ptr<DiscMedium> m = open_disc_medium(host_path_from_utf8(arg), &error, &bad_image);
        if (!m) {
            fprintf(stderr, "discset check: %s\n", printable(error).c_str());
            return bad_image ? kExitFailed : kExitUsage;
        }
        media.push_back(std::move(m));
    }
    CheckReport report;
    int ok = check_disc_set(media, options, &report);
    for (const CheckFinding& f : report.findings)
        printf("%s\n", printable(finding_line(f)).c_str());
    if (ok)
        printf("discset check: %d disc(s), no problem found (%d note(s))\n", report.discs, report.notes);
    else
        printf("discset check: %d problem(s) in %d disc(s) (%d note(s))\n", report.problems, report.discs,
               report.notes);
    return ok ? kExitDone : kExitFailed;
}

// The --include patterns, checked; false after saying why not.
bool make_selection(const std::vector<std::string>& patterns, PathSelection* selection)
{
    for (const std::string& p : patterns) {
        std::string error;
        if (!selection->add(p, &error)) {
            fprintf(stderr, "discset extract: --include: %s\n", printable(error).c_str());
            return false;
        }
    }
    return true;
}

// Names the patterns that selected nothing. With patterns of which none
// selected anything the extraction did not do what was asked: true then.
bool report_unmatched(const PathSelection& selection)
{
    std::vector<std::string> unmatched = selection.unmatched();
    for (const std::string& p : unmatched)
        fprintf(stderr, "discset extract: --include %s matches nothing in the set\n", printable(p).c_str());
    return !selection.patterns.empty() && unmatched.size() == selection.patterns.size();
}

int run_extract(const std::vector<std::string>& args, const std::string& dest, bool no_prompt,
                const std::vector<std::string>& includes, int threads, Chatter chatter)
{
    PathSelection selection;
    if (!make_selection(includes, &selection))
        return kExitUsage;
    if (int code = check_images(args))
        return code;
    ExtractOptions options;
    options.threads = threads;
    options.interactive = !no_prompt && stream_is_terminal(stdin);
    options.selection = includes.empty() ? nullptr : &selection;
    bool interrupted = false;
    options.interrupted = &interrupted;
    ProgressBar bar;
    bar.create(stderr, progress_wanted(stream_is_terminal(stderr), chatter.quiet), 0, progress_clock());
    options.progress = &bar;
    std::string error;
    bool extracted = disc_extract(args, host_path_from_utf8(dest), options, &error);
    bar.release(progress_clock());
    if (!extracted) {
        fprintf(stderr, "discset extract: %s\n", error.c_str());
        return interrupted ? kExitInterrupted : kExitFailed;
    }
    if (chatter.verbose)
        print_extracted(host_path_from_utf8(dest));
    printf("extracted into %s\n", dest.c_str());
    return report_unmatched(selection) ? kExitFailed : kExitDone;
}

volatile std::sig_atomic_t g_salvage_stop = 0;

void stop_salvage(int)
{
    g_salvage_stop = 1;
}

// The loss report goes to `report_file` (when one is named) whatever
// happens, so that no report of an earlier run is left to say "complete".
// `code` is the run's exit code; a report that cannot be written makes a
// run that saved something a failure.
int write_loss_report(const std::string& report_file, const std::string& text, int code)
{
    if (report_file.empty())
        return code;
    std::string why;
    if (!write_host_file(host_path_from_utf8(report_file), text, &why)) {
        fprintf(stderr, "discset extract: cannot write the report %s: %s\n", report_file.c_str(), why.c_str());
        std::error_code ec;
        fs::remove(host_path_from_utf8(report_file), ec);
        if (code == kExitDone || code == kExitPartial)
            code = kExitFailed;
    }
    return code;
}

// extract --keep-going: whatever can be saved, and a report of what could not.
int run_salvage(const std::vector<std::string>& args, const std::string& dest, const std::vector<std::string>& includes,
                bool remove_damaged, const std::string& report_file)
{
    PathSelection selection;
    if (!make_selection(includes, &selection))
        return write_loss_report(report_file, failed_report_json("--include: a pattern is refused"), kExitUsage);
    // An image that cannot be read costs only its own discs: they are
    // skipped like discs not given, and the others are read.
    set_image_salvage(1);
    std::vector<DiscFile> discs;
    std::vector<std::string> unread;
    std::string error;
    for (const std::string& arg : args) {
        std::vector<DiscFile> found;
        int bad_image = 0;
        if (!collect_discs({arg}, &found, &error, &bad_image) && !bad_image) {
            fprintf(stderr, "discset extract: %s\n", error.c_str());
            return write_loss_report(report_file, failed_report_json(error), kExitFailed);
        }
        if (bad_image)
            unread.push_back(error + "; what it holds is skipped");
        for (const DiscFile& d : found) {
            for (const DiscFile& e : discs)
                if (e.number == d.number) {
                    error = "disc " + std::to_string(d.number) + " is given twice: " + utf8_of(e.host) + " and " +
                            utf8_of(d.host);
                    fprintf(stderr, "discset extract: %s\n", error.c_str());
                    return write_loss_report(report_file, failed_report_json(error), kExitFailed);
                }
            discs.push_back(d);
        }
    }
    std::sort(discs.begin(), discs.end(), [](const DiscFile& a, const DiscFile& b) { return a.number < b.number; });
    SalvageOptions options;
    options.remove_damaged = remove_damaged;
    options.selection = includes.empty() ? nullptr : &selection;
    options.stop = &g_salvage_stop;
    SalvageResult result;
    g_salvage_stop = 0;
    void (*previous)(int) = std::signal(SIGINT, stop_salvage);
    int ok = salvage_disc_set(discs, host_path_from_utf8(dest), options, &result, &error);
    std::signal(SIGINT, previous == SIG_ERR ? SIG_DFL : previous);
    result.notes.insert(result.notes.begin(), unread.begin(), unread.end());
    for (const std::string& note : result.notes)
        fprintf(stderr, "discset extract: %s\n", printable(note).c_str());
    if (ok || result.files || result.folders || !result.losses.empty()) {
        printf("extracted into %s: %lld folder(s), %lld file(s), %lld bytes", dest.c_str(), (long long)result.folders,
               (long long)result.files, (long long)result.bytes);
        if (result.filled)
            printf(", %lld bytes of lost records filled with zeros", (long long)result.filled);
        printf("\n");
        if (!result.losses.empty()) {
            printf("loss report (%zu):\n", result.losses.size());
            for (const SalvageLoss& l : result.losses)
                printf("%s\n", describe_loss(l).c_str());
        }
        fflush(stdout);
    }
    int code = kExitDone;
    if (!ok) {
        fprintf(stderr, "discset extract: %s\n", printable(error).c_str());
        code = kExitFailed;
    } else if (result.interrupted) {
        fprintf(stderr, "discset extract: interrupted; what was extracted stays\n");
        code = kExitInterrupted;
    } else if (!result.complete()) {
        code = kExitPartial;
    }
    if (ok && report_unmatched(selection) && code == kExitDone)
        code = kExitFailed;
    std::string text = salvage_report_json(result);
    if (!ok) {
        result.notes.push_back(error);
        text = salvage_report_json(result);
    }
    return write_loss_report(report_file, text, code);
}

// What extract's command line names.
struct ExtractArgs {
    std::string dest;
    bool no_prompt = false;
    std::vector<std::string> includes;
    bool keep_going = false, remove_damaged = false;
    std::string report_file;
    int threads = 0;
    Chatter chatter;
};

// Every subcommand's options land here; only the parsed one's are read.
struct DiscsetArgs {
    PackArgs pack;
    std::vector<std::string> discs;
    bool json = false;
    std::string check_disc_size = "650M";
    ExtractArgs extract;
    std::string codepage = "950";
};

CLI::App* add_pack_command(CLI::App* app, PackArgs* args)
{
    DiscPackOptions& pack_options = args->options;
    CLI::App* pack = app->add_subcommand("pack", "Pack a game folder into a disc set (disc1/cd1, disc2/cd2, ...)");
    pack->add_option("GAME_FOLDER", args->game, "Folder whose contents are installed")->required();
    pack->add_option("-o,--output", args->out, "Folder to write disc1/, disc2/, ... into")->required();
    pack->add_option("--company", pack_options.company, "Publisher, one folder name (each header text: 1 to 39 bytes in Big5)")
        ->required();
    pack->add_option("--product", pack_options.product, "Product: folder, display and shortcut name")
        ->required();
    pack->add_option("--regkey", pack_options.regkey, "Name of the uninstall registry key (one name: no \\ or /)")->required();
    pack->add_option("--exe", pack_options.exe, "Game program, a file relative to the game folder (bin\\game.exe)")->required();
    pack->add_option("--disc-size", args->disc_size, kDiscSizeHelp);
    pack->add_option("--first-disc-reserve", pack_options.first_disc_reserve,
                     "Bytes kept free on disc 1 for anything else (what --layout puts there is counted already; default 0)");
    pack->add_option("--threads", pack_options.threads, "Compression threads (default: one per core)")
        ->check(CLI::Range(0, 256));
    pack->add_option("--compressor", args->compressor, "libdeflate (default where built in) or zlib");
    pack->add_option("--level", pack_options.level, "Compression level, 1 to 12 with libdeflate, 1 to 9 with zlib (default: 5 with libdeflate, 6 with zlib, about the same size)")
        ->check(CLI::Range(1, 12));
    pack->add_flag("--force", pack_options.overwrite, "Replace the disc files of an earlier run in the output folder");
    pack->add_flag("--no-uninstaller", args->no_uninstaller, "Put neither uninstall.exe nor its manifest uninstall.lst into the set");
    pack->add_option("--uninstaller", args->uninstaller,
                     "The uninstall.exe to put in (default: beside discset, else in the share/discset/windows folder of its install, else the Windows release build's)");
    pack->add_option("--data", args->data,
                     "The data folder setup copies at the end; listed in the manifest. With --layout it goes into "
                     "data\\ on disc 1 and on the last disc (the finishing steps read it from the disc in the drive)");
    pack->add_flag("--layout", args->layout.layout,
                   "Write complete disc folders: disc1/ gets setup.exe, launcher.exe, autorun.inf (open=launcher.exe) "
                   "and what --pictures, --data and --web-shortcut name; their room is counted on each disc");
    pack->add_option("--setup-exe", args->layout.setup,
                     "setup.exe for disc 1 (default: beside discset, else in the share/discset/windows folder of its install, else the Windows release build's)");
    pack->add_option("--launcher-exe", args->layout.launcher,
                     "launcher.exe for disc 1 (default: beside discset, else in the share/discset/windows folder of its install, else the Windows release build's)");
    pack->add_option("--pictures", args->layout.pictures,
                     "Slide-show pictures: a folder of NN.tga (00 to 100, copied as they are) or of pictures in any "
                     "format ImageMagick's convert reads (converted in name order to 01.tga, 02.tga, ...). They go "
                     "into pic\\ on every disc: setup reads them from the disc in the drive");
    pack->add_option("--web-shortcut", args->layout.web_shortcut,
                     "The web shortcut file, put on disc 1 and on the last disc as 官方網頁.url (the finishing steps "
                     "read it when the last disc is in the drive)");
    pack->add_flag("--iso", pack_options.iso,
                   "Also write OUT/disc1.iso, disc2.iso, ...: ISO 9660 with Joliet names, fixed dates (the same "
                   "input gives the same bytes), volume id from the product and the disc number (xorriso). "
                   "--disc-size then limits each whole image");
    pack->add_option("--sign-pkcs12", args->signing.pkcs12,
                     "Sign uninstall.exe, and with --layout setup.exe and launcher.exe, with the publisher's "
                     "certificate and key in this PKCS#12 file (Authenticode, SHA-256, by osslsigncode) before they "
                     "go onto the discs; the programs named stay unsigned. A program that does not sign stops the pack");
    pack->add_option("--sign-password-file", args->signing.password_file,
                     "File holding the PKCS#12 password, one line (read by osslsigncode, so the password is on no "
                     "command line)");
    pack->add_option("--sign-timestamp", args->signing.timestamp_url,
                     "URL of an RFC 3161 time-stamp server, so the signatures stay valid after the certificate "
                     "expires (default: no time stamp; the server is asked only when named)");
    pack->add_flag("-q,--quiet", args->chatter.quiet, "No progress bar (it is drawn on standard error only when that is a terminal)");
    pack->add_flag("-v,--verbose", args->chatter.verbose, "Name each folder and file as it goes onto a disc");
    return pack;
}

CLI::App* add_list_command(CLI::App* app, DiscsetArgs* args)
{
    CLI::App* list = app->add_subcommand("list", "Show the header and the tree of a disc set, with sizes");
    list->add_option("DISC", args->discs, "Disc folders, cdN files or disc images (.iso, .cue), all discs of the set")->required();
    add_json_flag(list, &args->json,
                  "header, each entry (UTF-8 path, its Big5 bytes in hex, kind, size, discs, offset of its first "
                  "record) and the problems found");
    return list;
}

CLI::App* add_test_command(CLI::App* app, DiscsetArgs* args)
{
    CLI::App* test = app->add_subcommand("test", "Decompress and check every record of a disc set");
    test->add_option("DISC", args->discs, "Disc folders, cdN files or disc images (.iso, .cue), all discs of the set")->required();
    add_json_flag(test, &args->json, "counts and each problem (disc, offset, reason, zlib status)");
    return test;
}

CLI::App* add_check_command(CLI::App* app, DiscsetArgs* args)
{
    CLI::App* check = app->add_subcommand("check", "Check a disc set before burning: discs, records, setup's files, "
                                                   "pictures, sizes; one line per problem, exit 0 clean, 2 problems");
    check->add_option("DISC", args->discs,
                      disc_images_supported()
                          ? "Disc folders or disc images (.iso, .cue), all discs of the set, in any order"
                          : "Disc folders, all discs of the set, in any order (this build reads no disc images)")
        ->required();
    check->add_option("--disc-size", args->check_disc_size, kDiscSizeHelp);
    return check;
}

CLI::App* add_extract_command(CLI::App* app, std::vector<std::string>* discs, ExtractArgs* args)
{
    CLI::App* extract = app->add_subcommand("extract", "Extract a disc set with the installer's engine (no registration)");
    extract->add_option("DISC", *discs, "Disc folders, cdN files or disc images (.iso, .cue); asks for a missing disc on a terminal")
        ->required();
    extract->add_option("-o,--output", args->dest, "New or empty folder to extract into")->required();
    extract->add_flag("--no-prompt", args->no_prompt, "Never ask for a disc; fail when one is missing");
    extract->add_option("--include", args->includes,
                        "Extract only what matches (repeatable): a glob on the path in the install folder, "
                        "ASCII case ignored; * and ? stay within one name, ** crosses \\ (/ works too); a pattern "
                        "without \\ matches the name at any depth; a folder that matches brings all below it; "
                        "the folders on the way to what matches are created, nothing else")
        ->allow_extra_args(false);  // one pattern each time: the disc arguments after it stay discs
    CLI::Option* keep = extract->add_flag(
        "--keep-going", args->keep_going,
        "Salvage a damaged set instead of rolling back: a file is kept up to its damaged record, the walk "
        "picks up at the next sound folder or file record, a disc not given is skipped; the loss report at "
        "the end names each damaged file (path, disc, offset, reason); exit code 3 when anything was lost. "
        "Never asks for a disc");
    extract->add_flag("--remove-damaged", args->remove_damaged, "With --keep-going: delete a file that lost data instead of keeping it cut")
        ->needs(keep);
    extract->add_option("--report", args->report_file, "With --keep-going: also write the loss report as JSON to FILE")
        ->needs(keep);
    extract->add_option("--threads", args->threads, "Decompression threads ahead of the writer (default: one per core; 1: inline, as setup)")
        ->check(CLI::Range(0, 64));
    extract->add_flag("-q,--quiet", args->chatter.quiet, "No progress bar (it is drawn on standard error only when that is a terminal)");
    extract->add_flag("-v,--verbose", args->chatter.verbose, "List each extracted folder and file with its size at the end");
    return extract;
}

int run_discset(int argc, char** argv)
{
    plat_utf8_command_line(&argc, &argv);
    CLI::App app{std::string("Author, list, test and extract disc sets (the discs the installer reads).\n") +
                 (disc_images_supported()
                      ? "A disc is a folder holding cdN, a cdN file, or a disc image holding cdN in its root folder\n"
                        "(ISO 9660, plain or Joliet, or a .cue sheet with mode 1 or mode 2 form 1 raw sectors).\n"
                        "A disc image that cannot be read exits with 2."
                      : "A disc is a folder holding cdN or a cdN file. This build reads no disc images\n"
                        "(it has no libcdio; the Linux build reads ISO 9660 and .cue/.bin images)."),
                 "discset"};
    app.require_subcommand(1);
    // Set before the subcommands are added: each takes it over.
    app.footer(exit_codes_help());
    // "/tmp/game" is a path, not an option, also on Windows (under Wine
    // host paths look like that).
    app.allow_windows_style_options(false);

    DiscsetArgs args;
    CLI::App* pack = add_pack_command(&app, &args.pack);
    CLI::App* list = add_list_command(&app, &args);
    CLI::App* test = add_test_command(&app, &args);
    CLI::App* check = add_check_command(&app, &args);
    CLI::App* extract = add_extract_command(&app, &args.discs, &args.extract);
    for (CLI::App* sub : {pack, list, test, check, extract})
        sub->add_option("--codepage", args.codepage, "Code page of the names in the set: 950 (Big5, the default and the format's)");

    int parse_code = kExitDone;
    if (!parse_command_line(&app, argc, argv, &parse_code))
        return parse_code;

    // The commands report their errors as results; anything thrown all the
    // same (memory, a host path that cannot be converted) ends here, never
    // inside the engine.
    const char* command = pack->parsed()    ? "pack"
                          : list->parsed()  ? "list"
                          : test->parsed()  ? "test"
                          : check->parsed() ? "check"
                                            : "extract";
    if (!check_codepage(command, args.codepage))
        return kExitUsage;
    const ExtractArgs& ex = args.extract;
    try {
        if (pack->parsed())
            return run_pack(args.pack);
        if (list->parsed() || test->parsed()) {
            JsonAnswer answer = !args.json ? nullptr : list->parsed() ? disc_list_json : disc_test_json;
            std::vector<DiscFile> set;
            int code = kExitDone;
            if (!start_reading(command, args.discs, answer, &set, &code))
                return code;
            return list->parsed() ? run_list(set) : run_test(set);
        }
        if (check->parsed())
            return run_check(args.discs, args.check_disc_size);
        if (ex.keep_going)
            return run_salvage(args.discs, ex.dest, ex.includes, ex.remove_damaged, ex.report_file);
        return run_extract(args.discs, ex.dest, ex.no_prompt, ex.includes, ex.threads, ex.chatter);
    } catch (const std::exception& e) {
        fprintf(stderr, "discset %s: %s\n", command, e.what());
    } catch (...) {
        fprintf(stderr, "discset %s: unexpected error\n", command);
    }
    return kExitFailed;
}

}  // namespace

int main(int argc, char** argv)
{
    return close_standard_output("discset", run_discset(argc, argv));
}
