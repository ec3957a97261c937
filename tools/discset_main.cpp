// discset: author, list, test and extract disc sets.
#include "disc_extract.h"
#include "disc_image.h"
#include "disc_scan.h"
#include "disc_writer.h"
#include "platform.h"
#include "terminal_text.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {

bool is_terminal(FILE* stream)
{
#ifdef _WIN32
    return _isatty(_fileno(stream)) != 0;
#else
    return isatty(fileno(stream)) != 0;
#endif
}

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

// The uninstall.exe that pack puts into the set: the one named, else the
// first that exists of: beside this program, in the build tree's uninstall
// folder next to this program's folder, and the path configured at build
// time (a native build takes the one of the Windows release build).
bool find_uninstaller(const std::string& named, fs::path* found, std::string* error)
{
    if (!named.empty()) {
        *found = host_path_from_utf8(named);
        return true;
    }
    std::vector<fs::path> candidates;
    char self[4096];
    if (plat_program_path_utf8(self, sizeof self)) {
        fs::path folder = fs::u8path(self).parent_path();
        candidates.push_back(folder / "uninstall.exe");
        candidates.push_back(folder.parent_path() / "uninstall" / "uninstall.exe");
    }
    if (DI_DEFAULT_UNINSTALLER[0])
        candidates.push_back(fs::u8path(DI_DEFAULT_UNINSTALLER));
    std::string looked;
    for (const fs::path& c : candidates) {
        std::error_code ec;
        if (fs::is_regular_file(c, ec)) {
            *found = c;
            return true;
        }
        looked += (looked.empty() ? "" : ", ") + utf8_of(c);
    }
    *error = "no uninstall.exe to put into the set (looked at " + looked +
             "); pass --uninstaller PATH (the uninstall.exe of a Windows build) or --no-uninstaller";
    return false;
}

int run_pack(const std::string& game, const std::string& out, DiscPackOptions options, const std::string& disc_size,
             const std::string& compressor, bool no_uninstaller, const std::string& uninstaller,
             const std::string& data)
{
    std::string error;
    if (no_uninstaller && (!uninstaller.empty() || !data.empty())) {
        fprintf(stderr, "discset pack: --no-uninstaller puts no manifest in, so --uninstaller and --data do not apply\n");
        return 2;
    }
    if (!no_uninstaller) {
        if (!find_uninstaller(uninstaller, &options.uninstaller, &error)) {
            fprintf(stderr, "discset pack: %s\n", error.c_str());
            return 2;
        }
        if (!data.empty())
            options.data_folder = host_path_from_utf8(data);
    }
    if (!parse_disc_size(disc_size, &options.disc_size, &error)) {
        fprintf(stderr, "discset pack: %s\n", error.c_str());
        return 2;
    }
    if (!compressor.empty() && !compressor_from_name(compressor, &options.compressor)) {
        fprintf(stderr, "discset pack: no compressor \"%s\" in this build (it has zlib%s)\n", compressor.c_str(),
                compressor_available(kCompressorLibdeflate) ? " and libdeflate" : "");
        return 2;
    }
    DiscPackResult result;
    if (!disc_pack(host_path_from_utf8(game), host_path_from_utf8(out), options, &result, &error)) {
        fprintf(stderr, "discset pack: %s\n", error.c_str());
        return 1;
    }
    printf("%d disc(s): %lld folder(s), %lld file(s), %lld bytes of file data, total size %d\n", result.disc_count,
           (long long)result.directories, (long long)result.files, (long long)result.data_bytes, result.total_size);
    for (size_t i = 0; i < result.disc_bytes.size(); ++i)
        printf("  disc%zu/cd%zu  %lld bytes\n", i + 1, i + 1, (long long)result.disc_bytes[i]);
    if (!no_uninstaller)
        printf("  uninstaller %s and uninstall.lst (%lld entries)\n", utf8_of(options.uninstaller).c_str(),
               (long long)result.manifest_entries);
    return 0;
}

// The discs the arguments name: 0, or the exit code after saying on
// stderr why not (2 for an image that cannot be read, 1 otherwise).
int collect_or_report(const char* command, const std::vector<std::string>& args, std::vector<DiscFile>* discs)
{
    std::string error;
    int bad_image = 0;
    if (collect_discs(args, discs, &error, &bad_image))
        return 0;
    fprintf(stderr, "discset %s: %s\n", command, error.c_str());
    return bad_image ? 2 : 1;
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
            return 2;
        }
    }
    return 0;
}

int run_list(const std::vector<std::string>& args)
{
    std::vector<DiscFile> discs;
    if (int code = collect_or_report("list", args, &discs))
        return code;
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
    return ok ? 0 : 1;
}

int run_test(const std::vector<std::string>& args)
{
    std::vector<DiscFile> discs;
    if (int code = collect_or_report("test", args, &discs))
        return code;
    DiscSetSummary s;
    int ok = walk_disc_set(discs, std::function<void(const TreeEntry&)>(), &s);
    if (!ok) {
        print_damage("test", s, discs);
        fprintf(stderr, "discset test: the set is damaged (%zu problem(s))\n", s.damage.size());
        return 1;
    }
    printf("OK: %d disc(s), %lld record(s), %lld folder(s), %lld file(s), total size %d bytes\n", s.header.disc_count,
           (long long)s.records, (long long)s.directories, (long long)s.files, s.header.total_size);
    return 0;
}

int run_extract(const std::vector<std::string>& args, const std::string& dest, bool no_prompt)
{
    ExtractOptions options;
    options.interactive = !no_prompt && is_terminal(stdin);
    options.show_progress = is_terminal(stdout);
    if (int code = check_images(args))
        return code;
    std::string error;
    if (!disc_extract(args, host_path_from_utf8(dest), options, &error)) {
        fprintf(stderr, "discset extract: %s\n", error.c_str());
        return 1;
    }
    printf("extracted into %s\n", dest.c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    plat_utf8_command_line(&argc, &argv);
    CLI::App app{std::string("Author, list, test and extract disc sets (the discs the installer reads).\n") +
                 (disc_images_supported()
                      ? "A disc is a folder holding cdN, a cdN file, or a disc image holding cdN in its root folder\n"
                        "(ISO 9660, plain or Joliet, or a .cue sheet with mode 1 or mode 2 form 1 raw sectors).\n"
                        "A disc image that cannot be read exits with 2."
                      : "A disc is a folder holding cdN or a cdN file. This build reads no disc images\n"
                        "(it has no libcdio; the Linux build reads ISO 9660 and .cue/.bin images).")};
    app.require_subcommand(1);
    // "/tmp/game" is a path, not an option, also on Windows (under Wine
    // host paths look like that).
    app.allow_windows_style_options(false);

    std::string game, out, disc_size = "650M", compressor;
    DiscPackOptions pack_options;
    CLI::App* pack = app.add_subcommand("pack", "Pack a game folder into a disc set (disc1/cd1, disc2/cd2, ...)");
    pack->add_option("GAME_FOLDER", game, "Folder whose contents are installed")->required();
    pack->add_option("-o,--output", out, "Folder to write disc1/, disc2/, ... into")->required();
    pack->add_option("--company", pack_options.company, "Publisher, one folder name (each header text: 1 to 39 bytes in Big5)")
        ->required();
    pack->add_option("--product", pack_options.product, "Product: folder, display and shortcut name")
        ->required();
    pack->add_option("--regkey", pack_options.regkey, "Name of the uninstall registry key (one name: no \\ or /)")->required();
    pack->add_option("--exe", pack_options.exe, "Game program, a file relative to the game folder (bin\\game.exe)")->required();
    pack->add_option("--disc-size", disc_size, "650M (681984000), 700M (737280000) or a number of bytes; default 650M");
    pack->add_option("--first-disc-reserve", pack_options.first_disc_reserve,
                     "Bytes kept free on disc 1 for setup, pictures and data (default 0)");
    pack->add_option("--threads", pack_options.threads, "Compression threads (default: one per core)")
        ->check(CLI::Range(0, 256));
    pack->add_option("--compressor", compressor, "libdeflate (default where built in) or zlib");
    pack->add_option("--level", pack_options.level, "Compression level, 1 to 9 (default: 5 with libdeflate, 6 with zlib, about the same size)")
        ->check(CLI::Range(1, 9));
    pack->add_flag("--force", pack_options.overwrite, "Replace the disc files of an earlier run in the output folder");
    bool no_uninstaller = false;
    std::string uninstaller, data;
    pack->add_flag("--no-uninstaller", no_uninstaller, "Put neither uninstall.exe nor its manifest uninstall.lst into the set");
    pack->add_option("--uninstaller", uninstaller,
                     "The uninstall.exe to put in (default: beside discset, else the Windows release build's)");
    pack->add_option("--data", data, "The data folder that will lie beside cd1 (setup copies it); listed in the manifest");

    std::vector<std::string> discs;
    CLI::App* list = app.add_subcommand("list", "Show the header and the tree of a disc set, with sizes");
    list->add_option("DISC", discs, "Disc folders, cdN files or disc images (.iso, .cue), all discs of the set")->required();

    CLI::App* test = app.add_subcommand("test", "Decompress and check every record of a disc set");
    test->add_option("DISC", discs, "Disc folders, cdN files or disc images (.iso, .cue), all discs of the set")->required();

    std::string dest;
    bool no_prompt = false;
    CLI::App* extract = app.add_subcommand("extract", "Extract a disc set with the installer's engine (no registration)");
    extract->add_option("DISC", discs, "Disc folders, cdN files or disc images (.iso, .cue); asks for a missing disc on a terminal")
        ->required();
    extract->add_option("-o,--output", dest, "New or empty folder to extract into")->required();
    extract->add_flag("--no-prompt", no_prompt, "Never ask for a disc; fail when one is missing");

    std::string codepage = "950";
    for (CLI::App* sub : {pack, list, test, extract})
        sub->add_option("--codepage", codepage, "Code page of the names in the set: 950 (Big5, the default and the format's)");

    CLI11_PARSE(app, argc, argv);

    // The commands report their errors as results; anything thrown all the
    // same (memory, a host path that cannot be converted) ends here, never
    // inside the engine.
    const char* command = pack->parsed() ? "pack" : list->parsed() ? "list" : test->parsed() ? "test" : "extract";
    if (!check_codepage(command, codepage))
        return 1;
    try {
        if (pack->parsed())
            return run_pack(game, out, pack_options, disc_size, compressor, no_uninstaller, uninstaller, data);
        if (list->parsed())
            return run_list(discs);
        if (test->parsed())
            return run_test(discs);
        return run_extract(discs, dest, no_prompt);
    } catch (const std::exception& e) {
        fprintf(stderr, "discset %s: %s\n", command, e.what());
    } catch (...) {
        fprintf(stderr, "discset %s: unexpected error\n", command);
    }
    return 1;
}
