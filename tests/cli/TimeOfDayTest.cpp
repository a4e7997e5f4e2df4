#include "cli/TimeOfDay.h"

#include <gtest/gtest.h>

namespace kalvero {
namespace {

using std::chrono::milliseconds;

TimeOfDay At(long long ms) { return TimeOfDay(std::chrono::duration_cast<TimeOfDay::duration>(milliseconds(ms))); }

TEST(TimeOfDay, WritesUtcAndLocalTextsOfKnownMoments) {
    // 2026-12-08T12:34:56.789Z is 1796733296789 ms after 1970.
    EXPECT_EQ(IsoUtc(At(1796733296789LL)), "2026-12-08T12:34:56.789Z");
    EXPECT_EQ(IsoUtc(At(0)), "1970-01-01T00:00:00.000Z");
    EXPECT_EQ(IsoUtc(At(951782400000LL)), "2000-02-29T00:00:00.000Z");
    // An offset crosses midnight and the date with it, both ways.
    EXPECT_EQ(LocalTimeText(At(1796733296789LL), 12 * 60), "2026-12-09 00:34:56.789 +12:00");
    EXPECT_EQ(LocalTimeText(At(1796733296789LL), -(13 * 60 + 30)), "2026-12-07 23:04:56.789 -13:30");
    EXPECT_EQ(LocalTimeText(At(1796733296789LL), 0), "2026-12-08 12:34:56.789 +00:00");
}

TEST(TimeOfDay, ParsesWhatItWritesAndFfmpegsCreationTimes) {
    for (long long ms : {0LL, 951782400000LL, 1796733296789LL, 4102444799999LL}) {
        const auto parsed = ParseIsoUtc(IsoUtc(At(ms)));
        ASSERT_TRUE(parsed.has_value()) << ms;
        EXPECT_EQ(*parsed, At(ms));
    }
    EXPECT_EQ(ParseIsoUtc("2026-12-08T12:34:56.000000Z"), At(1796733296000LL));
    EXPECT_EQ(ParseIsoUtc("2026-12-08 12:34:56"), At(1796733296000LL));
    EXPECT_EQ(ParseIsoUtc("2026-12-08T12:34:56.5"), At(1796733296500LL));
}

TEST(TimeOfDay, RefusesWhatIsNoTime) {
    for (const char* text : {"", "now", "2026-12-08", "2026-13-08T12:34:56Z", "2026-12-08T24:00:00Z",
                             "2026-12-08T12:34:56.Z", "2026-12-08T12:34:56Zjunk", "2026-12-08X12:34:56",
                             "2026-12-08T12:34:56+01:00"}) {
        EXPECT_FALSE(ParseIsoUtc(text).has_value()) << text;
    }
}

}  // namespace
}  // namespace kalvero
