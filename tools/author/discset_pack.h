// discset pack's command line: its options, set up on the command-line
// parser, checked and turned into the disc writer's options, and the run
// that reports what was written.
#pragma once

#include "disc_writer.h"

#include <CLI/CLI.hpp>

#include <string>

// What --disc-size takes (parse_disc_size), for pack and check alike.
extern const char kDiscSizeHelp[];

// How much pack and extract tell while they work: --quiet draws no
// progress bar, --verbose names each folder and file.
struct Chatter {
    bool quiet = false;
    bool verbose = false;
};

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

// Adds the pack subcommand to `app`, its options landing in *args.
CLI::App* add_pack_command(CLI::App* app, PackArgs* args);

// Checks the options, packs and reports: the exit code.
int run_pack(const PackArgs& args);
