// kalvero-read with no option at all (no zone, no digit height) on what
// yard cameras give: a 1080p H.264 recording, digits from 12 to 200 pixels,
// an oblique camera, a number painted twice, and every kind of painted text
// that is not a carriage number.
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ReaderProcess.h"
#include "tools/SampleVideo.h"

namespace kalvero {
namespace {

using namespace testing_cli;

const char* const kLatoBold = "/usr/share/fonts/truetype/lato/Lato-Bold.ttf";      // never trained on
const char* const kDejaVuBold = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";
constexpr char kNumber[] = "52473063";

// Draws a varied scene once per name with kalvero-make-sample's own code
// (its truth beside it, FILE.json); returns the video's path.
std::string Scene(const std::string& name, std::vector<std::string> args) {
    static std::map<std::string, std::string> written;
    const std::string path = ScratchDir() + "/" + name;
    if (written.count(name) == 0) {
        args.insert(args.begin(), path);
        args.insert(args.end(), {"--varied", "--truth", path + ".json"});
        std::ostringstream out, err;
        if (RunMakeSample(args, out, err) != 0) throw std::runtime_error(err.str());
        written[name] = path;
    }
    return path;
}

// The numbers the summary lists as confirmed, and its count of passes
// (its passes line is left out when there are none).
struct Outcome {
    std::vector<std::string> confirmed;
    int passes = 0;
};

Outcome ReadWithNoOptions(const std::string& video) {
    const ProcessResult r = RunReaderProcess({video});
    EXPECT_EQ(r.status, 0) << r.err;
    Outcome outcome;
    outcome.confirmed = ConfirmedNumbers(r.out);
    std::istringstream lines(r.out);
    const std::regex passes("Carriage passes: ([0-9]+)");
    for (std::string line; std::getline(lines, line);) {
        std::smatch m;
        if (std::regex_match(line, m, passes)) outcome.passes = std::stoi(m[1]);
    }
    return outcome;
}

struct CameraCase {
    const char* name;
    std::vector<std::string> args;
};

void PrintTo(const CameraCase& c, std::ostream* out) { *out << c.name; }

class NoOptions : public ::testing::TestWithParam<CameraCase> {};

TEST_P(NoOptions, ConfirmsTheNumberAsOnePass) {
    const CameraCase& c = GetParam();
    std::vector<std::string> args = c.args;
    args.insert(args.end(), {"--number", kNumber});
    const Outcome outcome = ReadWithNoOptions(Scene(c.name, args));
    EXPECT_EQ(outcome.confirmed, std::vector<std::string>{kNumber});
    EXPECT_EQ(outcome.passes, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Cameras, NoOptions,
    ::testing::Values(
        CameraCase{"h264-1080p.mp4",
                   {"--size", "1920x1080", "--digit-height", "40", "--frames", "12", "--font", kLatoBold, "--seed", "11"}},
        CameraCase{"digits-12px.avi",
                   {"--size", "960x540", "--digit-height", "12", "--frames", "12", "--font", kDejaVuBold, "--seed", "12"}},
        CameraCase{"digits-200px.avi",
                   {"--size", "1920x1080", "--digit-height", "200", "--frames", "10", "--font", kDejaVuBold, "--seed",
                    "13"}},
        CameraCase{"oblique-40deg.avi",
                   {"--size", "640x360", "--digit-height", "28", "--frames", "12", "--condition", "perspective", "--yaw",
                    "40", "--font", kLatoBold, "--seed", "14"}},
        CameraCase{"painted-twice.avi",
                   {"--size", "960x540", "--digit-height", "24", "--frames", "12", "--condition", "painted-twice",
                    "--font", kDejaVuBold, "--seed", "15"}}),
    [](const ::testing::TestParamInfo<CameraCase>& info) {
        std::string name = info.param.name;
        for (char& ch : name) {
            if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
        }
        return name;
    });

TEST(NoOptionsPaintedTwice, BothCopiesAreInViewTogether) {
    // What makes the case above worth its name: frames showing the number
    // twice at once.
    const std::string video = Scene("painted-twice.avi", {"--size", "960x540", "--digit-height", "24", "--frames",
                                                          "12", "--condition", "painted-twice", "--font", kDejaVuBold,
                                                          "--seed", "15", "--number", kNumber});
    std::ifstream truth(video + ".json");
    std::stringstream text;
    text << truth.rdbuf();
    const std::string json = text.str();
    const std::regex twice(std::string("\\{\"text\": \"") + kNumber + "\", \"kind\": \"number\"[^}]*\\}, \\{\"text\": \"" +
                           kNumber + "\", \"kind\": \"number\"");
    EXPECT_TRUE(std::regex_search(json, twice)) << json.substr(0, 400);
}

class NoOptionsNegative : public ::testing::TestWithParam<const char*> {};

TEST_P(NoOptionsNegative, ConfirmsNothing) {
    const std::string kind = GetParam();
    for (const char* seed : {"1", "2"}) {
        const Outcome outcome = ReadWithNoOptions(Scene(kind + "-" + seed + ".avi",
                                                        {"--negative", kind, "--size", "640x360", "--digit-height", "28",
                                                         "--frames", "16", "--font", kLatoBold, "--seed", seed}));
        EXPECT_TRUE(outcome.confirmed.empty()) << kind << " seed " << seed << ": " << outcome.confirmed.front();
        EXPECT_EQ(outcome.passes, 0) << kind << " seed " << seed;
    }
}

INSTANTIATE_TEST_SUITE_P(Negatives, NoOptionsNegative,
                         ::testing::Values("seven-digits", "six-digits-words", "blank", "phone-number", "date",
                                           "bad-check-digit", "nine-digits", "ten-digits", "seven-plus-one", "ladder",
                                           "grille", "rivets"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                             std::string name = info.param;
                             for (char& ch : name) {
                                 if (ch == '-') ch = '_';
                             }
                             return name;
                         });

}  // namespace
}  // namespace kalvero
