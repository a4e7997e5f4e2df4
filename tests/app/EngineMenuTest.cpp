// The engine menu: where it sits, what it switches, and what happens when
// the learned engine's network cannot be loaded.
#include <cstdlib>

#include <QMenu>
#include <QMenuBar>

#include "TestWindow.h"

namespace kalvero::testing {
namespace {

QAction* LearnedEntry(TestWindow& window) { return window.find<QAction>("actionLearnedEngine"); }

TEST(EngineMenu, SitsAfterTheFileMenuWhichKeepsItsThreeEntries) {
    TestWindow window;
    const QList<QAction*> menus = window.menuBar()->actions();
    ASSERT_EQ(menus.size(), 2);
    EXPECT_EQ(menus[0]->text(), "Файл");
    EXPECT_EQ(menus[1]->text(), "Распознавание");
    EXPECT_EQ(window.find<QMenu>("menu")->actions().size(), 3);

    QMenu* engine = window.find<QMenu>("menuEngine");
    ASSERT_EQ(engine->actions().size(), 1);
    QAction* learned = LearnedEntry(window);
    EXPECT_EQ(engine->actions().front(), learned);
    EXPECT_EQ(learned->text(), "Обученный распознаватель");
    EXPECT_TRUE(learned->isCheckable());
    // The glyph reader stays the window's default.
    EXPECT_FALSE(learned->isChecked());
    EXPECT_EQ(window.settings().engine.load(), static_cast<std::int32_t>(RecognitionEngine::Glyph));
}

TEST(EngineMenu, CheckingTheEntrySwitchesEnginesAsAnApplyDoes) {
    TestWindow window;
    window.control().optionsChanged = false;
    LearnedEntry(window)->trigger();
    EXPECT_TRUE(LearnedEntry(window)->isChecked());
    EXPECT_EQ(window.settings().engine.load(), static_cast<std::int32_t>(RecognitionEngine::Learned));
    EXPECT_TRUE(window.control().optionsChanged.load());
    EXPECT_TRUE(window.console()->toPlainText().isEmpty());

    window.control().optionsChanged = false;
    LearnedEntry(window)->trigger();
    EXPECT_FALSE(LearnedEntry(window)->isChecked());
    EXPECT_EQ(window.settings().engine.load(), static_cast<std::int32_t>(RecognitionEngine::Glyph));
    EXPECT_TRUE(window.control().optionsChanged.load());
}

TEST(EngineMenu, AModelThatCannotBeLoadedLeavesTheGlyphReaderWithAConsoleLine) {
    ::setenv("KALVERO_LINE_MODEL", "/nonexistent/model.onnx", 1);
    TestWindow window;
    window.control().optionsChanged = false;
    LearnedEntry(window)->trigger();
    ::unsetenv("KALVERO_LINE_MODEL");
    EXPECT_FALSE(LearnedEntry(window)->isChecked());
    EXPECT_EQ(window.settings().engine.load(), static_cast<std::int32_t>(RecognitionEngine::Glyph));
    EXPECT_FALSE(window.control().optionsChanged.load());
    const QStringList lines = window.consoleLines();
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].startsWith("Обученный распознаватель недоступен")) << lines[0].toStdString();
    EXPECT_TRUE(lines[0].contains("/nonexistent/model.onnx")) << lines[0].toStdString();
}

}  // namespace
}  // namespace kalvero::testing
