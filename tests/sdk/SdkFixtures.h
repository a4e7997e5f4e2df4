#pragma once
#include <memory>
#include <string>
#include <vector>

#include <opencv2/core.hpp>

#include "kalvero/kalvero.h"

namespace kalvero::testing_sdk {

// Output (standard output and error together) and exit status of a shell
// command.
struct ShellResult {
    int status = -1;  // -1 when it did not exit normally
    std::string output;
};

// Runs `command` with /bin/sh and waits for it.
ShellResult RunShell(const std::string& command);

// The build folder the tests were configured in.
std::string BuildDir();

// A folder of this test process, removed when the process ends.
std::string ScratchDir();

// The default sample kalvero-make-sample draws (number 52473063), written
// once per process into ScratchDir() as `name` (.mkv: a video, .png: a
// still); its path.
std::string DefaultSample(const std::string& name);

// The frames of a video as cv::VideoCapture decodes them, BGR.
std::vector<cv::Mat> DecodedFrames(const std::string& path);

// `text` quoted for the shell.
std::string Quoted(const std::string& text);

using ReaderHandle = std::unique_ptr<kalvero_reader, decltype(&kalvero_reader_free)>;
using FrameHandle = std::unique_ptr<kalvero_frame, decltype(&kalvero_frame_free)>;
using OptionsHandle = std::unique_ptr<kalvero_options, decltype(&kalvero_options_free)>;

ReaderHandle NewReader(const kalvero_options* options = nullptr);
OptionsHandle NewOptions();

// A BGR8 image over `frame`'s pixels.
kalvero_image ImageOf(const cv::Mat& frame);

// One frame's outcome in comparable form.
struct FrameOutcome {
    std::vector<std::string> texts;
    std::vector<cv::Rect> boxes;
    std::vector<float> scores;
    std::string confirmed;  // empty when none
    std::vector<std::string> passes;  // "NUMBER first-last" of the passes ended with it
};

FrameOutcome OutcomeOf(const kalvero_frame* frame);

// Reads `frames` with a fresh reader (options as given) at 25 frames a
// second, then finishes it: one outcome a frame, the finish's last.
std::vector<FrameOutcome> ReadAll(const std::vector<cv::Mat>& frames, const kalvero_options* options = nullptr);

}  // namespace kalvero::testing_sdk
