// The QApplication every window test needs, made once per test process.
#include <QApplication>
#include <QByteArray>

#include <gtest/gtest.h>

namespace {

class QtApplicationEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        // Headless unless told otherwise (ctest sets the same).
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", QByteArray("offscreen"));
        // Kept until the process ends: Qt 5's offscreen platform does not
        // release its screen objects when the application is destroyed,
        // which the leak checker would report against the tests.
        if (QApplication::instance() == nullptr) application_ = new QApplication(argc_, argv_);
    }

private:
    int argc_ = 1;
    char name_[16] = "test_app";
    char* argv_[2] = {name_, nullptr};
    QApplication* application_ = nullptr;
};

const auto* const registered = ::testing::AddGlobalTestEnvironment(new QtApplicationEnvironment);

}  // namespace
