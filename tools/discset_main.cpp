// discset: author, list, test, check and extract disc sets.
#include "disc_check.h"

#include "ascii_text.h"
#include "disc_extract.h"
#include "disc_salvage.h"
#include "disc_image.h"
#include "disc_scan.h"
#include "discset_pack.h"
#include "file_sums.h"
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
    std::string n = ascii_lowered(name);
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

// The discs the arguments name: 0, or 2 after saying on stderr why not.
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
        DiscArgument argument;
        std::vector<ImageDisc> held;
        std::string error;
        if (disc_argument_of_text(a, &argument, &error) && argument.kind == kDiscImage &&
            !list_image_discs(argument.host, &held, &error)) {
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

// test --sums: each file's SHA-256 and path as `sha256sum -c` reads them,
// for the folder the set extracts into; nothing for a damaged set.
int run_sums(const std::vector<DiscFile>& discs)
{
    DiscSetSummary s;
    std::vector<TreeEntry> files;
    if (!disc_file_sums(discs, &files, &s)) {
        print_damage("test", s, discs);
        fprintf(stderr, "discset test: the set is damaged (%zu problem(s)); no checksums written\n", s.damage.size());
        return kExitFailed;
    }
    for (const TreeEntry& e : files)
        fputs(sums_line(e.sha256, sums_path_of(e)).c_str(), stdout);
    return kExitDone;
}

// verify: the files a checksum list names, below `dest`.
int run_verify(const std::string& list, const std::string& dest)
{
    std::string text, error;
    std::error_code ec;
    if (!read_host_file(host_path_from_utf8(list), &text, &error)) {
        fprintf(stderr, "discset verify: %s\n", error.c_str());
        return kExitFailed;
    }
    if (!fs::is_directory(host_path_from_utf8(dest), ec)) {
        fprintf(stderr, "discset verify: %s is not a folder\n", printable(dest).c_str());
        return kExitFailed;
    }
    SumsVerdict verdict;
    if (verify_sums(text, host_path_from_utf8(dest), &verdict)) {
        printf("OK: %lld file(s) match\n", (long long)verdict.matched);
        return kExitDone;
    }
    for (const std::string& p : verdict.problems)
        fprintf(stderr, "discset verify: %s\n", printable(p).c_str());
    fprintf(stderr, "discset verify: %lld of %lld file(s) match, %zu problem(s)\n", (long long)verdict.matched,
            (long long)verdict.listed, verdict.problems.size());
    return kExitFailed;
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
        DiscArgument argument;
        std::unique_ptr<DiscMedium> m;
        if (disc_argument_of_text(arg, &argument, &error))
            m = open_disc_medium(argument, &error);
        if (!m) {
            fprintf(stderr, "discset check: %s\n", printable(error).c_str());
            // An argument that names no disc is a usage error; an image that
            // does not read is a problem found.
            return argument.kind == kDiscImage ? kExitFailed : kExitUsage;
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

// The --include patterns, checked; 0 after saying why not.
int make_selection(const std::vector<std::string>& patterns, PathSelection* selection)
{
    for (const std::string& p : patterns) {
        std::string error;
        if (!selection->add(p, &error)) {
            fprintf(stderr, "discset extract: --include: %s\n", printable(error).c_str());
            return 0;
        }
    }
    return 1;
}

// Names the patterns that selected nothing. With patterns of which none
// selected anything the extraction did not do what was asked: 1 then.
int report_unmatched(const PathSelection& selection)
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
        DiscArgument argument;
        std::vector<DiscFile> found;
        if (!disc_argument_of_text(arg, &argument, &error))
            error = arg + " is neither a folder holding disc files, a disc file cdN nor a disc image";
        else if (discs_of_argument(argument, &found, &error) && add_discs(found, &discs, &error))
            continue;
        else if (argument.kind == kDiscImage && found.empty()) {
            unread.push_back(error + "; what it holds is skipped");
            continue;
        }
        fprintf(stderr, "discset extract: %s\n", error.c_str());
        return write_loss_report(report_file, failed_report_json(error), kExitFailed);
    }
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
    bool sums = false;
    std::string check_disc_size = "650M";
    std::string sums_file, verify_dest;
    ExtractArgs extract;
    std::string codepage = "950";
};

CLI::App* add_list_command(CLI::App* app, DiscsetArgs* args)
{
    CLI::App* list = app->add_subcommand("list", "Show the header and the tree of a disc set, with sizes");
    list->add_option("DISC", args->discs, "Disc folders, cdN files or disc images (.iso, .cue), all discs of the set")
        ->required();
    add_json_flag(list, &args->json,
                  "header, each entry (UTF-8 path, its Big5 bytes in hex, kind, size, discs, offset of its first "
                  "record) and the problems found");
    return list;
}

CLI::App* add_test_command(CLI::App* app, DiscsetArgs* args)
{
    CLI::App* test = app->add_subcommand("test", "Decompress and check every record of a disc set");
    test->add_option("DISC", args->discs, "Disc folders, cdN files or disc images (.iso, .cue), all discs of the set")
        ->required();
    add_json_flag(test, &args->json,
                  "counts, each file's size, CRC-32 and SHA-256, and each problem (disc, offset, reason, zlib status)");
    test->add_flag("--sums", args->sums,
                   "Print each file's SHA-256 and path (relative to the folder extract writes, / between names) "
                   "as `sha256sum -c` reads them, for discset verify; nothing for a damaged set")
        ->excludes("--json");
    return test;
}

CLI::App* add_verify_command(CLI::App* app, DiscsetArgs* args)
{
    CLI::App* verify = app->add_subcommand(
        "verify",
        "Check an extracted folder against a checksum list (test --sums, or sha256sum's): exit 0 when "
        "every file matches, 2 naming each missing or differing file");
    verify->add_option("SUMS", args->sums_file, "The list: lines of HEX  PATH, PATH relative to DEST")->required();
    verify->add_option("DEST", args->verify_dest, "The extracted folder; no path may leave it and no link is followed")
        ->required();
    return verify;
}

CLI::App* add_check_command(CLI::App* app, DiscsetArgs* args)
{
    CLI::App* check = app->add_subcommand("check",
                                          "Check a disc set before burning: discs, records, setup's files, "
                                          "pictures, sizes; one line per problem, exit 0 clean, 2 problems");
    check
        ->add_option("DISC", args->discs,
                     disc_images_supported()
                         ? "Disc folders or disc images (.iso, .cue), all discs of the set, in any order"
                         : "Disc folders, all discs of the set, in any order (this build reads no disc images)")
        ->required();
    check->add_option("--disc-size", args->check_disc_size, kDiscSizeHelp);
    return check;
}

CLI::App* add_extract_command(CLI::App* app, std::vector<std::string>* discs, ExtractArgs* args)
{
    CLI::App* extract =
        app->add_subcommand("extract", "Extract a disc set with the installer's engine (no registration)");
    extract
        ->add_option("DISC", *discs,
                     "Disc folders, cdN files or disc images (.iso, .cue); asks for a missing disc on a terminal")
        ->required();
    extract->add_option("-o,--output", args->dest, "New or empty folder to extract into")->required();
    extract->add_flag("--no-prompt", args->no_prompt, "Never ask for a disc; fail when one is missing");
    extract
        ->add_option("--include", args->includes,
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
    extract
        ->add_flag("--remove-damaged", args->remove_damaged,
                   "With --keep-going: delete a file that lost data instead of keeping it cut")
        ->needs(keep);
    extract->add_option("--report", args->report_file, "With --keep-going: also write the loss report as JSON to FILE")
        ->needs(keep);
    extract
        ->add_option("--threads", args->threads,
                     "Decompression threads ahead of the writer (default: one per core; 1: inline, as setup)")
        ->check(CLI::Range(0, 64));
    extract->add_flag("-q,--quiet", args->chatter.quiet,
                      "No progress bar (it is drawn on standard error only when that is a terminal)");
    extract->add_flag("-v,--verbose", args->chatter.verbose,
                      "List each extracted folder and file with its size at the end");
    return extract;
}

int run_discset(int argc, char** argv)
{
    plat_utf8_command_line(&argc, &argv);
    CLI::App app{
        std::string("Author, list, test and extract disc sets (the discs the installer reads).\n") +
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
    CLI::App* verify = add_verify_command(&app, &args);
    for (CLI::App* sub : {pack, list, test, check, extract})
        sub->add_option("--codepage", args.codepage,
                        "Code page of the names in the set: 950 (Big5, the default and the format's)");

    int parse_code = kExitDone;
    if (!parse_command_line(&app, argc, argv, &parse_code))
        return parse_code;

    // The commands report their errors as results; anything thrown all the
    // same (memory, a host path that cannot be converted) ends here, never
    // inside the engine.
    const char* command = pack->parsed()     ? "pack"
                          : list->parsed()   ? "list"
                          : test->parsed()   ? "test"
                          : check->parsed()  ? "check"
                          : verify->parsed() ? "verify"
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
            return list->parsed() ? run_list(set) : args.sums ? run_sums(set) : run_test(set);
        }
        if (check->parsed())
            return run_check(args.discs, args.check_disc_size);
        if (verify->parsed())
            return run_verify(args.sums_file, args.verify_dest);
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
