// POSIX stand-in for message boxes, drives and the message pump.
#include "platform.h"
#include "lock_name.h"
#include "posix/host_paths.h"

#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <utility>

// Nobody is there to answer a box: one with a choice gets the answer that
// stops, so a caller that asks again on yes/OK cannot loop forever.
static int unattended_answer(unsigned type)
{
    switch (type & 0xF) {
    case PLAT_MB_OKCANCEL:
        return PLAT_IDCANCEL;
    case PLAT_MB_YESNO:
        return PLAT_IDNO;
    default:
        return PLAT_IDOK;
    }
}

int plat_default_message_box(void*, const char* text, const char* caption, unsigned type)
{
    // The texts are Big5; show them readable on the terminal when they convert.
    char t[1024], c[256];
    if (!plat_cp950_to_utf8(text ? text : "", t, sizeof t))
        snprintf(t, sizeof t, "%s", text ? text : "");
    if (!plat_cp950_to_utf8(caption ? caption : "", c, sizeof c))
        snprintf(c, sizeof c, "%s", caption ? caption : "");
    fprintf(stderr, "[%s] %s\n", c, t);
    return unattended_answer(type);
}

int plat_default_message_box_utf8(void*, const char* text, const char* caption, unsigned type)
{
    fprintf(stderr, "[%s] %s\n", caption ? caption : "", text ? text : "");
    return unattended_answer(type);
}

namespace {
unsigned g_code_page = 950;
}

unsigned plat_ansi_code_page()
{
    return g_code_page;
}

void plat_set_ansi_code_page(unsigned code_page)
{
    g_code_page = code_page;
}

int plat_drive_type(const char* root)
{
    if (!root || !root[0])
        return PLAT_DRIVE_NO_ROOT;
    char host[4096];
    if (!plat_to_host_path(root, host, sizeof host))
        return PLAT_DRIVE_NO_ROOT;
    if (root[1] == ':')
        return plat_posix_drive_type(root[0]);
    return PLAT_DRIVE_FIXED;
}

int plat_disk_free_bytes(const char* path, uint64_t* free_bytes)
{
    char host[4096];
    struct statvfs st;
    if (!path || !free_bytes || !plat_to_host_path(path, host, sizeof host))
        return 0;
    if (statvfs(host[0] ? host : ".", &st) != 0)
        return 0;
    *free_bytes = (uint64_t)st.f_bfree * (uint64_t)st.f_frsize;
    return 1;
}

void plat_pump_messages() {}

// The lock is a file in the temporary folder held with flock, which also
// refuses a second open of the same file in this process. The file goes
// with the lock; a run that opened it just before may then hold the
// unlinked file, so a lock counts only while its file is still the one
// under the name.
int plat_lock(const char* name, void** lock)
{
    if (!plat_lock_name_is_valid(name) || !lock)
        return 0;
    const char* temp = getenv("TMPDIR");
    std::string path = std::string(temp && temp[0] ? temp : "/tmp") + "/" + name + ".lock";
    int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return 0;
    struct stat held, named;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0 || fstat(fd, &held) != 0 || stat(path.c_str(), &named) != 0 ||
        held.st_dev != named.st_dev || held.st_ino != named.st_ino) {
        close(fd);
        return 0;
    }
    *lock = new std::pair<int, std::string>(fd, path);
    return 1;
}

void plat_unlock(void* lock)
{
    auto* held = static_cast<std::pair<int, std::string>*>(lock);
    if (!held)
        return;
    unlink(held->second.c_str());
    close(held->first);
    delete held;
}
