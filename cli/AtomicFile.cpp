#include "cli/AtomicFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace kalvero {

namespace {

std::atomic<unsigned> temporaryCount{0};

std::string Reason(int code) { return std::strerror(code != 0 ? code : EIO); }

// Writes all of `text` to `fd`; false with errno set.
bool WriteAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) {
            errno = ENOSPC;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

std::string TemporaryNameFor(const std::string& path) {
    const std::filesystem::path target(path);
    const std::string name = "." + target.stem().string() + ".tmp-" + std::to_string(::getpid()) + "-" +
                             std::to_string(temporaryCount.fetch_add(1)) + target.extension().string();
    return (target.parent_path() / name).string();
}

bool CanCreateBeside(const std::string& path, std::string& error) {
    const std::string temporary = TemporaryNameFor(path);
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = Reason(errno);
        return false;
    }
    ::close(fd);
    std::remove(temporary.c_str());
    if (std::filesystem::is_directory(std::filesystem::path(path))) {
        error = std::strerror(EISDIR);
        return false;
    }
    return true;
}

bool RenameInto(const std::string& from, const std::string& to, std::string& error) {
    if (std::rename(from.c_str(), to.c_str()) != 0) {
        error = Reason(errno);
        std::remove(from.c_str());
        return false;
    }
    return true;
}

bool WriteFileAtomically(const std::string& path, const std::string& text, std::string& error) {
    const std::string temporary = TemporaryNameFor(path);
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = Reason(errno);
        return false;
    }
    errno = 0;
    const bool written = WriteAll(fd, text) && ::fsync(fd) == 0;
    const int code = errno;
    const bool closed = ::close(fd) == 0;
    if (!written || !closed) {
        error = Reason(written ? errno : code);
        std::remove(temporary.c_str());
        return false;
    }
    return RenameInto(temporary, path, error);
}

}  // namespace kalvero
