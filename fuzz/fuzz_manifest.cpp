// Fuzz target: the uninstall manifest reader on the input as the file's
// bytes. Input: the first byte gives the install folder's length (0-255);
// the rest is the manifest. Every entry it accepts must be a path that
// stays inside the install folder and fits beside it.
#include "disc_format.h"
#include "record_path.h"
#include "tracked_memory.h"
#include "uninstall_manifest.h"

#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    int32_t install_length = data[0];
    int32_t live = tracked_stats().live;
    UninstallManifest m;
    int ok = m.parse((const char*)data + 1, (int32_t)(size - 1), install_length);
    if (!ok && (m.count != 0 || m.entries || !m.problem))
        abort();
    for (int32_t i = 0; ok && i < m.count; ++i) {
        const ManifestEntry& e = m.entries[i];
        size_t n = strlen(e.path);
        if (n == 0 || install_length + 1 + (int32_t)n > 259 || (e.kind != 'D' && e.kind != 'F'))
            abort();
        unsigned char record[300];
        record[0] = '\\';
        memcpy(record + 1, e.path, n + 1);
        // Accepted paths pass the record-path rules and are already in the
        // form the installation creates them in.
        char folded[kRecordPathBuffer];
        int32_t type = e.kind == 'D' ? disc::kDirectory : disc::kFile;
        if (!fold_record_path(type, record, (int32_t)n + 2, install_length, folded, nullptr) ||
            strcmp(folded, (const char*)record) != 0)
            abort();
    }
    m.release();
    if (tracked_stats().live != live)
        abort();
    return 0;
}
