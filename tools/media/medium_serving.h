// Serving discs to the installer's own readers. The TGA reader, the file
// object (with its fallback into packages) and the disc-set walk open files
// by system path through plat_fopen; while a disc is served, a path under
// its root (the system path of DiscMedium::root, then "\" and a name on the
// disc) opens that file through DiscMedium::open, read where it lies, so an
// image is read as a folder is and nothing is copied out.
//
// This is the one serving of the toolkit: the check serves its discs for
// the whole check, extract serves the discs the user named to the engine
// for the whole run, and the record walks (list, test, salvage) serve a
// disc image while they open a disc file in it. The platform has one open
// handler, so one serving is in effect at a time; another is refused.
#pragma once

#include "disc_medium.h"

#include <string>
#include <vector>

struct MediaServing {
    // The media served and their roots, in the order served.
    std::vector<DiscMedium*> media;
    std::vector<std::string> roots;
    // Why the last open of a served path failed; empty when none has.
    std::string open_error;

    // Serves `medium` until release; *root gets the system path its files
    // are under. 1, or 0 with *error when its root has no system path.
    // Media of one serving at a time (the platform has one open handler).
    int serve(DiscMedium* medium, std::string* root, std::string* error);
    // The same under a root the caller names: `root` is the system path
    // text its files are opened under ("cd1" opens "cd1\cd2" as the
    // medium's file cd2). 1, or 0 with *error.
    int serve_as(DiscMedium* medium, const std::string& root, std::string* error);
    // Stops serving and restores the open handler that was there before.
    void release();
};

// The system path that the medium whose root() is `root` is served under
// by the serving in effect. 1, or 0 when it is not being served.
int served_root_of(const fs::path& root, std::string* system_root);

// The system path of `path` (as listed, "/" between names) on the disc
// served under `root`; "" when the name has no code page 950 form.
std::string served_path(const std::string& root, const std::string& path);
