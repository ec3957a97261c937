#include "discset_pack.h"

#include "exit_codes.h"
#include "platform.h"
#include "progress_bar.h"
#include "terminal_text.h"

#include <cstdio>

// What --disc-size takes (parse_disc_size), for pack and check alike.
extern const char kDiscSizeHelp[] =
    "650M (681984000 bytes, a 74-minute CD) or 700M (737280000, an 80-minute CD); else bytes, or a number "
    "with a unit: K, M, G count in 1024s (25M is 26214400 bytes, as 25MiB), kB, MB, GB in 1000s (25MB is "
    "25000000); default 650M";

namespace {

// A Windows program that pack puts in: the one named, else the first that
// exists of: beside this program (a Windows install), in the folder an
// install puts them in relative to this program (share/discset/windows
// beside bin/ on Linux), in the build tree's `build_folder` next to this
// program's folder, and the path configured at build time (a native build
// takes the one of the Windows release build).
int find_program(const std::string& named, const char* file_name, const char* build_folder, const char* configured,
                 const char* option, const char* without, fs::path* found, std::string* error)
{
    if (!named.empty()) {
        *found = host_path_from_utf8(named);
        return 1;
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
            return 1;
        }
        looked += (looked.empty() ? "" : ", ") + utf8_of(c);
    }
    *error = std::string("no ") + file_name + " to put in (looked at " + looked + "); pass " + option + " PATH (the " +
             file_name + " of a Windows build)" + without;
    return 0;
}

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
        fprintf(stderr,
                "discset pack: --sign-pkcs12 signs uninstall.exe, and with --layout setup.exe and "
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
        fprintf(stderr,
                "discset pack: warning: %s is not part of this set (left by an earlier run?); it is not in "
                "the images, remove it before burning the folder\n",
                printable(stray).c_str());
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

}  // namespace

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
            bar.note(stdout,
                     (to_utf8(record_path, &u) ? printable(u) : printable(record_path)) + (is_directory ? "\\" : ""));
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

// The help of an option naming a Windows program pack puts into the set,
// with where pack finds it when the option is not given.
static std::string program_help(const char* what)
{
    return std::string(what) +
           " (default: beside discset, else in the share/discset/windows folder of its "
           "install, else the Windows release build's)";
}

CLI::App* add_pack_command(CLI::App* app, PackArgs* args)
{
    DiscPackOptions& pack_options = args->options;
    CLI::App* pack = app->add_subcommand("pack", "Pack a game folder into a disc set (disc1/cd1, disc2/cd2, ...)");
    pack->add_option("GAME_FOLDER", args->game, "Folder whose contents are installed")->required();
    pack->add_option("-o,--output", args->out, "Folder to write disc1/, disc2/, ... into")->required();
    pack->add_option("--company", pack_options.company,
                     "Publisher, one folder name (each header text: 1 to 39 bytes in Big5)")
        ->required();
    pack->add_option("--product", pack_options.product, "Product: folder, display and shortcut name")->required();
    pack->add_option("--regkey", pack_options.regkey, "Name of the uninstall registry key (one name: no \\ or /)")
        ->required();
    pack->add_option("--exe", pack_options.exe, "Game program, a file relative to the game folder (bin\\game.exe)")
        ->required();
    pack->add_option("--disc-size", args->disc_size, kDiscSizeHelp);
    pack->add_option(
        "--first-disc-reserve", pack_options.first_disc_reserve,
        "Bytes kept free on disc 1 for anything else (what --layout puts there is counted already; default 0)");
    pack->add_option("--threads", pack_options.threads, "Compression threads (default: one per core)")
        ->check(CLI::Range(0, 256));
    pack->add_option("--compressor", args->compressor, "libdeflate (default where built in) or zlib");
    pack->add_option("--level", pack_options.level,
                     "Compression level, 1 to 12 with libdeflate, 1 to 9 with zlib (default: 5 with libdeflate, 6 with "
                     "zlib, about the same size)")
        ->check(CLI::Range(1, 12));
    pack->add_flag("--force", pack_options.overwrite, "Replace the disc files of an earlier run in the output folder");
    pack->add_flag("--no-uninstaller", args->no_uninstaller,
                   "Put neither uninstall.exe nor its manifest uninstall.lst into the set");
    pack->add_option("--uninstaller", args->uninstaller, program_help("The uninstall.exe to put in"));
    pack->add_option("--data", args->data,
                     "The data folder setup copies at the end; listed in the manifest. With --layout it goes into "
                     "data\\ on disc 1 and on the last disc (the finishing steps read it from the disc in the drive)");
    pack->add_flag("--layout", args->layout.layout,
                   "Write complete disc folders: disc1/ gets setup.exe, launcher.exe, autorun.inf (open=launcher.exe) "
                   "and what --pictures, --data and --web-shortcut name; their room is counted on each disc");
    pack->add_option("--setup-exe", args->layout.setup, program_help("setup.exe for disc 1"));
    pack->add_option("--launcher-exe", args->layout.launcher, program_help("launcher.exe for disc 1"));
    // The options that name a file or folder to put in or to sign with, or
    // the time-stamp server.
    const struct {
        const char* name;
        std::string* value;
        const char* help;
    } texts[] = {
        {"--pictures", &args->layout.pictures,
         "Slide-show pictures: a folder of NN.tga (00 to 100, copied as they are) or of pictures in any format "
         "ImageMagick's convert reads (converted in name order to 01.tga, 02.tga, ...). They go into pic\\ on every "
         "disc: setup reads them from the disc in the drive"},
        {"--web-shortcut", &args->layout.web_shortcut,
         "The web shortcut file, put on disc 1 and on the last disc as 官方網頁.url (the finishing steps read it "
         "when the last disc is in the drive)"},
        {"--sign-pkcs12", &args->signing.pkcs12,
         "Sign uninstall.exe, and with --layout setup.exe and launcher.exe, with the publisher's certificate and "
         "key in this PKCS#12 file (Authenticode, SHA-256, by osslsigncode) before they go onto the discs; the "
         "programs named stay unsigned. A program that does not sign stops the pack"},
        {"--sign-password-file", &args->signing.password_file,
         "File holding the PKCS#12 password, one line (read by osslsigncode, so the password is on no command line)"},
        {"--sign-timestamp", &args->signing.timestamp_url,
         "URL of an RFC 3161 time-stamp server, so the signatures stay valid after the certificate expires "
         "(default: no time stamp; the server is asked only when named)"},
    };
    for (const auto& text : texts)
        pack->add_option(text.name, *text.value, text.help);
    pack->add_flag("--iso", pack_options.iso,
                   "Also write OUT/disc1.iso, disc2.iso, ...: ISO 9660 with Joliet names, fixed dates (the same "
                   "input gives the same bytes), volume id from the product and the disc number (xorriso). "
                   "--disc-size then limits each whole image");
    pack->add_flag("-q,--quiet", args->chatter.quiet,
                   "No progress bar (it is drawn on standard error only when that is a terminal)");
    pack->add_flag("-v,--verbose", args->chatter.verbose, "Name each folder and file as it goes onto a disc");
    return pack;
}
