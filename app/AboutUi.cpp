#include "app/AboutUi.h"

#include <QCoreApplication>
#include <QPushButton>
#include <QTextEdit>
#include <QWidget>

#include "KalveroVersion.h"

namespace kalvero {
namespace Ui {

void About::setupUi(QWidget* window) {
    if (window->objectName().isEmpty()) window->setObjectName(QStringLiteral("About"));
    window->resize(400, 300);
    textEdit = new QTextEdit(window);
    textEdit->setObjectName(QStringLiteral("textEdit"));
    textEdit->setGeometry(QRect(40, 30, 321, 141));
    textEdit->setReadOnly(true);
    pushButton = new QPushButton(window);
    pushButton->setObjectName(QStringLiteral("pushButton"));
    pushButton->setGeometry(QRect(160, 260, 80, 23));
    pushButton->setBaseSize(QSize(0, 0));
    retranslateUi(window);
}

void About::retranslateUi(QWidget* window) {
    window->setWindowTitle(QCoreApplication::translate("About", "О программе", nullptr));
    // Both letters of the button text are Cyrillic (U+041E, U+041A).
    pushButton->setText(QCoreApplication::translate("About", "\u041E\u041A", nullptr));
    textEdit->setHtml(QCoreApplication::translate(
        "About",
        "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.0//EN\" \"http://www.w3.org/TR/REC-html40/strict.dtd\">\n"
        "<html><head><meta name=\"qrichtext\" content=\"1\" /><style type=\"text/css\">\n"
        "p, li { white-space: pre-wrap; }\n"
        "</style></head><body style=\" font-family:'MS Shell Dlg 2'; font-size:8.25pt; font-weight:400; "
        "font-style:normal;\">\n"
        "<p align=\"center\" style=\" margin-top:0px; margin-bottom:0px; margin-left:0px; margin-right:0px; "
        "-qt-block-indent:0; text-indent:0px;\"><span style=\" font-size:16pt; font-weight:600;\">Kalvero</span></p>\n"
        "<p align=\"center\" style=\" margin-top:0px; margin-bottom:0px; margin-left:0px; margin-right:0px; "
        "-qt-block-indent:0; text-indent:0px;\"><span style=\" font-size:16pt; font-weight:600;\">Версия "
        KALVERO_VERSION_TEXT "</span></p>\n"
        "<p align=\"center\" style=\" margin-top:0px; margin-bottom:0px; margin-left:0px; margin-right:0px; "
        "-qt-block-indent:0; text-indent:0px;\"><span style=\" font-size:16pt; font-weight:600;\">Чтение номеров "
        "вагонов на видео</span></p></body></html>",
        nullptr));
}

}  // namespace Ui
}  // namespace kalvero
