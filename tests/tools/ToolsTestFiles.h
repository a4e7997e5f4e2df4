#pragma once
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>

#include <gtest/gtest.h>

namespace kalvero {

// A test with a folder of its own, dir_: under the temporary folder, named
// after `prefix`, the run's random seed and the test. Emptied before the
// test (and made anew when `create`), removed after it.
class TestWithFolder : public ::testing::Test {
protected:
    TestWithFolder(std::string prefix, bool create) : prefix_(std::move(prefix)), create_(create) {}

    void SetUp() override {
        const ::testing::UnitTest& run = *::testing::UnitTest::GetInstance();
        dir_ = std::filesystem::temp_directory_path() /
               (prefix_ + std::to_string(run.random_seed()) + "-" + run.current_test_info()->name());
        std::filesystem::remove_all(dir_);
        if (create_) {
            std::filesystem::create_directories(dir_);
        }
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    std::filesystem::path dir_;

private:
    std::string prefix_;
    bool create_;
};

// The whole content of the file at `path` (empty when it cannot be read).
inline std::string ReadWholeFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace kalvero
