#include "disc_layout.h"

#include "image_buffer.h"
#include "run_program.h"
#include "slide_show.h"

#include <algorithm>
#include <cctype>

const char kWebShortcutFileName[] = "官方網頁.url";

namespace {

int is_file(const fs::path& p)
{
    std::error_code ec;
    return fs::is_regular_file(p, ec);
}

int is_folder(const fs::path& p)
{
    std::error_code ec;
    return fs::is_directory(p, ec);
}

// The slide-show number of a picture named "NN.tga" (00 to 100, as setup
// names them), or -1.
int picture_number(const std::string& name)
{
    size_t dot = name.find('.');
    if (dot == std::string::npos || dot < 2 || dot > 3)
        return -1;
    std::string ext = name.substr(dot);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return (char)tolower(c); });
    if (ext != ".tga")
        return -1;
    std::string digits = name.substr(0, dot);
    if (digits.find_first_not_of("0123456789") != std::string::npos)
        return -1;
    int n = std::stoi(digits);
    char expected[kSlideNameSize];
    slide_picture_name(n, expected);  // "pic\NN.tga"
    if (n > kMaxSlidePictures || std::string(expected + 4, dot) != digits)
        return -1;
    return n;
}

std::string two_digits(int n)
{
    char name[kSlideNameSize];
    slide_picture_name(n, name);
    return std::string(name + 4);  // without "pic\"
}

int plan_pictures(const fs::path& folder, const fs::path& work, DiscLayout* layout, std::string* error)
{
    if (!is_folder(folder)) {
        *error = "the pictures folder " + utf8_of(folder) + " is not a folder";
        return 0;
    }
    std::vector<HostEntry> entries;
    if (!list_host_folder(folder, &entries, error))
        return 0;
    bool all_numbered = !entries.empty();
    for (const HostEntry& e : entries) {
        if (e.is_directory) {
            *error = "the pictures folder " + utf8_of(folder) + " holds a folder (" + e.utf8_name +
                     "); it takes picture files only";
            return 0;
        }
        all_numbered = all_numbered && picture_number(e.utf8_name) >= 0;
    }
    if (entries.empty()) {
        *error = "the pictures folder " + utf8_of(folder) + " is empty";
        return 0;
    }
    std::vector<std::pair<int, fs::path>> pictures;  // number, file to put on the disc
    if (all_numbered) {
        // Setup counts 01, 02, ... up to the first that is missing: a later
        // one would never be shown.
        std::vector<fs::path> by_number((size_t)kMaxSlidePictures + 1);
        for (const HostEntry& e : entries)
            by_number[(size_t)picture_number(e.utf8_name)] = e.path;
        int last = 0;
        for (int n = 1; n <= kMaxSlidePictures && !by_number[(size_t)n].empty(); ++n)
            last = n;
        for (int n = last + 1; n <= kMaxSlidePictures; ++n)
            if (!by_number[(size_t)n].empty()) {
                *error = "the pictures folder " + utf8_of(folder) + " has " + two_digits(n) + " but not " +
                         two_digits(last + 1) + "; the slide show ends at the first missing number";
                return 0;
            }
        for (int n = 0; n <= last; ++n)
            if (!by_number[(size_t)n].empty())
                pictures.push_back({n, by_number[(size_t)n]});
    } else {
        if (entries.size() > (size_t)kMaxSlidePictures) {
            *error = "the pictures folder " + utf8_of(folder) + " holds " + std::to_string(entries.size()) +
                     " pictures; the slide show shows at most " + std::to_string(kMaxSlidePictures);
            return 0;
        }
        std::error_code ec;
        layout->staging = work / ".discset-pictures";
        fs::remove_all(layout->staging, ec);
        fs::create_directories(layout->staging, ec);
        if (ec) {
            *error = "cannot create " + utf8_of(layout->staging) + ": " + ec.message();
            return 0;
        }
        int n = 0;
        for (const HostEntry& e : entries) {
            fs::path to = layout->staging / two_digits(++n);
            if (!convert_picture(e.path, to, error))
                return 0;
            pictures.push_back({n, to});
        }
    }
    layout->files.push_back(LayoutFile{"pic", {}, {}, true, 0, kOnFirst | kOnMiddle | kOnLast});
    for (const auto& p : pictures) {
        if (!picture_loads(p.second)) {
            *error = "the picture " + utf8_of(p.second) +
                     " does not load with the installer's TGA reader (it reads uncompressed or run-length "
                     "TGA of 8, 16, 24 or 32 bits, up to 64 MiB of pixels)";
            return 0;
        }
        std::error_code ec;
        uint64_t size = fs::file_size(p.second, ec);
        layout->files.push_back(
            LayoutFile{"pic/" + two_digits(p.first), p.second, {}, false, size, kOnFirst | kOnMiddle | kOnLast});
    }
    layout->pictures = (int32_t)pictures.size();
    return 1;
}

int plan_tree(const fs::path& folder, const std::string& top, unsigned discs, DiscLayout* layout, std::string* error)
{
    return walk_host_tree(
        folder, top,
        [&](const HostEntry& e, const std::string& parent, std::string* below, std::string*) {
            *below = parent + "/" + e.utf8_name;
            layout->files.push_back(LayoutFile{
                *below, e.is_directory ? fs::path() : e.path, {}, e.is_directory, e.is_directory ? 0 : e.size, discs});
            return 1;
        },
        error);
}

int plan_program(const fs::path& path, const char* what, const char* option, const char* name, DiscLayout* layout,
                 std::string* error)
{
    if (!is_file(path)) {
        *error = std::string("the ") + what + " " + (path.empty() ? std::string("(none given)") : utf8_of(path)) +
                 " is not a file; build the Windows release (cmake --workflow --preset win32) or pass " + option +
                 " PATH";
        return 0;
    }
    std::error_code ec;
    layout->files.push_back(LayoutFile{name, path, {}, false, fs::file_size(path, ec), kOnFirst});
    return 1;
}

}  // namespace

std::string autorun_text()
{
    return "[autorun]\r\nopen=launcher.exe\r\nicon=setup.exe,0\r\n";
}

void DiscLayout::release()
{
    if (!staging.empty()) {
        std::error_code ec;
        fs::remove_all(staging, ec);
        staging.clear();
    }
}

int64_t DiscLayout::bytes_on(unsigned role) const
{
    int64_t total = 0;
    for (const LayoutFile& f : files)
        if (f.discs & role)
            total += (int64_t)f.size;
    return total;
}

std::vector<fs::path> DiscLayout::existing_in(const fs::path& disc_folder, unsigned role) const
{
    std::vector<fs::path> found;
    for (const LayoutFile& f : files) {
        if (!(f.discs & role) || f.is_directory)
            continue;
        fs::path p = disc_folder / host_path_from_utf8(f.disc_path);
        std::error_code ec;
        if (fs::exists(fs::symlink_status(p, ec)))
            found.push_back(p);
    }
    return found;
}

int DiscLayout::write_into(const fs::path& disc_folder, unsigned role, std::vector<fs::path>* created,
                           std::string* error) const
{
    for (const LayoutFile& f : files) {
        if (!(f.discs & role))
            continue;
        fs::path to = disc_folder / host_path_from_utf8(f.disc_path);
        std::error_code ec;
        bool existed = fs::exists(fs::symlink_status(to, ec));
        if (f.is_directory) {
            fs::create_directories(to, ec);
            if (ec || !is_folder(to)) {
                *error = "cannot create the folder " + utf8_of(to) + (ec ? ": " + ec.message() : "");
                return 0;
            }
        } else {
            // A link of that name is replaced, never written through.
            if (existed && fs::is_symlink(fs::symlink_status(to, ec)))
                fs::remove(to, ec);
            if (f.source.empty()) {
                if (!write_host_file(to, f.content, error))
                    return 0;
            } else {
                fs::copy_file(f.source, to, fs::copy_options::overwrite_existing, ec);
                if (ec) {
                    *error = "cannot copy " + utf8_of(f.source) + " to " + utf8_of(to) + ": " + ec.message();
                    return 0;
                }
            }
        }
        if (!existed)
            created->push_back(to);
    }
    return 1;
}

int convert_picture(const fs::path& from, const fs::path& to, std::string* error)
{
    // [0]: the first frame of an animation or a layered file. The origin is
    // set to the top left: ImageMagick 6 writes the rows top first whatever
    // the origin, and marks it right only for this one (the installer's
    // reader honours the mark either way).
    std::vector<std::string> args = {"convert",
                                     utf8_of(from) + "[0]",
                                     "-orient",
                                     "TopLeft",
                                     "-background",
                                     "black",
                                     "-alpha",
                                     "remove",
                                     "-alpha",
                                     "off",
                                     "-type",
                                     "TrueColor",
                                     "-depth",
                                     "8",
                                     "-compress",
                                     "None",
                                     "TGA:" + utf8_of(to)};
    ProgramRun run;
    if (!run_program(args, {}, &run, error))
        return 0;
    if (run.exit_code != 0 || !is_file(to)) {
        *error = "ImageMagick cannot convert the picture " + utf8_of(from) + ": " + program_message(run);
        return 0;
    }
    return 1;
}

int picture_loads(const fs::path& path)
{
    std::string system_path;
    if (!system_path_of(path, &system_path, nullptr))
        return 0;
    ImageBuffer picture;
    int ok = picture.load_tga(system_path.c_str(), nullptr);
    picture.release();
    return ok == 1;
}

int plan_disc_layout(const DiscLayoutOptions& options, const fs::path& work, DiscLayout* layout, std::string* error)
{
    *layout = DiscLayout();
    if (!options.enabled)
        return 1;
    if (!plan_program(options.setup_program, "setup program", "--setup-exe", "setup.exe", layout, error) ||
        !plan_program(options.launcher_program, "launcher program", "--launcher-exe", "launcher.exe", layout, error))
        return 0;
    // Written into the work folder, so that it is measured and copied like
    // every other file.
    std::string autorun = autorun_text();
    fs::path autorun_file = work / "autorun.inf";
    if (!write_host_file(autorun_file, autorun, error))
        return 0;
    layout->files.push_back(LayoutFile{"autorun.inf", autorun_file, {}, false, autorun.size(), kOnFirst});
    if (!options.web_shortcut.empty()) {
        if (!is_file(options.web_shortcut)) {
            *error = "the web shortcut " + utf8_of(options.web_shortcut) + " is not a file";
            return 0;
        }
        std::error_code ec;
        layout->files.push_back(LayoutFile{kWebShortcutFileName,
                                           options.web_shortcut,
                                           {},
                                           false,
                                           fs::file_size(options.web_shortcut, ec),
                                           kOnFirst | kOnLast});
    }
    if (!options.data_folder.empty()) {
        if (!is_folder(options.data_folder)) {
            *error = "the data folder " + utf8_of(options.data_folder) + " is not a folder";
            return 0;
        }
        layout->files.push_back(LayoutFile{"data", {}, {}, true, 0, kOnFirst | kOnLast});
        if (!plan_tree(options.data_folder, "data", kOnFirst | kOnLast, layout, error))
            return 0;
    }
    if (!options.pictures.empty() && !plan_pictures(options.pictures, work, layout, error)) {
        layout->release();
        return 0;
    }
    return 1;
}
