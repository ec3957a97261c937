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

}  // namespace

void copy_tree(const char* source_directory, const char* destination_directory)
{
    if (!source_directory || !destination_directory)
        return;
    char remembered[kPathSize];
    // Without a way back the walk must not start; and when the source cannot
    // be entered, the directory that happens to be current is not the source.
    if (!plat_get_current_directory(remembered, kPathSize))
        return;
    if (!plat_set_current_directory(source_directory))
        return;

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
            else if (!is_dot_entry(entry.name))
                copy_tree(entry.name, destination);
        } while (listing.next(&entry));
        listing.close();
    }
    plat_set_current_directory(remembered);
}
