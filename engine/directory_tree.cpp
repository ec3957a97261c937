#include "directory_tree.h"

#include "install_journal.h"
#include "platform.h"
#include "record_path.h"

#include <cstring>

namespace {

void create_level(const char* path, InstallJournal* journal)
{
    if (!path[0])
        return;  // the part before a leading "\"
    if (plat_create_directory(path) && journal)
        journal->add(InstallJournal::kDirectory, path);
}

bool is_dot_entry(const char* name)
{
    return strcmp(name, ".") == 0 || strcmp(name, "..") == 0;
}

// Deletes the contents of the current directory.
void clear_current_directory()
{
    DirListing listing;
    DirEntry entry;
    if (!listing.open(".", &entry))
        return;
    do {
        if (is_dot_entry(entry.name))
            continue;
        if (!(entry.attrib & PLAT_ATTR_DIRECTORY))
            plat_remove_file(entry.name);
        else if (entry.attrib & PLAT_ATTR_REPARSE_POINT)
            plat_remove_directory(entry.name);
        else
            remove_tree(entry.name);
    } while (listing.next(&entry));
    listing.close();
}

}  // namespace

void make_parent_folders(const char* full, size_t base_length, InstallJournal* journal)
{
    char parent[PLAT_PATH_SIZE];
    const char* last = find_last_separator(full);
    size_t n = last ? (size_t)(last - full) : 0;
    if (n <= base_length || n >= sizeof parent)
        return;
    memcpy(parent, full, n);
    parent[n] = '\0';
    make_directory_path(parent, journal);
}

void make_directory_path(const char* path, InstallJournal* journal)
{
    char level[PLAT_PATH_SIZE];
    size_t len = strlen(path);
    if (len >= sizeof level)
        return;  // no level of an over-long path is created
    memcpy(level, path, len + 1);
    for (const char* sep = find_separator(level); sep; sep = find_separator(sep + 1)) {
        char* cut = level + (sep - level);
        *cut = '\0';
        create_level(level, journal);
        *cut = '\\';
    }
    create_level(level, journal);
}

int remove_tree(const char* directory)
{
    char previous[PLAT_PATH_SIZE];
    if (!plat_get_current_directory(previous, sizeof previous))
        return 0;  // without a way back nothing is touched
    if (!plat_set_current_directory(directory))
        return 0;
    clear_current_directory();
    // A directory cannot be removed while it is current (on Windows); go back
    // first. `directory` names the same folder from there as it did at the call.
    if (!plat_set_current_directory(previous))
        return 0;
    return plat_remove_directory(directory);
}
