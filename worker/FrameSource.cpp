#include "worker/FrameSource.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <algorithm>
#include <atomic>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <vector>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <opencv2/videoio/registry.hpp>

#include "worker/ContainerFacts.h"
#include "worker/DamageSkippingReader.h"
#include "worker/NewestFrame.h"
#include "worker/DecodeAhead.h"
#include "worker/StillImageFormats.h"
#include "worker/StillImageHeader.h"

namespace kalvero {

namespace {

// Any depth to 8 bits per channel.
cv::Mat ToDepth8(const cv::Mat& picture) {
    cv::Mat out;
    switch (picture.depth()) {
    case CV_8U:
        return picture;
    case CV_8S:
        picture.convertTo(out, CV_8U, 1.0, 128.0);
        return out;
    case CV_16U:
        picture.convertTo(out, CV_8U, 1.0 / 257.0);
        return out;
    case CV_16S:
        picture.convertTo(out, CV_8U, 1.0 / 257.0, 128.0);
        return out;
    case CV_32F:
    case CV_64F:
        picture.convertTo(out, CV_8U, 255.0);
        return out;
    default: {
        // 32-bit integers: stretch the used range onto 0..255.
        double lo = 0.0, hi = 0.0;
        cv::minMaxIdx(picture.reshape(1), &lo, &hi);
        const double scale = hi > lo ? 255.0 / (hi - lo) : 0.0;
        picture.convertTo(out, CV_8U, scale, -lo * scale);
        return out;
    }
    }
}

std::atomic<long long> openCount{0};

// The innermost handover of this thread, if any.
thread_local FrameSource::Handover* currentHandover = nullptr;

}  // namespace

cv::Mat ToBgr8(const cv::Mat& picture) {
    if (picture.empty()) return cv::Mat();
    cv::Mat eight = ToDepth8(picture);
    cv::Mat bgr;
    switch (eight.channels()) {
    case 1:
        cv::cvtColor(eight, bgr, cv::COLOR_GRAY2BGR);
        break;
    case 2: {  // grey with alpha: keep the grey channel
        cv::Mat grey;
        cv::extractChannel(eight, grey, 0);
        cv::cvtColor(grey, bgr, cv::COLOR_GRAY2BGR);
        break;
    }
    case 3:
        bgr = eight;
        break;
    case 4:
        cv::cvtColor(eight, bgr, cv::COLOR_BGRA2BGR);
        break;
    default: {  // more channels than colours: take the first three
        std::vector<cv::Mat> planes;
        cv::split(eight, planes);
        planes.resize(3);
        cv::merge(planes, bgr);
        break;
    }
    }
    return bgr;
}

// The bytes of an open binary file, from its start; empty when it cannot
// be read.
std::vector<unsigned char> ReadWholeFile(std::ifstream& file) {
    file.clear();
    file.seekg(0, std::ios::end);
    const std::streamoff length = file.tellg();
    if (length <= 0) return {};
    std::vector<unsigned char> bytes(static_cast<std::size_t>(length));
    file.seekg(0);
    file.read(reinterpret_cast<char*>(bytes.data()), length);
    if (file.gcount() != length) return {};
    return bytes;
}

bool IsStillImageName(const std::string& path) {
    const auto dot = path.find_last_of('.');
    const auto slash = path.find_last_of("/\\");
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return false;
    return IsStillImageExtension(path.substr(dot + 1));
}

bool IsStreamAddress(const std::string& name) {
    static const char* const kSchemes[] = {"rtsp://", "rtmp://", "http://", "https://",
                                           "udp://",  "tcp://",  "srt://"};
    std::string head = name.substr(0, 8);
    std::transform(head.begin(), head.end(), head.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return std::any_of(std::begin(kSchemes), std::end(kSchemes),
                       [&](const char* scheme) { return head.rfind(scheme, 0) == 0; });
}

FrameSource::Handover::Handover(const std::string& path, FrameSource& source)
    : path_(path), source_(&source), outer_(currentHandover) {
    currentHandover = this;
}

FrameSource::Handover::~Handover() { currentHandover = outer_; }

long long FrameSource::filesOpened() { return openCount.load(); }

void FrameSource::takeOver(FrameSource& other) {
    // A capture shares what it opened when copied: this one keeps it and
    // the other lets go.
    capture_ = other.capture_;
    reader_ = std::move(other.reader_);
    if (reader_) reader_->Rebind(capture_);
    creationTime_ = other.creationTime_;
    lastTimestampMs_ = other.lastTimestampMs_;
    lastGap_ = other.lastGap_;
    still_ = other.still_;
    isStill_ = other.isStill_;
    stillDelivered_ = other.stillDelivered_;
    putBack_ = other.putBack_;
    putBackTimestampMs_ = other.putBackTimestampMs_;
    putBackGap_ = other.putBackGap_;
    other.release();
}

bool FrameSource::open(const std::string& path) {
    release();
    if (path.empty()) return false;
    Handover* handover = currentHandover;
    if (handover != nullptr && handover->source_ != nullptr && handover->source_ != this &&
        handover->path_ == path && handover->source_->isOpened()) {
        takeOver(*handover->source_);
        handover->source_ = nullptr;
        return true;
    }
    if (IsStreamAddress(path)) {
        // Streams only through FFmpeg, with timeouts: an address nobody
        // answers at, or a stream that stops sending, must not hold the run
        // for ever.
        if (!cv::videoio_registry::hasBackend(cv::CAP_FFMPEG)) return false;
        const std::vector<int> params = {cv::CAP_PROP_OPEN_TIMEOUT_MSEC, kStreamTimeoutMs,
                                         cv::CAP_PROP_READ_TIMEOUT_MSEC, kStreamTimeoutMs};
        try {
            if (capture_.open(path, cv::CAP_FFMPEG, params) && capture_.isOpened()) {
                reader_ = std::make_unique<DamageSkippingReader>(capture_, path, true);
                return true;
            }
        } catch (const cv::Exception&) {
        }
        capture_.release();
        return false;
    }
    // Only regular files: a directory, a device or a named pipe is neither a
    // video nor a picture (and opening a pipe would wait for a writer, for
    // ever if none comes), so the decoders and capture back ends are not
    // asked at all.
    std::error_code error;
    if (!std::filesystem::is_regular_file(std::filesystem::path(path), error)) return false;
    if (IsStillImageName(path)) {
        // The file is opened once: its header, then its bytes, which are
        // decoded from memory (cv::imread would open it twice more).
        std::ifstream file(path, std::ios::binary);
        if (!file) return false;
        ++openCount;
        // Refused from its header, before a single pixel is decoded: a
        // picture beyond the limit would take gigabytes (see kMaxStillPixels).
        cv::Size announced;
        if (IsOversizedStill(file, announced)) return false;
        try {
            still_ = ToBgr8(cv::imdecode(ReadWholeFile(file), cv::IMREAD_UNCHANGED));
        } catch (const cv::Exception&) {
            // The decoders refuse some damaged headers by throwing (a height
            // beyond OpenCV's limit) rather than by returning no picture.
            still_.release();
        }
        isStill_ = !still_.empty();
        stillDelivered_ = false;
        return isStill_;
    }
    // FFmpeg reads the usual containers, Motion-JPEG .avi files included;
    // OpenCV's built-in reader of those serves only an OpenCV without
    // FFmpeg. (Asked after FFmpeg has refused a damaged file, it could only
    // refuse it too, printing its parser's complaints on standard error.)
    // The catch-all order would also try camera and streaming back ends on
    // files neither of these can read.
    const cv::VideoCaptureAPIs api =
        cv::videoio_registry::hasBackend(cv::CAP_FFMPEG) ? cv::CAP_FFMPEG : cv::CAP_OPENCV_MJPEG;
    const bool anyBackEnd = cv::videoio_registry::hasBackend(api);
    ++openCount;
    bool opened = false;
    if (anyBackEnd) {
        try {
            opened = capture_.open(path, api) && capture_.isOpened();
        } catch (const cv::Exception&) {
            // A back end that throws on a file it cannot parse: not a video.
        }
    } else {  // an OpenCV without either: let it choose
        try {
            opened = capture_.open(path) && capture_.isOpened();
        } catch (const cv::Exception&) {
        }
    }
    if (!opened) {
        capture_.release();
        return false;
    }
    const ContainerFacts facts = ReadContainerFacts(path);
    creationTime_ = facts.creationTime;
    reader_ = std::make_unique<DamageSkippingReader>(capture_, path, false, facts.timesCountFramesRead);
    return true;
}

FrameSource::FrameSource() = default;

FrameSource::~FrameSource() { release(); }

bool FrameSource::openDecodingAhead(const std::string& path) {
    if (!open(path)) return false;
    // Streams are read as they come, newest frame first: a frame decoded
    // ahead would only add to their delay.
    if (!isStill_ && IsStreamAddress(path)) {
        newest_ = std::make_unique<NewestFrame>(capture_);
        return true;
    }
    if (!isStill_) ahead_ = std::make_unique<DecodeAhead>(*reader_);
    return true;
}

bool FrameSource::isOpened() const { return isStill_ || ahead_ || newest_ || capture_.isOpened(); }

bool FrameSource::read(cv::Mat& frame) {
    frame.release();
    readPutBack_ = false;
    lastGap_.reset();
    if (!putBack_.empty()) {
        frame = putBack_;
        putBack_.release();
        readPutBack_ = true;
        return true;
    }
    if (isStill_) {
        if (stillDelivered_) return false;
        stillDelivered_ = true;
        frame = still_.clone();
        return true;
    }
    if (ahead_) return ahead_->Next(frame, lastTimestampMs_, lastGap_);
    if (newest_) return ReadNewest(frame);
    if (!reader_ || !capture_.isOpened()) return false;
    cv::Mat decoded;
    if (!reader_->Next(decoded, lastTimestampMs_, lastGap_)) return false;
    frame = ToBgr8(decoded);  // shares the pixels when already 8-bit BGR
    return !frame.empty();
}

bool FrameSource::peekNext(cv::Mat& frame, int offset) {
    frame.release();
    if (!putBack_.empty() || isStill_ || !ahead_ || offset < 0) return false;
    return ahead_->Peek(frame, static_cast<std::size_t>(offset));
}

bool FrameSource::ReadNewest(cv::Mat& frame) {
    if (!yielded_) {
        // The thread that recognises a stream's frames yields the cores to
        // the threads that decode it (made before it, at the opening): under
        // load, recognition skips frames instead of decoding falling behind
        // the stream. For good: an ordinary thread cannot take it back.
        yielded_ = true;
        const auto self = static_cast<id_t>(::syscall(SYS_gettid));
        errno = 0;
        const int nice = ::getpriority(PRIO_PROCESS, self);
        if (errno == 0 && nice < kRecognitionNice) ::setpriority(PRIO_PROCESS, self, kRecognitionNice);
    }
    NewestFrame::Frame taken;
    const bool ok = newest_->Next(taken);
    frame = taken.image;
    lastTimestampMs_ = taken.timestampMs;
    arrived_ = ok ? std::optional<std::chrono::system_clock::time_point>(taken.arrived) : std::nullopt;
    skippedBeforeLast_ = taken.droppedBefore;
    return ok;
}

std::optional<std::chrono::system_clock::time_point> FrameSource::arrivalTime() const {
    return readPutBack_ ? std::nullopt : arrived_;
}

long long FrameSource::skippedBeforeLast() const { return readPutBack_ ? 0 : skippedBeforeLast_; }

double FrameSource::timestampMs() const {
    if (readPutBack_) return putBackTimestampMs_;
    if (isStill_) return 0.0;
    return lastTimestampMs_;
}

std::optional<DamagedGap> FrameSource::damageBefore() const { return readPutBack_ ? putBackGap_ : lastGap_; }

void FrameSource::putBack(const cv::Mat& frame) {
    putBackTimestampMs_ = timestampMs();
    putBackGap_ = damageBefore();
    putBack_ = frame;
}

long long FrameSource::announcedFrames() const {
    if (isStill_) return 1;
    if (ahead_ || newest_ || !capture_.isOpened()) return 0;
    const double count = capture_.get(cv::CAP_PROP_FRAME_COUNT);
    // Some containers report nothing, a negative or an absurd count.
    return (std::isfinite(count) && count >= 1.0 && count < 1e9) ? static_cast<long long>(count) : 0;
}

double FrameSource::framesPerSecond() const {
    if (isStill_ || ahead_ || newest_ || !capture_.isOpened()) return 0.0;
    const double fps = capture_.get(cv::CAP_PROP_FPS);
    return std::isfinite(fps) && fps > 0.0 ? fps : 0.0;
}

void FrameSource::release() {
    ahead_.reset();  // its thread ends before the reader and capture it reads from
    reader_.reset();
    newest_.reset();
    arrived_.reset();
    skippedBeforeLast_ = 0;
    putBack_.release();
    putBackTimestampMs_ = 0.0;
    putBackGap_.reset();
    readPutBack_ = false;
    lastTimestampMs_ = 0.0;
    lastGap_.reset();
    creationTime_.reset();
    capture_.release();
    still_.release();
    isStill_ = false;
    stillDelivered_ = false;
}

}  // namespace kalvero
