#include "setup_header.h"

#include "disc_header.h"
#include "engine_texts.h"
#include "file_object.h"
#include "platform.h"
#include "setup_paths.h"

#include <cstring>

int read_setup_header(const char* source_root, DiscHeader* header)
{
    memset(header, 0, sizeof *header);
    char cd1[PLAT_PATH_SIZE];
    if (!first_disc_path(source_root, cd1))
        return 0;
    FileObject disc;
    if (!disc.open_read(cd1))
        return 0;
    int read = read_disc_header(&disc, header);
    disc.close();
    // The texts become the proposed folder, the group folder, link names
    // and the registry key; a header that cannot be trusted with that ends
    // setup before the path dialog.
    if (!read || !check_disc_header(header, nullptr, nullptr)) {
        memset(header, 0, sizeof *header);
        plat_message_box(nullptr, engine_text::kDataDamaged, engine_text::kDiskErrorCaption, PLAT_MB_OK);
        return 0;
    }
    return 1;
}
