#include "cli/StandardStreams.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace kalvero {

bool ReopenIfClosed(int fd) {
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) {
        return false;
    }
    const int null = open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
    if (null >= 0 && null != fd) {
        dup2(null, fd);
        close(null);
    }
    return true;
}

}  // namespace kalvero
