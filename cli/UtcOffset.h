#pragma once
#include <optional>
#include <string>

#include "cli/TimeOfDay.h"

namespace kalvero {

// --utc-offset's value in minutes east of UTC: "+HH:MM" or "-HH:MM" (hours
// 0..14, minutes 0..59, up to +14:00 and down to -12:00) or "Z" (0);
// nullopt for anything else.
std::optional<int> ParseUtcOffset(const std::string& text);

// The offset of the local time zone (the TZ environment, else the system's)
// at `time`, in minutes east of UTC: summer time counts where it applies.
int LocalOffsetMinutes(TimeOfDay time);

// `time` as the text summary prints it: at `offsetMinutes` when given, else
// in the local time zone (LocalTimeText).
std::string SummaryTimeText(TimeOfDay time, const std::optional<int>& offsetMinutes);

}  // namespace kalvero
