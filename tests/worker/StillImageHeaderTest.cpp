// Picture sizes read from headers alone, and the pixel limit of stills.
#include <fstream>
#include <string>

#include <gtest/gtest.h>
#include <opencv2/imgcodecs.hpp>

#include "support/VideoFixtures.h"
#include "worker/FrameSource.h"
#include "worker/StillImageHeader.h"

namespace kalvero::testing {
namespace {

TEST(StillImageHeader, ReadsTheSizeOfEveryStillFormat) {
    // Odd sizes, wider than high, so that swapped fields show.
    const cv::Mat picture(37, 123, CV_8UC3, cv::Scalar(10, 200, 30));
    for (const std::string extension : {".png", ".jpg", ".bmp", ".tif"}) {
        SCOPED_TRACE(extension);
        TempFile file(extension);
        ASSERT_TRUE(cv::imwrite(file.path(), picture));
        cv::Size size;
        ASSERT_TRUE(ReadStillImageSize(file.path(), size));
        EXPECT_EQ(size, cv::Size(123, 37));
    }
    // A JPEG whose frame header comes after a large metadata segment.
    TempFile tagged(".jpg");
    std::vector<uchar> jpeg;
    ASSERT_TRUE(cv::imencode(".jpg", picture, jpeg));
    std::vector<uchar> comment = {0xFF, 0xFE, 0xFF, 0xF0};
    comment.resize(2 + 0xFFF0, 'x');
    jpeg.insert(jpeg.begin() + 2, comment.begin(), comment.end());
    std::ofstream(tagged.path(), std::ios::binary).write(reinterpret_cast<const char*>(jpeg.data()),
                                                         static_cast<std::streamsize>(jpeg.size()));
    cv::Size size;
    ASSERT_TRUE(ReadStillImageSize(tagged.path(), size));
    EXPECT_EQ(size, cv::Size(123, 37));
}

TEST(StillImageHeader, DamagedOrUnknownHeadersGiveNoSize) {
    const std::vector<std::string> contents = {
        "",
        "not a picture at all",
        std::string("\x89PNG\r\n\x1a\n", 8),               // cut after the signature
        std::string("\xFF\xD8\xFF\xE0\x00", 5),            // cut inside a segment
        std::string("\xFF\xD8\xFF\xDA\x00\x08", 6),        // scan data before any frame header
        std::string("II*\0\xFF\xFF\xFF\x7F", 8),           // IFD far beyond the end
        std::string("BM") + std::string(24, '\0'),         // zero size
    };
    for (std::size_t i = 0; i < contents.size(); ++i) {
        SCOPED_TRACE(i);
        TempFile file(".png");
        std::ofstream(file.path(), std::ios::binary) << contents[i];
        cv::Size size(-7, -7);
        EXPECT_FALSE(ReadStillImageSize(file.path(), size));
        EXPECT_EQ(size, cv::Size(-7, -7));
    }
    cv::Size size;
    EXPECT_FALSE(ReadStillImageSize("/nonexistent/picture.png", size));
}

TEST(StillImageHeader, StillsBeyondTheLimitAreRefusedBeforeDecoding) {
    // Grey BMPs are written as 8-bit pictures: cheap at this size.
    const int overSide = 6400;
    const int underSide = 4000;
    ASSERT_GT(std::int64_t{overSide} * overSide, kMaxStillPixels);
    TempFile over(".bmp");
    TempFile under(".bmp");
    ASSERT_TRUE(cv::imwrite(over.path(), cv::Mat(overSide, overSide, CV_8UC1, cv::Scalar(1))));
    ASSERT_TRUE(cv::imwrite(under.path(), cv::Mat(underSide, underSide, CV_8UC1, cv::Scalar(1))));

    cv::Size size;
    EXPECT_TRUE(IsOversizedStill(over.path(), size));
    EXPECT_EQ(size, cv::Size(overSide, overSide));
    EXPECT_FALSE(IsOversizedStill(under.path(), size));

    FrameSource source;
    EXPECT_FALSE(source.open(over.path()));
    EXPECT_FALSE(source.isOpened());
    ASSERT_TRUE(source.open(under.path()));
    cv::Mat frame;
    ASSERT_TRUE(source.read(frame));
    EXPECT_EQ(frame.size(), cv::Size(underSide, underSide));
}

}  // namespace
}  // namespace kalvero::testing
