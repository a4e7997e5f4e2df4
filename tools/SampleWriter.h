#pragma once
#include <functional>
#include <string>

#include <opencv2/core.hpp>

namespace kalvero {

// File kinds the sample writer knows, chosen by the extension of the output name.
enum class SampleFileKind { Unknown, Video, StillImage };
SampleFileKind SampleFileKindFor(const std::string& path);

// The frame a still image shows: the middle one of `frames`.
inline int StillFrameIndex(int frames) { return frames / 2; }

// Writes `frames` frames (BGR, of `size`), asking `frame` for each by its
// 0-based index: a video for .avi and .mkv (Motion-JPEG) or .mp4 and .mov
// (MPEG-4 part 2), or for .png/.jpg/.jpeg/.bmp/.tif/.tiff the frame
// StillFrameIndex(frames) as a still image. Returns an empty text on
// success, else a message naming the file.
std::string WriteFrames(const std::string& path, cv::Size size, double framesPerSecond, int frames,
                        const std::function<cv::Mat(int)>& frame);

}  // namespace kalvero
