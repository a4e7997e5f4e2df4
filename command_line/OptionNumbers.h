#pragma once
#include <cstdint>
#include <string>

namespace kalvero {

// Number values of command-line options, read the same way by every
// Kalvero program so that a value one program takes the other takes too.
//
// Spelling: decimal only. A whole number is an optional sign ('+' or '-')
// and digits; a real number adds an optional '.' fraction (".5" and "5."
// included) and an optional decimal exponent ("1e-1"). Refused as "not a
// number": blanks before or after, hexadecimal ("0x10", "0x0.8p0"), "inf"
// and "nan", anything after the number, a NUL byte inside the text.
//
// Each function returns an empty text and sets its result when the value is
// sound, else a one-line message naming the option and leaves the result
// alone. The messages:
//   NAME: 'TEXT' is not a whole number        (or "is not a number" for reals)
//   NAME TEXT is out of range (LOW..HIGH)
//   NAME TEXT is out of range (LOW or more)   ranges open above: below LOW
//   NAME TEXT is too large (at most HIGH)     ranges open above: past HIGH
// A range is open above when HIGH is only the limit of the result's type
// (2147483647 for an int, 18446744073709551615 for an unsigned 64-bit).
// Numbers too long for any type are out of range like any other: the
// message says which bounds they broke.

// A whole number in [low, high].
std::string ParseWholeOption(const std::string& name, const std::string& text, int low, int high,
                             int& value);

// A whole number from 0 to 2^64 - 1 (a seed).
std::string ParseUnsignedOption(const std::string& name, const std::string& text,
                                std::uint64_t& value);

// A real number in [low, high].
std::string ParseRealOption(const std::string& name, const std::string& text, double low,
                            double high, double& value);

// A box "X,Y,W,H" of whole numbers, X and Y 0..maxPart, W and H 1..maxPart.
// Wrong shape or a part below its least value: "NAME: 'TEXT' is not X,Y,W,H
// with X, Y of 0 or more and W, H of 1 or more"; a part past `maxPart`:
// "NAME: X 2147483647 is too large (at most MAX)".
struct OptionBox {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};
std::string ParseBoxOption(const std::string& name, const std::string& text, int maxPart,
                           OptionBox& box);

// A size "WxH" (or "WXH") of whole numbers 1..maxSide. Wrong shape or a side
// below 1: "NAME: 'TEXT' is not WxH (for example 640x360)"; a side past
// `maxSide`: "NAME: width 99999 is too large (at most MAX)".
struct OptionSize {
    int width = 0;
    int height = 0;
};
std::string ParseSizeOption(const std::string& name, const std::string& text, int maxSide,
                            OptionSize& size);

}  // namespace kalvero
