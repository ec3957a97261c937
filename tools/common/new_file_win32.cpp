#include "new_file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

bool create_new_host_file(const fs::path& path, const std::string& bytes, std::string* error)
{
    // _O_EXCL opens with CREATE_NEW: any existing name fails, a symbolic
    // link or junction included, so nothing is written through one.
    int fd = _wopen(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
    if (fd < 0) {
        *error = "cannot create " + utf8_of(path) + ": " + strerror(errno);
        return false;
    }
    size_t done = 0;
    while (done < bytes.size()) {
        size_t left = bytes.size() - done;
        unsigned chunk = left > (1u << 30) ? (1u << 30) : (unsigned)left;
        int n = _write(fd, bytes.data() + done, chunk);
        if (n <= 0) {
            *error = "cannot write " + utf8_of(path) + ": " + strerror(n < 0 ? errno : ENOSPC);
            _close(fd);
            _wunlink(path.c_str());
            return false;
        }
        done += (size_t)n;
    }
    if (_close(fd) != 0) {
        *error = "cannot write " + utf8_of(path) + ": " + strerror(errno);
        _wunlink(path.c_str());
        return false;
    }
    return true;
}
