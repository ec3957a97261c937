// What the fuzz targets share: one temporary host folder per run, which goes
// when the run ends (libFuzzer ends with exit()), files written into it,
// the system's names for host paths, and the list of what lies below the
// folder, for the checks that a run made nothing where it may not write.
// Every failure aborts: for libFuzzer that is a finding.
#pragma once

#include <set>
#include <string>

// The run's folder /tmp/fuzz-NAME-XXXXXX, made on the first call.
const std::string& fuzz_folder(const char* name);

// The name the system gives a host path (platform's path translation).
std::string fuzz_system_path(const std::string& host);

// Writes bytes into a host file, replacing it.
void fuzz_write_host(const std::string& path, const std::string& bytes);

// Every path below the host folder, relative to it.
std::set<std::string> fuzz_tree(const std::string& folder);

// Aborts when the condition does not hold.
void fuzz_check(bool condition);
