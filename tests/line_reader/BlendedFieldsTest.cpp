// Two fields of a moving carriage blended into one picture: each digit
// beside a ghost of itself, half a digit or so to the side.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>

#include <opencv2/imgproc.hpp>

#include "DrawnLines.h"
#include "line_reader/BlendedFields.h"
#include "line_reader/Interlacing.h"
#include "line_reader/LineProposals.h"
#include "line_reader/ReadLines.h"

namespace kalvero {
namespace {

using testing::DrawLinePanel;
using testing::DrawnLineStyle;

const cv::Size kFrame(640, 200);

struct BlendCase {
    const char* name;
    float shift;       // pixels the carriage moved between the fields
    bool lightDigits;
    int digitHeight;
};

// The row as the first field saw it, and the frame with both fields
// blended and softened (the combing gone, as a deinterlacer or a scaler
// and the codec leave it), grey.
struct Blended {
    cv::Mat first;   // each field's picture, softened alike
    cv::Mat second;
    cv::Mat frame;
    cv::Rect ink;
};

Blended Blend(const BlendCase& c) {
    DrawnLineStyle style;
    style.text = "24675738";
    style.lightDigits = c.lightDigits;
    style.digitHeight = c.digitHeight;
    style.letterSpacing = 0.1;
    style.noiseSigma = 0.0;
    const cv::Point2f centre(0.5f * kFrame.width, 0.5f * kFrame.height);
    Blended b;
    cv::cvtColor(DrawLinePanel(kFrame, centre, style, &b.ink), b.first, cv::COLOR_BGR2GRAY);
    cv::cvtColor(DrawLinePanel(kFrame, centre + cv::Point2f(c.shift, 0.0f), style), b.second, cv::COLOR_BGR2GRAY);
    cv::GaussianBlur(b.first, b.first, cv::Size(), 1.0);
    cv::GaussianBlur(b.second, b.second, cv::Size(), 1.0);
    cv::addWeighted(b.first, 0.5, b.second, 0.5, 0.0, b.frame);
    cv::Mat noise(b.frame.size(), CV_16S);
    cv::RNG rng(static_cast<std::uint64_t>(c.shift * 100.0f) + static_cast<std::uint64_t>(c.digitHeight));
    rng.fill(noise, cv::RNG::NORMAL, 0.0, 2.0);
    cv::Mat noisy;
    b.frame.convertTo(noisy, CV_16S);
    noisy += noise;
    noisy.convertTo(b.frame, CV_8U);
    return b;
}

class BlendedFrame : public ::testing::TestWithParam<BlendCase> {};

TEST_P(BlendedFrame, TheShiftAndTheDigitsBandAreFound) {
    const Blended b = Blend(GetParam());
    ASSERT_FALSE(MayBeInterlaced(b.frame)) << "no combing left to find fields by";
    const BlendedFieldsGuess guess = GuessBlendedFields(b.frame);
    EXPECT_NEAR(guess.shift, GetParam().shift, 1.0);
    EXPECT_EQ((guess.band & b.ink), b.ink) << "band " << guess.band << " digits " << b.ink;
}

TEST_P(BlendedFrame, SeparatingBringsBackOneField) {
    const Blended b = Blend(GetParam());
    const cv::Mat separated = SeparateBlendedFields(b.frame, GetParam().shift);
    ASSERT_EQ(separated.size(), b.frame.size());
    ASSERT_EQ(separated.type(), CV_8UC1);
    // Over the digits and their ghost, clearly nearer one field's picture
    // than the blend is (the inverse rings a little beside sharp edges).
    cv::Rect both = b.ink;
    both.width += static_cast<int>(GetParam().shift) + 2;
    both &= cv::Rect(cv::Point(), b.frame.size());
    const auto error = [&](const cv::Mat& picture, const cv::Mat& field) {
        return cv::norm(picture(both), field(both), cv::NORM_L1) / both.area();
    };
    const double blendError = std::min(error(b.frame, b.first), error(b.frame, b.second));
    const double separatedError = std::min(error(separated, b.first), error(separated, b.second));
    EXPECT_LT(separatedError, 0.75 * blendError);
}

TEST_P(BlendedFrame, IsReadFromOneSeparatedField) {
    std::string error;
    const std::unique_ptr<LineReader> reader = LineReader::Create(error);
    ASSERT_NE(reader, nullptr) << error;
    const Blended b = Blend(GetParam());
    for (const int height : {0, GetParam().digitHeight}) {
        SCOPED_TRACE(height);
        LineReaderSettings settings;
        settings.digitHeight = height;
        const std::vector<LineReading> readings = ReadLineReadings(b.frame, settings, *reader);
        ASSERT_FALSE(readings.empty());
        EXPECT_EQ(readings.front().text, "24675738");
        EXPECT_GE(BoxIou(readings.front().box, b.ink), 0.5) << readings.front().box << " digits " << b.ink;
    }
}

// A frame wider than the copy the repeat is looked for in is read from its
// halvings, and what is read there is put back in the frame's pixels.
TEST(BlendedFields, AWideFrameIsReadFromItsHalvedCopyWithTheBoxInFramePixels) {
    std::string error;
    const std::unique_ptr<LineReader> reader = LineReader::Create(error);
    ASSERT_NE(reader, nullptr) << error;
    const Blended b = Blend(BlendCase{"dark14", 14.0f, false, 28});
    cv::Mat wide;
    cv::resize(b.frame, wide, b.frame.size() * 2, 0.0, 0.0, cv::INTER_LINEAR);
    cv::cvtColor(wide, wide, cv::COLOR_GRAY2BGR);
    const cv::Rect ink(b.ink.tl() * 2, b.ink.size() * 2);
    const std::vector<LineReading> readings = ReadLineReadings(wide, LineReaderSettings{}, *reader);
    ASSERT_FALSE(readings.empty());
    EXPECT_EQ(readings.front().text, "24675738");
    EXPECT_GE(BoxIou(readings.front().box, ink), 0.5) << readings.front().box << " digits " << ink;
}

INSTANTIATE_TEST_SUITE_P(BlendedFields, BlendedFrame,
                         ::testing::Values(BlendCase{"dark12", 12.0f, false, 30},
                                           BlendCase{"dark14", 14.0f, false, 28},
                                           BlendCase{"light18", 18.0f, true, 40}),
                         [](const ::testing::TestParamInfo<BlendCase>& info) { return std::string(info.param.name); });

// Two fields of a carriage side moving fast, combed row by row and then
// scaled (an analogue capture resized to the recording's size), so that
// the fields' rows are mixed and neither field comes back whole. Slats
// below the digits, as far apart as the carriage moved between the
// fields, repeat more clearly than the digits do.
struct CombedAndScaled {
    cv::Mat frame;
    cv::Rect ink;
};

CombedAndScaled CombAndScale(float shift) {
    const cv::Size drawn(640, 334);
    const cv::Size recorded(640, 300);
    DrawnLineStyle style;
    style.text = "24675738";
    style.digitHeight = 31;
    style.contrast = 110.0;
    style.letterSpacing = 0.1;
    style.noiseSigma = 0.0;
    const auto picture = [&](float dx, cv::Rect* ink) {
        cv::Mat grey;
        cv::cvtColor(DrawLinePanel(drawn, cv::Point2f(0.5f * drawn.width + dx, 89.0f), style, ink), grey,
                     cv::COLOR_BGR2GRAY);
        // A row of slats whose pitch is the shift: they repeat by it
        // whether or not they moved.
        for (int x = 20; x + 6 < drawn.width; x += static_cast<int>(shift)) {
            cv::rectangle(grey, cv::Rect(x + static_cast<int>(dx), 245, 2, 67), cv::Scalar(230), cv::FILLED);
        }
        return grey;
    };
    CombedAndScaled c;
    cv::Rect ink;
    cv::Mat combed = picture(0.0f, &ink);
    const cv::Mat second = picture(shift, nullptr);
    for (int y = 1; y < combed.rows; y += 2) second.row(y).copyTo(combed.row(y));
    cv::resize(combed, c.frame, recorded, 0.0, 0.0, cv::INTER_LINEAR);
    const double sy = static_cast<double>(recorded.height) / drawn.height;
    c.ink = cv::Rect(ink.x, static_cast<int>(ink.y * sy), ink.width + static_cast<int>(shift),
                     static_cast<int>(std::ceil(ink.height * sy)));
    return c;
}

TEST(BlendedFields, BandsAreGivenClearestFirstAndApart) {
    const CombedAndScaled c = CombAndScale(14.0f);
    const std::vector<BlendedFieldsGuess> bands = GuessBlendedFieldBands(c.frame, 3);
    ASSERT_EQ(bands.size(), 3u);
    EXPECT_EQ(GuessBlendedFields(c.frame).band, bands.front().band);
    EXPECT_EQ(GuessBlendedFields(c.frame).shift, bands.front().shift);
    for (std::size_t i = 0; i < bands.size(); ++i) {
        EXPECT_NEAR(bands[i].shift, 14.0, 1.0);
        if (i > 0) {
            EXPECT_LE(bands[i].clarity, bands[i - 1].clarity);
        }
        EXPECT_EQ(bands[i].strip & bands[i].band, bands[i].strip);
        for (std::size_t j = 0; j < i; ++j) {
            // No strip's middle lies inside a band before it.
            const int middle = bands[i].strip.y + bands[i].strip.height / 2;
            EXPECT_FALSE(middle > bands[j].band.y && middle < bands[j].band.br().y) << i << " in " << j;
        }
    }
    EXPECT_EQ(GuessBlendedFieldBands(c.frame, 1).size(), 1u);
}

TEST(BlendedFields, ACombedZoneTriesTheNextBandWhenTheClearestHoldsNoDigits) {
    const CombedAndScaled c = CombAndScale(14.0f);
    ASSERT_TRUE(MayBeInterlaced(c.frame));
    const std::vector<BlendedFieldsGuess> bands = GuessBlendedFieldBands(c.frame, 3);
    ASSERT_FALSE(bands.empty());
    ASSERT_TRUE((bands.front().band & c.ink).empty()) << "the slats must repeat most clearly " << bands.front().band;

    std::string error;
    const std::unique_ptr<LineReader> reader = LineReader::Create(error);
    ASSERT_NE(reader, nullptr) << error;
    for (const int height : {0, 28}) {
        SCOPED_TRACE(height);
        LineReaderSettings settings;
        settings.digitHeight = height;
        settings.requireCheckDigit = true;
        const std::vector<LineReading> readings = ReadLineReadings(c.frame, settings, *reader);
        ASSERT_FALSE(readings.empty());
        EXPECT_EQ(readings.front().text, "24675738");
        EXPECT_GE(BoxIou(readings.front().box, c.ink), 0.5) << readings.front().box << " digits " << c.ink;
    }
}

// Seven even digits, sharp, nothing blended: the zone reads no number, so
// its clearest repeats are separated and read. Separated by the digits' own
// pitch, the row shows echoes of its digits that read as eight; the row
// the zone read surely keeps them out.
TEST(BlendedFields, ASurelyReadRowIsNotReadAgainFromItsEchoes) {
    std::string error;
    const std::unique_ptr<LineReader> reader = LineReader::Create(error);
    ASSERT_NE(reader, nullptr) << error;
    for (const char* text : {"9111911", "1191119", "7111711"}) {
        for (const int height : {36, 30}) {
            SCOPED_TRACE(std::string(text) + " at " + std::to_string(height));
            DrawnLineStyle style;
            style.text = text;
            style.font = "/usr/share/fonts/truetype/croscore/Arimo-Bold.ttf";
            style.digitHeight = height;
            style.letterSpacing = 0.15;
            cv::Mat zone;
            cv::cvtColor(DrawLinePanel(cv::Size(640, 160), cv::Point2f(320.0f, 80.0f), style), zone,
                         cv::COLOR_BGR2GRAY);
            for (const int given : {0, height}) {
                LineReaderSettings settings;
                settings.digitHeight = given;
                std::vector<LineReading> rows;
                const std::vector<LineReading> readings = ReadLineReadings(zone, settings, *reader, &rows);
                EXPECT_TRUE(readings.empty()) << given << ": " << readings.front().text << " " << readings.front().score;
            }
        }
    }
}

// The search's correlations against the plain double sums: on a blended
// frame, on noise, on a strip count that leaves rows over at the bottom,
// and with lags reaching past the end of a narrow image's rows (which add
// nothing there rather than wrapping round).
TEST(BlendedFields, StripCorrelationsMatchThePlainSums) {
    cv::Mat noise(37, 90, CV_8UC1);
    cv::randu(noise, 0, 255);
    cv::Mat narrow(12, 9, CV_8UC1);
    cv::randu(narrow, 0, 255);
    const Blended blended = Blend(BlendCase{"dark", 14.0f, false, 32});
    cv::Mat halfRows;
    cv::resize(blended.frame, halfRows, cv::Size(blended.frame.cols, blended.frame.rows / 2), 0.0, 0.0,
               cv::INTER_AREA);
    struct Case {
        const char* name;
        cv::Mat grey;
        int maxLag;
        int strips;
    };
    for (const Case& c : {Case{"blended", halfRows, 43, 24}, Case{"noise", noise, 20, 8},
                          Case{"narrow", narrow, 12, 2}, Case{"lag 0", noise, 0, 8}}) {
        const cv::Mat fast = StripEdgeCorrelations(c.grey, c.maxLag);
        const cv::Mat plain = StripEdgeCorrelationsReference(c.grey, c.maxLag);
        ASSERT_EQ(fast.size(), cv::Size(c.maxLag + 1, c.strips)) << c.name;
        ASSERT_EQ(plain.size(), fast.size()) << c.name;
        for (int s = 0; s < fast.rows; ++s) {
            const double energy = plain.at<float>(s, 0);
            ASSERT_GT(energy, 0.0) << c.name;
            EXPECT_LE(cv::norm(fast.row(s), plain.row(s), cv::NORM_INF), 1e-5 * energy) << c.name << " strip " << s;
        }
        // A lag beyond the row: no pixel pairs, nothing summed.
        if (c.maxLag >= c.grey.cols) {
            EXPECT_EQ(cv::countNonZero(fast.colRange(c.grey.cols, c.maxLag + 1)), 0) << c.name;
            EXPECT_EQ(cv::countNonZero(plain.colRange(c.grey.cols, c.maxLag + 1)), 0) << c.name;
        }
    }
    EXPECT_TRUE(StripEdgeCorrelations(cv::Mat(7, 90, CV_8UC1, cv::Scalar(3)), 5).empty());
    EXPECT_TRUE(StripEdgeCorrelations(noise, -1).empty());
    EXPECT_TRUE(StripEdgeCorrelations(cv::Mat(37, 90, CV_8UC3, cv::Scalar(3, 3, 3)), 5).empty());
    EXPECT_TRUE(StripEdgeCorrelationsReference(cv::Mat(), 5).empty());
}

TEST(BlendedFields, NothingFromUnusableImagesAndNoChangeForNoShift) {
    EXPECT_EQ(GuessBlendedFields(cv::Mat()).shift, 0.0);
    EXPECT_EQ(GuessBlendedFields(cv::Mat(100, 640, CV_32FC1, cv::Scalar(1))).shift, 0.0);
    EXPECT_EQ(GuessBlendedFields(cv::Mat(4, 640, CV_8UC1, cv::Scalar(9))).shift, 0.0);
    EXPECT_EQ(GuessBlendedFields(cv::Mat(200, 640, CV_8UC1, cv::Scalar(90))).shift, 0.0);
    EXPECT_TRUE(GuessBlendedFieldBands(cv::Mat(), 3).empty());
    cv::Mat texture(200, 640, CV_8UC1);
    cv::randu(texture, 0, 255);
    EXPECT_TRUE(GuessBlendedFieldBands(texture, 0).empty());
    EXPECT_TRUE(SeparateBlendedFields(cv::Mat(), 10.0).empty());
    EXPECT_TRUE(SeparateBlendedFields(cv::Mat(10, 10, CV_16UC1), 10.0).empty());
    cv::Mat grey(20, 30, CV_8UC1);
    cv::randu(grey, 0, 255);
    EXPECT_EQ(cv::norm(SeparateBlendedFields(grey, 0.5), grey, cv::NORM_INF), 0.0);
    cv::Mat bgr;
    cv::cvtColor(grey, bgr, cv::COLOR_GRAY2BGR);
    EXPECT_EQ(SeparateBlendedFields(bgr, 0.0).type(), CV_8UC1);
}

}  // namespace
}  // namespace kalvero
