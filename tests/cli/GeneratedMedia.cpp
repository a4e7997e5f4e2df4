#include "GeneratedMedia.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <utility>
#include <vector>

#include <opencv2/videoio.hpp>

#include "recognition_common/CheckDigit.h"
#include "tools/SampleVideo.h"

namespace kalvero {
namespace testing_cli {

bool FfmpegInstalled() { return std::system("command -v ffmpeg >/dev/null 2>&1") == 0; }

bool RunQuietly(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

std::vector<std::string> PassNumbers(int count) {
    std::vector<std::string> numbers;
    for (int i = 0; i < count; ++i) {
        // Seven digits that differ from one number to the next in most places.
        const std::string seven = std::to_string(3141592 + 1234567 * i % 6000000);
        numbers.push_back(seven + std::to_string(ComputeCheckDigit(seven)));
    }
    return numbers;
}

bool WritePassesVideo(const std::string& path, const std::vector<std::string>& numbers, int framesEach) {
    const cv::Size size(320, 240);
    cv::VideoWriter writer(path, cv::CAP_OPENCV_MJPEG, cv::VideoWriter::fourcc('M', 'J', 'P', 'G'), 25.0, size);
    if (!writer.isOpened()) return false;
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        SampleOptions sample;
        sample.number = numbers[i];
        sample.frames = framesEach;
        sample.size = size;
        sample.digitHeight = 24;
        sample.seed = 11 + i;
        const SampleScene scene(sample);
        for (int f = 0; f < framesEach; ++f) writer.write(scene.Frame(f));
    }
    return true;
}

bool CopyDamaged(const std::string& from, const std::string& to, long length, unsigned seed) {
    std::ifstream in(from, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.size() < static_cast<std::size_t>(2 * length)) return false;
    std::mt19937 random(seed);
    const std::size_t middle = bytes.size() / 2 - static_cast<std::size_t>(length / 2);
    for (long i = 0; i < length; ++i) bytes[middle + static_cast<std::size_t>(i)] = static_cast<char>(random() & 0xff);
    std::ofstream out(to, std::ios::binary);
    out << bytes;
    return static_cast<bool>(out);
}

namespace {

std::uint32_t Little32(const std::string& bytes, std::size_t at) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at])) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 1])) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 2])) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 3])) << 24;
}

}  // namespace

bool CopyWithUndecodableFrames(const std::string& from, const std::string& to, int first, int count) {
    std::ifstream in(from, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::size_t index = bytes.rfind("idx1");
    const std::size_t movi = bytes.find("movi");
    if (index == std::string::npos || movi == std::string::npos) return false;
    // Entries: chunk id, flags, offset (from "movi", or from the file's
    // start), size.
    std::vector<std::pair<std::size_t, std::size_t>> frames;
    const std::size_t entries = Little32(bytes, index + 4) / 16;
    for (std::size_t k = 0; k < entries && index + 24 + 16 * k <= bytes.size(); ++k) {
        const std::size_t at = index + 8 + 16 * k;
        if (bytes.compare(at + 2, 2, "dc") == 0) frames.emplace_back(Little32(bytes, at + 8), Little32(bytes, at + 12));
    }
    if (frames.empty() || static_cast<std::size_t>(first + count) > frames.size()) return false;
    const std::size_t base = frames.front().first > movi ? 0 : movi;
    std::mt19937 random(5);
    for (int f = first; f < first + count; ++f) {
        const std::size_t data = base + frames[static_cast<std::size_t>(f)].first + 8;
        const std::size_t size = frames[static_cast<std::size_t>(f)].second;
        for (std::size_t i = 200; i < size && data + i < bytes.size(); ++i) bytes[data + i] = static_cast<char>(random());
    }
    std::ofstream out(to, std::ios::binary);
    out << bytes;
    return static_cast<bool>(out);
}

long long FramesFfmpegDecodes(const std::string& path) {
    const std::string command = "ffprobe -v quiet -count_frames -select_streams v:0 -show_entries "
                                "stream=nb_read_frames -of csv=p=0 '" + path + "'";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return -1;
    long long frames = -1;
    if (std::fscanf(pipe, "%lld", &frames) != 1) frames = -1;
    pclose(pipe);
    return frames;
}

}  // namespace testing_cli
}  // namespace kalvero
