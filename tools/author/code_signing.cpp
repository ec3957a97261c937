#include "code_signing.h"

#include "run_program.h"

namespace {

std::vector<std::string> signing_arguments(const CodeSigning& signing, const fs::path& program,
                                           const fs::path& signed_copy)
{
    std::vector<std::string> args = {"osslsigncode", "sign", "-pkcs12", utf8_of(signing.pkcs12)};
    if (!signing.password_file.empty()) {
        args.push_back("-readpass");
        args.push_back(utf8_of(signing.password_file));
    }
    args.push_back("-h");
    args.push_back("sha256");
    if (!signing.timestamp_url.empty()) {
        args.push_back("-ts");
        args.push_back(signing.timestamp_url);
    }
    args.push_back("-in");
    args.push_back(utf8_of(program));
    args.push_back("-out");
    args.push_back(utf8_of(signed_copy));
    return args;
}

}  // namespace

int sign_program(const CodeSigning& signing, const fs::path& program, const fs::path& signed_copy, std::string* error)
{
    std::error_code ec;
    if (!fs::is_regular_file(program, ec)) {
        *error = "the program to sign " + utf8_of(program) + " is not a file";
        return 0;
    }
    if (!fs::is_regular_file(signing.pkcs12, ec)) {
        *error = "the certificate " + utf8_of(signing.pkcs12) + " is not a file";
        return 0;
    }
    if (!signing.password_file.empty() && !fs::is_regular_file(signing.password_file, ec)) {
        *error = "the password file " + utf8_of(signing.password_file) + " is not a file";
        return 0;
    }
    if (fs::exists(fs::symlink_status(signed_copy, ec))) {
        *error = utf8_of(signed_copy) + " exists already";
        return 0;
    }
    ProgramRun run;
    bool ran = run_program(signing_arguments(signing, program, signed_copy), {"LC_ALL=C"}, &run, error);
    if (ran && run.exit_code == 0 && fs::is_regular_file(signed_copy, ec))
        return 1;
    fs::remove(signed_copy, ec);
    if (ran)
        *error = "signing " + utf8_of(program) + " failed: osslsigncode: " + program_message(run);
    return 0;
}
