#pragma once
#include <string>
#include <sys/types.h>

#include <opencv2/core.hpp>

namespace kalvero {

// Codecs the sample writer can ask FFmpeg for.
enum class VideoCodec { Default, H264, Mpeg4, Mjpeg };

// Writes a video by running the `ffmpeg` program (or the one named by the
// KALVERO_FFMPEG environment variable) and handing it raw BGR frames
// through a socket on its standard input: H.264 (libx264), MPEG-4 part 2 or
// Motion-JPEG, at a fixed quality or, with a bitrate, at about that many
// kilobits a second. The container follows the file's extension.
class FfmpegVideoWriter {
public:
    FfmpegVideoWriter() = default;
    FfmpegVideoWriter(const FfmpegVideoWriter&) = delete;
    FfmpegVideoWriter& operator=(const FfmpegVideoWriter&) = delete;
    ~FfmpegVideoWriter();

    // Starts ffmpeg. Returns an empty text on success, else a message (the
    // program is missing, the size does not suit the codec).
    std::string Open(const std::string& path, cv::Size size, double framesPerSecond, VideoCodec codec,
                     int bitrateKbits);
    // Sends one BGR frame of the opened size; false once ffmpeg has gone.
    bool Write(const cv::Mat& frame);
    // Ends the stream and waits for ffmpeg. Returns an empty text when it
    // wrote the file, else a message.
    std::string Close();

private:
    std::string path_;
    cv::Size size_;
    int socket_ = -1;
    pid_t child_ = -1;
    bool broken_ = false;
};

}  // namespace kalvero
