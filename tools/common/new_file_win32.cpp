#include "new_file_backend.h"

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

int open_new_host_file(const fs::path& path)
{
    // _O_EXCL opens with CREATE_NEW: any existing name fails, a symbolic
    // link or junction included, so nothing is written through one.
    return _wopen(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
}

long write_host_file(int fd, const char* data, size_t size)
{
    // _write takes an unsigned count: at most 1 GiB a call.
    unsigned chunk = size > (1u << 30) ? (1u << 30) : (unsigned)size;
    return _write(fd, data, chunk);
}

int close_host_file(int fd)
{
    return _close(fd);
}

void remove_new_host_file(const fs::path& path)
{
    _wunlink(path.c_str());
}
