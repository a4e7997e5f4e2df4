// The overlays: zone check and rectangle, digit-height sample, PutText.
#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

#include "worker/PixelCounts.h"
#include "worker/VideoThread.h"

namespace kalvero::testing {
namespace {

const cv::Vec3b kBgrGreen(0, 255, 0);
const cv::Vec3b kBgrDarkGreen(0, 128, 0);
const cv::Vec3b kBgrRed(0, 0, 255);

void SetZone(RunPlan& options, int x, int y, int w, int h) { options.zone = cv::Rect(x, y, w, h); }

TEST(ZoneOverlay, FittingZoneIsOutlinedInGreen) {
    VideoThread block;
    RunPlan options;
    SetZone(options, 10, 20, 100, 50);
    cv::Mat frame(120, 160, CV_8UC3, cv::Scalar(0, 0, 0));
    EXPECT_TRUE(block.zoneFits(frame, options));
    EXPECT_EQ(cv::countNonZero(frame.reshape(1)), 0);  // the check alone draws nothing

    block.drawZoneBox(frame, options);
    EXPECT_EQ(frame.at<cv::Vec3b>(20, 60), kBgrGreen);   // top edge
    EXPECT_EQ(frame.at<cv::Vec3b>(70, 60), kBgrGreen);   // bottom edge at y + h
    EXPECT_EQ(frame.at<cv::Vec3b>(45, 10), kBgrGreen);   // left edge
    EXPECT_EQ(frame.at<cv::Vec3b>(45, 110), kBgrGreen);  // right edge at x + w
    EXPECT_EQ(frame.at<cv::Vec3b>(45, 60), cv::Vec3b(0, 0, 0));
    const cv::Rect changed = ChangedBox(cv::Mat(120, 160, CV_8UC3, cv::Scalar(0, 0, 0)), frame);
    EXPECT_EQ(changed, cv::Rect(9, 19, 103, 53));  // thickness 2 around the outline
    EXPECT_EQ(block.fontScale.load(), 1.0);
}

TEST(ZoneOverlay, EmptyZoneFitsAnyFrame) {
    VideoThread block;
    RunPlan options;
    cv::Mat frame(4, 4, CV_8UC3, cv::Scalar(0, 0, 0));
    EXPECT_TRUE(block.zoneFits(frame, options));
    block.drawZoneBox(frame, options);  // degenerate rectangle at the origin
    EXPECT_EQ(frame.at<cv::Vec3b>(0, 0), kBgrGreen);
}

TEST(ZoneOverlay, ZoneOnePixelBeyondWarnsAndDoublesTheFontForGood) {
    VideoThread block;
    RunPlan options;
    SetZone(options, 60, 0, 101, 50);  // right edge at 161 of 160
    cv::Mat frame(120, 160, CV_8UC3, cv::Scalar(0, 0, 0));
    EXPECT_FALSE(block.zoneFits(frame, options));
    EXPECT_EQ(block.fontScale.load(), 2.0);
    // "out of frame" from the middle of the frame to the right and up.
    EXPECT_GT(CountColour(frame, cv::Rect(80, 15, 80, 50), kBgrRed), 150);
    EXPECT_EQ(CountColour(frame, cv::Rect(0, 0, 79, 120), kBgrRed), 0);

    cv::Mat second(120, 160, CV_8UC3, cv::Scalar(0, 0, 0));
    block.drawZoneBox(second, options);
    EXPECT_EQ(CountColour(second, cv::Rect(0, 0, 160, 120), kBgrGreen), 0);
    EXPECT_GT(CountColour(second, cv::Rect(80, 15, 80, 50), kBgrRed), 150);

    SetZone(options, 0, 0, 160, 120);  // fits again; the font stays doubled
    EXPECT_TRUE(block.zoneFits(second, options));
    EXPECT_EQ(block.fontScale.load(), 2.0);
}

TEST(ZoneOverlay, HugeValuesDoNotWrapIntoAFit) {
    VideoThread block;
    RunPlan options;
    SetZone(options, 2147483000, 0, 2147483000, 10);  // the 32-bit sum would be negative
    cv::Mat frame(120, 160, CV_8UC3, cv::Scalar(0, 0, 0));
    EXPECT_FALSE(block.zoneFits(frame, options));
    SetZone(options, -2147483000, -5, -2147483000, 10);
    cv::Mat other(120, 160, CV_8UC3, cv::Scalar(0, 0, 0));
    EXPECT_NO_THROW(block.drawZoneBox(other, options));
}

TEST(NumberHSample, Covers143By29At100WithAShadow) {
    VideoThread block;
    RunPlan options;  // numberH 29
    const cv::Mat blank(300, 400, CV_8UC3, cv::Scalar(0, 0, 0));
    cv::Mat frame = blank.clone();
    block.drawNumberHSample(frame, options);

    // Everything written lies in the two rectangles (100,100,143,29) and
    // (101,101,143,29).
    EXPECT_EQ(ChangedBox(blank, frame) & cv::Rect(100, 100, 144, 30), ChangedBox(blank, frame));
    // The green copy is stretched over its rectangle.
    cv::Mat green;
    cv::inRange(frame, cv::Scalar(0, 255, 0), cv::Scalar(0, 255, 0), green);
    std::vector<cv::Point> points;
    cv::findNonZero(green, points);
    const cv::Rect greenBox = cv::boundingRect(points);
    EXPECT_GE(greenBox.x, 100);
    EXPECT_LE(greenBox.br().x, 243);
    EXPECT_GT(greenBox.width, 125);
    EXPECT_GE(greenBox.y, 100);
    EXPECT_LE(greenBox.br().y, 129);
    EXPECT_GT(greenBox.height, 18);  // the lower part is room for the baseline
    // The dark green shadow peeks out one pixel right and below.
    EXPECT_GT(CountColour(frame, cv::Rect(100, 100, 144, 30), kBgrDarkGreen), 20);
}

TEST(NumberHSample, FollowsTheCurrentHeightAndIsClippedOnSmallFrames) {
    VideoThread block;
    RunPlan options;
    options.numberH = 50;  // W = trunc(50 x 0.62 x 8) = 248
    const cv::Mat blank(400, 400, CV_8UC3, cv::Scalar(0, 0, 0));
    cv::Mat frame = blank.clone();
    block.drawNumberHSample(frame, options);
    const cv::Rect changed = ChangedBox(blank, frame);
    EXPECT_GT(changed.br().x, 320);
    EXPECT_LE(changed.br().x, 349);
    EXPECT_GT(changed.br().y, 130);
    EXPECT_LE(changed.br().y, 151);

    // A frame too small for the sample gets the part that fits.
    const cv::Mat small(120, 160, CV_8UC3, cv::Scalar(0, 0, 0));
    cv::Mat clipped = small.clone();
    EXPECT_NO_THROW(block.drawNumberHSample(clipped, options));
    EXPECT_GT(CountColour(clipped, cv::Rect(100, 100, 60, 20), kBgrGreen), 10);
    EXPECT_EQ(ChangedBox(small, clipped) & cv::Rect(100, 100, 60, 20), ChangedBox(small, clipped));

    // Nothing at all fits, or the height has no area: nothing is drawn.
    cv::Mat tiny(50, 50, CV_8UC3, cv::Scalar(0, 0, 0));
    EXPECT_NO_THROW(block.drawNumberHSample(tiny, options));
    EXPECT_EQ(cv::countNonZero(tiny.reshape(1)), 0);
    options.numberH = 0;
    EXPECT_NO_THROW(block.drawNumberHSample(frame, options));
}

TEST(PutText, CopiesOnlyTheStrokes) {
    VideoThread block;
    const cv::Mat background(80, 200, CV_8UC3, cv::Scalar(200, 60, 30));
    cv::Mat image = background.clone();
    block.PutText(image, "123", cv::Rect(20, 10, 150, 50), cv::Scalar(255, 255, 255), 0, 1.0, 3, cv::LINE_8);
    cv::Mat changed;
    cv::Mat diff;
    cv::absdiff(background, image, diff);
    cv::cvtColor(diff, changed, cv::COLOR_BGR2GRAY);
    const int strokes = cv::countNonZero(changed);
    EXPECT_GT(strokes, 300);
    EXPECT_LT(strokes, 150 * 50 / 2);  // no box is painted
    EXPECT_EQ(ChangedBox(background, image) & cv::Rect(20, 10, 150, 50), ChangedBox(background, image));
    // Only the brightest strokes are copied: every written pixel is near white.
    for (int y = 0; y < image.rows; ++y) {
        for (int x = 0; x < image.cols; ++x) {
            if (changed.at<uchar>(y, x) != 0) {
                const cv::Vec3b pixel = image.at<cv::Vec3b>(y, x);
                ASSERT_GT(pixel[0] + pixel[1] + pixel[2], 3 * 200) << x << "," << y;
            }
        }
    }
}

TEST(PutText, BlackTextCopiesTheDarkStrokes) {
    VideoThread block;
    for (const int type : {CV_8UC3, CV_8UC1}) {
        const cv::Mat background(80, 200, type, cv::Scalar::all(220));
        cv::Mat image = background.clone();
        block.PutText(image, "88", cv::Rect(30, 10, 120, 60), cv::Scalar(0, 0, 0, 0), 0, 1.0, 3, cv::LINE_8);
        cv::Mat dark;
        cv::Mat grey;
        if (type == CV_8UC3) {
            cv::cvtColor(image, grey, cv::COLOR_BGR2GRAY);
        } else {
            grey = image;
        }
        cv::threshold(grey, dark, 100, 255, cv::THRESH_BINARY_INV);
        EXPECT_GT(cv::countNonZero(dark), 300) << "type " << type;
        // Untouched pixels keep the background.
        EXPECT_EQ(grey.at<uchar>(5, 5), 220);
    }
}

void ExpectPutTextError(const std::function<void()>& call, int line, const std::string& condition) {
    try {
        call();
        ADD_FAILURE() << "no error for line " << line;
    } catch (const cv::Exception& error) {
        EXPECT_EQ(error.code, -215);
        EXPECT_EQ(error.code, cv::Error::StsAssert);
        EXPECT_EQ(error.func, "VideoThread::PutText");
        EXPECT_EQ(error.file, "VideoThread");
        EXPECT_EQ(error.line, line);
        EXPECT_EQ(error.err, condition);
    }
}

TEST(PutText, ViolatedPreconditionsRaiseAssertionErrors) {
    VideoThread block;
    const std::string typeCondition =
        "!img.empty() && (img.type() == (((0) & ((1 << 3) - 1)) + (((3)-1) << 3)) || "
        "img.type() == (((0) & ((1 << 3) - 1)) + (((1)-1) << 3)))";
    cv::Mat empty;
    ExpectPutTextError([&] { block.PutText(empty, "5", cv::Rect(0, 0, 5, 5), cv::Scalar(255), 0, 1.0, 1, 8); },
                       161, typeCondition);
    cv::Mat fourChannels(20, 20, CV_8UC4, cv::Scalar::all(0));
    ExpectPutTextError(
        [&] { block.PutText(fourChannels, "5", cv::Rect(0, 0, 5, 5), cv::Scalar(255), 0, 1.0, 1, 8); }, 161,
        typeCondition);
    cv::Mat sixteenBit(20, 20, CV_16UC3, cv::Scalar::all(0));
    ExpectPutTextError(
        [&] { block.PutText(sixteenBit, "5", cv::Rect(0, 0, 5, 5), cv::Scalar(255), 0, 1.0, 1, 8); }, 161,
        typeCondition);
    cv::Mat image(20, 20, CV_8UC3, cv::Scalar::all(0));
    ExpectPutTextError([&] { block.PutText(image, "5", cv::Rect(0, 0, 0, 5), cv::Scalar(255), 0, 1.0, 1, 8); },
                       162, "roi.area() > 0");
    ExpectPutTextError([&] { block.PutText(image, "5", cv::Rect(0, 0, 5, -5), cv::Scalar(255), 0, 1.0, 1, 8); },
                       162, "roi.area() > 0");
    ExpectPutTextError([&] { block.PutText(image, "", cv::Rect(0, 0, 5, 5), cv::Scalar(255), 0, 1.0, 1, 8); }, 163,
                       "!text.empty()");
    // The image is tested before the rectangle, the rectangle before the text.
    ExpectPutTextError([&] { block.PutText(empty, "", cv::Rect(0, 0, 0, 0), cv::Scalar(255), 0, 1.0, 1, 8); }, 161,
                       typeCondition);
    ExpectPutTextError([&] { block.PutText(image, "", cv::Rect(0, 0, 0, 0), cv::Scalar(255), 0, 1.0, 1, 8); }, 162,
                       "roi.area() > 0");
}

TEST(PutText, RectangleReachingOutOfTheImageIsClipped) {
    VideoThread block;
    const cv::Rect roi(120, 40, 143, 29);  // reaches 63 pixels beyond the right edge
    // The same text on a canvas large enough to hold it whole.
    cv::Mat whole(100, 300, CV_8UC3, cv::Scalar(0, 0, 0));
    block.PutText(whole, "55555555", roi, cv::Scalar(0, 255, 0), 0, 1.0, 3, 8);

    cv::Mat clipped(100, 200, CV_8UC3, cv::Scalar(0, 0, 0));
    EXPECT_NO_THROW(block.PutText(clipped, "55555555", roi, cv::Scalar(0, 255, 0), 0, 1.0, 3, 8));
    // The visible part is the left part of the whole text.
    cv::Mat expected = whole(cv::Rect(0, 0, 200, 100));
    cv::Mat diff;
    cv::absdiff(expected, clipped, diff);
    cv::cvtColor(diff, diff, cv::COLOR_BGR2GRAY);
    const int strokes = CountColour(expected, cv::Rect(120, 40, 80, 29), kBgrGreen);
    EXPECT_GT(strokes, 100);
    EXPECT_LT(cv::countNonZero(diff), strokes / 10);

    // Entirely outside: nothing is written and nothing fails.
    cv::Mat untouched(100, 200, CV_8UC3, cv::Scalar(0, 0, 0));
    EXPECT_NO_THROW(block.PutText(untouched, "5", cv::Rect(250, 10, 40, 20), cv::Scalar(0, 255, 0), 0, 1.0, 3, 8));
    EXPECT_NO_THROW(block.PutText(untouched, "5", cv::Rect(-90, -50, 40, 20), cv::Scalar(0, 255, 0), 0, 1.0, 3, 8));
    EXPECT_NO_THROW(block.PutText(untouched, "5", cv::Rect(10, 10, -40, -20), cv::Scalar(0, 255, 0), 0, 1.0, 3, 8));
    EXPECT_EQ(cv::countNonZero(untouched.reshape(1)), 0);
}

}  // namespace
}  // namespace kalvero::testing
