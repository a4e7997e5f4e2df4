#include "StoreTestSupport.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>

namespace kalvero {

// A pass whose every field differs from the next one's: `seed` varies the
// numbers, texts and crop bytes (zeros and 0xFF among them).
StoredPass MakePass(const std::string& camera, const std::string& number, const std::string& start, int seed,
                    size_t cropBytes) {
    StoredPass pass;
    pass.camera = camera;
    pass.number = number;
    pass.checkDigit = seed % 2 == 0;
    pass.startTime = start;
    pass.endTime = start.substr(0, 17) + "59.999Z";
    pass.framesRead = 7 + seed;
    pass.direction = seed % 3 == 0 ? "left" : seed % 3 == 1 ? "right" : "none";
    pass.bestScore = 0.1 + seed / 3.0;  // not exact in binary: a float column would lose it
    pass.bestFrame = 3 + seed;
    pass.scores = {{1, 0.5f}, {2, 0.123456789f}, {3 + seed, 0.9f + seed * 1e-4f}};
    pass.record = R"({"number":")" + number + R"(","camera":"it's \"quoted\" é"})";
    pass.cropPng.resize(cropBytes);
    for (size_t i = 0; i < cropBytes; ++i) pass.cropPng[i] = static_cast<unsigned char>((i * 7 + seed) % 256);
    return pass;
}

void ExpectSamePass(const StoredPass& expected, const StoredPass& actual, bool withCrop) {
    EXPECT_EQ(expected.camera, actual.camera);
    EXPECT_EQ(expected.number, actual.number);
    EXPECT_EQ(expected.checkDigit, actual.checkDigit);
    EXPECT_EQ(expected.startTime, actual.startTime);
    EXPECT_EQ(expected.endTime, actual.endTime);
    EXPECT_EQ(expected.framesRead, actual.framesRead);
    EXPECT_EQ(expected.direction, actual.direction);
    EXPECT_EQ(expected.bestScore, actual.bestScore);
    EXPECT_EQ(expected.bestFrame, actual.bestFrame);
    EXPECT_EQ(expected.scores, actual.scores);
    EXPECT_EQ(expected.record, actual.record);
    EXPECT_EQ(expected.correctedNumber, actual.correctedNumber);
    EXPECT_EQ(expected.correctedAt, actual.correctedAt);
    if (withCrop) {
        EXPECT_TRUE(expected.cropPng == actual.cropPng)
            << "crop of " << actual.cropPng.size() << " bytes, " << expected.cropPng.size() << " expected";
    } else {
        EXPECT_TRUE(actual.cropPng.empty());
    }
}

std::vector<long long> Ids(const std::vector<StoredPass>& passes) {
    std::vector<long long> ids;
    for (const StoredPass& pass : passes) ids.push_back(pass.id);
    return ids;
}

TemporaryFolder::TemporaryFolder() {
    char pattern[] = "/tmp/kalvero-store-XXXXXX";
    if (mkdtemp(pattern)) path_ = pattern;
}

TemporaryFolder::~TemporaryFolder() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
}

}  // namespace kalvero
