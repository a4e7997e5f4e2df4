// The reader's JSON layout: strings escaped by nlohmann with one rule for
// broken UTF-8, and the documented examples written byte for byte.
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "cli/JsonLine.h"
#include "cli/JsonOutput.h"
#include "cli/PassFile.h"
#include "cli/TimeOfDay.h"
#include "cli/ReadReport.h"
#include "cli/Reader.h"
#include "support/VideoFixtures.h"

namespace kalvero {
namespace {

struct EscapeCase {
    const char* name;
    std::string raw;
    std::string written;  // the JSON literal, quotes included
    std::string decoded;  // what a JSON parser reads back
};

class JsonStringEscapes : public ::testing::TestWithParam<EscapeCase> {};

TEST_P(JsonStringEscapes, WritesValidJsonThatReadsBackAsDecided) {
    const EscapeCase& c = GetParam();
    const std::string written = JsonString(c.raw);
    EXPECT_EQ(written, c.written);
    // Whatever the input, the result is one valid JSON string.
    const nlohmann::json parsed = nlohmann::json::parse(written);
    ASSERT_TRUE(parsed.is_string());
    EXPECT_EQ(parsed.get<std::string>(), c.decoded);
}

const std::string kReplacement = "\xef\xbf\xbd";

INSTANTIATE_TEST_SUITE_P(
    ControlCharactersAndBrokenUtf8, JsonStringEscapes,
    ::testing::Values(
        EscapeCase{"Plain", "52473063", "\"52473063\"", "52473063"},
        EscapeCase{"NulAndUnitSeparator", std::string("a\0b\x1f", 4), "\"a\\u0000b\\u001f\"", std::string("a\0b\x1f", 4)},
        EscapeCase{"LineEndsAndTab", "x\r\n\t\b\f", "\"x\\r\\n\\t\\b\\f\"", "x\r\n\t\b\f"},
        EscapeCase{"Delete", "a\x7f", "\"a\\u007f\"", "a\x7f"},
        EscapeCase{"QuoteAndBackslash", "a\"b\\", "\"a\\\"b\\\\\"", "a\"b\\"},
        EscapeCase{"FourByteCharacter", "\xf0\x9f\x9a\x82", "\"\xf0\x9f\x9a\x82\"", "\xf0\x9f\x9a\x82"},
        EscapeCase{"StrayContinuationByte", "v\x80.avi", "\"v\\ufffd.avi\"", "v" + kReplacement + ".avi"},
        EscapeCase{"Latin1Name", "z\xfcge.avi", "\"z\\ufffdge.avi\"", "z" + kReplacement + "ge.avi"},
        EscapeCase{"CutThreeByteSequence", "\xe2\x82", "\"\\ufffd\"", kReplacement},
        EscapeCase{"EncodedSurrogate", "\xed\xa0\x80", "\"\\ufffd\\ufffd\\ufffd\"",
                   kReplacement + kReplacement + kReplacement},
        // A real U+FFFD is written as the escape too: every replacement
        // character in our output looks the same.
        EscapeCase{"ReplacementCharacterItself", "\xef\xbf\xbd", "\"\\ufffd\"", kReplacement}),
    [](const ::testing::TestParamInfo<EscapeCase>& info) { return std::string(info.param.name); });

TEST(JsonLine, WritesOurSeparatorsAndFixedDecimalsByKey) {
    JsonValue value = {{"a", 1}, {"b", {1.5, std::nan("")}}, {"c", {{"t", 2.0}}}, {"d", nullptr}, {"e", false}};
    EXPECT_EQ(JsonLine(value, {{"t", 2}}), "{\"a\": 1, \"b\": [1.500, null], \"c\": {\"t\": 2.00}, \"d\": null, "
                                           "\"e\": false}");
    EXPECT_EQ(JsonLine(JsonValue::array()), "[]");
    EXPECT_EQ(JsonLine(JsonValue::object()), "{}");
}

// The README's JSON examples, the line that follows a marker.
std::string ReadmeLineAfter(const std::string& marker) {
    std::ifstream cache(std::string(KALVERO_BUILD_DIR) + "/CMakeCache.txt");
    std::string line;
    std::string source;
    while (std::getline(cache, line)) {
        if (line.rfind("Kalvero_SOURCE_DIR:", 0) == 0) {
            source = line.substr(line.find('=') + 1);
        }
    }
    std::ifstream readme(source + "/README.md");
    EXPECT_TRUE(readme) << "no README.md in '" << source << "'";
    while (std::getline(readme, line)) {
        const std::size_t at = line.find(marker);
        if (at != std::string::npos) {
            // Up to the closing backquote when the example is inline code.
            const std::size_t end = line.find('`', at);
            return line.substr(at, end == std::string::npos ? std::string::npos : end - at);
        }
    }
    ADD_FAILURE() << "no README line holds " << marker;
    return "";
}

TEST(ReadmeJsonExamples, FrameLineIsWrittenByteForByte) {
    const std::string example = ReadmeLineAfter("{\"frame\": 7, \"time_ms\"");
    const nlohmann::json parsed = nlohmann::json::parse(example);
    FrameReport report;
    report.frameNumber = parsed["frame"];
    report.recognitionMs = parsed["time_ms"];
    for (const auto& r : parsed["readings"]) {
        Reading reading;
        reading.text = r["text"];
        reading.box = cv::Rect(r["x"], r["y"], r["width"], r["height"]);
        reading.score = r["score"];
        reading.engine = r["engine"] == "learned" ? RecognitionEngine::Learned : RecognitionEngine::Glyph;
        for (const auto& score : r["digit_scores"]) {
            reading.digitScores.push_back(score);
        }
        report.readings.push_back(reading);
    }
    report.voteCode = 0;
    report.confirmed = parsed["confirmed"];
    const std::string file = parsed["file"];
    EXPECT_EQ(FrameJsonLine(report, &file), example);
}

TEST(ReadmeJsonExamples, PassRecordIsWrittenByteForByte) {
    const std::string example = ReadmeLineAfter("{\"file\": \"two.avi\", \"number\"");
    const nlohmann::json parsed = nlohmann::json::parse(example);
    CarriagePass pass;
    pass.file = parsed["file"];
    pass.number = parsed["number"];
    pass.checkDigit = parsed["check_digit"];
    pass.firstFrame = parsed["first_frame"];
    pass.lastFrame = parsed["last_frame"];
    pass.startSeconds = parsed["start_s"];
    pass.endSeconds = parsed["end_s"];
    pass.startTime = ParseIsoUtc(parsed["start_time"]);
    pass.endTime = ParseIsoUtc(parsed["end_time"]);
    pass.firstConfirmedFrame = parsed["first_confirmed_frame"];
    for (const auto& range : parsed["frames"]) {
        pass.readFrames.emplace_back(range[0], range[1]);
        for (int f = range[0]; f <= range[1].get<int>(); ++f) {
            pass.scores.emplace_back(f, 1.0f);
        }
    }
    ASSERT_EQ(pass.FramesRead(), parsed["frames_read"].get<int>());
    pass.bestScore = parsed["best_score"];
    pass.bestFrame = parsed["best_frame"];
    pass.direction = parsed["direction"] == "left" ? TravelDirection::Left : TravelDirection::Right;
    EXPECT_EQ(PassFile::JsonRecord(pass), example);
}

TEST(ReadmeJsonExamples, SummaryObjectIsWrittenByteForByte) {
    const std::string example = ReadmeLineAfter("{\"summary\": {");
    const nlohmann::json counts = nlohmann::json::parse(example)["summary"];
    ReadReport report;
    for (int f = 1; f <= counts["frames_read"].get<int>(); ++f) {
        FrameReport frame;
        frame.frameNumber = f;
        frame.readings.push_back(Reading{});
        frame.readings.back().text = "52473063";
        frame.voteCode = f == 5 ? 0 : 2;
        frame.confirmed = "52473063";
        report.AddFrame(frame);
    }
    report.SetAnnouncedFrames(counts["frames_announced"]);
    ASSERT_EQ(counts["damaged_frames"], 0);
    EXPECT_EQ(report.SummaryJsonLine(), example + "\n");
}

// Every line of `text` parsed as JSON; fails the test on a line that is not.
std::vector<nlohmann::json> ParseLines(const std::string& text) {
    std::vector<nlohmann::json> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        try {
            lines.push_back(nlohmann::json::parse(line));
        } catch (const nlohmann::json::exception& e) {
            ADD_FAILURE() << e.what() << ": " << line;
        }
    }
    return lines;
}

TEST(ReaderJsonOutputs, AFileNameWithAControlCharacterAndBrokenUtf8GivesValidJsonEverywhere) {
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "kalvero-json-names";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    const std::string name = (folder / "z\xfc\x01ge.avi").string();
    ASSERT_TRUE(testing::WriteVideo(
        name, testing::NumberFrames(cv::Size(320, 240), 12, "52473063", 29, cv::Point(40, 100))));
    const std::string passes = (folder / "p.jsonl").string();
    std::ostringstream out;
    std::ostringstream err;
    ASSERT_EQ(RunReader({name, "--engine", "glyph", "--json", "--passes", passes}, out, err, ReaderEnvironment{}),
              kExitOk)
        << err.str();
    const std::string decodedName = (folder / "z\xef\xbf\xbd\x01ge.avi").string();
    const std::vector<nlohmann::json> frames = ParseLines(out.str());
    ASSERT_EQ(frames.size(), 12u);
    for (const nlohmann::json& frame : frames) {
        EXPECT_EQ(frame["file"], decodedName);
    }
    EXPECT_NE(out.str().find("z\\ufffd\\u0001ge.avi"), std::string::npos) << out.str().substr(0, 300);
    std::ifstream passFile(passes);
    std::stringstream passText;
    passText << passFile.rdbuf();
    const std::vector<nlohmann::json> records = ParseLines(passText.str());
    ASSERT_EQ(records.size(), 1u) << passText.str();
    EXPECT_EQ(records[0]["file"], decodedName);
    EXPECT_EQ(records[0]["number"], "52473063");
    // The summary object, the last line on standard error, parses too.
    const std::string errText = err.str();
    const std::size_t last = errText.rfind("{\"summary\"");
    ASSERT_NE(last, std::string::npos) << errText;
    EXPECT_EQ(nlohmann::json::parse(errText.substr(last))["summary"]["frames_read"], 12);
    std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace kalvero
