#pragma once

class QAction;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QMainWindow;
class QMenu;
class QMenuBar;
class QPushButton;
class QSpinBox;
class QStatusBar;
class QTextEdit;
class QWidget;

namespace kalvero {
namespace Ui {

// The widgets of the main window, built in code by setupUi. Every widget's
// object name equals its field name; the widgets belong to their Qt parents.
struct MainWindow {
    QAction* actionOpenFile = nullptr;
    QAction* actionAbout = nullptr;
    QAction* actionExit = nullptr;
    QWidget* centralwidget = nullptr;
    QTextEdit* textConsole = nullptr;
    QLabel* videoMonitor = nullptr;
    QWidget* widget = nullptr;  // the settings panel
    QPushButton* buttonStart = nullptr;
    QLineEdit* editDeepBuf = nullptr;
    QPushButton* buttonStop = nullptr;
    QLineEdit* editZoneY = nullptr;
    QSpinBox* editNumberH = nullptr;
    QLabel* labelHeightRecog = nullptr;
    QLineEdit* editZoneX = nullptr;
    QPushButton* buttonApplyZone = nullptr;
    QPushButton* buttonApplyColNum = nullptr;
    QPushButton* buttonApplyDeepBuf = nullptr;
    QLabel* labelDeepBuffer = nullptr;
    QPushButton* buttonShowZone = nullptr;
    QLineEdit* editZoneW = nullptr;
    QPushButton* buttonApplyNumberH = nullptr;
    QLineEdit* editZoneH = nullptr;
    QLabel* labelNumSum = nullptr;
    QPushButton* buttonShowNumberH = nullptr;
    QLabel* labelZone = nullptr;
    QLineEdit* editColSum = nullptr;
    QLabel* labelZoom = nullptr;
    QPushButton* buttonApplyZoom = nullptr;
    QDoubleSpinBox* editZoom = nullptr;
    QMenuBar* menubar = nullptr;
    QMenu* menu = nullptr;
    QStatusBar* statusbar = nullptr;
    // The engine menu after the file menu: one checkable entry that reads
    // the frames with the learned engine instead of the glyph reader.
    QMenu* menuEngine = nullptr;
    QAction* actionLearnedEngine = nullptr;

    // Builds the fixed-geometry form on `window` (1093 x 563), sets the texts
    // and connects slots by name.
    void setupUi(QMainWindow* window);
    // Sets every visible text, translated in the context "MainWindow".
    void retranslateUi(QMainWindow* window);
};

}  // namespace Ui
}  // namespace kalvero
