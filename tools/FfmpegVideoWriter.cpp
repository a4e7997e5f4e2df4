#include "tools/FfmpegVideoWriter.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kalvero {

namespace {

std::string ProgramName() {
    const char* chosen = std::getenv("KALVERO_FFMPEG");
    return chosen != nullptr && *chosen != '\0' ? chosen : "ffmpeg";
}

std::vector<std::string> Arguments(const std::string& program, const std::string& path, cv::Size size,
                                   double framesPerSecond, VideoCodec codec, int bitrateKbits) {
    char rate[32];
    std::snprintf(rate, sizeof(rate), "%.6g", framesPerSecond);
    std::vector<std::string> args{program, "-hide_banner", "-loglevel", "error", "-y", "-f", "rawvideo",
                                  "-pix_fmt", "bgr24", "-video_size",
                                  std::to_string(size.width) + "x" + std::to_string(size.height), "-framerate", rate,
                                  "-i", "pipe:0", "-an"};
    const bool even = size.width % 2 == 0 && size.height % 2 == 0;
    const std::string kbits = std::to_string(bitrateKbits) + "k";
    switch (codec) {
    case VideoCodec::Mpeg4:
        args.insert(args.end(), {"-c:v", "mpeg4", "-pix_fmt", "yuv420p"});
        break;
    case VideoCodec::Mjpeg:
        args.insert(args.end(), {"-c:v", "mjpeg", "-pix_fmt", even ? "yuvj420p" : "yuvj444p"});
        break;
    default:
        // Odd sizes cannot be halved for 4:2:0 chroma; 4:4:4 keeps the size.
        // One thread: x264's threads share its rate control, so that with
        // a bitrate cap each run of the same frames gave other pictures.
        args.insert(args.end(), {"-c:v", "libx264", "-preset", "veryfast", "-threads", "1", "-pix_fmt",
                                 even ? "yuv420p" : "yuv444p"});
        break;
    }
    if (bitrateKbits > 0) {
        args.insert(args.end(), {"-b:v", kbits, "-maxrate", kbits, "-bufsize", std::to_string(2 * bitrateKbits) + "k"});
    } else if (codec == VideoCodec::Mpeg4 || codec == VideoCodec::Mjpeg) {
        args.insert(args.end(), {"-q:v", "3"});
    } else {
        args.insert(args.end(), {"-crf", "18"});
    }
    args.push_back(path);
    return args;
}

}  // namespace

FfmpegVideoWriter::~FfmpegVideoWriter() {
    if (child_ > 0) {
        Close();
    }
}

std::string FfmpegVideoWriter::Open(const std::string& path, cv::Size size, double framesPerSecond, VideoCodec codec,
                                    int bitrateKbits) {
    path_ = path;
    size_ = size;
    broken_ = false;
    if (codec == VideoCodec::Mpeg4 && (size.width % 2 != 0 || size.height % 2 != 0)) {
        return "MPEG-4 needs an even width and height, not " + std::to_string(size.width) + "x" +
               std::to_string(size.height);
    }
    const std::string program = ProgramName();
    const std::vector<std::string> args = Arguments(program, path, size, framesPerSecond, codec, bitrateKbits);
    int sockets[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sockets) != 0) {
        return std::string("cannot start ffmpeg: ") + std::strerror(errno);
    }
    // The child reports a failed exec through this pipe; a successful one
    // closes it unwritten.
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0) {
        close(sockets[0]);
        close(sockets[1]);
        return std::string("cannot start ffmpeg: ") + std::strerror(errno);
    }
    std::vector<char*> argv;
    for (const std::string& a : args) {
        argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid < 0) {
        close(sockets[0]);
        close(sockets[1]);
        close(report[0]);
        close(report[1]);
        return std::string("cannot start ffmpeg: ") + std::strerror(errno);
    }
    if (pid == 0) {
        dup2(sockets[1], STDIN_FILENO);
        const int null = open("/dev/null", O_WRONLY);
        if (null >= 0) {
            dup2(null, STDOUT_FILENO);
        }
        execvp(argv[0], argv.data());
        const int error = errno;
        if (write(report[1], &error, sizeof(error)) < 0) {
            // Nothing more can be said from here.
        }
        _exit(127);
    }
    close(sockets[1]);
    close(report[1]);
    int error = 0;
    const ssize_t got = read(report[0], &error, sizeof(error));
    close(report[0]);
    socket_ = sockets[0];
    child_ = pid;
    if (got > 0) {
        Close();
        return "cannot run '" + program + "' (" + std::strerror(error) +
               "): FFmpeg is needed for this video (install the ffmpeg package)";
    }
    return "";
}

bool FfmpegVideoWriter::Write(const cv::Mat& frame) {
    if (socket_ < 0 || broken_ || frame.size() != size_ || frame.type() != CV_8UC3) {
        broken_ = true;
        return false;
    }
    for (int y = 0; y < frame.rows; ++y) {
        const char* row = frame.ptr<char>(y);
        std::size_t left = static_cast<std::size_t>(frame.cols) * 3;
        while (left > 0) {
            const ssize_t sent = send(socket_, row, left, MSG_NOSIGNAL);
            if (sent < 0 && errno == EINTR) {
                continue;
            }
            if (sent <= 0) {
                broken_ = true;
                return false;
            }
            row += sent;
            left -= static_cast<std::size_t>(sent);
        }
    }
    return true;
}

std::string FfmpegVideoWriter::Close() {
    if (socket_ >= 0) {
        close(socket_);
        socket_ = -1;
    }
    if (child_ <= 0) {
        return "";
    }
    int status = 0;
    while (waitpid(child_, &status, 0) < 0 && errno == EINTR) {
    }
    child_ = -1;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        return "ffmpeg could not write the video '" + path_ + "'";
    }
    if (broken_) {
        return "ffmpeg stopped reading frames for '" + path_ + "'";
    }
    return "";
}

}  // namespace kalvero
