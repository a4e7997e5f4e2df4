#include "app/MainWindowUi.h"

#include <QAction>
#include <QCoreApplication>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QTextDocument>
#include <QTextEdit>
#include <QWidget>

namespace kalvero {
namespace Ui {

namespace {

template <typename Widget>
Widget* Make(QWidget* parent, const char* name, int x, int y, int width, int height) {
    auto* widget = new Widget(parent);
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(QRect(x, y, width, height));
    return widget;
}

QAction* MakeAction(QMainWindow* window, const char* name) {
    auto* action = new QAction(window);
    action->setObjectName(QString::fromLatin1(name));
    return action;
}

}  // namespace

void MainWindow::setupUi(QMainWindow* window) {
    if (window->objectName().isEmpty()) window->setObjectName(QStringLiteral("MainWindow"));
    window->resize(1093, 563);

    actionOpenFile = MakeAction(window, "actionOpenFile");
    actionAbout = MakeAction(window, "actionAbout");
    actionExit = MakeAction(window, "actionExit");

    centralwidget = new QWidget(window);
    centralwidget->setObjectName(QStringLiteral("centralwidget"));

    textConsole = Make<QTextEdit>(centralwidget, "textConsole", 0, 0, 221, 351);
    // No page margin (Qt's default is 4 pixels; the frame already keeps the
    // text off the edge): a frame line of a run of up to 99,999 frames then
    // stays on one line beside the scroll bar.
    textConsole->document()->setDocumentMargin(0);
    videoMonitor = Make<QLabel>(centralwidget, "videoMonitor", 220, 0, 841, 351);
    widget = Make<QWidget>(centralwidget, "widget", 0, 360, 1041, 161);

    buttonStart = Make<QPushButton>(widget, "buttonStart", 700, 50, 171, 61);
    buttonStart->setAcceptDrops(false);
    buttonStart->setAutoDefault(false);
    buttonStart->setFlat(false);
    editDeepBuf = Make<QLineEdit>(widget, "editDeepBuf", 160, 81, 61, 20);
    buttonStop = Make<QPushButton>(widget, "buttonStop", 880, 50, 141, 61);
    editZoneY = Make<QLineEdit>(widget, "editZoneY", 300, 51, 61, 20);
    editNumberH = Make<QSpinBox>(widget, "editNumberH", 190, 21, 71, 22);
    editNumberH->setFocusPolicy(Qt::NoFocus);
    editNumberH->setWrapping(false);
    editNumberH->setReadOnly(false);
    editNumberH->setMinimum(16);
    labelHeightRecog = Make<QLabel>(widget, "labelHeightRecog", 20, 21, 161, 16);
    editZoneX = Make<QLineEdit>(widget, "editZoneX", 230, 51, 61, 20);
    buttonApplyZone = Make<QPushButton>(widget, "buttonApplyZone", 590, 50, 75, 23);
    buttonApplyColNum = Make<QPushButton>(widget, "buttonApplyColNum", 280, 110, 75, 23);
    buttonApplyDeepBuf = Make<QPushButton>(widget, "buttonApplyDeepBuf", 229, 80, 75, 23);
    labelDeepBuffer = Make<QLabel>(widget, "labelDeepBuffer", 20, 81, 141, 16);
    buttonShowZone = Make<QPushButton>(widget, "buttonShowZone", 509, 50, 75, 23);
    editZoneW = Make<QLineEdit>(widget, "editZoneW", 370, 51, 61, 20);
    buttonApplyNumberH = Make<QPushButton>(widget, "buttonApplyNumberH", 389, 20, 75, 23);
    editZoneH = Make<QLineEdit>(widget, "editZoneH", 440, 51, 61, 20);
    labelNumSum = Make<QLabel>(widget, "labelNumSum", 20, 111, 191, 16);
    buttonShowNumberH = Make<QPushButton>(widget, "buttonShowNumberH", 308, 20, 75, 23);
    labelZone = Make<QLabel>(widget, "labelZone", 20, 51, 211, 16);
    editColSum = Make<QLineEdit>(widget, "editColSum", 210, 111, 61, 20);
    labelZoom = Make<QLabel>(widget, "labelZoom", 20, 140, 301, 16);
    buttonApplyZoom = Make<QPushButton>(widget, "buttonApplyZoom", 400, 138, 75, 23);
    editZoom = Make<QDoubleSpinBox>(widget, "editZoom", 330, 138, 62, 22);
    editZoom->setFocusPolicy(Qt::NoFocus);
    editZoom->setDecimals(1);
    editZoom->setMinimum(0.3);
    editZoom->setMaximum(1.0);
    editZoom->setSingleStep(0.1);
    editZoom->setValue(1.0);

    window->setCentralWidget(centralwidget);

    menubar = new QMenuBar(window);
    menubar->setObjectName(QStringLiteral("menubar"));
    menubar->setGeometry(QRect(0, 0, 1093, 21));
    menu = new QMenu(menubar);
    menu->setObjectName(QStringLiteral("menu"));
    window->setMenuBar(menubar);
    statusbar = new QStatusBar(window);
    statusbar->setObjectName(QStringLiteral("statusbar"));
    window->setStatusBar(statusbar);

    menubar->addAction(menu->menuAction());
    menu->addAction(actionOpenFile);
    menu->addAction(actionAbout);
    menu->addAction(actionExit);

    menuEngine = new QMenu(menubar);
    menuEngine->setObjectName(QStringLiteral("menuEngine"));
    actionLearnedEngine = MakeAction(window, "actionLearnedEngine");
    actionLearnedEngine->setCheckable(true);
    actionLearnedEngine->setChecked(false);
    menubar->addAction(menuEngine->menuAction());
    menuEngine->addAction(actionLearnedEngine);

    retranslateUi(window);
    buttonStart->setDefault(false);

    QMetaObject::connectSlotsByName(window);
}

void MainWindow::retranslateUi(QMainWindow* window) {
    const auto tr = [](const char* text) { return QCoreApplication::translate("MainWindow", text, nullptr); };
    window->setWindowTitle(tr("Kalvero"));
    actionOpenFile->setText(tr("Открыть"));
    actionAbout->setText(tr("О программе"));
    actionExit->setText(tr("Выход"));
    videoMonitor->setText(tr("Video"));
    buttonStart->setText(tr("Старт"));
    buttonStop->setText(tr("Пауза"));
    labelHeightRecog->setText(tr("Высота распознаваемых цифр"));
    buttonApplyZone->setText(tr("Применить"));
    buttonApplyColNum->setText(tr("Применить"));
    buttonApplyDeepBuf->setText(tr("Применить"));
    labelDeepBuffer->setText(tr("Глубина буфера в кадрах"));
    buttonShowZone->setText(tr("Показать"));
    buttonApplyNumberH->setText(tr("Применить"));
    labelNumSum->setText(tr("Количество номеров суммирования"));
    buttonShowNumberH->setText(tr("Показать"));
    // The letter before the first comma is the Cyrillic capital Ha (U+0425).
    labelZone->setText(tr("Зона распознавания \u0425, Y, Width, Height"));
    labelZoom->setText(tr("Коэффициент масштабирования исходного изображения"));
    buttonApplyZoom->setText(tr("Применить"));
    menu->setTitle(tr("Файл"));
    menuEngine->setTitle(tr("Распознавание"));
    actionLearnedEngine->setText(tr("Обученный распознаватель"));
}

}  // namespace Ui
}  // namespace kalvero
