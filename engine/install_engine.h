// The install engine: turns a disc set into an installed folder.
//
// install_disc_set reads the header from "<root>\cd1", creates the install
// folder, extracts every disc in turn (asking for a disc while it cannot be
// opened), reports progress after every record and pumps window messages,
// then registers the installation. On failure or cancel it rolls back what
// this installation created. install_disc_set_with does the same with the
// callers' options (the toolkit extracts with it); install_disc_set is
// setup's entry onto it.
#pragma once

#include "decoded_records.h"

#include <cstdint>

// Percent done -> nonzero to go on, 0 to stop the installation.
typedef int32_t (*ProgressCallback)(int32_t percent);
// Zero-based index of the disc that cannot be opened -> nonzero to try again,
// 0 to give up.
typedef int32_t (*DiscPromptCallback)(int32_t disc_index);

// The percentage the engine reports after a record: bytes done x 100 / total
// size, in 64 bits. A total of 0 or less announces nothing to write, so
// every record counts as the whole of it: 100. (The toolkit's pre-flight
// check replays the slide show with it.)
int32_t progress_percent(int64_t bytes_done, int32_t total_size);

// How one installation runs: what asks for discs, shows progress, shows
// the engine's messages, where the records come from, which of them are
// extracted and whether it ends registered. The defaults are setup's. Each
// callback gets `context` as its first argument. The engine keeps nothing
// of it after the call: a second installation in the same process runs
// with its own options only.
struct EngineOptions {
    void* context = nullptr;
    // Zero-based index of the disc that cannot be opened -> nonzero to try
    // again, 0 to give up. Null: prompt_next_disc's question, shown through
    // `message_box`.
    int32_t (*disc_prompt)(void* context, int32_t disc_index) = nullptr;
    // Percent done -> nonzero to go on, 0 to stop. Null: always go on.
    int32_t (*progress)(void* context, int32_t percent) = nullptr;
    // Whether a directory or file record is extracted: `record_path` is the
    // path inside the install folder as it will be created (code page 950,
    // starting with "\"; "" never comes). 1 to create it, 0 to pass over it.
    // Null: every record is extracted. A record passed over is still read,
    // decompressed and checked, so damage anywhere in the set fails and
    // rolls back as without a filter; a file passed over gets no bytes (its
    // data records are dropped). A file or folder that is extracted gets the
    // folders on its way created first (and rolled back like every other),
    // since their own records may have been passed over. Names passed over
    // still fix the spelling of a later name that differs only in ASCII
    // case, as they would have had they been created.
    int32_t (*filter)(void* context, int32_t type, const char* record_path) = nullptr;
    // Every message and question of the engine (code page 950 texts; the
    // answer as plat_message_box gives it). Null: plat_message_box.
    int (*message_box)(void* context, const char* text, const char* caption, unsigned type) = nullptr;
    // Where the records of each disc come from; null: read and decompressed
    // inline, one at a time (decoded_records.h). Must outlive the call.
    const DecodedRecordSource* records = nullptr;
    // 1: a successful installation ends with register_installation under
    // `uninstall_link_name`; 0: it does not (the toolkit extracts).
    int32_t registration = 1;
    const char* uninstall_link_name = "";
};

// One installation with `options`. 1 installed, 0 not installed.
int install_disc_set_with(const char* install_path, const char* source_root, const EngineOptions& options);

// Setup's entry: the one engine state of the process. 1 installed, 0 not
// installed. Non-null callbacks replace the stored ones for this and every
// later call; the installation ends registered.
int install_disc_set(const char* install_path, const char* source_root, const char* uninstall_link_name,
                     DiscPromptCallback disc_prompt, ProgressCallback progress);

// The default disc prompt: "Please Insert Disc #%d" / "Next Disc", OK/Cancel.
int32_t prompt_next_disc(int32_t disc_index);
