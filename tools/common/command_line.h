// The command-line conventions every toolkit command shares (discset and
// apkg): how a parse ends in an exit code, and the --json flag of the
// listing commands. Header-only: only the two front ends include CLI11.
#pragma once

#include "exit_codes.h"

#include <CLI/CLI.hpp>

#include <string>

// Parses the command line: a usage error prints CLI11's message and is exit
// code 1 (CLI11's own codes differ), --help prints the help and is 0.
// 1 when the command is to run, else 0 with the exit code in *code.
inline int parse_command_line(CLI::App* app, int argc, char** argv, int* code)
{
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
