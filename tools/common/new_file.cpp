#include "new_file.h"

#include "new_file_backend.h"

#include <cerrno>
#include <cstring>

int create_new_host_file(const fs::path& path, const std::string& bytes, std::string* error)
{
    int fd = open_new_host_file(path);
    if (fd < 0) {
        *error = "cannot create " + utf8_of(path) + ": " + strerror(errno);
        return 0;
    }
    size_t done = 0;
    while (done < bytes.size()) {
        long n = write_host_file(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            *error = "cannot write " + utf8_of(path) + ": " + strerror(n < 0 ? errno : ENOSPC);
            close_host_file(fd);
            remove_new_host_file(path);
            return 0;
        }
        done += (size_t)n;
    }
    if (close_host_file(fd) != 0) {
        *error = "cannot write " + utf8_of(path) + ": " + strerror(errno);
        remove_new_host_file(path);
        return 0;
    }
    return 1;
}
