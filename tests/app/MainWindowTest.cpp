// The window's form, its start-up state, resizing, the apply slots, Pause
// and Start, the About window and the quit question.
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QTest>

#include "app/About.h"
#include "support/VideoFixtures.h"
#include "TestWindow.h"

namespace kalvero::testing {
namespace {

TEST(MainWindowStartUp, ShowsTheFormWithItsDefaults) {
    TestWindow window;
    window.show();
    EXPECT_EQ(window.size(), QSize(1093, 563));
    EXPECT_EQ(window.objectName(), "MainWindow");
    EXPECT_EQ(window.windowTitle(), "Kalvero");

    QLabel* monitor = window.monitor();
    EXPECT_EQ(monitor->text(), "Video");
    EXPECT_EQ(monitor->styleSheet(),
              "QLabel { background-color : black; qproperty-alignment: AlignCenter; color: white;}");
    EXPECT_TRUE(qApp->styleSheet().startsWith("QPushButton { border: 2px solid #8f8f91;"));
    EXPECT_TRUE(window.console()->toPlainText().isEmpty());

    EXPECT_EQ(window.find<QSpinBox>("editNumberH")->value(), 29);
    EXPECT_EQ(window.find<QSpinBox>("editNumberH")->minimum(), 16);
    EXPECT_EQ(window.find<QSpinBox>("editNumberH")->focusPolicy(), Qt::NoFocus);
    for (const char* zone : {"editZoneX", "editZoneY", "editZoneW", "editZoneH"}) {
        EXPECT_EQ(window.edit(zone)->text(), "0") << zone;
    }
    EXPECT_EQ(window.edit("editDeepBuf")->text(), "30");
    EXPECT_EQ(window.edit("editColSum")->text(), "5");
    auto* zoom = window.find<QDoubleSpinBox>("editZoom");
    EXPECT_EQ(zoom->value(), 1.0);
    EXPECT_EQ(zoom->minimum(), 0.3);
    EXPECT_EQ(zoom->maximum(), 1.0);
    EXPECT_EQ(zoom->decimals(), 1);
    EXPECT_FALSE(window.button("buttonShowNumberH")->isEnabled());
    EXPECT_FALSE(window.button("buttonShowZone")->isEnabled());

    const Options& options = window.settings();
    EXPECT_STREQ(options.fileName, "");
    EXPECT_EQ(options.numberH.load(), 29);
    EXPECT_EQ(options.zoneX.load(), 0);
    EXPECT_EQ(options.zoneY.load(), 0);
    EXPECT_EQ(options.zoneW.load(), 0);
    EXPECT_EQ(options.zoneH.load(), 0);
    EXPECT_EQ(options.deepBuf.load(), 30);
    EXPECT_EQ(options.colNum.load(), 5);
    EXPECT_EQ(options.zoom.load(), 1.0f);
    EXPECT_TRUE(window.control().optionsChanged.load());
    EXPECT_FALSE(window.control().isRunning.load());
    EXPECT_EQ(window.control().fontScale.load(), 1.0);
    EXPECT_EQ(window.control().thickness, 3);
    EXPECT_FALSE(window.aboutWindow().isVisible());
}

TEST(MainWindowStartUp, WidgetsSitWhereTheFormPutsThem) {
    TestWindow window;
    struct Placement {
        const char* name;
        QRect rect;
    };
    const Placement placements[] = {
        {"textConsole", {0, 0, 221, 351}},        {"videoMonitor", {220, 0, 841, 351}},
        {"widget", {0, 360, 1041, 161}},          {"buttonStart", {700, 50, 171, 61}},
        {"editDeepBuf", {160, 81, 61, 20}},       {"buttonStop", {880, 50, 141, 61}},
        {"editZoneY", {300, 51, 61, 20}},         {"editNumberH", {190, 21, 71, 22}},
        {"labelHeightRecog", {20, 21, 161, 16}},  {"editZoneX", {230, 51, 61, 20}},
        {"buttonApplyZone", {590, 50, 75, 23}},   {"buttonApplyColNum", {280, 110, 75, 23}},
        {"buttonApplyDeepBuf", {229, 80, 75, 23}}, {"labelDeepBuffer", {20, 81, 141, 16}},
        {"buttonShowZone", {509, 50, 75, 23}},    {"editZoneW", {370, 51, 61, 20}},
        {"buttonApplyNumberH", {389, 20, 75, 23}}, {"editZoneH", {440, 51, 61, 20}},
        {"labelNumSum", {20, 111, 191, 16}},      {"buttonShowNumberH", {308, 20, 75, 23}},
        {"labelZone", {20, 51, 211, 16}},         {"editColSum", {210, 111, 61, 20}},
        {"labelZoom", {20, 140, 301, 16}},        {"buttonApplyZoom", {400, 138, 75, 23}},
        {"editZoom", {330, 138, 62, 22}},
    };
    for (const Placement& placement : placements) {
        QWidget* widget = window.find<QWidget>(placement.name);
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(widget->geometry(), placement.rect) << placement.name;
    }
    EXPECT_EQ(window.find<QWidget>("buttonStart")->parentWidget(), window.find<QWidget>("widget"));
    EXPECT_EQ(window.centralWidget(), window.find<QWidget>("centralwidget"));

    const auto text = [&](const char* name) { return window.find<QWidget>(name)->property("text").toString(); };
    EXPECT_EQ(text("buttonStart"), "Старт");
    EXPECT_EQ(text("buttonStop"), "Пауза");
    EXPECT_EQ(text("labelHeightRecog"), "Высота распознаваемых цифр");
    EXPECT_EQ(text("labelDeepBuffer"), "Глубина буфера в кадрах");
    EXPECT_EQ(text("labelNumSum"), "Количество номеров суммирования");
    EXPECT_EQ(text("labelZoom"), "Коэффициент масштабирования исходного изображения");
    EXPECT_EQ(text("labelZone"), QString::fromUtf8("Зона распознавания \xD0\xA5, Y, Width, Height"));
    EXPECT_EQ(text("labelZone").at(19).unicode(), 0x0425);
    for (const char* apply : {"buttonApplyZone", "buttonApplyColNum", "buttonApplyDeepBuf", "buttonApplyNumberH",
                              "buttonApplyZoom"}) {
        EXPECT_EQ(text(apply), "Применить") << apply;
    }
    EXPECT_EQ(text("buttonShowZone"), "Показать");
    EXPECT_EQ(text("buttonShowNumberH"), "Показать");

    auto* menu = window.find<QMenu>("menu");
    EXPECT_EQ(menu->title(), "Файл");
    ASSERT_EQ(menu->actions().size(), 3);
    EXPECT_EQ(menu->actions()[0]->objectName(), "actionOpenFile");
    EXPECT_EQ(menu->actions()[0]->text(), "Открыть");
    EXPECT_EQ(menu->actions()[1]->text(), "О программе");
    EXPECT_EQ(menu->actions()[2]->text(), "Выход");
    EXPECT_EQ(window.menuBar(), window.find<QMenuBar>("menubar"));
    EXPECT_EQ(window.statusBar(), window.find<QStatusBar>("statusbar"));
    EXPECT_FALSE(window.button("buttonStart")->isDefault());
    EXPECT_FALSE(window.button("buttonStart")->autoDefault());
}

TEST(MainWindowResize, ConsoleAndMonitorStretchAndThePanelFollowsTheBottom) {
    TestWindow window;
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QWidget* console = window.console();
    QWidget* monitor = window.monitor();
    QWidget* panel = window.find<QWidget>("widget");

    window.resize(1193, 613);
    ASSERT_TRUE(WaitFor([&] { return monitor->width() == 941; }, std::chrono::seconds(10)));
    EXPECT_EQ(console->geometry(), QRect(0, 0, 221, 401));
    EXPECT_EQ(monitor->geometry(), QRect(220, 0, 941, 401));
    EXPECT_EQ(panel->geometry(), QRect(0, 410, 1041, 161));

    window.resize(1093, 563);
    ASSERT_TRUE(WaitFor([&] { return monitor->width() == 841; }, std::chrono::seconds(10)));
    EXPECT_EQ(console->geometry(), QRect(0, 0, 221, 351));
    EXPECT_EQ(monitor->geometry(), QRect(220, 0, 841, 351));
    EXPECT_EQ(panel->geometry(), QRect(0, 360, 1041, 161));
}

TEST(MainWindowApply, EachButtonStoresItsFieldAndRaisesTheFlag) {
    TestWindow window;
    VideoThread& block = window.control();
    const Options& options = window.settings();
    const auto apply = [&](const char* button) {
        block.optionsChanged = false;
        QTest::mouseClick(window.button(button), Qt::LeftButton);
        EXPECT_TRUE(block.optionsChanged.load()) << button;
    };

    window.find<QSpinBox>("editNumberH")->setValue(40);
    apply("buttonApplyNumberH");
    EXPECT_EQ(options.numberH.load(), 40);

    window.edit("editZoneX")->setText("12");
    window.edit("editZoneY")->setText("-3");
    window.edit("editZoneW")->setText("300");
    window.edit("editZoneH")->setText("77");
    apply("buttonApplyZone");
    EXPECT_EQ(options.zoneX.load(), 12);
    EXPECT_EQ(options.zoneY.load(), -3);
    EXPECT_EQ(options.zoneW.load(), 300);
    EXPECT_EQ(options.zoneH.load(), 77);

    window.edit("editDeepBuf")->setText("600");  // no range check here
    apply("buttonApplyDeepBuf");
    EXPECT_EQ(options.deepBuf.load(), 600);

    window.edit("editColSum")->setText("7");
    apply("buttonApplyColNum");
    EXPECT_EQ(options.colNum.load(), 7);

    window.find<QDoubleSpinBox>("editZoom")->setValue(0.7);
    apply("buttonApplyZoom");
    EXPECT_EQ(options.zoom.load(), 0.7f);

    // Anything that is not a whole number is stored as 0.
    window.edit("editColSum")->setText("12a");
    apply("buttonApplyColNum");
    EXPECT_EQ(options.colNum.load(), 0);
    window.edit("editDeepBuf")->setText("");
    apply("buttonApplyDeepBuf");
    EXPECT_EQ(options.deepBuf.load(), 0);
    window.edit("editZoneX")->setText("1.5");
    window.edit("editZoneW")->setText("ten");
    apply("buttonApplyZone");
    EXPECT_EQ(options.zoneX.load(), 0);
    EXPECT_EQ(options.zoneY.load(), -3);
    EXPECT_EQ(options.zoneW.load(), 0);
    // Applying rewrites no widget.
    EXPECT_EQ(window.edit("editZoneW")->text(), "ten");
}

TEST(MainWindowPause, PauseTogglesAndStartClearsIt) {
    TestWindow window;
    VideoThread& block = window.control();
    QPushButton* pause = window.button("buttonStop");
    QTest::mouseClick(pause, Qt::LeftButton);
    EXPECT_TRUE(block.isPaused.load());
    QTest::mouseClick(pause, Qt::LeftButton);
    EXPECT_FALSE(block.isPaused.load());

    // Paused, then Start with no video: the pause is cleared and the worker
    // that cannot open the empty name ends at once, showing nothing.
    QTest::mouseClick(pause, Qt::LeftButton);
    window.click("buttonStart");
    EXPECT_FALSE(block.isPaused.load());
    ASSERT_TRUE(WaitFor([&] { return !window.workerActive(); }));
    QTest::qWait(50);
    EXPECT_FALSE(block.isRunning.load());
    EXPECT_TRUE(window.console()->toPlainText().isEmpty());
    EXPECT_EQ(window.monitor()->text(), "Video");
    EXPECT_TRUE(window.monitor()->pixmap(Qt::ReturnByValue).isNull());
}

TEST(MainWindowAbout, ShownOnceAndHiddenByItsButton) {
    TestWindow window;
    window.show();
    About& about = window.aboutWindow();
    window.trigger("actionAbout");
    window.trigger("actionAbout");
    EXPECT_TRUE(about.isVisible());
    EXPECT_TRUE(about.isWindow());
    int aboutWindows = 0;
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (qobject_cast<About*>(top) != nullptr && top->isVisible()) ++aboutWindows;
    }
    EXPECT_EQ(aboutWindows, 1);
    EXPECT_EQ(about.size(), QSize(400, 300));
    EXPECT_EQ(about.windowTitle(), "О программе");
    EXPECT_FALSE(about.isModal());

    auto* text = about.findChild<QTextEdit*>("textEdit");
    auto* ok = about.findChild<QPushButton*>("pushButton");
    ASSERT_NE(text, nullptr);
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(ok->text(), QString::fromUtf8("\xD0\x9E\xD0\x9A"));  // Cyrillic O and K
    EXPECT_EQ(text->geometry(), QRect(40, 30, 321, 141));
    EXPECT_EQ(ok->geometry(), QRect(160, 260, 80, 23));
    EXPECT_TRUE(text->isReadOnly());
    const QString content = text->toPlainText();
    EXPECT_TRUE(content.startsWith("Kalvero\nВерсия 1.0\n")) << content.toStdString();
    EXPECT_EQ(content.split('\n').size(), 3);

    // Typing does not change the text.
    text->setFocus();
    QTest::keyClicks(text, "xyz");
    EXPECT_EQ(text->toPlainText(), content);

    QTest::mouseClick(ok, Qt::LeftButton);
    EXPECT_FALSE(about.isVisible());
    window.trigger("actionAbout");
    EXPECT_TRUE(about.isVisible());
    EXPECT_EQ(text->toPlainText(), content);
    EXPECT_FALSE(about.testAttribute(Qt::WA_QuitOnClose));
}

TEST(MainWindowQuit, CancelLeavesTheRunGoingOkEndsIt) {
    TestVideo video(PlainFrames(cv::Size(96, 72), 30));
    TestWindow window;
    window.start(video.path());
    VideoThread& block = window.control();
    ASSERT_TRUE(WaitFor([&] { return block.isRunning.load(); }));
    window.click("buttonStop");  // hold the run
    ASSERT_TRUE(WaitFor([&] { return block.pauseEntered.load(); }));

    window.quitAnswer = false;
    window.trigger("actionExit");
    EXPECT_EQ(window.quitQuestions, 1);
    EXPECT_TRUE(window.workerActive());
    EXPECT_TRUE(block.isRunning.load());
    EXPECT_TRUE(block.isPaused.load());

    window.quitAnswer = true;
    window.trigger("actionExit");
    EXPECT_EQ(window.quitQuestions, 2);
    EXPECT_FALSE(window.workerActive());  // the run ended before quitting
    EXPECT_FALSE(block.isRunning.load());
    EXPECT_FALSE(block.isPaused.load());
}

}  // namespace
}  // namespace kalvero::testing
