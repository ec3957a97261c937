#include "disc_extract.h"

#include "decode_ahead.h"
#include "disc_header.h"
#include "disc_image.h"
#include "disc_scan.h"
#include "file_object.h"
#include "install_engine.h"
#include "medium_serving.h"
#include "platform.h"

#include <algorithm>
#include <map>
#include <csignal>
#include <cstring>
#include <thread>

namespace {

struct ExtractRun {
    // The discs the user named, by number: on the command line, or typed at
    // the disc prompt. The engine reads these and no others.
    std::map<int32_t, DiscFile> given;
    fs::path start_folder;   // where the user started: typed paths are taken from here
    std::string root;        // the engine's source root (see disc_extract)
    std::string open_error;  // why the last served disc did not open
    ExtractOptions options;
    int64_t total_size = 0;  // the header's, for the progress bar
    std::string boxes;       // what the engine reported, in UTF-8
    std::string prompt_error;
};

// The discs the user named, as the one medium the engine reads: its files
// are cd1, cd2, ... of the named discs, each read from its folder or in
// place in its image, and no others (see disc_extract).
struct GivenDiscs : DiscMedium {
    ExtractRun* run = nullptr;
    fs::path root_file;  // the given disc 1's own file

    std::string name() const override { return utf8_of(root_file); }
    fs::path root() const override { return root_file; }
    int list(std::vector<MediumEntry>* entries, std::string* error) override;
    FILE* open(const std::string& path, std::string* error) override;
    int64_t bytes_needed(const std::vector<MediumEntry>&) const override { return 0; }
};

// What the extraction changes in the process around the engine's run, and
// puts back when it goes: the platform's file-open handler (the one
// serving of the named discs to the engine), the Ctrl-C handler and the
// current folder (the folder holding disc 1's file; see disc_extract).
// The engine takes everything else as its options. One at a time in the
// process.
struct ProcessHooks {
    GivenDiscs discs;
    MediaServing serving;
    int created = 0;
    void (*previous_interrupt)(int) = SIG_DFL;
    fs::path previous_folder;

    // Enters the folder of `root_file` and serves the run's discs under
    // run->root. 1, or 0 with *error (nothing changed then).
    int create(ExtractRun* served, const fs::path& root_file, std::string* error);
    void release();
    ~ProcessHooks() { release(); }
};

// Set by Ctrl-C: the next progress call stops the engine, which rolls back.
volatile std::sig_atomic_t g_interrupted = 0;

void on_interrupt(int)
{
    g_interrupted = 1;
}

std::string utf8_text(const char* cp950)
{
    std::string u;
    if (!cp950 || !to_utf8(cp950, &u))
        return cp950 ? cp950 : "";
    return u;
}

// Where a given disc is, for messages: its cdN file or its image.
std::string where_of(const DiscFile& d)
{
    return utf8_of(d.kind == kDiscImage ? d.source : d.host);
}

// A given disc file as a read-only stream: from its folder, or in place in
// its image. Null with *error.
FILE* open_given(const DiscFile& d, std::string* error)
{
    if (d.kind == kDiscImage)
        return open_disc_in_image(d.source, d.number, error);
    FILE* f = open_host_file_read(d.host);
    if (!f)
        *error = "cannot be opened";
    return f;
}

int GivenDiscs::list(std::vector<MediumEntry>* entries, std::string*)
{
    entries->clear();
    for (const auto& kv : run->given)
        entries->push_back(MediumEntry{disc_file_name_of(kv.first), false, 0});
    return 1;
}

FILE* GivenDiscs::open(const std::string& path, std::string* error)
{
    for (const auto& kv : run->given)
        if (disc_file_name_of(kv.first) == path) {
            FILE* f = open_given(kv.second, error);
            if (!f)
                run->open_error = *error;
            return f;
        }
    *error = path + " is not a disc that was named";
    return nullptr;
}

int ProcessHooks::create(ExtractRun* served, const fs::path& root_file, std::string* error)
{
    std::error_code ec;
    previous_folder = fs::current_path(ec);
    fs::current_path(root_file.parent_path(), ec);
    if (ec) {
        *error = "cannot change into " + utf8_of(root_file.parent_path());
        return 0;
    }
    discs.run = served;
    discs.root_file = root_file;
    if (!serving.serve_as(&discs, served->root, error)) {
        fs::current_path(previous_folder, ec);
        return 0;
    }
    created = 1;
    g_interrupted = 0;
    previous_interrupt = std::signal(SIGINT, on_interrupt);
    return 1;
}

void ProcessHooks::release()
{
    if (!created)
        return;
    created = 0;
    std::signal(SIGINT, previous_interrupt == SIG_ERR ? SIG_DFL : previous_interrupt);
    serving.release();
    std::error_code ec;
    if (!previous_folder.empty())
        fs::current_path(previous_folder, ec);
}

// Reads one line from the prompt input; false at its end.
int read_line(ExtractRun* run, std::string* line)
{
    line->clear();
    int c;
    while ((c = fgetc(run->options.prompt_in)) != EOF && c != '\n')
        line->push_back((char)c);
    if (!line->empty() && line->back() == '\r')
        line->pop_back();
    return c != EOF || !line->empty();
}

// The disc `number` that a typed answer names: a folder holding its cdN, the
// cdN file itself, or a disc image holding it. False with *why (may stay
// empty) when it names none.
int disc_typed(const ExtractRun* run, const std::string& typed, int32_t number, DiscFile* disc, std::string* why)
{
    fs::path p = host_path_from_utf8(typed);
    if (p.empty())
        return 0;
    // A relative path is taken from the folder the user started in, not
    // from wherever the extraction stands now.
    if (p.is_relative())
        p = run->start_folder / p;
    p = p.lexically_normal();
    DiscArgument argument;
    std::string nothing_there;  // a place without the disc, said as such by the prompt
    return disc_argument_of_path(p, &argument, &nothing_there) && disc_of_argument(argument, number, disc, why);
}

// The engine cannot open disc N: the disc was not named, or the one named
// cannot be read. Asks for it on the terminal, or gives up.
int32_t find_next_disc(ExtractRun* run, int32_t disc_index)
{
    int32_t number = disc_index + 1;
    auto named = run->given.find(number);
    if (named != run->given.end()) {
        std::string why = run->open_error.empty() ? "" : ": " + run->open_error;
        std::string text = disc_file_name_of(number) + " in " + where_of(named->second) + " cannot be read" + why;
        // Asked for again only by someone at the terminal, who may have
        // another copy of the disc.
        run->given.erase(named);
        if (!run->options.interactive) {
            run->prompt_error = text;
            return 0;
        }
        fprintf(run->options.prompt_out, "\n%s\n", text.c_str());
    }
    if (!run->options.interactive) {
        run->prompt_error =
            "disc " + std::to_string(number) + " (" + disc_file_name_of(number) + ") is in none of the given discs";
        return 0;
    }
    for (;;) {
        fprintf(run->options.prompt_out,
                "\nInsert disc %d: the folder or disc image that holds cd%d (empty to cancel): ", number, number);
        fflush(run->options.prompt_out);
        std::string line;
        if (!read_line(run, &line) || line.empty()) {
            run->prompt_error = "cancelled at disc " + std::to_string(number);
            return 0;
        }
        // Whatever was typed (a name too long for the host, a folder that
        // cannot be read) is at worst a place without the disc.
        DiscFile disc;
        std::string why;
        if (disc_typed(run, line, number, &disc, &why)) {
            run->given[number] = disc;
            run->open_error.clear();
            return 1;
        }
        if (!why.empty())
            fprintf(run->options.prompt_out, "%s\n", why.c_str());
        fprintf(run->options.prompt_out, "%s holds no cd%d.\n", line.c_str(), number);
    }
}

int32_t report_progress(ExtractRun* run, int32_t percent)
{
    if (g_interrupted) {
        run->prompt_error = "interrupted";
        return 0;
    }
    if (run->options.progress)
        run->options.progress->update(run->total_size * percent / 100, progress_clock());
    return 1;
}

// The engine's messages go to the terminal; questions are asked there when
// interactive, else answered with the choice that stops.
int ask_on_terminal(ExtractRun* run, const char* text, const char* caption, unsigned type)
{
    std::string line = utf8_text(caption) + ": " + utf8_text(text);
    if (!run->boxes.empty())
        run->boxes += "; ";
    run->boxes += line;
    unsigned buttons = type & 0xF;
    if (buttons == PLAT_MB_OK)
        return PLAT_IDOK;
    bool yes_no = buttons == PLAT_MB_YESNO;
    if (!run->options.interactive)
        return yes_no ? PLAT_IDNO : PLAT_IDCANCEL;
    fprintf(run->options.prompt_out, "\n%s [%s] ", line.c_str(), yes_no ? "y/n" : "ok/cancel");
    fflush(run->options.prompt_out);
    std::string answer;
    read_line(run, &answer);
    bool go = !answer.empty() && (answer[0] == 'y' || answer[0] == 'Y' || answer[0] == 'o' || answer[0] == 'O');
    if (yes_no)
        return go ? PLAT_IDYES : PLAT_IDNO;
    return go ? PLAT_IDOK : PLAT_IDCANCEL;
}

// The callbacks the engine calls. An exception must not unwind through the
// engine (it would skip the rollback), so each one ends here: the engine is
// told to stop, and rolls back.
void note_failure(ExtractRun* run, const char* what)
{
    try {
        run->prompt_error = std::string("internal error: ") + what;
    } catch (...) {
        // No memory even for the message: the stop answer is what counts.
    }
}

// Runs one of the callbacks above for the engine: an exception stops here,
// is noted, and the engine gets 0 (stop), so none crosses into it.
int32_t guarded(ExtractRun* run, int32_t (*callback)(ExtractRun*, int32_t), int32_t argument)
{
    try {
        return callback(run, argument);
    } catch (const std::exception& e) {
        note_failure(run, e.what());
    } catch (...) {
        note_failure(run, "unknown exception");
    }
    return 0;
}

// The engine's record filter: the --include patterns on the UTF-8 path.
int32_t select_record(void* context, int32_t, const char* record_path)
{
    ExtractRun* run = (ExtractRun*)context;
    try {
        std::string path;
        if (!to_utf8(record_path, &path))
            return 0;
        return run->options.selection->selects(path) ? 1 : 0;
    } catch (const std::exception& e) {
        note_failure(run, e.what());
    } catch (...) {
        note_failure(run, "unknown exception");
    }
    return 0;
}

int32_t next_disc(void* context, int32_t disc_index)
{
    return guarded((ExtractRun*)context, find_next_disc, disc_index);
}

int32_t show_progress(void* context, int32_t percent)
{
    return guarded((ExtractRun*)context, report_progress, percent);
}

int terminal_box(void* context, const char* text, const char* caption, unsigned type)
{
    ExtractRun* run = (ExtractRun*)context;
    try {
        return ask_on_terminal(run, text, caption, type);
    } catch (const std::exception& e) {
        note_failure(run, e.what());
    } catch (...) {
        note_failure(run, "unknown exception");
    }
    unsigned buttons = type & 0xF;
    if (buttons == PLAT_MB_OK)
        return PLAT_IDOK;
    return buttons == PLAT_MB_YESNO ? PLAT_IDNO : PLAT_IDCANCEL;
}

// The header sizes the progress bar and says which discs belong to the
// set; the engine reads and checks it again itself, so a header that
// cannot be read here only leaves the bar without a total. 0 for a given
// disc past the header's count.
int check_given_discs(const DiscFile& first, ExtractRun* run, std::string* error)
{
    FileObject file;
    DiscHeader header;
    std::string why;
    if (open_disc_file(first, &file, &why)) {
        if (read_disc_header(&file, &header) == 1) {
            if (header.total_size > 0)
                run->total_size = header.total_size;
            // A disc past the header's count is of another set: the
            // engine would pass over it, and what it holds is missing.
            for (const auto& kv : run->given)
                if (header.disc_count >= 0 && kv.first > header.disc_count) {
                    *error = "disc " + std::to_string(kv.first) + " (" + where_of(kv.second) +
                             ") is not part of the set: its header counts " + std::to_string(header.disc_count) +
                             " disc(s)";
                    file.close();
                    return 0;
                }
        }
        file.close();
    }
    return 1;
}

// Runs the engine over the set with the extract's options in place of
// setup's; `hooks` serve the discs to it.
int run_engine(ExtractRun* run, const char* install_path)
{
    const int threads =
        run->options.threads > 0 ? run->options.threads : (int)std::max(1u, std::thread::hardware_concurrency());
    // One thread decodes inline, as setup does; more decode ahead of the
    // engine (inline too when the memory for it cannot be had).
    DecodeAhead ahead;
    EngineOptions engine;
    engine.context = run;
    engine.disc_prompt = next_disc;
    engine.progress = show_progress;
    engine.filter = run->options.selection ? select_record : nullptr;
    engine.message_box = terminal_box;
    engine.records = threads > 1 && ahead.create(threads) ? ahead.source() : nullptr;
    engine.registration = 0;
    int ok = install_disc_set_with(install_path, run->root.c_str(), engine);
    if (run->options.interrupted)
        *run->options.interrupted = g_interrupted != 0;
    ahead.release();
    return ok;
}

}  // namespace

int disc_extract(const std::vector<std::string>& discs, const fs::path& dest, const ExtractOptions& options,
                 std::string* error)
{
    ExtractRun run;
    run.options = options;
    std::error_code ec;
    run.start_folder = fs::current_path(ec);
    // Exactly the discs named: a folder brings the cdN files in it, a cdN
    // file itself, an image the cdN files in its root folder.
    std::vector<DiscFile> named;
    if (!collect_discs(discs, &named, error))
        return 0;
    for (const DiscFile& d : named)
        run.given[d.number] = d;
    auto first = run.given.find(1);
    if (first == run.given.end()) {
        *error = "none of the given folders or images holds the first disc file cd1";
        return 0;
    }
    fs::path target = fs::absolute(dest, ec);
    if (fs::exists(target, ec)) {
        if (!fs::is_directory(target, ec) || !fs::is_empty(target, ec)) {
            *error = utf8_of(target) + " exists and is not an empty folder; extract into a new folder";
            return 0;
        }
    }
    char install_path[PLAT_PATH_SIZE];
    std::string target_utf8 = utf8_of(target.lexically_normal());
    while (target_utf8.size() > 1 && (target_utf8.back() == '/' || target_utf8.back() == '\\'))
        target_utf8.pop_back();
    if (!plat_from_host_path(target_utf8.c_str(), install_path, sizeof install_path)) {
        *error = "the folder " + target_utf8 + " has no name the installer can use (no Big5 form, or too long)";
        return 0;
    }

    if (!check_given_discs(first->second, &run, error))
        return 0;
    if (options.progress)
        options.progress->total = run.total_size;

    // The engine opens "<root>\cdN". The root is the given disc 1's own
    // file (its cdN, or its image), named from the folder that holds it:
    // no file lies under a file, so a disc that was not named is found
    // nowhere on the file system (not beside the first disc, say), and the
    // engine asks for it. The named ones are served as one medium.
    fs::path root_file = first->second.kind == kDiscImage ? first->second.source : first->second.host;
    if (!to_cp950(utf8_of(root_file.filename()), &run.root) || run.root.empty()) {
        *error = utf8_of(root_file) + " has no name the installer can use (no Big5 form); rename it";
        return 0;
    }
    ProcessHooks hooks;
    if (!hooks.create(&run, root_file, error))
        return 0;
    int ok = run_engine(&run, install_path);
    hooks.release();
    if (!ok) {
        *error = "extraction failed";
        if (!run.prompt_error.empty())
            *error += ": " + run.prompt_error;
        if (!run.boxes.empty())
            *error += " (" + run.boxes + ")";
        *error += "; nothing was left in " + target_utf8;
        return 0;
    }
    return 1;
}
