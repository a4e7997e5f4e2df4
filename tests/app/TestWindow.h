#pragma once
#include <chrono>
#include <string>
#include <thread>

#include <QAction>
#include <QCoreApplication>
#include <QDoubleSpinBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QSpinBox>
#include <QStringList>
#include <QTest>
#include <QTextEdit>

#include <gtest/gtest.h>

#include "app/MainWindow.h"
#include "worker/VideoThread.h"

namespace kalvero::testing {

// The main window with its two operator questions answered by the test.
class TestWindow : public MainWindow {
public:
    QString nextFile;         // what the open-file dialog returns
    int fileDialogs = 0;
    bool quitAnswer = false;  // Ok (true) or Cancel in the quit question
    int quitQuestions = 0;

    template <typename Widget>
    Widget* find(const char* name) {
        auto* widget = findChild<Widget*>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    QPushButton* button(const char* name) { return find<QPushButton>(name); }
    QLineEdit* edit(const char* name) { return find<QLineEdit>(name); }
    QLabel* monitor() { return find<QLabel>("videoMonitor"); }
    QTextEdit* console() { return find<QTextEdit>("textConsole"); }
    void trigger(const char* action) { find<QAction>(action)->trigger(); }

    QStringList consoleLines() {
        return console()->toPlainText().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
    // The picture on the monitor, in the pixmap's own format.
    QImage monitorImage() { return monitor()->pixmap(Qt::ReturnByValue).toImage(); }

    void open(const QString& path) {
        nextFile = path;
        trigger("actionOpenFile");
    }
    void openPath(const std::string& path) { open(QString::fromStdString(path)); }
    // Opens `path` and presses Start.
    void start(const std::string& path) {
        openPath(path);
        click("buttonStart");
    }
    void click(const char* buttonName) { QTest::mouseClick(button(buttonName), Qt::LeftButton); }
    // Processes GUI events until the console holds `lines` lines or more;
    // false when a minute passes first.
    bool waitForLines(int lines);
    // Starts `path` and waits for `lines` console lines, as waitForLines.
    bool startAndWaitForLines(const std::string& path, int lines) {
        start(path);
        return waitForLines(lines);
    }

protected:
    QString chooseVideoFile() override {
        ++fileDialogs;
        return nextFile;
    }
    bool confirmQuit() override {
        ++quitQuestions;
        return quitAnswer;
    }
};

// Processes GUI events until `condition` holds or `timeout` passes.
template <typename Condition>
bool WaitFor(Condition condition, std::chrono::milliseconds timeout = std::chrono::seconds(60)) {
    const auto until = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > until) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    QCoreApplication::processEvents();
    return true;
}

inline bool TestWindow::waitForLines(int lines) {
    return WaitFor([&] { return consoleLines().size() >= lines; });
}

}  // namespace kalvero::testing
