#include "disc_header.h"

#include "byte_order.h"
#include "record_path.h"

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

std::string encode_disc_header(const DiscHeaderFields& fields)
{
    std::string header((size_t)disc::kHeaderSize, '\0');
    auto put_text = [&](int at, const std::string& text) {
        size_t n = text.size() < (size_t)disc::kTextSize ? text.size() : (size_t)disc::kTextSize;
        memcpy(&header[(size_t)at], text.data(), n);
    };
    put_text(disc::kCompanyAt, fields.company);
    put_text(disc::kProductAt, fields.product);
    put_text(disc::kRegkeyAt, fields.regkey);
    put_text(disc::kExeAt, fields.exe);
    put_le32((unsigned char*)&header[disc::kDiscCountAt], fields.disc_count);
    put_le32((unsigned char*)&header[disc::kTotalSizeAt], fields.total_size);
    return header;
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

namespace {

int refuse(const char** problem, const char* text)
{
    if (problem)
        *problem = text;
    return 0;
}

int check_single_name(const char* text, const char** problem)
{
    return check_path_component((const unsigned char*)text, (int32_t)strlen(text), problem);
}

// A relative path: each component between separators is a name of its own.
int check_relative_path(const char* text, const char** problem)
{
    const char* component = text;
    for (;;) {
        const char* next = find_separator(component);
        const char* stop = next ? next : component + strlen(component);
        if (!check_path_component((const unsigned char*)component, (int32_t)(stop - component), problem))
            return 0;
        if (!next)
            return 1;
        component = next + 1;
    }
}

}  // namespace

const char* disc_header_field_name(int32_t field_at)
{
    struct FieldName {
        int32_t at;
        const char* name;
    };
    static const FieldName kNames[] = {
        {disc::kCompanyAt, "company"},  {disc::kProductAt, "product"},      {disc::kRegkeyAt, "registry key"},
        {disc::kExeAt, "game program"}, {disc::kDiscCountAt, "disc count"}, {disc::kTotalSizeAt, "total size"},
    };
    for (const FieldName& field : kNames)
        if (field.at == field_at)
            return field.name;
    return "";
}

int check_disc_header_field(const DiscHeader* header, int32_t field_at, const char** problem)
{
    if (problem)
        *problem = "";
    switch (field_at) {
    case disc::kCompanyAt:
        return check_single_name(header->company, problem);
    case disc::kProductAt:
        return check_single_name(header->product, problem);
    case disc::kRegkeyAt:
        return check_single_name(header->regkey, problem);
    case disc::kExeAt:
        return check_relative_path(header->exe, problem);
    case disc::kDiscCountAt:
        return header->disc_count >= 0 ? 1 : refuse(problem, "negative disc count");
    case disc::kTotalSizeAt:
        return header->total_size >= 0 ? 1 : refuse(problem, "negative total size");
    }
    return refuse(problem, "no header field at this offset");
}

int check_disc_header(const DiscHeader* header, int32_t* field_at, const char** problem)
{
    for (int32_t at : kDiscHeaderFields) {
        if (!check_disc_header_field(header, at, problem)) {
            if (field_at)
                *field_at = at;
            return 0;
        }
    }
    return 1;
}
