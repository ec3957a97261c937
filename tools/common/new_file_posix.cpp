#include "new_file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

bool create_new_host_file(const fs::path& path, const std::string& bytes, std::string* error)
{
    // O_EXCL refuses any existing name, a symbolic link included; O_NOFOLLOW
    // says the same once more for systems that would follow the last link.
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) {
        *error = "cannot create " + utf8_of(path) + ": " + strerror(errno);
        return false;
    }
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            *error = "cannot write " + utf8_of(path) + ": " + strerror(n < 0 ? errno : ENOSPC);
            close(fd);
            unlink(path.c_str());
            return false;
        }
        done += (size_t)n;
    }
    if (close(fd) != 0) {
        *error = "cannot write " + utf8_of(path) + ": " + strerror(errno);
        unlink(path.c_str());
        return false;
    }
    return true;
}
