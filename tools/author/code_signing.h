// Signing the Windows programs that a disc set carries (setup.exe,
// launcher.exe, uninstall.exe) with the publisher's certificate, so that
// Windows names the publisher when it asks to elevate them. The signature is
// Authenticode, made by osslsigncode run as a program.
#pragma once

#include "host_files.h"

#include <string>

struct CodeSigning {
    fs::path pkcs12;            // certificate and private key; empty: nothing is signed
    fs::path password_file;     // the PKCS#12 password (empty: none); read by osslsigncode itself
    std::string timestamp_url;  // an RFC 3161 time-stamp server; empty: no time stamp

    int enabled() const { return !pkcs12.empty(); }
};

// Signs `program` into `signed_copy` (which must not exist). The password
// is never on osslsigncode's command line, where other users of the machine
// could read it: osslsigncode reads it from the file. On failure (no
// certificate file, a wrong password, a program that is no Windows program,
// osslsigncode missing or failing) *error says why with osslsigncode's own
// message, and no signed copy is left.
int sign_program(const CodeSigning& signing, const fs::path& program, const fs::path& signed_copy, std::string* error);
