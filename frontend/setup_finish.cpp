#include "setup_finish.h"

#include "copy_file.h"
#include "copy_tree.h"
#include "file_object.h"
#include "platform.h"
#include "registration.h"
#include "setup_paths.h"
#include "setup_texts.h"

#include <cstdio>

namespace {

int fits(int n)
{
    return n >= 0 && n < PLAT_PATH_SIZE;
}

}  // namespace

int finish_installation(const char* install_path, const char* source_root, const DiscHeader& header)
{
    char path[PLAT_PATH_SIZE];
    int all = 1;

    if (fits(snprintf(path, sizeof path, "%s\\%s", source_root, kDataFolderName)) && !copy_tree(path, install_path))
        all = 0;

    if (fits(snprintf(path, sizeof path, "%s\\%s", install_path, kUninstallDataName))) {
        FileObject file;
        if (!file.open_write(path)) {
            all = 0;
        } else {
            // The close writes the buffered bytes: it must work as well.
            int written = file.write(header.regkey, disc::kTextSize);
            if (!file.close() || !written)
                all = 0;
        }
    }

    char programs[PLAT_PATH_SIZE] = "";
    if (programs_folder_path(nullptr, programs) && programs[0] &&
        fits(snprintf(path, sizeof path, "%s\\%s\\%s\\%s", programs, header.company, header.product, kWebShortcut)) &&
        !copy_file(kWebShortcut, path) && plat_file_attributes(kWebShortcut) != PLAT_ATTR_INVALID)
        all = 0;  // a web shortcut that is there but could not be copied
    return all;
}
