#include "cli/OpenFailure.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "command_line/PrintableText.h"
#include "worker/FrameSource.h"
#include "worker/StillImageHeader.h"

namespace kalvero {

std::string OpenFailure(const std::string& path) {
    const std::string cannot = "cannot open '" + PrintableText(path) + "': ";
    if (IsStreamAddress(path)) {
        return cannot + "no stream answered within " +
               std::to_string(FrameSource::kStreamTimeoutMs / 1000) + " s";
    }
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(std::filesystem::path(path), error);
    if (error) {
        return cannot + error.message();  // "No such file or directory", "Permission denied"
    }
    if (std::filesystem::is_directory(status)) {
        return cannot + std::strerror(EISDIR);
    }
    if (!std::filesystem::is_regular_file(status)) {
        return cannot + "not a regular file";
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return cannot + std::strerror(errno);
    }
    cv::Size announced;
    if (IsOversizedStill(path, announced)) {
        return cannot + "the picture is " + std::to_string(announced.width) + "x" + std::to_string(announced.height) +
               " pixels, more than the " + std::to_string(kMaxStillPixels / 1000000) +
               " megapixels a still image may have";
    }
    return cannot + "not a video or image that OpenCV can decode";
}

}  // namespace kalvero
