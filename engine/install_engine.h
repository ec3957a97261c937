// The install engine: turns a disc set into an installed folder.
//
// install_disc_set reads the header from "<root>\cd1", creates the install
// folder, extracts every disc in turn (asking for a disc while it cannot be
// opened), reports progress after every record and pumps window messages,
// then registers the installation. On failure or cancel it rolls back what
// this installation created.
#pragma once

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

// 1 installed, 0 not installed. Non-null callbacks replace the stored ones
// for this and every later call.
int install_disc_set(const char* install_path, const char* source_root, const char* uninstall_link_name,
                     DiscPromptCallback disc_prompt, ProgressCallback progress);

// The default disc prompt: "Please Insert Disc #%d" / "Next Disc", OK/Cancel.
int32_t prompt_next_disc(int32_t disc_index);

// Whether a successful install_disc_set ends with register_installation
// (1, the default) or not (0: the toolkit extracts without registering).
void set_registration_enabled(int enabled);
