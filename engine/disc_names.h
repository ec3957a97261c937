// The names the disc-set convention gives: disc file N, and the install
// folder setup proposes for a header's company and product. Setup, the
// engine and the toolkit all take them from here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// "cd<N>", the file name of disc N (from 1), into `out` of `size` bytes.
// 1 / 0 (does not fit; `out` is then left as it was).
int disc_file_name(int32_t number, char* out, size_t size);

// The same as a string; "" for a number that has no name.
std::string disc_file_name_of(int32_t number);

// N when `name` is a disc file name "cdN" (N from 1 to 9999, no leading
// zero), else 0.
int32_t disc_number_in_name(const std::string& name);

// "<root>\cd<N>" into `out`. 1 / 0 (does not fit; `out` left as it was).
int disc_file_path(const char* root, int32_t number, char* out, size_t size);

// "C:\Program Files\<company>\<product>" into `out`. The texts are copied as
// bytes (Big5 in setup; any encoding for messages). 1 / 0 (does not fit;
// `out` left as it was).
int proposed_install_folder(const char* company, const char* product, char* out, size_t size);
