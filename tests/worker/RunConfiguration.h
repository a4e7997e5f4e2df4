#pragma once
#include <string>

#include <gtest/gtest.h>
#include <opencv2/core.hpp>

#include "worker/RunSettings.h"

namespace kalvero::testing {

// Points the settings of a test run at the file `path` and its recognition
// zone at `zone` (scaled-frame pixels); the test fails when the path cannot
// be stored.
inline void Configure(RunSettings& options, const std::string& path, cv::Rect zone) {
    ASSERT_TRUE(StoreRunPath(options, path));
    options.zoneX = zone.x;
    options.zoneY = zone.y;
    options.zoneW = zone.width;
    options.zoneH = zone.height;
}

}  // namespace kalvero::testing
