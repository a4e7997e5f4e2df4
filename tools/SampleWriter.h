#pragma once
#include <functional>
#include <string>

#include <opencv2/core.hpp>

#include "tools/FfmpegVideoWriter.h"

namespace kalvero {

// File kinds the sample writer knows, chosen by the extension of the output name.
enum class SampleFileKind { Unknown, Video, StillImage };
SampleFileKind SampleFileKindFor(const std::string& path);

// The frame a still image shows: the middle one of `frames`.
inline int StillFrameIndex(int frames) { return frames / 2; }

// How a video is encoded: the codec (Default: by the extension) and a
// bitrate in kilobits a second (0: a fixed, good quality).
struct VideoEncoding {
    VideoCodec codec = VideoCodec::Default;
    int bitrateKbits = 0;
    // True when FFmpeg writes the file rather than OpenCV: a codec or a
    // bitrate was asked for, or the file is .mp4 (H.264).
    bool NeedsFfmpeg(const std::string& path) const;
};

// Writes `frames` frames (BGR, of `size`), asking `frame` for each by its
// 0-based index: a video, or for .png/.jpg/.jpeg/.bmp/.tif/.tiff the frame
// StillFrameIndex(frames) as a still image. By default .avi and .mkv are
// Motion-JPEG and .mov MPEG-4 part 2 (OpenCV), .mp4 H.264 (FFmpeg); an
// encoding with a codec or a bitrate goes through FFmpeg whatever the
// extension. Returns an empty text on success, else a message naming the
// file.
std::string WriteFrames(const std::string& path, cv::Size size, double framesPerSecond, int frames,
                        const std::function<cv::Mat(int)>& frame, const VideoEncoding& encoding = {});

}  // namespace kalvero
