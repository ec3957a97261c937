#include "disc_header.h"

#include "byte_order.h"

#include <cstring>

void decode_disc_header(const unsigned char* bytes, DiscHeader* header)
{
    memset(header, 0, sizeof *header);
    memcpy(header->company, bytes + disc::kCompanyAt, disc::kTextSize);
    memcpy(header->product, bytes + disc::kProductAt, disc::kTextSize);
    memcpy(header->regkey, bytes + disc::kRegkeyAt, disc::kTextSize);
    memcpy(header->exe, bytes + disc::kExeAt, disc::kTextSize);
    header->disc_count = get_le32(bytes + disc::kDiscCountAt);
    header->total_size = get_le32(bytes + disc::kTotalSizeAt);
}

int read_disc_header(FileObject* file, DiscHeader* header)
{
    unsigned char bytes[disc::kHeaderSize];
    memset(header, 0, sizeof *header);
    int32_t got = 0;
    // A member or a pipe may deliver less than asked; keep reading to the end.
    while (got < disc::kHeaderSize) {
        int32_t n = file->read(bytes + got, disc::kHeaderSize - got);
        if (n <= 0)
            return 0;
        got += n;
    }
    decode_disc_header(bytes, header);
    return 1;
}
