#include "new_file_backend.h"

#include <fcntl.h>
#include <unistd.h>

int open_new_host_file(const fs::path& path)
{
    // O_EXCL refuses any existing name, a symbolic link included; O_NOFOLLOW
    // says the same once more for systems that would follow the last link.
    return open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
}

long write_host_file(int fd, const char* data, size_t size)
{
    return (long)write(fd, data, size);
}

int close_host_file(int fd)
{
    return close(fd);
}

void remove_new_host_file(const fs::path& path)
{
    unlink(path.c_str());
}
