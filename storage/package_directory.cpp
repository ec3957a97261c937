#include "package_directory.h"

#include "apkg_format.h"
#include "file_object.h"
#include "tracked_memory.h"

#include <cstring>

int PackageDirectory::read(FileObject* package)
{
    release();
    unsigned char header[apkg::kHeaderSize];
    int32_t file_size = package->size();
    if (file_size < apkg::kHeaderSize || !package->seek(0) ||
        package->read(header, apkg::kHeaderSize) != apkg::kHeaderSize)
        return 0;
    if (memcmp(header, apkg::kMagic, sizeof apkg::kMagic) != 0)
        return 0;
    int32_t dir_offset = get_le32(header + apkg::kDirectoryOffsetAt);
    int32_t n = get_le32(header + apkg::kEntryCountAt);
    // The directory must lie inside the file: this also bounds the count, so
    // a huge count cannot ask for a huge block.
    if (n < 0 || dir_offset < apkg::kHeaderSize || dir_offset > file_size ||
        n > (file_size - dir_offset) / apkg::kEntrySize)
        return 0;
    package_size = file_size;
    count = n;
    if (n == 0)
        return 1;
    int32_t bytes = n * apkg::kEntrySize;
    entries = (unsigned char*)tracked_alloc((size_t)bytes);
    if (!package->seek(dir_offset) || package->read(entries, bytes) != bytes) {
        release();
        return 0;
    }
    return 1;
}

void PackageDirectory::release()
{
    tracked_free(entries);
    entries = nullptr;
    count = 0;
}

char* PackageDirectory::name(int32_t i)
{
    char* field = (char*)entries + (size_t)i * apkg::kEntrySize;
    return memchr(field, '\0', apkg::kNameSize) ? field : nullptr;
}

int32_t PackageDirectory::data_offset(int32_t i) const
{
    return get_le32(entries + (size_t)i * apkg::kEntrySize + apkg::kDataOffsetAt);
}

int32_t PackageDirectory::data_size(int32_t i) const
{
    return get_le32(entries + (size_t)i * apkg::kEntrySize + apkg::kDataSizeAt);
}

int PackageDirectory::entry_valid(int32_t i)
{
    int32_t off = data_offset(i), sz = data_size(i);
    return name(i) != nullptr && off >= 0 && sz >= 0 && (int64_t)off + sz <= package_size;
}
