#pragma once
#include <cstdint>
#include <string>

#include <opencv2/core.hpp>

namespace kalvero {

// Parsers for option values of the tools' command lines. Each returns false
// and leaves `value` alone when the whole text is not a valid value.

// A decimal integer within [low, high].
bool ParseInt(const std::string& text, long long low, long long high, int& value);

// A whole number from 0 up to 2^64 - 1.
bool ParseSeed(const std::string& text, std::uint64_t& value);

// "WxH", each side 1..2^20.
bool ParseSize(const std::string& text, cv::Size& size);

// A decimal fraction within [low, high].
bool ParseFraction(const std::string& text, double low, double high, double& value);

}  // namespace kalvero
