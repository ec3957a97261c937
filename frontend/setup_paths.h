// The paths of the setup flow: the source root from the command line, the
// proposed install folder, a browsed folder with the product appended. All
// are Big5 texts in buffers of PLAT_PATH_SIZE (260) bytes; a text that does
// not fit is refused and the buffer is left as it was.
#pragma once

#include "platform.h"

#include <cstdint>

// Copies the command line verbatim (no trimming, quotes kept) into
// `source_root`. 0 for an empty command line or one of more than 259 bytes
// (then setup ends without a word); 1 otherwise.
int take_source_root(const char* command_line, char* source_root);

// "<source root>\cd1" into `out`. 1 / 0 (does not fit).
int first_disc_path(const char* source_root, char* out);

// "C:\Program Files\<company>\<product>" into `out`. 1 / 0 (does not fit).
int propose_install_path(const char* company, const char* product, char* out);

// A folder chosen in the folder browser, then "\" unless it already ends
// with one, then the product, into `out`. 0 with `out` unchanged when the
// folder has fewer than 2 characters or the result does not fit 260 bytes.
int compose_browsed_path(const char* folder, const char* product, char* out);
