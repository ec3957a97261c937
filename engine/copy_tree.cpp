#include "copy_tree.h"

#include "copy_file.h"
#include "platform.h"

#include <cstdio>
#include <cstring>

namespace {

const int kPathSize = 260;

bool is_dot_entry(const char* name)
{
    return strcmp(name, ".") == 0 || strcmp(name, "..") == 0;
}

// One level of copy_tree; `top` is the destination of the whole copy.
void copy_level(const char* source_directory, const char* destination_directory, const char* top)
{
    char remembered[kPathSize];
    // Without a way back the walk must not start; and when the source cannot
    // be entered, the directory that happens to be current is not the source.
    if (!plat_get_current_directory(remembered, kPathSize))
        return;
    if (!plat_set_current_directory(source_directory))
        return;
    // A tree copied onto itself would only have every file copied onto
    // itself: there is nothing to do.
    if (plat_same_file(".", destination_directory)) {
        plat_set_current_directory(remembered);
        return;
    }

    plat_create_directory(destination_directory);  // fails harmlessly when it exists

    DirListing listing;
    DirEntry entry;
    if (listing.open(".", &entry)) {
        do {
            char destination[kPathSize];
            int n = snprintf(destination, sizeof destination, "%s\\%s", destination_directory, entry.name);
            if (n < 0 || n >= kPathSize)
                continue;  // a destination path that does not fit is not used
            // Entries are named by their bare names, relative to the
            // directory being listed, which is current now.
            if (!(entry.attrib & PLAT_ATTR_DIRECTORY))
                copy_file(entry.name, destination);
            else if (!is_dot_entry(entry.name) && !plat_same_file(entry.name, top))
                // The destination inside the source is not copied: its copy
                // would land inside itself, again at every level, until the
                // paths grew too long.
                copy_level(entry.name, destination, top);
        } while (listing.next(&entry));
        listing.close();
    }
    plat_set_current_directory(remembered);
}

}  // namespace

void copy_tree(const char* source_directory, const char* destination_directory)
{
    if (!source_directory || !destination_directory)
        return;
    copy_level(source_directory, destination_directory, destination_directory);
}
