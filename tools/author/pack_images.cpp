#include "pack_images.h"

#include "disc_names.h"
#include "iso_image.h"

#include <set>

namespace pack {

namespace {

// UTF-16 units of a UTF-8 name, as the Joliet tree stores it.
size_t utf16_units(const std::string& utf8)
{
    size_t units = 0;
    for (unsigned char c : utf8) {
        if ((c & 0xC0) != 0x80)
            ++units;
        if ((c & 0xF8) == 0xF0)
            ++units;  // a character beyond the BMP takes two units
    }
    return units;
}

}  // namespace

// Files of an earlier run that the layout or the images would replace.
int check_layout_targets(const fs::path& out, const DiscLayout& layout, const DiscPackOptions& options,
                         std::string* error)
{
    std::error_code ec;
    std::vector<fs::path> found = layout.existing_in(out / "disc1", kOnFirst);
    if (!options.overwrite && !found.empty()) {
        *error = utf8_of(out) + " already holds " + utf8_of(found[0]) + "; use --force to replace it";
        return 0;
    }
    for (int n = 1;; ++n) {
        fs::path image = out / ("disc" + std::to_string(n) + ".iso");
        if (!fs::exists(fs::symlink_status(image, ec)))
            break;
        if (!options.overwrite) {
            *error = utf8_of(out) + " already holds an image (" + utf8_of(image) + "); use --force to replace it";
            return 0;
        }
        fs::remove(image, ec);
        if (ec) {
            *error = "cannot remove " + utf8_of(image) + ": " + ec.message();
            return 0;
        }
    }
    if (options.iso)
        for (const LayoutFile& f : layout.files)
            for (const fs::path& part : host_path_from_utf8(f.disc_path))
                if (utf16_units(utf8_of(part)) > (size_t)iso::kMaxJolietName) {
                    *error = "the name " + utf8_of(part) + " (" + f.disc_path + ") is longer than the " +
                             std::to_string(iso::kMaxJolietName) +
                             " characters a Joliet name holds; Windows would see it cut short";
                    return 0;
                }
    return 1;
}

namespace {

// The entries of disc `number`'s image: its disc file from `cd_source` and
// the layout files of its role (folders from an empty folder, so that only
// what the set holds is in the image).
std::vector<IsoEntry> image_entries(const DiscLayout& layout, int32_t number, unsigned role, const fs::path& cd_source,
                                    const fs::path& empty_folder)
{
    std::vector<IsoEntry> entries{{"/" + disc_file_name_of(number), cd_source}};
    for (const LayoutFile& f : layout.files)
        if (f.discs & role)
            entries.push_back({"/" + f.disc_path, f.is_directory ? empty_folder : f.source});
    return entries;
}

unsigned role_of(int32_t number, int32_t count)
{
    return number == 1 ? kOnFirst : number == count ? kOnLast : kOnMiddle;
}

}  // namespace

int StructureSizes::sectors(int32_t number, unsigned role, int64_t* out, std::string* error)
{
    auto key = std::make_pair(role, disc_file_name_of(number).size());
    auto k = known.find(key);
    if (k != known.end()) {
        *out = k->second;
        return 1;
    }
    std::error_code ec;
    fs::path empty_file = work / "empty";
    fs::create_directories(empty_folder(), ec);
    if (!fs::exists(empty_file, ec) && !write_host_file(empty_file, "", error))
        return 0;
    if (!iso_measure_sectors(image_entries(*layout, number, role, empty_file, empty_folder()), volume_id, out, error))
        return 0;
    known[key] = *out;
    return 1;
}
// Puts the layout beside each disc file and writes the images.
int write_layout_and_images(const fs::path& out, const DiscLayout& layout, const DiscPackOptions& options,
                            StructureSizes* sizes, DiscPackResult* result, std::vector<fs::path>* created,
                            std::string* error)
{
    const int32_t count = result->disc_count;
    for (int32_t n = 1; n <= count; ++n) {
        unsigned role = role_of(n, count);
        fs::path folder = out / ("disc" + std::to_string(n));
        if (!layout.write_into(folder, role, created, error))
            return 0;
        result->layout_bytes.push_back(layout.bytes_on(role));
        // Anything else in the folder (left by an earlier run, say) is not
        // part of the set: it is named, kept, and not put into the image.
        std::set<std::string> expected{disc_file_name_of(n)};
        for (const LayoutFile& f : layout.files)
            if (f.discs & role)
                expected.insert(f.disc_path);
        std::error_code ec;
        for (fs::recursive_directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
            std::string relative = utf8_of(it->path().lexically_relative(folder));
            std::replace(relative.begin(), relative.end(), '\\', '/');
            if (!expected.count(relative)) {
                result->stray_files.push_back(utf8_of(it->path()));
                it.disable_recursion_pending();
            }
        }
    }
    if (!options.iso)
        return 1;
    for (int32_t n = 1; n <= count; ++n) {
        std::string volume_id = iso_volume_id(options.product, options.regkey, n);
        fs::path image = out / ("disc" + std::to_string(n) + ".iso");
        int64_t structure = 0;
        if (!sizes->sectors(n, role_of(n, count), &structure, error))
            return 0;
        fs::path folder = out / ("disc" + std::to_string(n));
        if (!iso_write_image(image_entries(layout, n, role_of(n, count), folder / disc_file_name_of(n),
                                           sizes->empty_folder()),
                             image, volume_id, error))
            return 0;
        created->push_back(image);
        std::error_code ec;
        int64_t bytes = (int64_t)fs::file_size(image, ec);
        int64_t expected = iso_image_bytes(structure, result->disc_bytes[(size_t)n - 1]);
        int64_t limit = options.disc_size - (n == 1 ? options.first_disc_reserve : 0);
        if (ec || bytes != expected || bytes > limit) {
            *error = "the image " + utf8_of(image) + " takes " + std::to_string(bytes) + " bytes where " +
                     std::to_string(expected) + " were counted (limit " + std::to_string(limit) + ")";
            return 0;
        }
        result->image_bytes.push_back(bytes);
        result->volume_ids.push_back(volume_id);
    }
    return 1;
}

}  // namespace pack
