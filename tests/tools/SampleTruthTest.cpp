// The truth file's layout, and that what it says reads back through a JSON
// parser whatever the names hold.
#include <string>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "tools/SampleTruth.h"

namespace kalvero {
namespace {

SampleTruth TwoFrames() {
    SampleTruth truth;
    truth.file = "two.avi";
    truth.size = cv::Size(640, 360);
    truth.frames = 2;
    truth.framesPerSecond = 25.0;
    truth.font = "glyph";
    truth.seed = 18446744073709551615ull;  // the largest seed survives unchanged
    truth.numbers = {"52473063", "19111491"};
    TruthObject number;
    number.text = "52473063";
    number.isNumber = true;
    number.box = cv::Rect(454, 133, 172, 29);
    TruthObject hidden = number;
    hidden.text = "1234";
    hidden.isNumber = false;
    hidden.fullyVisible = false;
    hidden.occluded = true;
    truth.frameObjects = {{number, hidden}, {}};
    return truth;
}

TEST(SampleTruthJson, KeepsItsDocumentedLayout) {
    EXPECT_EQ(SampleTruthJson(TwoFrames()),
              "{\"file\": \"two.avi\", \"width\": 640, \"height\": 360, \"frames\": 2, \"fps\": 25.0, \"font\": "
              "\"glyph\", \"seed\": 18446744073709551615,\n"
              " \"numbers\": [\"52473063\", \"19111491\"],\n"
              " \"frame_truth\": [\n"
              "  {\"frame\": 1, \"objects\": [{\"text\": \"52473063\", \"kind\": \"number\", \"box\": [454, 133, 172, "
              "29], \"fully_visible\": true}, {\"text\": \"1234\", \"kind\": \"distractor\", \"box\": [454, 133, 172, "
              "29], \"fully_visible\": false, \"occluded\": true}]},\n"
              "  {\"frame\": 2, \"objects\": []}\n"
              " ]}\n");
}

TEST(SampleTruthJson, ReadsBackWithControlCharactersAndBrokenUtf8InNames) {
    SampleTruth truth = TwoFrames();
    truth.file = std::string("dir\x01/z\xfcge\"\\.avi");
    truth.font = "/fonts/Dej\xc3\xa0Vu\tSans.ttf";
    truth.framesPerSecond = 29.97;
    const nlohmann::json parsed = nlohmann::json::parse(SampleTruthJson(truth));
    EXPECT_EQ(parsed["file"], "dir\x01/z\xef\xbf\xbdge\"\\.avi");
    EXPECT_EQ(parsed["font"], truth.font);
    EXPECT_DOUBLE_EQ(parsed["fps"].get<double>(), 30.0);  // one decimal
    EXPECT_EQ(parsed["seed"].get<std::uint64_t>(), truth.seed);
    ASSERT_EQ(parsed["frame_truth"].size(), 2u);
    EXPECT_EQ(parsed["frame_truth"][0]["objects"][1]["occluded"], true);
    EXPECT_FALSE(parsed["frame_truth"][0]["objects"][0].contains("occluded"));
    EXPECT_EQ(parsed["frame_truth"][1]["frame"], 2);
}

}  // namespace
}  // namespace kalvero
