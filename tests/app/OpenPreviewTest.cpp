// Opening a video, the proposed zone, the preview and its two Show buttons.
#include <QTest>

#include <opencv2/imgproc.hpp>

#include "TestWindow.h"
#include "support/VideoFixtures.h"

namespace kalvero::testing {
namespace {

// A 640 x 480 video of one flat colour (BGR 200, 60, 30).
std::vector<cv::Mat> FlatFrames(int count) {
    return std::vector<cv::Mat>(static_cast<std::size_t>(count), cv::Mat(480, 640, CV_8UC3, cv::Scalar(200, 60, 30)));
}

bool Near(QRgb pixel, int red, int green, int blue, int tolerance = 8) {
    return std::abs(qRed(pixel) - red) <= tolerance && std::abs(qGreen(pixel) - green) <= tolerance &&
           std::abs(qBlue(pixel) - blue) <= tolerance;
}

int CountPixels(const QImage& image, QRect area, QRgb colour) {
    int count = 0;
    area &= image.rect();
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if ((image.pixel(x, y) & 0xFFFFFF) == (colour & 0xFFFFFF)) ++count;
        }
    }
    return count;
}

TEST(MainWindowOpen, ProposesTheQuarterZoneAndShowsTheFirstFrame) {
    TestVideo video(FlatFrames(2));
    TestWindow window;
    window.show();
    window.control().optionsChanged = false;
    window.openPath(video.path());
    EXPECT_EQ(window.fileDialogs, 1);

    EXPECT_EQ(LoadFileName(window.settings()), video.path());
    EXPECT_EQ(window.edit("editZoneX")->text(), "0");
    EXPECT_EQ(window.edit("editZoneY")->text(), "0");
    EXPECT_EQ(window.edit("editZoneW")->text(), "319");
    EXPECT_EQ(window.edit("editZoneH")->text(), "239");
    const Options& options = window.settings();
    EXPECT_EQ(options.zoneW.load(), 319);
    EXPECT_EQ(options.zoneH.load(), 239);
    EXPECT_TRUE(window.control().optionsChanged.load());  // applied
    EXPECT_TRUE(window.button("buttonShowNumberH")->isEnabled());
    EXPECT_TRUE(window.button("buttonShowZone")->isEnabled());

    EXPECT_EQ(window.preview().size(), cv::Size(640, 480));
    // Shown scaled to the monitor's height, in true colours.
    const QImage shown = window.monitorImage();
    EXPECT_EQ(shown.height(), window.monitor()->height());
    EXPECT_EQ(shown.size(), QSize(468, 351));
    EXPECT_TRUE(Near(shown.pixel(200, 200), 30, 60, 200)) << std::hex << shown.pixel(200, 200);
    // The stored frame keeps the capture's BGR order.
    const cv::Vec3b stored = window.preview().at<cv::Vec3b>(100, 100);
    EXPECT_NEAR(stored[0], 200, 8);
    EXPECT_NEAR(stored[2], 30, 8);
}

TEST(MainWindowOpen, AtHalfZoomThePreviewAndZoneAreHalved) {
    TestVideo video(FlatFrames(2));
    TestWindow window;
    window.find<QDoubleSpinBox>("editZoom")->setValue(0.5);
    window.click("buttonApplyZoom");
    window.openPath(video.path());
    EXPECT_EQ(window.preview().size(), cv::Size(320, 240));
    EXPECT_EQ(window.edit("editZoneW")->text(), "159");
    EXPECT_EQ(window.edit("editZoneH")->text(), "119");
    EXPECT_EQ(window.settings().zoneW.load(), 159);
    EXPECT_EQ(window.settings().zoneH.load(), 119);
    EXPECT_EQ(window.monitorImage().size(), QSize(468, 351));
}

TEST(MainWindowOpen, CancelOrUnreadableFileChangesNoPreview) {
    TestWindow window;
    window.open(QString());  // cancelled
    EXPECT_EQ(window.fileDialogs, 1);
    EXPECT_STREQ(window.settings().fileName, "");

    window.open("/nonexistent/kalvero/video.avi");
    EXPECT_EQ(LoadFileName(window.settings()), "/nonexistent/kalvero/video.avi");
    EXPECT_FALSE(window.button("buttonShowZone")->isEnabled());
    EXPECT_TRUE(window.preview().empty());
    EXPECT_EQ(window.monitor()->text(), "Video");
    EXPECT_EQ(window.edit("editZoneW")->text(), "0");
    EXPECT_TRUE(window.console()->toPlainText().isEmpty());
}

TEST(MainWindowOpen, PathTooLongForTheFieldIsRefusedWithOneLine) {
    TestWindow window;
    window.open("/tmp/" + QString(600, QLatin1Char('a')) + ".avi");
    EXPECT_STREQ(window.settings().fileName, "");
    ASSERT_EQ(window.consoleLines().size(), 1);
    EXPECT_TRUE(window.consoleLines()[0].contains("слишком длинный")) << window.consoleLines()[0].toStdString();
    EXPECT_FALSE(window.button("buttonShowZone")->isEnabled());

    // Characters count in bytes of the local encoding: "/" and 250 Cyrillic
    // letters are 501 bytes.
    window.open("/" + QString(250, QChar(0x0416)));
    EXPECT_STREQ(window.settings().fileName, "");
    EXPECT_EQ(window.consoleLines().size(), 2);

    // 499 bytes still fit.
    const QString longest = "/" + QString(498, QLatin1Char('b'));
    window.open(longest);
    EXPECT_EQ(LoadFileName(window.settings()), longest.toStdString());
    EXPECT_EQ(window.consoleLines().size(), 2);
}

TEST(MainWindowShow, ZoneButtonShowsAndHidesTheRectangleInTrueColours) {
    TestVideo video(FlatFrames(1));
    TestWindow window;
    window.openPath(video.path());
    VideoThread& block = window.control();
    const QImage plain = window.monitorImage();

    window.click("buttonShowZone");
    EXPECT_TRUE(window.zoneOverlayShown());
    EXPECT_TRUE(block.drawZone.load());
    const QImage withZone = window.monitorImage();
    // The green outline of (0, 0, 319, 239) at 351 / 480 of its size.
    EXPECT_GT(CountPixels(withZone, QRect(0, 0, 240, 3), qRgb(0, 255, 0)), 150);
    EXPECT_GT(CountPixels(withZone, QRect(230, 0, 4, 170), qRgb(0, 255, 0)), 100);
    EXPECT_TRUE(Near(withZone.pixel(100, 100), 30, 60, 200));  // inside: the frame
    EXPECT_EQ(CountPixels(plain, plain.rect(), qRgb(0, 255, 0)), 0);

    window.click("buttonShowZone");
    EXPECT_FALSE(window.zoneOverlayShown());
    EXPECT_FALSE(block.drawZone.load());
    EXPECT_EQ(window.monitorImage(), plain);
    // The preview itself never carries an overlay.
    EXPECT_EQ(CountPixels(QImage(window.preview().data, 640, 480, static_cast<int>(window.preview().step),
                                 QImage::Format_RGB888),
                          QRect(0, 0, 640, 480), qRgb(0, 255, 0)),
              0);
}

TEST(MainWindowShow, OneOverlayOnThePreviewButBothWorkerSwitches) {
    TestVideo video(FlatFrames(1));
    TestWindow window;
    window.openPath(video.path());
    VideoThread& block = window.control();
    window.find<QSpinBox>("editNumberH")->setValue(40);
    block.optionsChanged = false;

    window.click("buttonShowNumberH");
    EXPECT_TRUE(window.numberHOverlayShown());
    EXPECT_EQ(window.settings().numberH.load(), 40);  // stored without raising the flag
    EXPECT_FALSE(block.optionsChanged.load());
    const QImage sample = window.monitorImage();
    // The sample at (100, 100) of the frame: (73, 73) on the monitor.
    EXPECT_GT(CountPixels(sample, QRect(70, 70, 150, 40), qRgb(0, 255, 0)), 100);

    window.edit("editZoneX")->setText("10");  // shown without applying
    window.click("buttonShowZone");
    EXPECT_TRUE(window.zoneOverlayShown());
    EXPECT_FALSE(window.numberHOverlayShown());
    EXPECT_EQ(window.settings().zoneX.load(), 10);
    EXPECT_FALSE(block.optionsChanged.load());
    const QImage zone = window.monitorImage();
    EXPECT_EQ(CountPixels(zone, QRect(70, 70, 150, 40), qRgb(0, 128, 0)), 0);  // no sample shadow
    EXPECT_GT(CountPixels(zone, QRect(0, 0, 240, 3), qRgb(0, 255, 0)), 100);
    EXPECT_TRUE(block.drawNumberH.load());
    EXPECT_TRUE(block.drawZone.load());
}

TEST(MainWindowShow, ZoneOutsideThePreviewWarnsInRed) {
    TestVideo video(FlatFrames(1));
    TestWindow window;
    window.openPath(video.path());
    window.edit("editZoneW")->setText("641");
    window.click("buttonShowZone");
    const QImage shown = window.monitorImage();
    EXPECT_GT(CountPixels(shown, QRect(234, 100, 234, 80), qRgb(255, 0, 0)), 200);
    EXPECT_EQ(CountPixels(shown, shown.rect(), qRgb(0, 255, 0)), 0);
    EXPECT_EQ(window.control().fontScale.load(), 2.0);
}

TEST(MainWindowShow, WithoutAPreviewOnlyTheWorkerSwitchesFlip) {
    TempFile empty("avi");
    ASSERT_TRUE(WriteEmptyVideo(empty.path(), cv::Size(64, 48)));
    TestWindow window;
    window.openPath(empty.path());
    EXPECT_TRUE(window.button("buttonShowZone")->isEnabled());  // it opened
    EXPECT_TRUE(window.preview().empty());                      // but has no frame
    EXPECT_EQ(window.monitor()->text(), "Video");

    window.click("buttonShowZone");
    window.click("buttonShowNumberH");
    EXPECT_TRUE(window.control().drawZone.load());
    EXPECT_TRUE(window.control().drawNumberH.load());
    EXPECT_FALSE(window.zoneOverlayShown());
    EXPECT_FALSE(window.numberHOverlayShown());
    EXPECT_TRUE(window.monitor()->pixmap(Qt::ReturnByValue).isNull());
}

}  // namespace
}  // namespace kalvero::testing
