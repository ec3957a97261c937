// What lies beside the disc files on the discs of a set, as setup looks for
// it:
//   disc 1      setup.exe, launcher.exe, autorun.inf (starts launcher.exe,
//               setup.exe's icon), pic\NN.tga, data\, the web shortcut
//   later discs pic\NN.tga
//   last disc   pic\NN.tga, data\, the web shortcut
// Setup runs with the drive's root as its current folder and reads the
// slide-show pictures during the copy, with whichever disc is in the drive;
// the data folder and the web shortcut are read by the finishing steps, when
// the last disc is in the drive.
#pragma once

#include "host_files.h"

#include <cstdint>
#include <string>
#include <vector>

// The disc folder file name of the web shortcut that setup copies.
extern const char kWebShortcutFileName[];  // "官方網頁.url" in UTF-8

struct DiscLayoutOptions {
    bool enabled = false;       // write the programs, autorun.inf and what is named below
    fs::path setup_program;     // setup.exe to put on disc 1
    fs::path launcher_program;  // launcher.exe to put on disc 1
    // A folder of pictures: NN.tga files (00 to 100) copied as they are, or
    // pictures of any format ImageMagick reads, converted in name order to
    // 01.tga, 02.tga, ... Empty: no slide show.
    fs::path pictures;
    fs::path data_folder;   // copied to data\ (empty: none)
    fs::path web_shortcut;  // copied as 官方網頁.url (empty: none)
};

// Which discs a file of the layout goes on.
enum DiscRoleBits : unsigned {
    kOnFirst = 1,
    kOnMiddle = 2,  // neither the first nor the last
    kOnLast = 4,    // the last of two or more
};

struct LayoutFile {
    std::string disc_path;  // UTF-8, "/" separated, relative to the disc folder
    fs::path source;        // empty for a file made in memory, and for a folder
    std::string content;    // the bytes of a file made in memory
    bool is_directory = false;
    uint64_t size = 0;
    unsigned discs = 0;  // DiscRoleBits
};

struct DiscLayout {
    std::vector<LayoutFile> files;  // folders before their contents
    fs::path staging;               // converted pictures; removed by release()
    int32_t pictures = 0;

    // Removes the staging folder.
    void release();
    // Bytes of the files on a disc of this role (one of DiscRoleBits).
    int64_t bytes_on(unsigned role) const;
    // The disc paths that exist already in `disc_folder` for this role.
    std::vector<fs::path> existing_in(const fs::path& disc_folder, unsigned role) const;
    // Copies the files of this role into `disc_folder`, replacing files of
    // those names, and adds what it created to *created.
    int write_into(const fs::path& disc_folder, unsigned role, std::vector<fs::path>* created,
                   std::string* error) const;
};

// The autorun.inf of disc 1.
std::string autorun_text();

// Checks the paths of the options and plans the layout; converts pictures
// into a staging folder below `work` (created). Every picture must load with
// the installer's TGA reader.
int plan_disc_layout(const DiscLayoutOptions& options, const fs::path& work, DiscLayout* layout, std::string* error);

// Converts one picture to a TGA file that the installer reads (24-bit true
// colour, uncompressed, alpha flattened onto black) with ImageMagick.
int convert_picture(const fs::path& from, const fs::path& to, std::string* error);
// 1 when the installer's TGA reader loads the file.
int picture_loads(const fs::path& path);
