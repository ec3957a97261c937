// The command-line conventions every toolkit command shares (discset and
// apkg): how a parse ends in an exit code, and the --json flag of the
// listing commands. Header-only: only the two front ends include CLI11.
#pragma once

#include "di_version.h"
#include "exit_codes.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <string>

// "NAME VERSION", with "(commit C)" when built from a git checkout.
inline std::string version_text(const std::string& program)
{
    std::string text = program + " " + DI_VERSION_TEXT;
    if (DI_VERSION_COMMIT[0])
        text += std::string(" (commit ") + DI_VERSION_COMMIT + ")";
    return text;
}

// When the first argument is not an option it must name a subcommand: a
// mistyped one is told which exist (CLI11 alone would only say that the
// argument was not expected). 1 when it is fine, else 0 after the message.
inline int check_subcommand_name(CLI::App* app, int argc, char** argv)
{
    if (argc < 2 || argv[1][0] == '-')
        return 1;
    std::string names;
    for (const CLI::App* sub : app->get_subcommands([](const CLI::App*) { return true; })) {
        if (sub->check_name(argv[1]))
            return 1;
        names += (names.empty() ? "" : ", ") + sub->get_name();
    }
    fprintf(stderr, "%s: '%s' is not a command; the commands are: %s\n", app->get_name().c_str(), argv[1],
            names.c_str());
    return 0;
}

// Parses the command line: a usage error prints CLI11's message and is exit
// code 1 (CLI11's own codes differ), --help prints the help and --version
// the version (both exit code 0). The app's name (set when it is made) is
// the program's name in messages.
// 1 when the command is to run, else 0 with the exit code in *code.
inline int parse_command_line(CLI::App* app, int argc, char** argv, int* code)
{
    app->set_version_flag("--version", version_text(app->get_name()), "Print the version and exit");
    if (!check_subcommand_name(app, argc, argv)) {
        *code = kExitUsage;
        return 0;
    }
    try {
        app->parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        *code = app->exit(e) == 0 ? kExitDone : kExitUsage;
        return 0;
    }
    return 1;
}

// --json on a listing command: its whole answer becomes one JSON document on
// standard output holding `contents`; damaged input is still exit code 2.
inline CLI::Option* add_json_flag(CLI::App* command, bool* json, const std::string& contents)
{
    return command->add_flag("--json", *json, "One JSON document: " + contents + "; exit 2 when damaged");
}
