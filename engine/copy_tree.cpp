#include "copy_tree.h"

#include "copy_file.h"
#include "platform.h"

#include <cstdio>
#include <cstring>

namespace {

bool is_dot_entry(const char* name)
{
    return strcmp(name, ".") == 0 || strcmp(name, "..") == 0;
}

// One level of copy_tree; `top` is the destination of the whole copy.
// 1 when every file below it was copied, else 0.
int copy_level(const char* source_directory, const char* destination_directory, const char* top)
{
    char remembered[PLAT_PATH_SIZE];
    // Without a way back the walk must not start; and when the source cannot
    // be entered, the directory that happens to be current is not the source.
    if (!plat_get_current_directory(remembered, PLAT_PATH_SIZE))
        return 1;
    if (!plat_set_current_directory(source_directory))
        return 1;
    // A tree copied onto itself would only have every file copied onto
    // itself: there is nothing to do.
    if (plat_same_file(".", destination_directory)) {
        plat_set_current_directory(remembered);
        return 1;
    }
    int all = 1;

    plat_create_directory(destination_directory);  // fails harmlessly when it exists

    DirListing listing;
    DirEntry entry;
    if (listing.open(".", &entry)) {
        do {
            char destination[PLAT_PATH_SIZE];
            int n = snprintf(destination, sizeof destination, "%s\\%s", destination_directory, entry.name);
            if (n < 0 || n >= PLAT_PATH_SIZE)
                continue;  // a destination path that does not fit is not used
            // Entries are named by their bare names, relative to the
            // directory being listed, which is current now.
            if (!(entry.attrib & PLAT_ATTR_DIRECTORY)) {
                if (!copy_file(entry.name, destination))
                    all = 0;
            } else if (!is_dot_entry(entry.name) && !plat_same_file(entry.name, top)) {
                // The destination inside the source is not copied: its copy
                // would land inside itself, again at every level, until the
                // paths grew too long.
                if (!copy_level(entry.name, destination, top))
                    all = 0;
            }
        } while (listing.next(&entry));
        listing.close();
    }
    plat_set_current_directory(remembered);
    return all;
}

}  // namespace

int copy_tree(const char* source_directory, const char* destination_directory)
{
    if (!source_directory || !destination_directory)
        return 1;
    return copy_level(source_directory, destination_directory, destination_directory);
}
