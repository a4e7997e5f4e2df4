#pragma once
#include <ostream>
#include <string>

#include <opencv2/core.hpp>

#include "cli/ReaderOptions.h"
#include "worker/RunSettings.h"

namespace kalvero {

// The run loop's settings for reading `file` with the reader's options, as
// the window's Apply would set them: the zone (the whole frame when none is
// given; checked against `firstFrame`, the first frame after the zoom), the
// digit height, vote depth and threshold, zoom, engine and check-digit
// rules. A stream is not looked at beforehand: its zone is the whole of any
// frame. Returns 0, or the exit status with the reason said on `err` (a
// zone that does not fit, a name holding a NUL byte).
int RunSettingsFor(const ReaderOptions& options, const std::string& file, const cv::Mat& firstFrame, bool stream,
                   RunSettings& settings, std::ostream& err);

}  // namespace kalvero
