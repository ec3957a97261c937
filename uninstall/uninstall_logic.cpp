#include "uninstall_logic.h"

#include "compose_text.h"
#include "platform.h"
#include "record_path.h"
#include "registration.h"
#include "shell_registry.h"
#include "tracked_memory.h"
#include "uninstall_manifest.h"
#include "uninstall_texts.h"

#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <new>

namespace {

const int kTextSize = 40;     // the regkey field in uninstall.dat
const int kListedNames = 12;  // names shown in one list of a box
const unsigned kIconInformation = 0x40;
const unsigned kIconQuestion = 0x20;

// The text of a box, built piece by piece; what does not fit is left out.
struct BoxText {
    char text[4096];
    int32_t used;
    int32_t listed;    // names in the list being built
    int32_t unlisted;  // names of that list left out

    BoxText() : used(0), listed(0), unlisted(0) { text[0] = '\0'; }

    void add(const char* s)
    {
        size_t n = strlen(s);
        if ((size_t)used + n + 1 > sizeof text)
            return;
        memcpy(text + used, s, n + 1);
        used += (int32_t)n;
    }
    void addf(const char* format, const char* arg)
    {
        char line[1024];
        if (compose_text(line, sizeof line, format, arg))
            add(line);
    }
    // Starts a list under `head`; names follow with name().
    void start_list(const char* head)
    {
        end_list();
        add(head);
    }
    void name(const char* n)
    {
        if (listed >= kListedNames) {
            ++unlisted;
            return;
        }
        ++listed;
        add("\n  ");
        add(n);
    }
    void end_list()
    {
        if (unlisted > 0) {
            char line[128];
            snprintf(line, sizeof line, uninstall_text::kMoreFormat, (int)unlisted);
            add(line);
        }
        listed = 0;
        unlisted = 0;
    }
};

int show(const BoxText& box, unsigned type)
{
    return plat_message_box(nullptr, box.text, uninstall_text::kCaption, type);
}

int fail_with(const char* text)
{
    plat_message_box(nullptr, text, uninstall_text::kCaption, PLAT_MB_OK | PLAT_MB_ICONERROR);
    return kUninstallFailed;
}

int fail_with(const char* format, const char* arg)
{
    BoxText box;
    box.addf(format, arg);
    return fail_with(box.text);
}

char ascii_upper(char c)
{
    return c >= 'a' && c <= 'z' ? (char)(c - 'a' + 'A') : c;
}

// Two system paths name the same folder: equal without regard to ASCII
// case (Big5 characters compared byte for byte), one trailing "\" ignored.
int same_folder(const char* a, const char* b)
{
    size_t la = strlen(a), lb = strlen(b);
    if (la > 0 && last_separator_char(const_cast<char*>(a)))
        --la;
    if (lb > 0 && last_separator_char(const_cast<char*>(b)))
        --lb;
    if (la != lb)
        return 0;
    for (size_t i = 0; i < la; ++i) {
        unsigned char c = (unsigned char)a[i];
        if (is_dbcs_lead(c) && i + 1 < la) {
            if (a[i] != b[i] || a[i + 1] != b[i + 1])
                return 0;
            ++i;
        } else if (ascii_upper(a[i]) != ascii_upper(b[i])) {
            return 0;
        }
    }
    return 1;
}

int is_name(const char* text)
{
    return check_path_component((const unsigned char*)text, (int32_t)strlen(text), nullptr);
}

// "X:\...": a folder on a drive of this machine. Anything else (a network
// name, a device path) is never opened on the registry's word.
int is_drive_path(const char* path)
{
    char letter = ascii_upper(path[0]);
    return letter >= 'A' && letter <= 'Z' && path[1] == ':' && path[2] == '\\';
}

int is_file(const char* path)
{
    uint32_t a = plat_file_attributes(path);
    return a != PLAT_ATTR_INVALID && !(a & PLAT_ATTR_DIRECTORY);
}

int is_folder(const char* path)
{
    uint32_t a = plat_file_attributes(path);
    return a != PLAT_ATTR_INVALID && (a & PLAT_ATTR_DIRECTORY);
}

// Reads uninstall.dat: exactly 40 bytes, a key name up to the first NUL.
int read_regkey(const char* path, char* regkey)
{
    FILE* f = plat_fopen(path, "rb");
    if (!f)
        return 0;
    char bytes[kTextSize + 1];
    size_t n = fread(bytes, 1, sizeof bytes, f);
    fclose(f);
    if (n != (size_t)kTextSize)
        return 0;
    bytes[kTextSize] = '\0';
    strcpy(regkey, bytes);
    // One key name: no separator, nothing Windows could read another way.
    return regkey[0] && is_name(regkey);
}

// A list of system paths (each up to 259 bytes) in tracked memory.
struct PathList {
    char (*paths)[PLAT_PATH_SIZE];
    const char** shown;  // the name to show for each: relative or the path itself
    int32_t count;
    int32_t room;

    PathList() : paths(nullptr), shown(nullptr), count(0), room(0) {}

    void add(const char* path, const char* name)
    {
        if (count == room) {
            int32_t more = room ? room * 2 : 64;
            char(*p)[PLAT_PATH_SIZE] = (char(*)[PLAT_PATH_SIZE])tracked_alloc(sizeof(*paths) * (size_t)more);
            const char** s = (const char**)tracked_alloc(sizeof(*shown) * (size_t)more);
            if (count) {
                memcpy(p, paths, sizeof(*paths) * (size_t)count);
                memcpy(s, shown, sizeof(*shown) * (size_t)count);
            }
            tracked_free(paths);
            tracked_free(shown);
            paths = p;
            shown = s;
            room = more;
        }
        strcpy(paths[count], path);
        shown[count] = name;
        ++count;
    }
    void release()
    {
        tracked_free(paths);
        tracked_free(shown);
        paths = nullptr;
        shown = nullptr;
        count = room = 0;
    }
};

// How an entry below a folder is reached.
enum Way {
    kDirect = 0,      // through no link (or it is absent)
    kIsLink = 1,      // the entry itself is a link
    kBehindLink = 2,  // a folder on the way to it is a link
};

// Everything one run knows and decides.
struct Uninstall {
    char folder[PLAT_PATH_SIZE];
    char dat[PLAT_PATH_SIZE], list[PLAT_PATH_SIZE];
    char regkey[kTextSize + 1];
    char key_path[kUninstallEntrySize];
    char product[PLAT_PATH_SIZE], company[PLAT_PATH_SIZE], path[PLAT_PATH_SIZE];
    // The group of the current user's Programs folder and that of all
    // users' (setup uses the latter when elevated as another user): setup
    // and the uninstaller may run as different users, so both are looked
    // in. Empty when the shell gives no such folder.
    char company_folder[2][PLAT_PATH_SIZE], group[2][PLAT_PATH_SIZE];
    UninstallManifest manifest;
    PathList remove;    // files to delete first: unchanged files of the set, the links
    PathList changed;   // files of the set the user changed: kept
    PathList problems;  // files that cannot be deleted now
    PathList left;      // what failed to go although it was checked
    PathList kept_folders;
    PathList folders;                  // the manifest's folders reached without a link, in its order
    PathList links;                    // links found where the install put files or folders: kept
    char programs[2][PLAT_PATH_SIZE];  // the Programs folders the groups lie in
    char clear[PLAT_PATH_SIZE];        // a folder below `folder` reached without a link ("" none known)
    int dat_is_link, list_is_link;
    void* lock;  // one uninstallation of this key at a time

    // Composes "<base>\<name>" into `out`; 0 when it does not fit.
    static int join(char* out, const char* base, const char* name)
    {
        return compose_text(out, PLAT_PATH_SIZE, "%s\\%s", base, name);
    }

    int read_inputs();
    int take_lock();
    int way_to(const char* base, const char* rel, int cached);
    void plan();
    void plan_links();
    void check(const char* path, const char* name);
    // A shortcut file the install made: to delete, or kept when it is a link.
    void add_shortcut(const char* link)
    {
        if (plat_is_link(link)) {
            links.add(link, nullptr);
            return;
        }
        remove.add(link, nullptr);
        check(link, nullptr);
    }
    int32_t remove_all(int32_t* remove_self);
    int install_folder_holds_others();
    // Ends the list being built and names the links that were kept.
    void list_links(BoxText* box)
    {
        box->end_list();
        if (links.count == 0)
            return;
        box->start_list(uninstall_text::kKeptLinksHead);
        for (int32_t i = 0; i < links.count; ++i)
            box->name(links.shown[i] ? links.shown[i] : links.paths[i]);
        box->end_list();
    }
    void release()
    {
        manifest.release();
        remove.release();
        changed.release();
        problems.release();
        left.release();
        kept_folders.release();
        folders.release();
        links.release();
        plat_unlock(lock);
        lock = nullptr;
    }
};

// 1 when everything needed is there and sound; else the box was shown.
int Uninstall::read_inputs()
{
    if (!join(dat, folder, kUninstallDataName) || !join(list, folder, kUninstallManifestName)) {
        fail_with(uninstall_text::kNoDataFormat, kUninstallDataName);
        return 0;
    }
    if (!read_regkey(dat, regkey)) {
        fail_with(uninstall_text::kNoDataFormat, dat);
        return 0;
    }
    if (!take_lock())
        return 0;
    if (!uninstall_key_path(regkey, key_path, kUninstallEntrySize)) {
        fail_with(uninstall_text::kKeyDamaged);
        return 0;
    }
    void* key = nullptr;
    if (!plat_registry_open_machine_key(key_path, &key)) {
        fail_with(uninstall_text::kNoKey);
        return 0;
    }
    int ok = plat_registry_get_string(key, "DisplayName", product, PLAT_PATH_SIZE) &&
             plat_registry_get_string(key, "company", company, PLAT_PATH_SIZE) &&
             plat_registry_get_string(key, "path", path, PLAT_PATH_SIZE);
    plat_registry_close_key(key);
    // Company and product name the shortcut folders: single names only.
    if (!ok || !is_name(product) || !is_name(company)) {
        fail_with(uninstall_text::kKeyDamaged);
        return 0;
    }
    // The same folder, however it is spelt (a short 8.3 name, another case).
    if (!is_drive_path(path) || !plat_same_file(path, folder)) {
        fail_with(uninstall_text::kKeyOtherFormat, path);
        return 0;
    }
    if (!is_file(list)) {
        fail_with(uninstall_text::kNoDataFormat, list);
        return 0;
    }
    if (!manifest.read(list, (int32_t)strlen(folder))) {
        BoxText box;
        char text[1024];
        if (compose_text(text, sizeof text, uninstall_text::kManifestFormat, list, (int)manifest.bad_line))
            box.add(text);
        fail_with(box.text);
        return 0;
    }
    const int programs_ids[2] = {PLAT_FOLDER_PROGRAMS, PLAT_FOLDER_COMMON_PROGRAMS};
    for (int i = 0; i < 2; ++i) {
        company_folder[i][0] = group[i][0] = '\0';
        if (!plat_special_folder_path(nullptr, programs_ids[i], programs[i]) || !programs[i][0] ||
            !join(company_folder[i], programs[i], company) || !join(group[i], company_folder[i], product) ||
            (i == 1 && same_folder(group[0], group[1])))
            company_folder[i][0] = group[i][0] = '\0';
    }
    return 1;
}

// Takes the lock named after the key ("DiUninstall-" and its bytes in hex),
// so that a second uninstaller started for the same installation (a
// double click does this) stops before its question. 1 / 0 (a box said so).
int Uninstall::take_lock()
{
    char name[16 + 2 * kTextSize];
    strcpy(name, "DiUninstall-");
    char* out = name + strlen(name);
    for (const char* p = regkey; *p; ++p, out += 2)
        snprintf(out, 3, "%02X", (unsigned)(unsigned char)*p);
    if (plat_lock(name, &lock))
        return 1;
    lock = nullptr;
    fail_with(uninstall_text::kAlreadyRunning);
    return 0;
}

// Looks at every name on the way from `base` to "<base>\<rel>", from the
// first: the first that is a link decides (Way). With `cached`, a folder of
// `folder` found free of links before is not looked at again (the manifest
// lists a folder's files together).
int Uninstall::way_to(const char* base, const char* rel, int cached)
{
    char path[PLAT_PATH_SIZE];
    size_t base_length = strlen(base), rel_length = strlen(rel);
    if (base_length + 1 + rel_length + 1 > (size_t)PLAT_PATH_SIZE)
        return kBehindLink;  // cannot be named: not touched
    memcpy(path, base, base_length);
    path[base_length] = '\\';
    const char* last = nullptr;  // the separator before the entry's own name
    for (const char* p = find_separator(rel); p; p = find_separator(p + 1))
        last = p;
    const char* from = rel;
    size_t parent_length = last ? (size_t)(last - rel) : 0;
    if (cached && last && strlen(clear) == parent_length && memcmp(clear, rel, parent_length) == 0)
        from = last + 1;
    for (;;) {
        const char* sep = find_separator(from);
        size_t n = sep ? (size_t)(sep - rel) : rel_length;
        memcpy(path + base_length + 1, rel, n);
        path[base_length + 1 + n] = '\0';
        if (plat_is_link(path))
            return sep ? kBehindLink : kIsLink;
        if (!sep)
            break;
        if (plat_file_attributes(path) == PLAT_ATTR_INVALID)
            return kDirect;  // nothing further exists
        from = sep + 1;
    }
    if (cached && last) {
        memcpy(clear, rel, parent_length);
        clear[parent_length] = '\0';
    }
    return kDirect;
}

// The shortcuts' folders and uninstall.dat and the manifest, when they are
// links, stay (with what they lead to) and are reported.
void Uninstall::plan_links()
{
    for (int i = 0; i < 2; ++i) {
        if (!group[i][0])
            continue;
        char rel[PLAT_PATH_SIZE];
        int way =
            compose_text(rel, PLAT_PATH_SIZE, "%s\\%s", company, product) ? way_to(programs[i], rel, 0) : kBehindLink;
        if (way != kDirect) {
            links.add(plat_is_link(company_folder[i]) ? company_folder[i] : group[i], nullptr);
            company_folder[i][0] = group[i][0] = '\0';
        }
    }
    dat_is_link = plat_is_link(dat);
    list_is_link = plat_is_link(list);
    if (dat_is_link)
        links.add(dat, kUninstallDataName);
    if (list_is_link)
        links.add(list, kUninstallManifestName);
}

// A file to delete: it must not be read-only nor held open.
void Uninstall::check(const char* path, const char* name)
{
    if ((path == dat && dat_is_link) || (path == list && list_is_link))
        return;
    uint32_t a = plat_file_attributes(path);
    if (a == PLAT_ATTR_INVALID || (a & PLAT_ATTR_DIRECTORY))
        return;
    if ((a & PLAT_ATTR_READONLY) || plat_file_in_use(path))
        problems.add(path, name);
}

void Uninstall::plan()
{
    plan_links();
    char full[PLAT_PATH_SIZE];
    for (int32_t i = 0; i < manifest.count; ++i) {
        const ManifestEntry& e = manifest.entries[i];
        // The reader made sure every path fits beside the install folder.
        if (!join(full, folder, e.path))
            continue;
        // Nothing behind a link is looked at; a link stays, named in the box.
        int way = way_to(folder, e.path, 1);
        if (way == kIsLink)
            links.add(full, e.path);
        if (way != kDirect)
            continue;
        if (e.kind == manifest::kFolder) {
            folders.add(full, e.path);
            continue;
        }
        if (e.kind != manifest::kFile || !is_file(full))
            continue;
        uint32_t size = 0, crc = 0;
        if (file_checksum(full, &size, &crc) && size == e.size && crc == e.crc) {
            remove.add(full, e.path);
            check(full, e.path);
        } else {
            changed.add(full, e.path);
        }
    }
    char desktop[PLAT_PATH_SIZE];
    char link[PLAT_PATH_SIZE];
    for (int id : {PLAT_FOLDER_DESKTOP, PLAT_FOLDER_COMMON_DESKTOP}) {
        if (plat_special_folder_path(nullptr, id, desktop) && desktop[0] &&
            compose_text(link, PLAT_PATH_SIZE, "%s\\%s.lnk", desktop, product) && is_file(link))
            add_shortcut(link);
    }
    for (const char* g : group) {
        if (!g[0])
            continue;
        const char* names[] = {kUninstallLinkName, product};
        for (const char* n : names) {
            if (compose_text(link, PLAT_PATH_SIZE, "%s\\%s.lnk", g, n) && is_file(link))
                add_shortcut(link);
        }
        if (join(link, g, kWebShortcut) && is_file(link))
            add_shortcut(link);
    }
    check(dat, kUninstallDataName);
    check(list, kUninstallManifestName);
}

int Uninstall::install_folder_holds_others()
{
    DirListing listing;
    DirEntry e;
    int others = 0;
    for (int more = listing.open(folder, &e); more && !others; more = listing.next(&e)) {
        if (strcmp(e.name, ".") == 0 || strcmp(e.name, "..") == 0 || same_folder(e.name, kUninstallProgram))
            continue;
        others = 1;
    }
    listing.close();
    return others;
}

int32_t Uninstall::remove_all(int32_t* remove_self)
{
    for (int32_t i = 0; i < remove.count; ++i)
        if (!plat_remove_file(remove.paths[i]) && is_file(remove.paths[i]))
            left.add(remove.paths[i], remove.shown[i]);

    // Folders newest first; one that still holds something is the user's.
    for (int32_t i = folders.count - 1; i >= 0; --i) {
        const char* full = folders.paths[i];
        if (!is_folder(full))
            continue;
        if (!plat_remove_directory(full) && is_folder(full))
            kept_folders.add(full, folders.shown[i]);
    }
    for (int i = 0; i < 2; ++i) {
        if (group[i][0]) {
            plat_remove_directory(group[i]);           // only when empty
            plat_remove_directory(company_folder[i]);  // only when empty
        }
    }

    // The key and the files that a second run needs go last, and only when
    // everything else went.
    if (left.count == 0 && !plat_registry_delete_machine_key(key_path))
        left.add(key_path, nullptr);
    if (left.count == 0) {
        if (!dat_is_link && !plat_remove_file(dat) && is_file(dat))
            left.add(dat, kUninstallDataName);
        if (!list_is_link && !plat_remove_file(list) && is_file(list))
            left.add(list, kUninstallManifestName);
    }

    BoxText box;
    if (left.count > 0) {
        box.add(uninstall_text::kPartialHead);
        for (int32_t i = 0; i < left.count; ++i)
            box.name(left.shown[i] ? left.shown[i] : left.paths[i]);
        list_links(&box);
        show(box, PLAT_MB_OK | PLAT_MB_ICONERROR);
        return kUninstallFailed;
    }
    box.addf(uninstall_text::kDoneFormat, product);
    if (changed.count > 0) {
        box.start_list(uninstall_text::kKeptFilesHead);
        for (int32_t i = 0; i < changed.count; ++i)
            box.name(changed.shown[i]);
    }
    if (kept_folders.count > 0) {
        box.start_list(uninstall_text::kKeptFoldersHead);
        for (int32_t i = 0; i < kept_folders.count; ++i)
            box.name(kept_folders.shown[i]);
    }
    list_links(&box);
    if (install_folder_holds_others())
        box.addf(uninstall_text::kKeptInstallFormat, folder);
    show(box, PLAT_MB_OK | kIconInformation);
    if (remove_self)
        *remove_self = 1;
    return kUninstallRemoved;
}

}  // namespace

int file_checksum(const char* path, uint32_t* size, uint32_t* crc)
{
    static unsigned char buffer[65536];
    FILE* f = plat_fopen(path, "rb");
    if (!f)
        return 0;
    uLong c = crc32(0L, Z_NULL, 0);
    uint64_t total = 0;
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, f)) > 0) {
        c = crc32(c, buffer, (uInt)n);
        total += n;
    }
    int ok = !ferror(f) && total <= 0x7FFFFFFFu;
    fclose(f);
    if (!ok)
        return 0;
    *size = (uint32_t)total;
    *crc = (uint32_t)c;
    return 1;
}

int32_t run_uninstall(const char* install_folder, int32_t* remove_self)
{
    if (remove_self)
        *remove_self = 0;
    Uninstall* u = (Uninstall*)tracked_alloc(sizeof(Uninstall));
    new (u) Uninstall();
    int32_t result = kUninstallFailed;
    if (!install_folder || !install_folder[0] || !compose_text(u->folder, PLAT_PATH_SIZE, "%s", install_folder)) {
        fail_with(uninstall_text::kNoDataFormat, kUninstallDataName);
    } else {
        if (char* tail = last_separator_char(u->folder))
            *tail = '\0';
        if (u->read_inputs()) {
            BoxText question;
            char text[1024];
            if (compose_text(text, sizeof text, uninstall_text::kConfirmFormat, u->product, u->folder))
                question.add(text);
            if (show(question, PLAT_MB_YESNO | kIconQuestion) != PLAT_IDYES) {
                result = kUninstallCancelled;
            } else {
                u->plan();
                if (u->problems.count > 0) {
                    BoxText box;
                    box.add(uninstall_text::kBusyHead);
                    for (int32_t i = 0; i < u->problems.count; ++i)
                        box.name(u->problems.shown[i] ? u->problems.shown[i] : u->problems.paths[i]);
                    box.end_list();
                    show(box, PLAT_MB_OK | PLAT_MB_ICONERROR);
                } else {
                    result = u->remove_all(remove_self);
                }
            }
        }
    }
    u->release();
    u->~Uninstall();
    tracked_free(u);
    return result;
}

int remove_uninstaller(const char* install_folder)
{
    char path[PLAT_PATH_SIZE];
    if (!install_folder || !compose_text(path, PLAT_PATH_SIZE, "%s\\%s", install_folder, kUninstallProgram))
        return 0;
    // A link stays, and so does the folder that holds it.
    if (plat_is_link(path))
        return 1;
    if (!plat_remove_file(path) && is_file(path))
        return 0;
    plat_remove_directory(install_folder);  // only when empty
    return 1;
}
