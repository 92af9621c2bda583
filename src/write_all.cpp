#include "write_all.hpp"

#include <cerrno>

#include <unistd.h>

namespace droplevel {

int write_all(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        ssize_t written = write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return 0;
}

}  // namespace droplevel
