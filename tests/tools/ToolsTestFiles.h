#pragma once
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

namespace kalvero {

// A test with a folder of its own, dir_: under the temporary folder, named
// after the test suite, the run's random seed and the test. Emptied before
// the test (and made anew when `Create`), removed after it.
template <bool Create>
class TestWithFolder : public ::testing::Test {
protected:
    void SetUp() override {
        const ::testing::UnitTest& run = *::testing::UnitTest::GetInstance();
        const ::testing::TestInfo& test = *run.current_test_info();
        std::string name = "kalvero-" + std::string(test.test_suite_name()) + "-" + std::to_string(run.random_seed()) +
                           "-" + test.name();
        std::replace(name.begin(), name.end(), '/', '-');  // Prefix/Suite and Test/Parameter
        dir_ = std::filesystem::temp_directory_path() / name;
        std::filesystem::remove_all(dir_);
        if (Create) {
            std::filesystem::create_directories(dir_);
        }
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    std::filesystem::path dir_;
};

// The whole content of the file at `path` (empty when it cannot be read).
inline std::string ReadWholeFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace kalvero
