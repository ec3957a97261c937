#include "bitmap_header.h"

#include "picture_stride.h"
#include "tracked_memory.h"

#include <cstring>

int make_bitmap_header(BitmapHeader** out, int32_t width, int32_t height, int32_t bpp)
{
    int32_t bytes = bpp == 8 ? kBitmapHeaderWithTableBytes : kBitmapHeaderBytes;
    BitmapHeader* header = (BitmapHeader*)tracked_alloc((size_t)bytes);
    *out = header;
    if (!header)
        return 0;
    memset(header, 0, (size_t)bytes);
    header->biSize = kBitmapHeaderBytes;
    header->biWidth = width;
    header->biHeight = height;
    header->biPlanes = 1;
    header->biBitCount = (uint16_t)bpp;
    header->biCompression = 0;
    int64_t image_bytes = picture_stride(width, bpp) * (int64_t)height;
    header->biSizeImage = image_bytes >= 0 && image_bytes <= UINT32_MAX ? (uint32_t)image_bytes : 0;
    return 1;
}
