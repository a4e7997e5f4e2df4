#include <filesystem>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>
#include <opencv2/imgcodecs.hpp>

#include "line_reader/LineCrop.h"
#include "tools/CropCommand.h"
#include "tools/SampleVideo.h"
#include "tools/ToolsTestFiles.h"
#include "tools/ToolsTestFonts.h"

namespace kalvero {
namespace {

namespace fs = std::filesystem;

using CropFolders = TestWithFolder<false>;

std::vector<std::vector<std::string>> ReadTsv(const fs::path& path) {
    std::vector<std::vector<std::string>> rows;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        std::vector<std::string> fields;
        std::size_t start = 0;
        for (std::size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1) {
            fields.push_back(line.substr(start, tab - start));
        }
        fields.push_back(line.substr(start));
        rows.push_back(fields);
    }
    return rows;
}

TEST_F(CropFolders, WritesCropsAndLabelsThatAgreeWhateverTheJobs) {
    std::string fonts = "glyph,stencil";
    if (TestFontInstalled()) {
        fonts += "," + kTestFontPath;
    }
    const int count = 60;
    std::ostringstream out;
    std::ostringstream err;
    const fs::path one = dir_ / "one";
    const fs::path two = dir_ / "two";
    ASSERT_EQ(RunMakeSample({"--crops", one.string(), "--count", std::to_string(count), "--fonts", fonts,
                             "--seed", "5", "--negatives-share", "0.2"},
                            out, err),
              0)
        << err.str();
    EXPECT_NE(out.str().find("Wrote 60 crops"), std::string::npos) << out.str();
    EXPECT_NE(out.str().find("crops/s"), std::string::npos) << out.str();
    ASSERT_EQ(RunMakeSample({"--crops=" + two.string(), "--count=60", "--fonts=" + fonts, "--seed=5",
                             "--negatives-share=0.2", "--jobs", "2"},
                            out, err),
              0)
        << err.str();

    const auto rows = ReadTsv(one / "labels.tsv");
    ASSERT_EQ(rows.size(), static_cast<std::size_t>(count + 1));
    EXPECT_EQ(rows[0], (std::vector<std::string>{"file", "text", "font"}));
    int negatives = 0;
    for (int i = 1; i <= count; ++i) {
        ASSERT_EQ(rows[i].size(), 3u) << "line " << i;
        const std::string& file = rows[i][0];
        EXPECT_EQ(file.size(), 11u);
        const cv::Mat crop = cv::imread((one / file).string(), cv::IMREAD_UNCHANGED);
        ASSERT_FALSE(crop.empty()) << file;
        EXPECT_EQ(crop.size(), cv::Size(kLineInputWidth, kLineInputHeight));
        EXPECT_EQ(crop.type(), CV_8UC1);
        EXPECT_EQ(rows[i][1].find_first_not_of("0123456789"), std::string::npos) << rows[i][1];
        EXPECT_TRUE(rows[i][2] == "glyph" || rows[i][2] == "stencil" || rows[i][2] == "DejaVuSans-Bold.ttf")
            << rows[i][2];
        negatives += rows[i][1].empty();
        EXPECT_EQ(ReadWholeFile(one / file), ReadWholeFile(two / file)) << file << " differs between one and two jobs";
    }
    EXPECT_GT(negatives, 3);
    EXPECT_LT(negatives, 30);
    EXPECT_EQ(ReadWholeFile(one / "labels.tsv"), ReadWholeFile(two / "labels.tsv"));
    EXPECT_EQ(std::distance(fs::directory_iterator(one), fs::directory_iterator()), count + 1);
}

TEST_F(CropFolders, BadCropOptionsAreUsageErrors) {
    const std::string dir = dir_.string();
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
        {{"--crops", dir}, "--count"},
        {{"--crops", dir, "--count", "0"}, "--count"},
        {{"--crops", dir, "--count", "5", "--negatives-share", "1.5"}, "--negatives-share"},
        {{"--crops", dir, "--count", "5", "--conditions", "1.5"}, "--conditions 1.5 is out of range"},
        {{"--crops", dir, "--count", "5", "--conditions", "-0.1"}, "--conditions"},
        {{"--crops", dir, "--count", "5", "--fonts", "glyph,,stencil"}, "--fonts"},
        {{"--crops", dir, "--count", "5", "--fonts", "/no/such/font.ttf"}, "/no/such/font.ttf"},
        {{"--crops", dir, "--count", "5", "--jobs", "0"}, "--jobs"},
        {{"--crops", dir, "--count", "5", "--frames", "3"}, "--frames"},
        {{"--crops", dir, "--count", "5", "extra.avi"}, "extra.avi"},
        {{"--crops"}, "--crops"},
    };
    for (const auto& [args, named] : cases) {
        std::ostringstream out;
        std::ostringstream err;
        EXPECT_EQ(RunMakeSample(args, out, err), 2) << named;
        EXPECT_NE(err.str().find(named), std::string::npos) << err.str();
        EXPECT_NE(err.str().find("kalvero-make-sample: "), std::string::npos);
    }
    EXPECT_FALSE(fs::exists(dir_ / "labels.tsv"));

    // A folder that cannot be made is a failure to write, not a usage error.
    fs::create_directories(dir_);
    const fs::path file = dir_ / "a-file";
    std::ofstream(file) << "x";
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(RunMakeSample({"--crops", (file / "sub").string(), "--count", "2", "--fonts", "glyph"}, out, err), 3);
    EXPECT_NE(err.str().find("a-file"), std::string::npos) << err.str();
}

}  // namespace
}  // namespace kalvero
