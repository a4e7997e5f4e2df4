#pragma once

class QPushButton;
class QTextEdit;
class QWidget;

namespace kalvero {
namespace Ui {

// The widgets of the About window, built in code by setupUi; each widget's
// object name equals its field name.
struct About {
    QTextEdit* textEdit = nullptr;
    QPushButton* pushButton = nullptr;

    // Builds the 400 x 300 form on `window` and sets its texts.
    void setupUi(QWidget* window);
    // Sets the title, the button text and the rich text, translated in the
    // context "About".
    void retranslateUi(QWidget* window);
};

}  // namespace Ui
}  // namespace kalvero
