#include "setup_finish.h"

#include "copy_file.h"
#include "copy_tree.h"
#include "file_object.h"
#include "registration.h"
#include "setup_paths.h"
#include "setup_texts.h"

#include <cstdio>

namespace {

int fits(int n)
{
    return n >= 0 && n < kSetupPathSize;
}

}  // namespace

void finish_installation(const char* install_path, const char* source_root, const DiscHeader& header)
{
    char path[kSetupPathSize];

    if (fits(snprintf(path, sizeof path, "%s\\%s", source_root, kDataFolderName)))
        copy_tree(path, install_path);

    if (fits(snprintf(path, sizeof path, "%s\\%s", install_path, kUninstallDataName))) {
        FileObject file;
        if (file.open_write(path)) {
            file.write(header.regkey, disc::kTextSize);
            file.close();
        }
    }

    char programs[kSetupPathSize] = "";
    if (programs_folder_path(nullptr, programs) && programs[0] &&
        fits(snprintf(path, sizeof path, "%s\\%s\\%s\\%s", programs, header.company, header.product,
                      kWebShortcut)))
        copy_file(kWebShortcut, path);
}
