#include "uninstall_manifest.h"

#include "disc_format.h"
#include "platform.h"
#include "record_path.h"
#include "tracked_memory.h"

#include <cstdio>
#include <cstring>

namespace {

int32_t finish(int n, int32_t size)
{
    return n > 0 && n < size ? (int32_t)n : 0;
}

// Reads a decimal number of 1 to 10 digits up to `*p`'s next blank, at most
// `max`. Advances `*p` past the digits.
int read_decimal(const char** p, const char* end, uint32_t max, uint32_t* value)
{
    const char* q = *p;
    uint64_t v = 0;
    int digits = 0;
    while (q < end && *q >= '0' && *q <= '9') {
        v = v * 10 + (uint64_t)(*q - '0');
        if (++digits > 10 || v > max)
            return 0;
        ++q;
    }
    if (digits == 0)
        return 0;
    *value = (uint32_t)v;
    *p = q;
    return 1;
}

int hex_value(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

}  // namespace

int32_t manifest_entry_line(char kind, uint32_t file_size, uint32_t crc, const char* path, char* out, int32_t size)
{
    if (!path || !out || size <= 0)
        return 0;
    int n = -1;
    if (kind == manifest::kFolder)
        n = snprintf(out, (size_t)size, "D %s\r\n", path);
    else if (kind == manifest::kFile)
        n = snprintf(out, (size_t)size, "F %lu %08lx %s\r\n", (unsigned long)file_size, (unsigned long)crc, path);
    int32_t length = finish(n, size);
    if (!length)
        out[0] = '\0';
    return length;
}

int32_t manifest_first_line(char* out, int32_t size)
{
    if (!out || size <= 0)
        return 0;
    return finish(snprintf(out, (size_t)size, "%s\r\n", manifest::kFirstLine), size);
}

int32_t manifest_end_line(int32_t count, char* out, int32_t size)
{
    if (!out || size <= 0 || count < 0)
        return 0;
    return finish(snprintf(out, (size_t)size, "%s %ld\r\n", manifest::kEndWord, (long)count), size);
}

void UninstallManifest::release()
{
    tracked_free(text);
    tracked_free(entries);
    text = nullptr;
    entries = nullptr;
    count = 0;
}

namespace {

// The fields of an entry line from p to stop: null, or why the line is
// refused. The path (at *path) is checked against the record-path rules.
const char* parse_entry(const char* p, const char* stop, int32_t install_path_length, ManifestEntry* e,
                        const char** path)
{
    e->kind = p[0];
    if ((e->kind != manifest::kFolder && e->kind != manifest::kFile) || p[1] != ' ')
        return "a line is neither a folder (D) nor a file (F)";
    const char* q = p + 2;
    if (e->kind == manifest::kFile) {
        if (!read_decimal(&q, stop, 0x7FFFFFFF, &e->size) || q >= stop || *q != ' ')
            return "a file line has no valid size";
        ++q;
        uint32_t crc = 0;
        for (int i = 0; i < 8; ++i) {
            int v = q + i < stop ? hex_value(q[i]) : -1;
            if (v < 0)
                return "a file line has no valid checksum (8 hex digits)";
            crc = crc << 4 | (uint32_t)v;
        }
        q += 8;
        if (q >= stop || *q != ' ')
            return "a file line has no path after its checksum";
        ++q;
        e->crc = crc;
    }
    // The path with a leading "\", as a record path, under the install folder.
    int32_t path_length = (int32_t)(stop - q);
    if (path_length <= 0 || path_length >= PLAT_PATH_SIZE)
        return "a path is empty or longer than a path can be";
    unsigned char record[PLAT_PATH_SIZE + 1];
    record[0] = '\\';
    memcpy(record + 1, q, (size_t)path_length + 1);
    // The path must pass the record-path rules and already be in the form
    // Windows gives it (no trailing dot, space or separator to fold away),
    // so the name deleted is exactly the name the installation created.
    const char* why = nullptr;
    char folded[kRecordPathBuffer];
    int32_t type = e->kind == manifest::kFolder ? disc::kDirectory : disc::kFile;
    if (!fold_record_path(type, record, path_length + 2, install_path_length, folded, &why))
        return why ? why : "a path is refused";
    if (strcmp(folded, (const char*)record) != 0)
        return "a path is not in the form the installation creates";
    *path = q;
    return nullptr;
}

}  // namespace

int UninstallManifest::parse(const char* bytes, int32_t length, int32_t install_path_length)
{
    release();
    bad_line = 0;
    problem = nullptr;
    auto refuse = [this](int32_t line, const char* why) {
        release();
        bad_line = line;
        problem = why;
        return 0;
    };
    if (!bytes || length < 0 || length > manifest::kMaxBytes)
        return refuse(0, "the manifest is larger than a manifest can be");
    if (memchr(bytes, '\0', (size_t)length))
        return refuse(0, "the manifest holds a NUL byte");

    // Every line but the first and the last is an entry: at most one entry
    // per line end.
    int32_t line_ends = 0;
    for (int32_t i = 0; i < length; ++i)
        line_ends += bytes[i] == '\n';
    text = (char*)tracked_alloc((size_t)length + 1);
    memcpy(text, bytes, (size_t)length);
    text[length] = '\0';
    entries = (ManifestEntry*)tracked_alloc(sizeof(ManifestEntry) * (size_t)(line_ends > 0 ? line_ends : 1));

    char* p = text;
    char* const end = text + length;
    int32_t line = 0;
    int ended = 0;
    while (p < end) {
        ++line;
        char* nl = (char*)memchr(p, '\n', (size_t)(end - p));
        if (!nl)
            return refuse(line, "the last line has no line end (the manifest is cut short)");
        char* stop = nl;
        if (stop > p && stop[-1] == '\r')
            --stop;
        *stop = '\0';
        char* next = nl + 1;
        if (ended)
            return refuse(line, "a line follows the END line");
        if (line == 1) {
            if (strcmp(p, manifest::kFirstLine) != 0)
                return refuse(line, "the first line is not \"UNINSTALL-MANIFEST 1\"");
            p = next;
            continue;
        }
        const char* q = p;
        if (strncmp(p, "END ", 4) == 0) {
            q = p + 4;
            uint32_t n = 0;
            if (!read_decimal(&q, stop, 0x7FFFFFFF, &n) || q != stop)
                return refuse(line, "the END line does not give a number");
            if ((int32_t)n != count)
                return refuse(line, "the END line counts another number of entries");
            ended = 1;
            p = next;
            continue;
        }
        ManifestEntry e = {};
        const char* why = parse_entry(p, stop, install_path_length, &e, &q);
        if (why)
            return refuse(line, why);
        e.path = q;
        entries[count++] = e;
        p = next;
    }
    if (line == 0)
        return refuse(0, "the manifest is empty");
    if (!ended)
        return refuse(line, "the manifest has no END line (it is cut short)");
    return 1;
}

int UninstallManifest::read(const char* path, int32_t install_path_length)
{
    release();
    bad_line = 0;
    problem = "the manifest cannot be read";
    FILE* f = plat_fopen(path, "rb");
    if (!f)
        return 0;
    char* buffer = nullptr;
    long size = -1;
    if (fseek(f, 0, SEEK_END) == 0)
        size = ftell(f);
    int ok = 0;
    if (size < 0 || size > manifest::kMaxBytes) {
        problem = size < 0 ? "the manifest cannot be read" : "the manifest is larger than a manifest can be";
    } else if (fseek(f, 0, SEEK_SET) == 0) {
        buffer = (char*)tracked_alloc((size_t)size + 1);
        if (fread(buffer, 1, (size_t)size, f) == (size_t)size)
            ok = parse(buffer, (int32_t)size, install_path_length);
    }
    fclose(f);
    tracked_free(buffer);
    return ok;
}
