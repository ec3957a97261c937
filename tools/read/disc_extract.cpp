#include "disc_extract.h"

#include "decode_ahead.h"
#include "disc_header.h"
#include "disc_image.h"
#include "disc_scan.h"
#include "file_object.h"
#include "install_engine.h"
#include "platform.h"

#include <algorithm>
#include <csignal>
#include <cstring>
#include <thread>

namespace {

// A disc image given for the set, and the discs it holds.
struct GivenImage {
    fs::path image;
    std::vector<int32_t> numbers;
};

struct ExtractRun {
    std::vector<fs::path> folders;  // the given disc folders, absolute
    std::vector<GivenImage> images; // the given disc images, absolute
    ExtractOptions options;
    int64_t total_size = 0;         // the header's, for the progress bar
    std::string boxes;              // what the engine reported, in UTF-8
    std::string prompt_error;
    int32_t asked_index = -1;        // the disc the engine last asked for
    std::vector<fs::path> tried;     // folders already offered for it
};

ExtractRun* g_run = nullptr;
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

bool folder_holds(const fs::path& folder, int32_t number)
{
    std::error_code ec;
    return fs::is_regular_file(folder / disc_file_name_of(number), ec);
}

// The path the engine opens for disc N: "<root>\cdN" with the root ".".
std::string engine_disc_path(int32_t number)
{
    return ".\\" + disc_file_name_of(number);
}

const GivenImage* image_holding(int32_t number)
{
    for (const GivenImage& g : g_run->images)
        for (int32_t n : g.numbers)
            if (n == number)
                return &g;
    return nullptr;
}

bool enter(const fs::path& folder)
{
    std::error_code ec;
    fs::current_path(folder, ec);
    return !ec;
}

// Reads one line from the prompt input; false at its end.
bool read_line(std::string* line)
{
    line->clear();
    int c;
    while ((c = fgetc(g_run->options.prompt_in)) != EOF && c != '\n')
        line->push_back((char)c);
    if (!line->empty() && line->back() == '\r')
        line->pop_back();
    return c != EOF || !line->empty();
}

// The engine cannot open "<root>\cd<N>": move the root to the given folder
// that holds it, or ask for one.
int32_t find_next_disc(int32_t disc_index)
{
    int32_t number = disc_index + 1;
    if (disc_index != g_run->asked_index) {
        g_run->asked_index = disc_index;
        g_run->tried.clear();
    }
    // A disc served from an image is asked for only when it cannot be read
    // there: that is the answer, unless someone at the terminal gives
    // another copy of the disc.
    if (const GivenImage* g = image_holding(number)) {
        std::string why = served_open_error();
        stop_serving_image_disc(engine_disc_path(number));
        if (!g_run->options.interactive) {
            g_run->prompt_error = disc_file_name_of(number) + " in " + utf8_of(g->image) +
                                  " cannot be read" + (why.empty() ? "" : ": " + why);
            return 0;
        }
        fprintf(g_run->options.prompt_out, "\n%s in %s cannot be read%s\n", disc_file_name_of(number).c_str(),
                utf8_of(g->image).c_str(), why.empty() ? "" : (": " + why).c_str());
    }
    // Each folder is offered once per disc: a cdN that is there but cannot
    // be opened must not make the engine ask forever.
    for (const fs::path& f : g_run->folders) {
        bool tried = false;
        for (const fs::path& t : g_run->tried)
            tried |= t == f;
        if (!tried && folder_holds(f, number) && enter(f)) {
            g_run->tried.push_back(f);
            return 1;
        }
    }
    if (!g_run->options.interactive) {
        g_run->prompt_error = g_run->tried.empty()
                                  ? "disc " + std::to_string(number) + " (" + disc_file_name_of(number) +
                                        ") is in none of the given folders"
                                  : disc_file_name_of(number) + " in " + utf8_of(g_run->tried.back()) +
                                        " cannot be opened";
        return 0;
    }
    for (;;) {
        fprintf(g_run->options.prompt_out,
                "\nInsert disc %d: the folder or disc image that holds cd%d (empty to cancel): ", number, number);
        fflush(g_run->options.prompt_out);
        std::string line;
        if (!read_line(&line) || line.empty()) {
            g_run->prompt_error = "cancelled at disc " + std::to_string(number);
            return 0;
        }
        // Whatever was typed (a name too long for the host, a folder that
        // cannot be read) is at worst a folder without the disc.
        std::error_code ec;
        fs::path f = fs::absolute(host_path_from_utf8(line), ec);
        if (!ec && fs::is_regular_file(f, ec) && f.filename() == disc_file_name_of(number))
            f = f.parent_path();
        if (!ec && folder_holds(f, number) && enter(f)) {
            g_run->folders.push_back(f);
            g_run->tried.push_back(f);
            return 1;
        }
        std::vector<ImageDisc> held;
        std::string why;
        if (!ec && is_image_argument(f) && list_image_discs(f, &held, &why)) {
            for (const ImageDisc& h : held)
                if (h.number == number) {
                    serve_image_disc(engine_disc_path(number), f, number);
                    return 1;
                }
        } else if (!why.empty()) {
            fprintf(g_run->options.prompt_out, "%s\n", why.c_str());
        }
        fprintf(g_run->options.prompt_out, "%s holds no cd%d.\n", line.c_str(), number);
    }
}

int32_t report_progress(int32_t percent)
{
    if (g_interrupted) {
        g_run->prompt_error = "interrupted";
        return 0;
    }
    if (g_run->options.progress)
        g_run->options.progress->update(g_run->total_size * percent / 100, progress_clock());
    return 1;
}

// The engine's messages go to the terminal; questions are asked there when
// interactive, else answered with the choice that stops.
int ask_on_terminal(const char* text, const char* caption, unsigned type)
{
    std::string line = utf8_text(caption) + ": " + utf8_text(text);
    if (!g_run->boxes.empty())
        g_run->boxes += "; ";
    g_run->boxes += line;
    unsigned buttons = type & 0xF;
    if (buttons == PLAT_MB_OK)
        return PLAT_IDOK;
    bool yes_no = buttons == PLAT_MB_YESNO;
    if (!g_run->options.interactive)
        return yes_no ? PLAT_IDNO : PLAT_IDCANCEL;
    fprintf(g_run->options.prompt_out, "\n%s [%s] ", line.c_str(), yes_no ? "y/n" : "ok/cancel");
    fflush(g_run->options.prompt_out);
    std::string answer;
    read_line(&answer);
    bool go = !answer.empty() && (answer[0] == 'y' || answer[0] == 'Y' || answer[0] == 'o' || answer[0] == 'O');
    if (yes_no)
        return go ? PLAT_IDYES : PLAT_IDNO;
    return go ? PLAT_IDOK : PLAT_IDCANCEL;
}

// The callbacks the engine calls. An exception must not unwind through the
// engine (it would skip the rollback), so each one ends here: the engine is
// told to stop, and rolls back.
void note_failure(const char* what)
{
    try {
        g_run->prompt_error = std::string("internal error: ") + what;
    } catch (...) {
        // No memory even for the message: the stop answer is what counts.
    }
}

// Runs one of the callbacks above for the engine: an exception stops here,
// is noted, and the engine gets 0 (stop), so none crosses into it.
int32_t guarded(int32_t (*callback)(int32_t), int32_t argument)
{
    try {
        return callback(argument);
    } catch (const std::exception& e) {
        note_failure(e.what());
    } catch (...) {
        note_failure("unknown exception");
    }
    return 0;
}

// The engine's record filter: the --include patterns on the UTF-8 path.
int32_t select_record(int32_t, const char* record_path)
{
    try {
        std::string path;
        if (!to_utf8(record_path, &path))
            return 0;
        return g_run->options.selection->selects(path) ? 1 : 0;
    } catch (const std::exception& e) {
        note_failure(e.what());
    } catch (...) {
        note_failure("unknown exception");
    }
    return 0;
}

int32_t next_disc(int32_t disc_index)
{
    return guarded(find_next_disc, disc_index);
}

int32_t show_progress(int32_t percent)
{
    return guarded(report_progress, percent);
}

int terminal_box(void*, const char* text, const char* caption, unsigned type)
{
    try {
        return ask_on_terminal(text, caption, type);
    } catch (const std::exception& e) {
        note_failure(e.what());
    } catch (...) {
        note_failure("unknown exception");
    }
    unsigned buttons = type & 0xF;
    if (buttons == PLAT_MB_OK)
        return PLAT_IDOK;
    return buttons == PLAT_MB_YESNO ? PLAT_IDNO : PLAT_IDCANCEL;
}

}  // namespace

bool disc_extract(const std::vector<std::string>& discs, const fs::path& dest, const ExtractOptions& options,
                  std::string* error)
{
    ExtractRun run;
    run.options = options;
    std::error_code ec;
    for (const std::string& d : discs) {
        fs::path p = fs::absolute(host_path_from_utf8(d), ec);
        if (is_image_argument(p)) {
            std::vector<ImageDisc> held;
            if (!list_image_discs(p, &held, error))
                return false;
            GivenImage g{p, {}};
            for (const ImageDisc& h : held)
                g.numbers.push_back(h.number);
            run.images.push_back(g);
            continue;
        }
        if (fs::is_regular_file(p, ec))
            p = p.parent_path();
        if (!fs::is_directory(p, ec)) {
            *error = d + " is not a disc folder (nor a disc file cdN in one, nor a disc image)";
            return false;
        }
        run.folders.push_back(p);
    }
    // The engine starts in the folder of cd1; when an image holds it, in
    // the image's folder (the served paths come first there).
    const fs::path* first = nullptr;
    fs::path image_folder;
    for (const fs::path& f : run.folders)
        if (folder_holds(f, 1)) {
            first = &f;
            break;
        }
    g_run = &run;
    const GivenImage* first_image = image_holding(1);
    g_run = nullptr;
    if (!first && first_image) {
        image_folder = first_image->image.parent_path();
        first = &image_folder;
    }
    if (!first) {
        *error = "none of the given folders or images holds the first disc file cd1";
        return false;
    }
    fs::path target = fs::absolute(dest, ec);
    if (fs::exists(target, ec)) {
        if (!fs::is_directory(target, ec) || !fs::is_empty(target, ec)) {
            *error = utf8_of(target) + " exists and is not an empty folder; extract into a new folder";
            return false;
        }
    }
    char install_path[260];
    std::string target_utf8 = utf8_of(target.lexically_normal());
    while (target_utf8.size() > 1 && (target_utf8.back() == '/' || target_utf8.back() == '\\'))
        target_utf8.pop_back();
    if (!plat_from_host_path(target_utf8.c_str(), install_path, sizeof install_path)) {
        *error = "the folder " + target_utf8 + " has no name the installer can use (no Big5 form, or too long)";
        return false;
    }

    fs::path saved = fs::current_path(ec);
    if (!enter(*first)) {
        *error = "cannot change into " + utf8_of(*first);
        return false;
    }
    int threads = options.threads > 0 ? options.threads : (int)std::max(1u, std::thread::hardware_concurrency());
    // One thread decodes inline, as setup does; more decode ahead of the
    // engine (inline too when the memory for it cannot be had).
    const DecodedRecordSource* previous_source = decoded_record_source();
    DecodeAhead ahead;
    set_decoded_record_source(threads > 1 && ahead.create(threads) ? ahead.source() : nullptr);
    g_run = &run;
    for (const GivenImage& g : run.images)
        for (int32_t n : g.numbers)
            serve_image_disc(engine_disc_path(n), g.image, n);
    // The header's total sizes the progress bar. It is read where the
    // engine reads it, once the images are served: cd1 may be in one. The
    // engine reads and checks the header itself, so a header that cannot
    // be read here only leaves the bar without a total.
    {
        FileObject file;
        DiscHeader header;
        if (file.open_read(engine_disc_path(1).c_str())) {
            if (read_disc_header(&file, &header) == 1 && header.total_size > 0)
                run.total_size = header.total_size;
            file.close();
        }
    }
    if (options.progress)
        options.progress->total = run.total_size;
    MessageBoxHandler previous = plat_set_message_box_handler(terminal_box);
    set_registration_enabled(0);
    g_interrupted = 0;
    void (*previous_interrupt)(int) = std::signal(SIGINT, on_interrupt);
    set_record_filter(options.selection ? select_record : nullptr);
    int ok = install_disc_set(install_path, ".", "", next_disc, show_progress);
    std::signal(SIGINT, previous_interrupt == SIG_ERR ? SIG_DFL : previous_interrupt);
    set_record_filter(nullptr);
    set_registration_enabled(1);
    if (options.interrupted)
        *options.interrupted = g_interrupted != 0;
    set_decoded_record_source(previous_source);
    ahead.release();
    plat_set_message_box_handler(previous);
    stop_serving_image_discs();
    g_run = nullptr;
    if (!saved.empty())
        fs::current_path(saved, ec);
    if (!ok) {
        *error = "extraction failed";
        if (!run.prompt_error.empty())
            *error += ": " + run.prompt_error;
        if (!run.boxes.empty())
            *error += " (" + run.boxes + ")";
        *error += "; nothing was left in " + target_utf8;
        return false;
    }
    return true;
}
