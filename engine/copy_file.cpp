#include "copy_file.h"

#include "file_object.h"
#include "platform.h"

#include <cstdlib>

int copy_file(const char* source_path, const char* destination_path)
{
    if (!source_path || !destination_path)
        return 0;
    FileObject source, destination;
    if (!source.open_read(source_path))
        return 0;
    // Opening the destination truncates it: when it is the source itself
    // (two spellings of one name, a link, or the package holding a source
    // member), that would empty the very file to be copied. Leave it alone.
    if (source.is_file(destination_path)) {
        source.close();
        return 0;
    }
    // The transfer buffer is plain heap, not tracked memory, and far too big
    // for the stack.
    unsigned char* buffer = (unsigned char*)malloc(kCopyChunkSize);
    if (!buffer) {
        source.close();
        return 0;
    }
    if (!destination.open_write(destination_path)) {
        free(buffer);
        source.close();
        return 0;
    }

    int complete = 1;
    for (;;) {
        int32_t got = source.read(buffer, kCopyChunkSize);
        if (got <= 0) {
            // Nothing more arrived: the end of the source, or a read error,
            // after which the copy is short.
            if (source.read_failed())
                complete = 0;
            break;
        }
        if (!destination.write(buffer, got)) {
            complete = 0;  // disk full or similar: stop here
            break;
        }
    }
    // Buffered data reach the disk when the file is closed, so a full disk
    // may show only here.
    if (!destination.close())
        complete = 0;
    source.close();
    free(buffer);

    if (!complete) {
        plat_remove_file(destination_path);
        return 0;
    }
    return 1;
}
