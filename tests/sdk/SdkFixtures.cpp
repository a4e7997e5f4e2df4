#include "SdkFixtures.h"

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <mutex>
#include <stdexcept>

#include <opencv2/videoio.hpp>

namespace kalvero::testing_sdk {

ShellResult RunShell(const std::string& command) {
    ShellResult result;
    const std::string full = "(" + command + ") 2>&1 </dev/null";
    FILE* pipe = popen(full.c_str(), "r");
    if (pipe == nullptr) return result;
    std::array<char, 4096> buffer{};
    std::size_t got = 0;
    while ((got = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) result.output.append(buffer.data(), got);
    const int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

std::string BuildDir() { return KALVERO_BUILD_DIR; }

namespace {

struct Scratch {
    std::string path;
    Scratch() {
        std::string pattern = (std::filesystem::temp_directory_path() / "kalvero-sdk-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
        path = pattern;
    }
    ~Scratch() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
};

}  // namespace

std::string ScratchDir() {
    static Scratch scratch;
    return scratch.path;
}

std::string Quoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

std::string DefaultSample(const std::string& name) {
    static std::mutex mutex;
    static std::map<std::string, std::string> made;
    std::lock_guard<std::mutex> lock(mutex);
    const auto found = made.find(name);
    if (found != made.end()) return found->second;
    const std::string path = ScratchDir() + "/" + name;
    const ShellResult drawn = RunShell(Quoted(BuildDir() + "/kalvero-make-sample") + " " + Quoted(path));
    if (drawn.status != 0) throw std::runtime_error("kalvero-make-sample failed: " + drawn.output);
    made[name] = path;
    return path;
}

std::vector<cv::Mat> DecodedFrames(const std::string& path) {
    std::vector<cv::Mat> frames;
    cv::VideoCapture capture(path);
    cv::Mat frame;
    while (capture.read(frame)) frames.push_back(frame.clone());
    return frames;
}

ReaderHandle NewReader(const kalvero_options* options) {
    return ReaderHandle(kalvero_reader_new(options), &kalvero_reader_free);
}

OptionsHandle NewOptions() { return OptionsHandle(kalvero_options_new(), &kalvero_options_free); }

kalvero_image ImageOf(const cv::Mat& frame) {
    return kalvero_image{frame.data, frame.cols, frame.rows, static_cast<int>(frame.step), KALVERO_BGR8};
}

FrameOutcome OutcomeOf(const kalvero_frame* frame) {
    FrameOutcome outcome;
    for (int i = 0; i < kalvero_frame_reading_count(frame); ++i) {
        outcome.texts.push_back(kalvero_frame_reading_text(frame, i));
        const kalvero_box box = kalvero_frame_reading_box(frame, i);
        outcome.boxes.emplace_back(box.x, box.y, box.width, box.height);
        outcome.scores.push_back(kalvero_frame_reading_score(frame, i));
    }
    if (const char* confirmed = kalvero_frame_confirmed(frame)) outcome.confirmed = confirmed;
    for (int i = 0; i < kalvero_frame_pass_count(frame); ++i) {
        const kalvero_pass* pass = kalvero_frame_pass(frame, i);
        outcome.passes.push_back(std::string(kalvero_pass_number(pass)) + " " +
                                 std::to_string(kalvero_pass_first_frame(pass)) + "-" +
                                 std::to_string(kalvero_pass_last_frame(pass)));
    }
    return outcome;
}

std::vector<FrameOutcome> ReadAll(const std::vector<cv::Mat>& frames, const kalvero_options* options) {
    std::vector<FrameOutcome> outcomes;
    ReaderHandle reader = NewReader(options);
    if (!reader) throw std::runtime_error(std::string("kalvero_reader_new: ") + kalvero_last_error());
    for (std::size_t i = 0; i < frames.size(); ++i) {
        const kalvero_image image = ImageOf(frames[i]);
        kalvero_frame* result = nullptr;
        if (kalvero_read_frame(reader.get(), &image, static_cast<double>(i) / 25.0, &result) != KALVERO_OK) {
            throw std::runtime_error(std::string("kalvero_read_frame: ") + kalvero_last_error());
        }
        const FrameHandle owned(result, &kalvero_frame_free);
        outcomes.push_back(OutcomeOf(result));
    }
    kalvero_frame* rest = nullptr;
    if (kalvero_reader_finish(reader.get(), &rest) != KALVERO_OK) {
        throw std::runtime_error(std::string("kalvero_reader_finish: ") + kalvero_last_error());
    }
    const FrameHandle owned(rest, &kalvero_frame_free);
    outcomes.push_back(OutcomeOf(rest));
    return outcomes;
}

}  // namespace kalvero::testing_sdk
