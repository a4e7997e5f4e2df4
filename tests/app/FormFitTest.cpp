// Every text of the form fits its rectangle in the window's font, the
// console's frame lines do not wrap, and the menu and status bars leave the
// settings panel whole.
#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QFontInfo>
#include <QFontMetrics>
#include <QMenuBar>
#include <QScrollBar>
#include <QStatusBar>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

#include "app/WindowFont.h"
#include "TestWindow.h"

namespace kalvero::testing {
namespace {

// The style sheet's push-button border, on each side.
constexpr int kButtonBorder = 2;
// Free pixels wanted between a button's text and its border on each side,
// so that the text does not touch it.
constexpr int kButtonGap = 3;

int Advance(const QWidget& widget, const QString& text) {
    return QFontMetrics(widget.font()).horizontalAdvance(text);
}

TEST(FormFit, TheWindowUsesTheFontTheFormWasDrawnFor) {
    TestWindow window;
    const QFontInfo used(window.font());
    EXPECT_EQ(used.family(), "Tahoma") << "install fonts-wine (scripts/bootstrap)";
    EXPECT_EQ(used.pixelSize(), 11);
    // Set once for the program, not widget by widget.
    EXPECT_EQ(QFontInfo(window.find<QLabel>("labelNumSum")->font()).family(), "Tahoma");
    EXPECT_EQ(QFontInfo(QApplication::font()).family(), "Tahoma");
}

TEST(FormFit, LabelsAndButtonsHoldTheirWholeText) {
    TestWindow window;
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    for (QLabel* label : window.find<QWidget>("widget")->findChildren<QLabel*>()) {
        SCOPED_TRACE(label->objectName().toStdString());
        const QMargins margins = label->contentsMargins();
        const int needed = Advance(*label, label->text()) + margins.left() + margins.right() + 2 * label->margin() +
                           std::max(0, label->indent());
        EXPECT_LE(needed, label->width()) << label->text().toStdString();
        EXPECT_LE(QFontMetrics(label->font()).height(), label->height());
    }
    const QList<QPushButton*> buttons = window.find<QWidget>("widget")->findChildren<QPushButton*>();
    ASSERT_EQ(buttons.size(), 9);
    for (QPushButton* button : buttons) {
        SCOPED_TRACE(button->objectName().toStdString());
        const int needed = Advance(*button, button->text()) + 2 * (kButtonBorder + kButtonGap);
        EXPECT_LE(needed, button->width()) << button->text().toStdString();
        EXPECT_LE(QFontMetrics(button->font()).height() + 2 * kButtonBorder, button->height());
    }
}

TEST(FormFit, EditsAndSpinBoxesHoldTheLargestValuesTheyTake) {
    TestWindow window;
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    // Four digits: a zone edge or size of a 4K frame, a depth of 500.
    for (const char* name : {"editZoneX", "editZoneY", "editZoneW", "editZoneH", "editDeepBuf", "editColSum"}) {
        SCOPED_TRACE(name);
        QLineEdit* edit = window.edit(name);
        QStyleOptionFrame option;
        option.initFrom(edit);
        const int frame = edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, edit);
        const QMargins text = edit->textMargins();
        // QLineEdit keeps 2 pixels of its own inside the frame on each side.
        const int needed = Advance(*edit, QStringLiteral("3839")) + 2 * frame + 2 * 2 + text.left() + text.right();
        EXPECT_LE(needed, edit->width());
        EXPECT_LE(QFontMetrics(edit->font()).height() + 2 * frame, edit->height());
    }
    // A spin box needs room for its widest value and its arrow buttons.
    auto* numberH = window.find<QSpinBox>("editNumberH");
    auto* zoom = window.find<QDoubleSpinBox>("editZoom");
    for (QAbstractSpinBox* spin : {static_cast<QAbstractSpinBox*>(numberH), static_cast<QAbstractSpinBox*>(zoom)}) {
        SCOPED_TRACE(spin->objectName().toStdString());
        EXPECT_LE(spin->minimumSizeHint().width(), spin->width());
        EXPECT_LE(spin->minimumSizeHint().height(), spin->height());
    }
}

TEST(FormFit, FrameLinesTakeOneConsoleLineEach) {
    TestWindow window;
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QTextEdit* console = window.console();
    // Long enough to need the scroll bar, with the widest digits, in the
    // frame numbers of an hour of video and times of up to 10 s.
    for (int line = 0; line < 60; ++line) {
        console->append(QStringLiteral("Frame #%1: Time recognition: %2 s")
                            .arg(10000 + line * 1500)
                            .arg(line % 2 == 0 ? QStringLiteral("8.888") : QStringLiteral("0.000")));
    }
    QCoreApplication::processEvents();
    ASSERT_TRUE(console->verticalScrollBar()->isVisible());
    int wrapped = 0;
    for (QTextBlock block = console->document()->begin(); block.isValid(); block = block.next()) {
        console->document()->documentLayout()->blockBoundingRect(block);  // lays the block out
        if (block.layout()->lineCount() != 1) ++wrapped;
    }
    EXPECT_EQ(wrapped, 0);
}

TEST(FormFit, MenuAndStatusBarsLeaveThePanelWhole) {
    TestWindow window;
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    ASSERT_EQ(window.size(), QSize(1093, 563));
    QWidget* panel = window.find<QWidget>("widget");
    const QRect panelInWindow(panel->mapTo(&window, QPoint(0, 0)), panel->size());
    EXPECT_LE(window.menuBar()->geometry().bottom(), panelInWindow.top());
    EXPECT_LE(window.menuBar()->height(), 21);
    // Every control of the panel, the zoom row included, stays above the
    // status bar.
    for (QWidget* child : panel->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        SCOPED_TRACE(child->objectName().toStdString());
        const int bottom = child->mapTo(&window, QPoint(0, child->height())).y();
        EXPECT_LE(bottom, window.statusBar()->geometry().top());
    }
    EXPECT_TRUE(window.statusBar()->isVisible());
}

}  // namespace
}  // namespace kalvero::testing
