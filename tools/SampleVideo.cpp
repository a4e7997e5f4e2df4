#include "tools/SampleVideo.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <ostream>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>

#include "command_line/CommandLine.h"
#include "command_line/OptionNumbers.h"
#include "command_line/PrintableText.h"
#include "detection/GlyphTemplateBank.h"
#include "tools/CropCommand.h"
#include "tools/DigitFonts.h"
#include "tools/NumberPainter.h"
#include "tools/SampleFailure.h"
#include "tools/SampleTruth.h"
#include "tools/SceneConditions.h"
#include "tools/VariedScene.h"

namespace kalvero {

namespace {

// The default sample's look: a carriage-side panel across the middle of the
// frame with the number in its upper part and a stripe below, mild blur and
// noise. Chosen once so that the glyph reader reads it at the default digit
// height; tests and the README's figures depend on these values.
constexpr double kGapFraction = 0.25;  // gap between glyph boxes, in glyph widths
constexpr double kPanelTopFraction = 0.20;
constexpr double kPanelHeightFraction = 0.64;
constexpr double kNumberTopFraction = 0.26;   // of the panel height
constexpr double kMaxDigitFraction = 0.40;    // digit height + 2 at most this share of the panel
constexpr double kStripeTopFraction = 0.74;
constexpr double kStripeHeightFraction = 0.06;
constexpr double kDigitContrast = 120.0;
constexpr double kBlurSigma = 0.7;
constexpr double kNoiseSigma = 3.0;

int PanelHeightFor(cv::Size size) {
    return static_cast<int>(std::lround(size.height * kPanelHeightFraction));
}

int NumberMarginFor(cv::Size size) { return std::max(8, size.width / 40); }

int NumberWidthFor(const SampleOptions& sample) {
    const int n = static_cast<int>(sample.number.size());
    return DigitAdvance(sample.digitHeight, kGapFraction) * (n - 1) +
           GlyphWidthFor(sample.digitHeight) + 2;
}

// Seeds of the independent random parts of a scene.
std::uint64_t SubSeed(std::uint64_t seed, std::uint64_t part) {
    return seed * 1000003ULL + part * 7919ULL + 17ULL;
}

// Grey level (float) to BGR with a colour cast; 1.0 factors leave it grey.
cv::Mat Tint(const cv::Mat& grey, double b, double g, double r) {
    std::vector<cv::Mat> channels{grey * b, grey * g, grey * r};
    cv::Mat merged;
    cv::merge(channels, merged);
    cv::Mat bgr;
    merged.convertTo(bgr, CV_8UC3);
    return bgr;
}

cv::Mat TextureF(cv::Size size, double base, double amplitude, std::uint64_t seed) {
    cv::Mat grey(size, CV_8UC1);
    FillTexture(grey, base, amplitude, seed);
    cv::Mat f;
    grey.convertTo(f, CV_32F);
    return f;
}

// Soft dark blotches and faint vertical rain streaks on a float grey image.
void AddGrime(cv::Mat& grey, std::uint64_t seed) {
    cv::RNG rng(seed);
    cv::Mat dirt = cv::Mat::zeros(grey.size(), CV_32F);
    const int blotches = std::max(3, grey.cols / 120);
    for (int i = 0; i < blotches; ++i) {
        const cv::Point c(rng.uniform(0, grey.cols), rng.uniform(0, grey.rows));
        const int radius = std::max(3, static_cast<int>(grey.rows * rng.uniform(0.05, 0.18)));
        cv::circle(dirt, c, radius, cv::Scalar(rng.uniform(10.0, 22.0)), cv::FILLED, cv::LINE_AA);
    }
    const double soft = std::max(2.0, grey.rows * 0.06);
    cv::GaussianBlur(dirt, dirt, cv::Size(0, 0), soft, soft, cv::BORDER_REPLICATE);
    const int streaks = std::max(4, grey.cols / 60);
    for (int i = 0; i < streaks; ++i) {
        const int x = rng.uniform(0, grey.cols);
        const int top = rng.uniform(0, std::max(1, grey.rows / 3));
        const int length = rng.uniform(grey.rows / 4, std::max(grey.rows / 4 + 1, grey.rows - top));
        const double depth = rng.uniform(4.0, 9.0);
        for (int y = top; y < std::min(grey.rows, top + length); ++y) {
            // Fades out towards the streak's lower end.
            const double fade = 1.0 - static_cast<double>(y - top) / length;
            dirt.at<float>(y, x) += static_cast<float>(depth * fade);
        }
    }
    grey -= dirt;
}

}  // namespace

std::string ValidateSampleOptions(const SampleOptions& sample) {
    if (sample.number.empty() || sample.number.size() > 19 ||
        !std::all_of(sample.number.begin(), sample.number.end(),
                     [](unsigned char c) { return std::isdigit(c) != 0; })) {
        return "number '" + sample.number + "' must be 1 to 19 decimal digits";
    }
    if (sample.frames < 1 || sample.frames > 100000) {
        return "frame count " + std::to_string(sample.frames) + " is out of range (1..100000)";
    }
    if (sample.digitHeight < 10 || sample.digitHeight > 250) {
        return "digit height " + std::to_string(sample.digitHeight) + " is out of range (10..250)";
    }
    if (sample.size.width < 64 || sample.size.height < 64 || sample.size.width > 4096 ||
        sample.size.height > 4096) {
        return "size " + std::to_string(sample.size.width) + "x" + std::to_string(sample.size.height) +
               " is out of range (64x64..4096x4096)";
    }
    if (sample.digitHeight + 2 > kMaxDigitFraction * PanelHeightFor(sample.size)) {
        return "digit height " + std::to_string(sample.digitHeight) + " is too large for a frame " +
               std::to_string(sample.size.height) + " pixels high";
    }
    if (NumberWidthFor(sample) + 2 * NumberMarginFor(sample.size) > sample.size.width) {
        return "the number does not fit a frame " + std::to_string(sample.size.width) +
               " pixels wide at digit height " + std::to_string(sample.digitHeight);
    }
    return "";
}

SampleScene::SampleScene(const SampleOptions& sample) : sample_(sample) {
    const cv::Size size = sample.size;
    const int panelHeight = PanelHeightFor(size);
    panelTop_ = static_cast<int>(std::lround(size.height * kPanelTopFraction));
    const int numberWidth = NumberWidthFor(sample);
    const int margin = NumberMarginFor(size);
    firstNumberLeft_ = size.width - margin - numberWidth;
    lastNumberLeft_ = margin;

    // Background: sky, an embankment, gravel with two rails, catenary poles
    // and a contact wire. It never moves.
    {
        cv::Mat grey = TextureF(size, 0.0, 6.0, SubSeed(sample.seed, 1));
        const int horizon = static_cast<int>(size.height * 0.42);
        const int railTop = static_cast<int>(size.height * 0.86);
        for (int y = 0; y < size.height; ++y) {
            float level;
            if (y < horizon) {
                level = static_cast<float>(205.0 + 25.0 * y / std::max(1, horizon));
            } else if (y < railTop) {
                level = 120.0f;
            } else {
                level = 135.0f;
            }
            grey.row(y) += level;
        }
        cv::Mat gravel = TextureF(size, 0.0, 22.0, SubSeed(sample.seed, 2));
        const cv::Rect ground(0, railTop, size.width, size.height - railTop);
        grey(ground) += gravel(ground);
        background_ = Tint(grey, 1.02, 1.0, 0.97);
        const int railY1 = railTop + (size.height - railTop) / 3;
        const int railY2 = railTop + 2 * (size.height - railTop) / 3;
        for (int railY : {railY1, railY2}) {
            cv::line(background_, {0, railY}, {size.width - 1, railY}, cv::Scalar(60, 62, 66),
                     std::max(1, size.height / 180), cv::LINE_AA);
        }
        const int poleWidth = std::max(3, size.width / 90);
        for (double at : {0.18, 0.63}) {
            const int x = static_cast<int>(size.width * at);
            cv::rectangle(background_, cv::Rect(x, 0, poleWidth, railTop), cv::Scalar(70, 72, 75),
                          cv::FILLED);
        }
        const int wireY = std::max(2, size.height / 20);
        cv::line(background_, {0, wireY}, {size.width - 1, wireY + size.height / 60},
                 cv::Scalar(50, 50, 50), 1, cv::LINE_AA);
    }

    // The carriage side: painted panel, grime, seams, a long stripe, the
    // roof edge and the number.
    {
        const int numberOffset = size.width / 2;  // panel x of the number's left edge
        const int panelWidth = numberOffset + numberWidth + size.width + margin;
        const double base = sample.lightDigits ? 72.0 : 188.0;
        cv::Mat grey = TextureF({panelWidth, panelHeight}, base, 10.0, SubSeed(sample.seed, 3));
        AddGrime(grey, SubSeed(sample.seed, 4));

        const int numberTop = static_cast<int>(panelHeight * kNumberTopFraction);
        numberOnPanel_ = cv::Rect(numberOffset, numberTop, numberWidth, sample.digitHeight + 2);

        // Seams: thin dark vertical joints between the sheets, kept clear of
        // the number.
        const cv::Rect keepClear(numberOnPanel_.x - 2 * sample.digitHeight, 0,
                                 numberOnPanel_.width + 4 * sample.digitHeight, panelHeight);
        const int seamSpacing = std::max(40, static_cast<int>(size.width * 0.45));
        for (int x = seamSpacing / 3; x < panelWidth; x += seamSpacing) {
            if (x >= keepClear.x && x < keepClear.br().x) {
                continue;
            }
            grey.colRange(x, std::min(panelWidth, x + 2)) -= 35.0;
            if (x + 2 < panelWidth) {
                grey.col(x + 2) += 12.0;  // light edge of the overlapping sheet
            }
        }

        // The long stripe below the number and the dark roof edge above it.
        const int stripeTop = static_cast<int>(panelHeight * kStripeTopFraction);
        const int stripeHeight = std::max(3, static_cast<int>(panelHeight * kStripeHeightFraction));
        grey.rowRange(stripeTop, stripeTop + stripeHeight) += sample.lightDigits ? 70.0 : -70.0;
        const int roof = std::max(2, panelHeight / 25);
        grey.rowRange(0, roof) -= 45.0;

        panel_ = sample.lightDigits ? Tint(grey, 0.92, 1.05, 0.95) : Tint(grey, 1.0, 0.98, 0.94);
        const double ink = std::clamp(base + (sample.lightDigits ? kDigitContrast : -kDigitContrast),
                                      0.0, 255.0);
        DrawDigits(panel_, sample.number, numberOnPanel_.tl(), sample.digitHeight, kGapFraction,
                   cv::Scalar(ink, ink, ink));
    }
}

int SampleScene::PanelLeft(int index) const {
    const cv::Rect box = NumberBox(index);
    return box.x - numberOnPanel_.x;
}

cv::Rect SampleScene::NumberBox(int index) const {
    int left = firstNumberLeft_;
    if (sample_.frames > 1) {
        const double t = static_cast<double>(index) / (sample_.frames - 1);
        left = static_cast<int>(std::lround(firstNumberLeft_ + (lastNumberLeft_ - firstNumberLeft_) * t));
    } else {
        left = (firstNumberLeft_ + lastNumberLeft_) / 2;
    }
    return cv::Rect(left, panelTop_ + numberOnPanel_.y, numberOnPanel_.width, numberOnPanel_.height);
}

cv::Mat SampleScene::Frame(int index) const {
    cv::Mat frame = background_.clone();
    const int left = PanelLeft(index);
    const cv::Rect onFrame =
        cv::Rect(left, panelTop_, panel_.cols, panel_.rows) & cv::Rect(0, 0, frame.cols, frame.rows);
    if (onFrame.area() > 0) {
        panel_(onFrame - cv::Point(left, panelTop_)).copyTo(frame(onFrame));
    }
    cv::GaussianBlur(frame, frame, cv::Size(0, 0), kBlurSigma, kBlurSigma, cv::BORDER_REPLICATE);
    AddNoise(frame, kNoiseSigma, SubSeed(sample_.seed, 100 + static_cast<std::uint64_t>(index)));
    return frame;
}

std::string WriteSample(const std::string& path, const SampleOptions& sample, const VideoEncoding& encoding) {
    const std::string invalid = ValidateSampleOptions(sample);
    if (!invalid.empty()) {
        return invalid;
    }
    const SampleScene scene(sample);
    return WriteFrames(path, sample.size, sample.framesPerSecond, sample.frames,
                       [&scene](int index) { return scene.Frame(index); }, encoding);
}

namespace {

std::string WriteTruthFor(const SampleCommand& command, const std::string& font,
                          const std::vector<std::string>& numbers,
                          const std::function<std::vector<TruthObject>(int)>& objects) {
    if (command.truthPath.empty()) {
        return "";
    }
    const SampleOptions& sample = command.sample;
    const bool still = SampleFileKindFor(command.outPath) == SampleFileKind::StillImage;
    SampleTruth truth;
    truth.file = command.outPath;
    truth.size = sample.size;
    truth.frames = still ? 1 : sample.frames;
    truth.framesPerSecond = sample.framesPerSecond;
    truth.font = font;
    truth.seed = sample.seed;
    truth.numbers = numbers;
    if (still) {
        truth.frameObjects.push_back(objects(StillFrameIndex(sample.frames)));
    } else {
        for (int i = 0; i < sample.frames; ++i) {
            truth.frameObjects.push_back(objects(i));
        }
    }
    return WriteSampleTruth(command.truthPath, truth);
}

int WriteDefaultSample(const SampleCommand& command, std::ostream& err) {
    const std::string failure = WriteSample(command.outPath, command.sample, command.encoding);
    if (!failure.empty()) {
        return SampleFailed(err, failure, 3);
    }
    if (command.truthPath.empty()) {
        return 0;
    }
    const SampleOptions& sample = command.sample;
    const SampleScene scene(sample);
    // The glyphs' ink within the scene's number box, the same in every frame.
    cv::Mat ink = cv::Mat::zeros(scene.NumberBox(0).size(), CV_8U);
    DrawDigits(ink, sample.number, cv::Point(0, 0), sample.digitHeight, kGapFraction, cv::Scalar(255));
    const cv::Rect inkBox = cv::boundingRect(ink);
    const cv::Rect frame(0, 0, sample.size.width, sample.size.height);
    const std::string truthFailure = WriteTruthFor(command, "glyph", {sample.number}, [&](int index) {
        const cv::Rect whole = inkBox + scene.NumberBox(index).tl();
        return std::vector<TruthObject>{{sample.number, true, whole & frame, (whole & frame) == whole}};
    });
    return truthFailure.empty() ? 0 : SampleFailed(err, truthFailure, 3);
}

int WriteVariedSample(const SampleCommand& command, std::ostream& err) {
    VariedScene scene;
    const std::string problem = scene.Build(command.sample, command.scene);
    if (!problem.empty()) {
        return SampleFailed(err, problem, 2);
    }
    const SampleOptions& sample = command.sample;
    const std::string failure = WriteFrames(command.outPath, sample.size, sample.framesPerSecond, sample.frames,
                                            [&scene](int index) { return scene.Frame(index); }, command.encoding);
    if (!failure.empty()) {
        return SampleFailed(err, failure, 3);
    }
    const std::string truthFailure = WriteTruthFor(command, scene.FontName(), scene.Numbers(),
                                                   [&scene](int index) { return scene.Objects(index); });
    return truthFailure.empty() ? 0 : SampleFailed(err, truthFailure, 3);
}

}  // namespace

std::string SampleUsage() {
    return "Usage: kalvero-make-sample OUT [options]\n"
           "Writes a synthetic video of a railway carriage carrying a number.\n"
           "OUT ending in .avi or .mkv gives Motion-JPEG, .mov MPEG-4 part 2 (both through\n"
           "OpenCV), .mp4 H.264 (through the ffmpeg program); .png, .jpg, .bmp or .tif\n"
           "gives the middle frame as a still image.\n"
           "\n"
           "  --number N          digits painted on the carriage (52473063)\n"
           "  --frames F          number of frames, 1..100000 (60)\n"
           "  --size WxH          frame size in pixels, 320x240..3840x2160 (640x360)\n"
           "  --digit-height H    height of the painted digits in pixels, 10..250 (29)\n"
           "  --polarity P        light: light digits on a dark panel; dark: the reverse (light)\n"
           "  --seed S            seed of texture, grime, noise and every condition (1)\n"
           "  --font F            glyph (the reader's own), stencil, block-stencil, hand\n"
           "                      (brush-painted, every digit different) or a .ttf/.otf file (glyph)\n"
           "  --varied            vary paint, decorations and camera from the seed\n"
           "  --scene S           pass, enter-leave, two-carriages or static (pass)\n"
           "  --negative K        " + NegativeNameList(", ") + "\n"
           "                      (none)\n"
           "  --condition C[,C..] what the camera sees, combined as given (may be repeated):\n"
           "                      " + ConditionNameList(", ") + "\n"
           "  --yaw DEG           perspective: the camera's yaw off the carriage side, 0..45\n"
           "                      (drawn from the seed, 25..45 either way); implies perspective\n"
           "  --roll DEG          perspective: the camera's roll, -8..8 (drawn from the seed);\n"
           "                      implies perspective\n"
           "  --number2 N         the second carriage's number (drawn from the seed)\n"
           "  --jpeg-quality Q    pass every frame through JPEG at quality 1..100\n"
           "  --codec C           h264, mpeg4 or mjpeg: encode through ffmpeg (by the extension)\n"
           "  --bitrate KBITS     encode through ffmpeg at about this many kbit/s, 10..100000\n"
           "  --truth FILE.json   write what each frame shows: numbers, distractors, boxes\n"
           "  --help              this text\n"
           "\n"
           "Usage: kalvero-make-sample --crops DIR --count N [options]\n"
           "Writes N line crops (160x32 grey PNG) and DIR/labels.tsv for training.\n"
           "  --fonts LIST        comma-separated glyph, stencil, block-stencil, hand or font files\n"
           "                      (the training fonts)\n"
           "  --seed S            seed of the whole set (1)\n"
           "  --negatives-share P share of crops without a whole digit (0.08)\n"
           "  --conditions P      share of crops drawn under a random mix of the conditions\n"
           "                      above, with hand and block-stencil digits, 10..250 px digits\n"
           "                      and hard negatives, 0..1 (0)\n"
           "  --jobs N            threads; the files do not depend on it (1)\n";
}

std::string ParseSampleCommand(const std::vector<std::string>& args, SampleCommand& command) {
    command = SampleCommand{};
    static const OptionNames kNames{{"--help", "-h", "--varied"},
                                    {"--number", "--frames", "--size", "--digit-height", "--polarity",
                                     "--seed", "--font", "--scene", "--negative", "--truth",
                                     "--jpeg-quality", "--number2", "--condition", "--yaw", "--roll",
                                     "--codec", "--bitrate"}};
    std::vector<CommandWord> words;
    const std::string split = SplitCommandLine(args, kNames, words);
    if (!split.empty()) {
        return split;
    }
    bool haveOut = false;
    for (const CommandWord& word : words) {
        const std::string& name = word.name;
        const std::string& value = word.value;
        if (word.IsOperand()) {
            if (haveOut) {
                return "more than one output file given ('" + PrintableText(command.outPath) + "' and '" +
                       PrintableText(value) + "')";
            }
            command.outPath = value;
            haveOut = true;
            continue;
        }
        const std::string bad = "invalid value '" + PrintableText(value) + "' for " + name;
        std::string problem;
        if (name == "--help" || name == "-h") {
            command.help = true;
        } else if (name == "--varied") {
            command.scene.varied = true;
        } else if (name == "--number") {
            command.sample.number = value;
        } else if (name == "--frames") {
            problem = ParseWholeOption(name, value, 1, 100000, command.sample.frames);
        } else if (name == "--size") {
            OptionSize size;
            problem = ParseSizeOption(name, value, 1 << 20, size);
            if (problem.empty()) {
                command.sample.size = cv::Size(size.width, size.height);
            }
        } else if (name == "--digit-height") {
            problem = ParseWholeOption(name, value, 10, 250, command.sample.digitHeight);
        } else if (name == "--polarity") {
            if (value == "light") {
                command.sample.lightDigits = true;
            } else if (value == "dark") {
                command.sample.lightDigits = false;
            } else {
                problem = bad + " (light or dark)";
            }
        } else if (name == "--seed") {
            problem = ParseUnsignedOption(name, value, command.sample.seed);
        } else if (name == "--font") {
            std::error_code error;
            if (!IsDrawnFontName(value) && !std::filesystem::is_regular_file(value, error)) {
                problem = bad + " (glyph, stencil, block-stencil, hand or an existing .ttf/.otf file)";
            } else {
                command.scene.font = value;
            }
        } else if (name == "--scene") {
            const std::pair<const char*, SceneMotion> motions[] = {{"pass", SceneMotion::Pass},
                                                                   {"enter-leave", SceneMotion::EnterLeave},
                                                                   {"two-carriages", SceneMotion::TwoCarriages},
                                                                   {"static", SceneMotion::Static}};
            const auto* found = std::find_if(std::begin(motions), std::end(motions),
                                             [&](const auto& m) { return value == m.first; });
            if (found == std::end(motions)) {
                problem = bad + " (pass, enter-leave, two-carriages or static)";
            } else {
                command.scene.motion = found->second;
            }
        } else if (name == "--negative") {
            const auto& kinds = NegativeNames();
            const auto found = std::find_if(kinds.begin(), kinds.end(), [&](const auto& k) { return value == k.first; });
            if (found == kinds.end()) {
                problem = bad + " (" + NegativeNameList(", ") + ")";
            } else {
                command.scene.negative = found->second;
            }
        } else if (name == "--condition") {
            const std::string unknown = ParseConditionList(value, command.scene.conditions);
            if (!unknown.empty()) {
                problem = "--condition: " + PrintableText(unknown);
            }
        } else if (name == "--yaw") {
            problem = ParseRealOption(name, value, 0.0, 45.0, command.scene.yawDegrees);
            if (problem.empty() && !command.scene.Has(SceneCondition::Perspective)) {
                command.scene.conditions.push_back(SceneCondition::Perspective);
            }
        } else if (name == "--roll") {
            problem = ParseRealOption(name, value, -8.0, 8.0, command.scene.rollDegrees);
            if (problem.empty() && !command.scene.Has(SceneCondition::Perspective)) {
                command.scene.conditions.push_back(SceneCondition::Perspective);
            }
        } else if (name == "--codec") {
            if (value == "h264") {
                command.encoding.codec = VideoCodec::H264;
            } else if (value == "mpeg4") {
                command.encoding.codec = VideoCodec::Mpeg4;
            } else if (value == "mjpeg") {
                command.encoding.codec = VideoCodec::Mjpeg;
            } else {
                problem = bad + " (h264, mpeg4 or mjpeg)";
            }
        } else if (name == "--bitrate") {
            problem = ParseWholeOption(name, value, 10, 100000, command.encoding.bitrateKbits);
        } else if (name == "--truth") {
            if (value.empty()) {
                problem = bad + " (a file name)";
            } else {
                command.truthPath = value;
            }
        } else if (name == "--jpeg-quality") {
            problem = ParseWholeOption(name, value, 1, 100, command.scene.jpegQuality);
        } else if (name == "--number2") {
            if (value.empty() || value.size() > 19 || value.find_first_not_of("0123456789") != std::string::npos) {
                problem = bad + " (1 to 19 decimal digits)";
            } else {
                command.scene.number2 = value;
            }
        }
        if (!problem.empty()) {
            return problem;
        }
    }
    if (command.help) {
        return "";
    }
    if (!haveOut) {
        return "no output file given";
    }
    if (SampleFileKindFor(command.outPath) == SampleFileKind::Unknown) {
        return "cannot tell the format of '" + command.outPath +
               "' from its extension (use .avi, .mkv, .mp4, .mov, .png, .jpg, .bmp or .tif)";
    }
    const cv::Size size = command.sample.size;
    if (size.width < kMinSampleWidth || size.height < kMinSampleHeight || size.width > kMaxSampleWidth ||
        size.height > kMaxSampleHeight) {
        return "--size " + std::to_string(size.width) + "x" + std::to_string(size.height) + " is out of range (" +
               std::to_string(kMinSampleWidth) + "x" + std::to_string(kMinSampleHeight) + ".." +
               std::to_string(kMaxSampleWidth) + "x" + std::to_string(kMaxSampleHeight) + ")";
    }
    if (SampleFileKindFor(command.outPath) == SampleFileKind::StillImage &&
        (command.encoding.codec != VideoCodec::Default || command.encoding.bitrateKbits > 0)) {
        return "--codec and --bitrate apply to videos only, not to '" + PrintableText(command.outPath) + "'";
    }
    return ValidateSampleOptions(command.sample);
}

int RunMakeSample(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (WantsCrops(args)) {
        return RunMakeCrops(args, out, err);
    }
    SampleCommand command;
    const std::string error = ParseSampleCommand(args, command);
    if (!error.empty()) {
        return SampleFailed(err, error, 2);
    }
    if (command.help) {
        out << SampleUsage();
        return 0;
    }
    const int status = command.scene.IsDefault() ? WriteDefaultSample(command, err)
                                                 : WriteVariedSample(command, err);
    if (status != 0) {
        return status;
    }
    const SampleOptions& s = command.sample;
    const bool still = SampleFileKindFor(command.outPath) == SampleFileKind::StillImage;
    out << "Wrote " << command.outPath << ": " << (still ? 1 : s.frames) << " frame"
        << ((still || s.frames == 1) ? "" : "s") << " of " << s.size.width << "x" << s.size.height
        << ", number " << s.number << ", digit height " << s.digitHeight << ", "
        << (s.lightDigits ? "light" : "dark") << " digits";
    if (!command.scene.IsDefault()) {
        out << " (font " << command.scene.font << (command.scene.varied ? ", varied" : "");
        if (command.scene.negative != SceneNegative::None) {
            out << ", negative " << NegativeName(command.scene.negative);
        }
        for (SceneCondition c : command.scene.conditions) {
            out << ", " << ConditionName(c);
        }
        out << ")";
    }
    if (!command.truthPath.empty()) {
        out << ", truth in " << command.truthPath;
    }
    out << "\n";
    return 0;
}

}  // namespace kalvero
