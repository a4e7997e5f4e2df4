#include "tools/SampleWriter.h"

#include <algorithm>
#include <filesystem>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/videoio.hpp>

#include "command_line/LowerCase.h"
#include "worker/StillImageFormats.h"

namespace kalvero {

namespace {

std::string LowerExtension(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    const std::size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
        return "";
    }
    return LowerCase(path.substr(dot + 1));
}

int FourccFor(const std::string& ext) {
    if (ext == "avi" || ext == "mkv") {
        return cv::VideoWriter::fourcc('M', 'J', 'P', 'G');
    }
    if (ext == "mp4" || ext == "mov") {
        return cv::VideoWriter::fourcc('m', 'p', '4', 'v');
    }
    return 0;
}

}  // namespace

SampleFileKind SampleFileKindFor(const std::string& path) {
    const std::string ext = LowerExtension(path);
    if (FourccFor(ext) != 0) {
        return SampleFileKind::Video;
    }
    return IsStillImageExtension(ext) ? SampleFileKind::StillImage : SampleFileKind::Unknown;
}

bool VideoEncoding::NeedsFfmpeg(const std::string& path) const {
    return codec != VideoCodec::Default || bitrateKbits > 0 || LowerExtension(path) == "mp4";
}

std::string WriteFrames(const std::string& path, cv::Size size, double framesPerSecond, int frames,
                        const std::function<cv::Mat(int)>& frame, const VideoEncoding& encoding) {
    const SampleFileKind kind = SampleFileKindFor(path);
    if (kind == SampleFileKind::Unknown) {
        return "cannot tell the format of '" + path +
               "' from its extension (use .avi, .mkv, .mp4, .mov, .png, .jpg, .bmp or .tif)";
    }
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    std::error_code ec;
    if (!folder.empty() && !std::filesystem::is_directory(folder, ec)) {
        return "cannot write '" + path + "': the folder '" + folder.string() + "' does not exist";
    }
    if (kind == SampleFileKind::StillImage) {
        bool written = false;
        try {
            written = cv::imwrite(path, frame(StillFrameIndex(frames)));
        } catch (const cv::Exception&) {
            written = false;
        }
        return written ? "" : "cannot write '" + path + "'";
    }
    const std::string ext = LowerExtension(path);
    if (encoding.NeedsFfmpeg(path)) {
        FfmpegVideoWriter ffmpeg;
        const VideoCodec codec = encoding.codec == VideoCodec::Default
                                     ? (ext == "avi" || ext == "mkv" ? VideoCodec::Mjpeg
                                                                     : (ext == "mov" ? VideoCodec::Mpeg4 : VideoCodec::H264))
                                     : encoding.codec;
        const std::string failed = ffmpeg.Open(path, size, framesPerSecond, codec, encoding.bitrateKbits);
        if (!failed.empty()) {
            return failed;
        }
        for (int i = 0; i < frames; ++i) {
            if (!ffmpeg.Write(frame(i))) {
                break;
            }
        }
        return ffmpeg.Close();
    }
    cv::VideoWriter writer;
    try {
        writer.open(path, FourccFor(ext), framesPerSecond, size, true);
    } catch (const cv::Exception&) {
        return "OpenCV cannot write the video '" + path + "'";
    }
    if (!writer.isOpened()) {
        return "OpenCV cannot write the video '" + path + "' (no encoder for ." + ext +
               " or the folder is not writable)";
    }
    for (int i = 0; i < frames; ++i) {
        writer.write(frame(i));
    }
    writer.release();
    return "";
}

}  // namespace kalvero
