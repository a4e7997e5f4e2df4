#include "GeneratedMedia.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>

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
