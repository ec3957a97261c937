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
    // The stride of any 32-bit sizes fits 64 bits; the product is formed
    // only when it fits 32.
    int64_t stride = picture_stride(width, bpp);
    header->biSizeImage = 0;
    if (stride >= 0 && height >= 0 && (stride == 0 || height <= (int64_t)UINT32_MAX / stride))
        header->biSizeImage = (uint32_t)(stride * height);
    return 1;
}
