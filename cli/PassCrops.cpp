#include "cli/PassCrops.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "cli/InputId.h"
#include "command_line/PrintableText.h"

namespace kalvero {

std::string CropFileName(const CarriagePass& pass) {
    char frame[32];
    std::snprintf(frame, sizeof frame, "_f%04d.png", pass.bestFrame);
    std::string stem = std::filesystem::path(pass.file).stem().string();
    if (stem.empty()) {
        stem = "input";
    }
    return stem + "-" + InputId(pass.file) + "_" + pass.number + frame;
}

bool WriteCrop(const std::string& dir, const CarriagePass& pass, std::string& error) {
    const std::string path = (std::filesystem::path(dir) / CropFileName(pass)).string();
    const std::string cannot = "cannot write the crop '" + PrintableText(path) + "': ";
    if (pass.bestCrop.empty()) {
        error = cannot + "no picture was kept";
        return false;
    }
    cv::Mat bgr;
    cv::cvtColor(pass.bestCrop, bgr, cv::COLOR_RGB2BGR);
    bool written = false;
    try {
        written = cv::imwrite(path, bgr);
    } catch (const cv::Exception& e) {
        error = cannot + e.what();
        return false;
    }
    if (!written) {
        error = cannot + (access(dir.c_str(), W_OK) != 0 ? std::strerror(errno) : "the encoder failed");
        return false;
    }
    return true;
}

bool PrepareCropFolder(const std::string& dir, std::string& error) {
    const std::string cannot = "cannot write crops into '" + PrintableText(dir) + "': ";
    std::error_code code;
    std::filesystem::create_directories(std::filesystem::path(dir), code);
    if (code) {
        error = cannot + code.message();
        return false;
    }
    if (!std::filesystem::is_directory(std::filesystem::path(dir), code)) {
        error = cannot + std::strerror(ENOTDIR);
        return false;
    }
    if (access(dir.c_str(), W_OK) != 0) {
        error = cannot + std::strerror(errno);
        return false;
    }
    return true;
}

}  // namespace kalvero
