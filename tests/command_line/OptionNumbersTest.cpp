#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "command_line/OptionNumbers.h"

namespace kalvero {
namespace {

// One value given to an option, and what must come of it: the number, or a
// message that names the option and says what is wrong.
struct WholeCase {
    std::string text;
    int low;
    int high;
    int expected;         // when `message` is empty
    std::string message;  // the whole message expected
};

class WholeOption : public ::testing::TestWithParam<WholeCase> {};

TEST_P(WholeOption, TakesDecimalWholeNumbersInRangeOnly) {
    const WholeCase& c = GetParam();
    int value = -12345;
    const std::string message = ParseWholeOption("--n", c.text, c.low, c.high, value);
    EXPECT_EQ(message, c.message) << "'" << c.text << "'";
    if (c.message.empty()) {
        EXPECT_EQ(value, c.expected);
    } else {
        EXPECT_EQ(value, -12345) << "a refused value must leave the result alone";
    }
}

constexpr int kIntMax = std::numeric_limits<int>::max();

INSTANTIATE_TEST_SUITE_P(
    Spellings, WholeOption,
    ::testing::Values(
        WholeCase{"12", 1, 100, 12, ""}, WholeCase{"+12", 1, 100, 12, ""},
        WholeCase{"-3", -5, 5, -3, ""}, WholeCase{"007", 1, 100, 7, ""},
        WholeCase{"1", 1, 100, 1, ""}, WholeCase{"100", 1, 100, 100, ""},
        WholeCase{"2147483647", 1, kIntMax, kIntMax, ""},
        WholeCase{" 12", 1, 100, 0, "--n: ' 12' is not a whole number"},
        WholeCase{"12 ", 1, 100, 0, "--n: '12 ' is not a whole number"},
        WholeCase{"\t12", 1, 100, 0, "--n: '\\t12' is not a whole number"},
        WholeCase{"0x10", 1, 100, 0, "--n: '0x10' is not a whole number"},
        WholeCase{"1e2", 1, 100, 0, "--n: '1e2' is not a whole number"},
        WholeCase{"12.0", 1, 100, 0, "--n: '12.0' is not a whole number"},
        WholeCase{"", 1, 100, 0, "--n: '' is not a whole number"},
        WholeCase{"-", 1, 100, 0, "--n: '-' is not a whole number"},
        WholeCase{"+-1", 1, 100, 0, "--n: '+-1' is not a whole number"},
        WholeCase{std::string("12\0" "3", 4), 1, 100, 0, "--n: '12\\x003' is not a whole number"}));

INSTANTIATE_TEST_SUITE_P(
    Ranges, WholeOption,
    ::testing::Values(
        WholeCase{"0", 1, 100, 0, "--n 0 is out of range (1..100)"},
        WholeCase{"101", 1, 100, 0, "--n 101 is out of range (1..100)"},
        WholeCase{"99999999999999999999999", 1, 100, 0,
                  "--n 99999999999999999999999 is out of range (1..100)"},
        WholeCase{"-99999999999999999999999", 1, 100, 0,
                  "--n -99999999999999999999999 is out of range (1..100)"},
        // No upper bound of its own: the limit of an int is the bound.
        WholeCase{"2147483648", 1, kIntMax, 0, "--n 2147483648 is too large (at most 2147483647)"},
        WholeCase{"9223372036854775808", 1, kIntMax, 0,
                  "--n 9223372036854775808 is too large (at most 2147483647)"},
        WholeCase{"0", 1, kIntMax, 0, "--n 0 is out of range (1 or more)"},
        WholeCase{"-9223372036854775809", 1, kIntMax, 0,
                  "--n -9223372036854775809 is out of range (1 or more)"}));

TEST(UnsignedOption, TakesTheWholeSixtyFourBitsAndNothingBeyond) {
    std::uint64_t value = 7;
    EXPECT_EQ(ParseUnsignedOption("--seed", "18446744073709551615", value), "");
    EXPECT_EQ(value, std::numeric_limits<std::uint64_t>::max());
    EXPECT_EQ(ParseUnsignedOption("--seed", "0", value), "");
    EXPECT_EQ(value, 0u);
    EXPECT_EQ(ParseUnsignedOption("--seed", "18446744073709551616", value),
              "--seed 18446744073709551616 is too large (at most 18446744073709551615)");
    EXPECT_EQ(ParseUnsignedOption("--seed", "-1", value), "--seed -1 is out of range (0 or more)");
    EXPECT_EQ(ParseUnsignedOption("--seed", "0x5", value), "--seed: '0x5' is not a whole number");
    EXPECT_EQ(value, 0u);
}

struct RealCase {
    std::string text;
    double expected;      // when `message` is empty
    std::string message;  // for the range 0.3..1.0
};

class RealOption : public ::testing::TestWithParam<RealCase> {};

TEST_P(RealOption, TakesDecimalRealNumbersInRangeOnly) {
    const RealCase& c = GetParam();
    double value = -1.0;
    EXPECT_EQ(ParseRealOption("--zoom", c.text, 0.3, 1.0, value), c.message) << "'" << c.text << "'";
    EXPECT_DOUBLE_EQ(value, c.message.empty() ? c.expected : -1.0);
}

INSTANTIATE_TEST_SUITE_P(
    Spellings, RealOption,
    ::testing::Values(
        RealCase{"0.5", 0.5, ""}, RealCase{".5", 0.5, ""}, RealCase{"1.", 1.0, ""},
        RealCase{"1", 1.0, ""}, RealCase{"+0.5", 0.5, ""}, RealCase{"5e-1", 0.5, ""},
        RealCase{"0.05E1", 0.5, ""}, RealCase{"0.3", 0.3, ""},
        RealCase{"0x0.8p0", 0, "--zoom: '0x0.8p0' is not a number"},
        RealCase{"inf", 0, "--zoom: 'inf' is not a number"},
        RealCase{"nan", 0, "--zoom: 'nan' is not a number"},
        RealCase{" 0.5", 0, "--zoom: ' 0.5' is not a number"},
        RealCase{"0.5x", 0, "--zoom: '0.5x' is not a number"},
        RealCase{".", 0, "--zoom: '.' is not a number"},
        RealCase{"1e", 0, "--zoom: '1e' is not a number"},
        RealCase{"", 0, "--zoom: '' is not a number"},
        RealCase{"0.29", 0, "--zoom 0.29 is out of range (0.3..1.0)"},
        RealCase{"1.01", 0, "--zoom 1.01 is out of range (0.3..1.0)"},
        RealCase{"1e999", 0, "--zoom 1e999 is out of range (0.3..1.0)"},
        RealCase{"-1e999", 0, "--zoom -1e999 is out of range (0.3..1.0)"}));

// A box (--zone) or a size (--size): values made of whole-number parts.
struct ShapeCase {
    std::string name;
    std::string text;
    std::string message;  // empty: taken
};

class ShapeOption : public ::testing::TestWithParam<ShapeCase> {};

TEST_P(ShapeOption, SaysWhichPartIsWrong) {
    const ShapeCase& c = GetParam();
    OptionBox box;
    OptionSize size;
    const std::string message = c.name == "--size" ? ParseSizeOption(c.name, c.text, 1 << 20, size)
                                                   : ParseBoxOption(c.name, c.text, 1000000, box);
    EXPECT_EQ(message, c.message) << c.text;
}

const std::string kNotBox = "' is not X,Y,W,H with X, Y of 0 or more and W, H of 1 or more";
const std::string kNotSize = "' is not WxH (for example 640x360)";

INSTANTIATE_TEST_SUITE_P(
    Boxes, ShapeOption,
    ::testing::Values(ShapeCase{"--zone", "0,0,1,1", ""}, ShapeCase{"--zone", "+1,2,1000000,4", ""},
                      ShapeCase{"--zone", "2147483647,0,1,1", "--zone: X 2147483647 is too large (at most 1000000)"},
                      ShapeCase{"--zone", "0,1000001,1,1", "--zone: Y 1000001 is too large (at most 1000000)"},
                      ShapeCase{"--zone", "0,0,99999999999999999999,1",
                                "--zone: W 99999999999999999999 is too large (at most 1000000)"},
                      ShapeCase{"--zone", "0,0,1,2147483648", "--zone: H 2147483648 is too large (at most 1000000)"},
                      ShapeCase{"--zone", "-1,0,1,1", "--zone: '-1,0,1,1" + kNotBox},
                      ShapeCase{"--zone", "0,0,0,1", "--zone: '0,0,0,1" + kNotBox},
                      ShapeCase{"--zone", "0x1,0,1,1", "--zone: '0x1,0,1,1" + kNotBox},
                      ShapeCase{"--zone", "1,2,3", "--zone: '1,2,3" + kNotBox},
                      ShapeCase{"--zone", "1,2,3,4,", "--zone: '1,2,3,4," + kNotBox},
                      ShapeCase{"--zone", "1, 2,3,4", "--zone: '1, 2,3,4" + kNotBox}));

INSTANTIATE_TEST_SUITE_P(
    Sizes, ShapeOption,
    ::testing::Values(ShapeCase{"--size", "640x360", ""}, ShapeCase{"--size", "640X360", ""},
                      ShapeCase{"--size", "1048577x360", "--size: width 1048577 is too large (at most 1048576)"},
                      ShapeCase{"--size", "640x99999999999999999999",
                                "--size: height 99999999999999999999 is too large (at most 1048576)"},
                      ShapeCase{"--size", "0x360", "--size: '0x360" + kNotSize},
                      ShapeCase{"--size", "640", "--size: '640" + kNotSize},
                      ShapeCase{"--size", "640x360x3", "--size: '640x360x3" + kNotSize},
                      ShapeCase{"--size", "640 x360", "--size: '640 x360" + kNotSize}));

TEST(BoxOption, GivesThePartsInOrder) {
    OptionBox box;
    ASSERT_EQ(ParseBoxOption("--sign", "10,20,300,40", 1000000, box), "");
    EXPECT_EQ(box.x, 10);
    EXPECT_EQ(box.y, 20);
    EXPECT_EQ(box.width, 300);
    EXPECT_EQ(box.height, 40);
}

TEST(SizeOption, GivesWidthThenHeight) {
    OptionSize size;
    ASSERT_EQ(ParseSizeOption("--size", "640x360", 4096, size), "");
    EXPECT_EQ(size.width, 640);
    EXPECT_EQ(size.height, 360);
}

}  // namespace
}  // namespace kalvero
