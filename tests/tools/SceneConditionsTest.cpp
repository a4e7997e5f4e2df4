#include <algorithm>
#include <optional>
#include <sstream>

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

#include "tools/SceneConditions.h"
#include "tools/SceneRepeatability.h"
#include "tools/VariedScene.h"

namespace kalvero {
namespace {

SampleOptions SmallSample(int frames = 10) {
    SampleOptions sample;
    sample.size = cv::Size(320, 240);
    sample.frames = frames;
    sample.digitHeight = 18;
    return sample;
}

VariedScene BuiltWith(const std::vector<SceneCondition>& conditions, SampleOptions sample = SmallSample(),
                      SceneOptions options = {}) {
    options.conditions = conditions;
    VariedScene scene;
    EXPECT_EQ(scene.Build(sample, options), "");
    return scene;
}

std::string NameOf(const ::testing::TestParamInfo<SceneCondition>& info) {
    std::string name = ConditionName(info.param);
    std::replace(name.begin(), name.end(), '-', '_');
    return name;
}

std::vector<SceneCondition> AllConditions() {
    std::vector<SceneCondition> all;
    for (const auto& entry : ConditionNames()) {
        all.push_back(entry.second);
    }
    return all;
}

// The first carriage number among the objects, copied (the objects are
// usually a temporary).
std::optional<TruthObject> MainNumber(const std::vector<TruthObject>& objects) {
    for (const TruthObject& o : objects) {
        if (o.isNumber) {
            return o;
        }
    }
    return std::nullopt;
}

// A frame in which the main number is wholly in view (the middle one, or
// for a fast pass the one nearest the middle that shows it whole).
int FrameShowingTheNumber(const VariedScene& scene) {
    const int middle = scene.FrameCount() / 2;
    for (int d = 0; d < scene.FrameCount(); ++d) {
        for (int i : {middle - d, middle + d}) {
            if (i >= 0 && i < scene.FrameCount()) {
                const std::optional<TruthObject> n = MainNumber(scene.Objects(i));
                if (n.has_value() && n->fullyVisible) {
                    return i;
                }
            }
        }
    }
    return -1;
}

class EveryCondition : public ::testing::TestWithParam<SceneCondition> {};

TEST_P(EveryCondition, TheSameSeedGivesTheSameFramesAndTruthAndAnotherSeedOthers) {
    const SampleOptions sample = SmallSample(6);
    const VariedScene a = BuiltWith({GetParam()}, sample);
    const VariedScene b = BuiltWith({GetParam()}, sample);
    SampleOptions other = sample;
    other.seed = 77;
    const VariedScene c = BuiltWith({GetParam()}, other);
    ExpectSeedDecidesTheScene(a, b, c, sample.size, {0, 3});
}

TEST_P(EveryCondition, ChangesThePictureAndKeepsTheNumberInItsTruth) {
    const SampleOptions sample = SmallSample();
    SceneOptions plain;
    VariedScene without;
    ASSERT_EQ(without.Build(sample, plain), "");
    const VariedScene with = BuiltWith({GetParam()}, sample);
    EXPECT_EQ(with.Numbers(), std::vector<std::string>{sample.number});
    const int shown = FrameShowingTheNumber(with);
    ASSERT_GE(shown, 0) << "the number is never wholly in view";
    EXPECT_EQ(MainNumber(with.Objects(shown))->text, sample.number);
    EXPECT_GT(cv::norm(with.Frame(shown), without.Frame(shown), cv::NORM_L1) / (sample.size.area() * 3.0), 0.2)
        << "the condition leaves the frame as it was";
}

// The carriage band of the plain look: paint 72, ink 192 (light digits).
cv::Mat BrightInBand(const cv::Mat& frame, double threshold) {
    cv::Mat grey;
    cv::cvtColor(frame, grey, cv::COLOR_BGR2GRAY);
    const cv::Rect band(0, frame.rows * 22 / 100, frame.cols, frame.rows * 60 / 100);
    cv::Mat ink = cv::Mat::zeros(grey.size(), CV_8U);
    cv::Mat bright;
    cv::compare(grey(band), threshold, bright, cv::CMP_GT);
    bright.copyTo(ink(band));
    return ink;
}

// Conditions that move the digits' pixels: every bright pixel of the
// carriage band lies in a truth box, and each box not hidden in part
// reaches its ink on all four sides.
class GeometricCondition : public ::testing::TestWithParam<SceneCondition> {};

TEST_P(GeometricCondition, TruthBoxesHoldThePaintedInk) {
    SampleOptions sample = SmallSample(12);
    const VariedScene scene = BuiltWith({GetParam()}, sample);
    // Interlaced: the box holds both fields, and the blur dims the single
    // rows of the comb's teeth at its ends.
    const int slack = GetParam() == SceneCondition::Interlaced ? 16 : 3;
    int checked = 0;
    for (int i = 0; i < sample.frames; ++i) {
        const auto objects = scene.Objects(i);
        const std::optional<TruthObject> n = MainNumber(objects);
        if (!n.has_value() || !n->fullyVisible) {
            continue;
        }
        ++checked;
        cv::Mat ink = BrightInBand(scene.Frame(i), 150);
        // Rows about the number only: at a slant the sky shows above the
        // far end of the carriage.
        const int h = sample.digitHeight;
        ink.rowRange(0, std::max(0, n->box.y - h)).setTo(0);
        ink.rowRange(std::min(ink.rows, n->box.br().y + h), ink.rows).setTo(0);
        cv::Mat covered = cv::Mat::zeros(ink.size(), CV_8U);
        for (const TruthObject& o : objects) {
            const cv::Rect grown(o.box.x - 2, o.box.y - 2, o.box.width + 4, o.box.height + 4);
            covered(grown & cv::Rect(0, 0, ink.cols, ink.rows)).setTo(255);
            const cv::Rect inkBox = cv::boundingRect(ink(o.box));
            ASSERT_GT(inkBox.area(), 0) << "frame " << i << " " << o.text;
            if (!o.occluded && o.fullyVisible) {
                EXPECT_LE(inkBox.x, slack) << "frame " << i;
                EXPECT_LE(inkBox.y, 3) << "frame " << i;
                EXPECT_GE(inkBox.br().x, o.box.width - slack) << "frame " << i;
                EXPECT_GE(inkBox.br().y, o.box.height - 3) << "frame " << i;
            }
        }
        ink.setTo(0, covered);
        EXPECT_EQ(cv::countNonZero(ink), 0) << "frame " << i << ": ink outside every box";
    }
    EXPECT_GT(checked, 0);
}

INSTANTIATE_TEST_SUITE_P(Scene, GeometricCondition,
                         ::testing::Values(SceneCondition::Perspective, SceneCondition::Interlaced,
                                           SceneCondition::RollingShutter, SceneCondition::Fast,
                                           SceneCondition::PaintedTwice, SceneCondition::GroupGap,
                                           SceneCondition::MotionBlur, SceneCondition::Pole),
                         NameOf);

// How strongly the rows of `grey` in `box` alternate up and down (each
// row against the mean of the rows beside it), per strip of `width`
// columns, and the same of its columns across the whole box.
std::vector<double> RowCombingPerStrip(const cv::Mat& grey, const cv::Rect& box, int width, double& columns) {
    cv::Mat g;
    grey.convertTo(g, CV_32F);
    std::vector<double> strips;
    double across = 0.0;
    int counted = 0;
    for (int x0 = box.x; x0 + width <= box.br().x; x0 += width) {
        double sum = 0.0;
        for (int y = box.y + 1; y + 1 < box.br().y; ++y) {
            for (int x = x0; x < x0 + width; ++x) {
                sum += std::abs(2.0f * g.at<float>(y, x) - g.at<float>(y - 1, x) - g.at<float>(y + 1, x));
                across += std::abs(2.0f * g.at<float>(y, x) - g.at<float>(y, x - 1) - g.at<float>(y, x + 1));
                ++counted;
            }
        }
        strips.push_back(sum / (width * (box.height - 2)));
    }
    columns = across / std::max(1, counted);
    return strips;
}

// An interlaced camera takes each field through its lens, so the comb
// runs along the rows of the picture whatever the camera's tilt: every
// stretch of the number is combed, none blended into a ghost where a
// tilted row fell between two rows of the picture.
TEST(InterlacedScene, EveryStretchOfTheNumberIsCombedAlongThePicturesRows) {
    for (std::uint64_t seed : {3ULL, 5ULL, 8ULL}) {
        SCOPED_TRACE(seed);
        SampleOptions sample = SmallSample(12);
        sample.size = cv::Size(640, 360);
        sample.digitHeight = 36;
        sample.seed = seed;
        SceneOptions options;
        options.varied = true;
        const VariedScene scene = BuiltWith({SceneCondition::Interlaced}, sample, options);
        const int shown = FrameShowingTheNumber(scene);
        ASSERT_GE(shown, 0);
        cv::Mat grey;
        cv::cvtColor(scene.Frame(shown), grey, cv::COLOR_BGR2GRAY);
        const cv::Rect box = MainNumber(scene.Objects(shown))->box & cv::Rect(1, 1, grey.cols - 2, grey.rows - 2);
        double columns = 0.0;
        const std::vector<double> strips = RowCombingPerStrip(grey, box, box.width / 8, columns);
        ASSERT_FALSE(strips.empty());
        EXPECT_GT(*std::min_element(strips.begin(), strips.end()), 2.0 * columns);
    }
}

// Conditions that change the light or cover the paint: the box still
// holds the digits, whose strokes give it far more edges than the same
// rows of paint beside it.
class PhotometricCondition : public ::testing::TestWithParam<SceneCondition> {};

TEST_P(PhotometricCondition, TruthBoxesHoldTheDigitsStrokes) {
    for (std::uint64_t seed : {1ULL, 2ULL, 3ULL}) {
        SampleOptions sample = SmallSample(4);
        sample.seed = seed;
        const VariedScene scene = BuiltWith({GetParam()}, sample);
        cv::Mat grey;
        cv::cvtColor(scene.Frame(2), grey, cv::COLOR_BGR2GRAY);
        cv::GaussianBlur(grey, grey, cv::Size(0, 0), 1.2);
        cv::Mat dx, dy, edges;
        cv::Sobel(grey, dx, CV_32F, 1, 0);
        cv::Sobel(grey, dy, CV_32F, 0, 1);
        edges = cv::abs(dx) + cv::abs(dy);
        const std::optional<TruthObject> n = MainNumber(scene.Objects(2));
        ASSERT_TRUE(n.has_value());
        const cv::Rect box = n->box;
        const cv::Rect frame(0, 0, grey.cols, grey.rows);
        const auto edgeLevel = [&](cv::Rect r) { return cv::mean(edges(r & frame))[0]; };
        const double inside = edgeLevel(box);
        const double left = edgeLevel(cv::Rect(box.x - box.width / 2 - 2, box.y, box.width / 2, box.height));
        const double right = edgeLevel(cv::Rect(box.br().x + 2, box.y, box.width / 2, box.height));
        EXPECT_GT(inside, 1.8 * std::max(left, right))
            << "seed " << seed << " inside " << inside << " left " << left << " right " << right;
    }
}

INSTANTIATE_TEST_SUITE_P(Scene, PhotometricCondition,
                         ::testing::Values(SceneCondition::Night, SceneCondition::Infrared, SceneCondition::Rain,
                                           SceneCondition::Snow, SceneCondition::Dirt, SceneCondition::Graffiti,
                                           SceneCondition::Faded),
                         NameOf);

INSTANTIATE_TEST_SUITE_P(Scene, EveryCondition, ::testing::ValuesIn(AllConditions()), NameOf);

TEST(SceneConditions, PerspectiveMakesTheFarDigitsSmallerThanTheNearOnes) {
    SceneOptions options;
    options.yawDegrees = 40.0;
    options.rollDegrees = 0.0;
    options.motion = SceneMotion::Static;
    SampleOptions sample = SmallSample(1);
    sample.size = cv::Size(480, 270);
    sample.digitHeight = 24;
    const VariedScene scene = BuiltWith({SceneCondition::Perspective}, sample, options);
    const std::optional<TruthObject> n = MainNumber(scene.Objects(0));
    ASSERT_TRUE(n.has_value());
    const cv::Mat ink = BrightInBand(scene.Frame(0), 140)(n->box);
    const int part = ink.cols / 8;
    const cv::Rect nearEnd = cv::boundingRect(ink(cv::Rect(0, 0, part, ink.rows)));
    const cv::Rect farEnd = cv::boundingRect(ink(cv::Rect(ink.cols - part, 0, part, ink.rows)));
    EXPECT_GT(nearEnd.height, 1.15 * farEnd.height) << nearEnd << " " << farEnd;
    // Foreshortened: narrower than the same number seen head-on.
    SceneOptions headOn;
    headOn.motion = SceneMotion::Static;
    const VariedScene plain = BuiltWith({SceneCondition::Dirt}, sample, headOn);
    EXPECT_LT(n->box.width, 0.9 * MainNumber(plain.Objects(0))->box.width);
}

TEST(SceneConditions, PaintedTwiceShowsTwoBoxesOfTheSameNumberForPartOfThePass) {
    SampleOptions sample = SmallSample(24);
    sample.size = cv::Size(480, 270);
    const VariedScene scene = BuiltWith({SceneCondition::PaintedTwice}, sample);
    int both = 0;
    int one = 0;
    for (int i = 0; i < sample.frames; ++i) {
        std::vector<cv::Rect> boxes;
        for (const TruthObject& o : scene.Objects(i)) {
            if (o.isNumber && o.fullyVisible) {
                EXPECT_EQ(o.text, sample.number);
                boxes.push_back(o.box);
            }
        }
        if (boxes.size() == 2) {
            ++both;
            EXPECT_EQ((boxes[0] & boxes[1]).area(), 0) << "frame " << i;
        } else if (boxes.size() == 1) {
            ++one;
        }
    }
    EXPECT_GT(both, 0);
    EXPECT_GT(one, 0);
    EXPECT_EQ(scene.Numbers(), std::vector<std::string>{sample.number});
}

TEST(SceneConditions, FastCarriageCrossesTheFrameInFiveToEightFrames) {
    const VariedScene scene = BuiltWith({SceneCondition::Fast}, SmallSample(30));
    int inView = 0;
    for (int i = 0; i < scene.FrameCount(); ++i) {
        inView += MainNumber(scene.Objects(i)).has_value();
    }
    EXPECT_GE(inView, 4);
    EXPECT_LE(inView, 9);
}

TEST(SceneConditions, AFastNumberWideForItsFrameIsStillWholeOnThreeFrames) {
    // Confirmation needs three frames: a number that fills most of the
    // frame's width must still be seen whole on three, however fast.
    for (int height : {18, 30, 34}) {
        for (std::uint64_t seed : {1u, 2u, 3u, 4u, 5u, 6u}) {
            SampleOptions sample = SmallSample(40);
            sample.digitHeight = height;
            sample.seed = seed;
            SceneOptions options;
            options.font = "/usr/share/fonts/truetype/liberation2/LiberationMono-Bold.ttf";
            const VariedScene scene = BuiltWith({SceneCondition::Fast}, sample, options);
            int whole = 0;
            for (int i = 0; i < scene.FrameCount(); ++i) {
                const std::optional<TruthObject> n = MainNumber(scene.Objects(i));
                whole += n.has_value() && n->fullyVisible;
            }
            EXPECT_GE(whole, 3) << "digit height " << height << ", seed " << seed;
        }
    }
}

TEST(SceneConditions, PoleHidesPartOfTheNumberInSomeFramesOnly) {
    const VariedScene scene = BuiltWith({SceneCondition::Pole}, SmallSample(20));
    int hidden = 0;
    for (int i = 0; i < scene.FrameCount(); ++i) {
        const std::optional<TruthObject> n = MainNumber(scene.Objects(i));
        hidden += n.has_value() && n->occluded;
    }
    EXPECT_GT(hidden, 0);
    EXPECT_LT(hidden, scene.FrameCount());
}

TEST(SceneConditions, NoConditionsDrawExactlyTheSceneWithout) {
    SceneOptions options;
    options.varied = true;
    options.font = "stencil";
    VariedScene a;
    ASSERT_EQ(a.Build(SmallSample(), options), "");
    options.conditions = {SceneCondition::Rain};
    VariedScene b;
    ASSERT_EQ(b.Build(SmallSample(), options), "");
    options.conditions.clear();
    VariedScene c;
    ASSERT_EQ(c.Build(SmallSample(), options), "");
    EXPECT_EQ(cv::norm(a.Frame(4), c.Frame(4), cv::NORM_INF), 0.0);
    EXPECT_GT(cv::norm(a.Frame(4), b.Frame(4), cv::NORM_L1), 0.0);
}

TEST(SceneConditions, AllConditionsTogetherStillShowTheNumber) {
    const VariedScene scene = BuiltWith(AllConditions(), SmallSample(16));
    bool seen = false;
    for (int i = 0; i < scene.FrameCount(); ++i) {
        const std::optional<TruthObject> n = MainNumber(scene.Objects(i));
        seen = seen || (n.has_value() && n->fullyVisible);
        EXPECT_EQ(scene.Frame(i).size(), SmallSample().size);
    }
    EXPECT_TRUE(seen);
}

// Every frame size and digit height that fits draws a scene whose number
// lies wholly inside the frame in its middle frames; the rest are refused
// with a message.
struct SizeCase {
    cv::Size size;
    int digitHeight;
    std::vector<SceneCondition> conditions;
    bool fits;
};

class SceneSizes : public ::testing::TestWithParam<SizeCase> {};

TEST_P(SceneSizes, DrawWhatFitsAndRefuseTheRest) {
    const SizeCase& c = GetParam();
    SampleOptions sample;
    sample.size = c.size;
    sample.digitHeight = c.digitHeight;
    sample.frames = 3;
    SceneOptions options;
    options.conditions = c.conditions;
    options.motion = SceneMotion::Static;
    VariedScene scene;
    const std::string error = scene.Build(sample, options);
    if (!c.fits) {
        EXPECT_NE(error, "");
        EXPECT_TRUE(error.find("fit") != std::string::npos || error.find("too large") != std::string::npos) << error;
        return;
    }
    ASSERT_EQ(error, "");
    const std::optional<TruthObject> n = MainNumber(scene.Objects(1));
    ASSERT_TRUE(n.has_value());
    EXPECT_TRUE(n->fullyVisible) << n->box;
    EXPECT_EQ(scene.Frame(1).size(), c.size);
}

INSTANTIATE_TEST_SUITE_P(
    Scene, SceneSizes,
    ::testing::Values(SizeCase{{320, 240}, 10, {SceneCondition::Perspective}, true},
                      SizeCase{{320, 240}, 24, {SceneCondition::Night}, true},
                      SizeCase{{320, 240}, 60, {}, false},
                      SizeCase{{320, 240}, 30, {SceneCondition::PaintedTwice}, false},
                      SizeCase{{1920, 1080}, 250, {SceneCondition::Perspective, SceneCondition::Rain}, true},
                      SizeCase{{640, 480}, 250, {}, false},
                      SizeCase{{3840, 2160}, 120, {SceneCondition::GroupGap, SceneCondition::Snow}, true}));

}  // namespace
}  // namespace kalvero
