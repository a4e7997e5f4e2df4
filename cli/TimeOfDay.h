#pragma once
#include <chrono>
#include <optional>
#include <string>

namespace kalvero {

// A moment in UTC, as the wall clock gives it.
using TimeOfDay = std::chrono::system_clock::time_point;

// "2026-12-08T12:34:56.789Z": ISO 8601 in UTC, to the millisecond.
std::string IsoUtc(TimeOfDay time);

// The same moment as a reader in a zone `offsetMinutes` east of UTC reads
// it: "2026-12-08 13:34:56.789 +01:00".
std::string LocalTimeText(TimeOfDay time, int offsetMinutes);

// Parses what IsoUtc writes, and the forms FFmpeg gives a file's
// creation_time ("2026-12-08T12:34:56.000000Z", "2026-12-08 12:34:56",
// fractions of any length, a trailing Z or none); nullopt for anything else.
std::optional<TimeOfDay> ParseIsoUtc(const std::string& text);

}  // namespace kalvero
