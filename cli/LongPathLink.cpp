#include "cli/LongPathLink.h"

#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

namespace kalvero {

LongPathLink::~LongPathLink() {
    if (!link_.empty()) {
        ::unlink(link_.c_str());
    }
    if (!folder_.empty()) {
        ::rmdir(folder_.c_str());
    }
}

std::string LongPathLink::ShortName(const std::string& path, std::size_t limit, std::string& error) {
    if (path.size() <= limit) {
        return path;
    }
    std::error_code code;
    const std::filesystem::path absolute = std::filesystem::absolute(std::filesystem::path(path), code);
    if (code) {
        error = code.message();
        return std::string();
    }
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/kalvero-read-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (::mkdtemp(buffer.data()) == nullptr) {
        error = std::strerror(errno);
        return std::string();
    }
    folder_ = buffer.data();
    const std::string link = folder_ + "/input" + std::filesystem::path(path).extension().string();
    if (link.size() > limit || ::symlink(absolute.c_str(), link.c_str()) != 0) {
        error = link.size() > limit ? "the temporary folder's name is too long" : std::strerror(errno);
        return std::string();
    }
    link_ = link;
    return link_;
}

}  // namespace kalvero
