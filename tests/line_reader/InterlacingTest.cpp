// Interlaced video: a moving carriage seen in two fields taken apart in time.
#include <gtest/gtest.h>

#include <memory>

#include <opencv2/imgproc.hpp>

#include "DrawnLines.h"
#include "line_reader/Interlacing.h"
#include "line_reader/LineProposals.h"
#include "line_reader/ReadLines.h"

namespace kalvero {
namespace {

using testing::DrawLinePanel;
using testing::DrawnLineStyle;

const cv::Size kFrame(480, 160);

// The row drawn with its centre at `x`.
cv::Mat RowAt(float x, cv::Rect* ink = nullptr) {
    DrawnLineStyle style;
    style.text = "52473063";
    style.noiseSigma = 1.5;
    return DrawLinePanel(kFrame, cv::Point2f(x, 80.0f), style, ink);
}

// Even rows from one moment, odd rows from the next: the carriage moved
// `shift` pixels between the two fields.
cv::Mat Interlaced(float shift, cv::Rect* firstInk = nullptr) {
    const cv::Mat first = RowAt(240.0f, firstInk);
    const cv::Mat second = RowAt(240.0f + shift);
    cv::Mat frame = first.clone();
    for (int y = 1; y < frame.rows; y += 2) second.row(y).copyTo(frame.row(y));
    return frame;
}

TEST(MayBeInterlaced, CombedMotionIsProgressiveVideoIsNot) {
    EXPECT_TRUE(MayBeInterlaced(Interlaced(9.0f)));
    cv::Mat grey;
    cv::cvtColor(Interlaced(12.0f), grey, cv::COLOR_BGR2GRAY);
    EXPECT_TRUE(MayBeInterlaced(grey));
    // The same row in one piece, or fields taken at the same moment.
    EXPECT_FALSE(MayBeInterlaced(RowAt(240.0f)));
    EXPECT_FALSE(MayBeInterlaced(Interlaced(0.0f)));
    // Noise alternates both ways alike.
    cv::Mat noise(kFrame, CV_8UC1);
    cv::RNG(5).fill(noise, cv::RNG::NORMAL, 128, 40);
    EXPECT_FALSE(MayBeInterlaced(noise));
    // Nothing to tell from.
    EXPECT_FALSE(MayBeInterlaced(cv::Mat()));
    EXPECT_FALSE(MayBeInterlaced(cv::Mat(kFrame, CV_8UC1, cv::Scalar(90))));
    EXPECT_FALSE(MayBeInterlaced(cv::Mat(3, 3, CV_8UC3, cv::Scalar(0, 0, 0))));
    EXPECT_FALSE(MayBeInterlaced(cv::Mat(kFrame, CV_16UC1, cv::Scalar(0))));
}

TEST(FirstField, KeepsTheEvenRowsStretchedToTheFrame) {
    const cv::Mat frame = Interlaced(9.0f);
    const cv::Mat field = FirstField(frame);
    ASSERT_EQ(field.size(), frame.size());
    ASSERT_EQ(field.type(), frame.type());
    // The first moment's row, whole: its even rows as they were, the odd
    // ones between their neighbours.
    for (int y = 0; y + 2 < frame.rows; y += 2) {
        EXPECT_EQ(cv::norm(field.row(y), frame.row(y), cv::NORM_INF), 0.0) << "row " << y;
        cv::Mat between;
        cv::addWeighted(frame.row(y), 0.5, frame.row(y + 2), 0.5, 0.0, between);
        EXPECT_LE(cv::norm(field.row(y + 1), between, cv::NORM_INF), 1.0) << "row " << y + 1;
    }
    EXPECT_TRUE(FirstField(cv::Mat()).empty());
    const cv::Mat oneRow(1, 5, CV_8UC1, cv::Scalar(3));
    EXPECT_EQ(cv::norm(FirstField(oneRow), oneRow, cv::NORM_INF), 0.0);
}

TEST(ReadLineReadings, AnInterlacedFrameOfAMovingCarriageIsReadFromOneField) {
    std::string error;
    const std::unique_ptr<LineReader> reader = LineReader::Create(error);
    ASSERT_NE(reader, nullptr) << error;
    cv::Rect ink;
    const cv::Mat frame = Interlaced(9.0f, &ink);
    ASSERT_TRUE(MayBeInterlaced(frame));
    const std::vector<LineReading> readings = ReadLineReadings(frame, LineReaderSettings{}, *reader);
    ASSERT_FALSE(readings.empty());
    EXPECT_EQ(readings.front().text, "52473063");
    EXPECT_GE(BoxIou(readings.front().box, ink), 0.5);
}

}  // namespace
}  // namespace kalvero
