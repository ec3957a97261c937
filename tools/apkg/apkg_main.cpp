// apkg: create, list and unpack APKG packages.
#include "apkg_json.h"
#include "apkg_writer.h"
#include "command_line.h"
#include "exit_codes.h"
#include "standard_output.h"
#include "json_names.h"
#include "platform.h"
#include "terminal_text.h"

#include <cstdio>

namespace {

// The parsed command; errors come back as results and messages.
int run_command(CLI::App* create, CLI::App* list, const std::string& folder, const std::string& output,
                const std::string& package, bool json)
{
    std::string error;
    if (create->parsed()) {
        if (!apkg_create_from_folder(host_path_from_utf8(folder), host_path_from_utf8(output), &error)) {
            fprintf(stderr, "apkg create: %s\n", error.c_str());
            return kExitFailed;
        }
        return 0;
    }
    if (list->parsed()) {
        std::vector<ApkgEntryInfo> entries;
        if (!apkg_list(host_path_from_utf8(package), &entries, &error)) {
            fprintf(stderr, "apkg list: %s\n", error.c_str());
            return kExitFailed;
        }
        if (json) {
            nlohmann::ordered_json doc = apkg_list_json(host_path_from_utf8(package), entries);
            fputs(json_text(doc).c_str(), stdout);
            return doc["damaged"].get<bool>() ? kExitFailed : kExitDone;
        }
        int damaged = 0;
        for (const ApkgEntryInfo& e : entries) {
            std::string name;
            if (!to_utf8(e.name, &name))
                name = "?";
            printf("%10d  %10d  %s%s\n", e.size, e.offset, printable(name).c_str(), e.valid ? "" : "  [damaged]");
            damaged += !e.valid;
        }
        printf("%zu member(s)\n", entries.size());
        return damaged ? kExitFailed : kExitDone;
    }
    std::vector<std::string> shadowed;
    bool ok = apkg_extract(host_path_from_utf8(package), host_path_from_utf8(output), &error, &shadowed);
    for (const std::string& s : shadowed)
        fprintf(stderr, "apkg extract: %s\n", s.c_str());
    if (!ok) {
        fprintf(stderr, "apkg extract: %s\n", printable(error).c_str());
        return kExitFailed;
    }
    return kExitDone;
}

int run_apkg(int argc, char** argv)
{
    // Arguments as UTF-8 on every system (Windows hands them over in the
    // ANSI code page), and host paths such as /tmp/x are never options.
    plat_utf8_command_line(&argc, &argv);
    CLI::App app{"Create, list and unpack APKG packages (the file packages the installer reads).", "apkg"};
    app.allow_windows_style_options(false);
    app.require_subcommand(1);
    // Set before the subcommands are added: each takes it over.
    app.footer(exit_codes_help());

    std::string folder, output, package;
    CLI::App* create = app.add_subcommand("create", "Pack the files of a folder into a package");
    create->add_option("FOLDER", folder, "Folder whose files become the members")->required();
    create->add_option("-o,--output", output, "Package file to write (NAME.apkg)")->required();

    CLI::App* list = app.add_subcommand("list", "List the members of a package");
    list->add_option("PACKAGE", package, "Package file")->required();
    bool json = false;
    add_json_flag(list, &json,
                  "each member's name (UTF-8 and its Big5 bytes in hex), offset, size and whether it is sound");

    CLI::App* extract = app.add_subcommand("extract", "Unpack every member of a package into a folder");
    extract->add_option("PACKAGE", package, "Package file")->required();
    extract->add_option("-o,--output", output, "Folder to unpack into")->required();

    int code = kExitDone;
    if (!parse_command_line(&app, argc, argv, &code))
        return code;

    try {
        return run_command(create, list, folder, output, package, json);
    } catch (const std::exception& e) {
        fprintf(stderr, "apkg: %s\n", e.what());
    } catch (...) {
        fprintf(stderr, "apkg: unexpected error\n");
    }
    return kExitFailed;
}

}  // namespace

int main(int argc, char** argv)
{
    return close_standard_output("apkg", run_apkg(argc, argv));
}
