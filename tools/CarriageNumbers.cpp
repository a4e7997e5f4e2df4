#include "tools/CarriageNumbers.h"

#include "recognition_common/CheckDigit.h"

namespace kalvero {

namespace {

constexpr double kOneShare = 0.2;        // of inner digits, on top of the uniform draw
constexpr double kOneAtEndsShare = 0.3;  // of first and last digits

char RandomDigit(cv::RNG& rng, double oneShare) {
    if (rng.uniform(0.0, 1.0) < oneShare) {
        return '1';
    }
    return static_cast<char>('0' + rng.uniform(0, 10));
}

}  // namespace

std::string RandomCarriageNumber(cv::RNG& rng) {
    // A wanted final 1 is reached by redrawing the inner digits: about one
    // draw in ten gives it, so the loop is short.
    const bool endInOne = rng.uniform(0.0, 1.0) < kOneAtEndsShare;
    for (int attempt = 0;; ++attempt) {
        std::string number(1, RandomDigit(rng, kOneAtEndsShare));
        for (int i = 1; i < 7; ++i) {
            number += RandomDigit(rng, kOneShare);
        }
        const int check = ComputeCheckDigit(number);
        if (!endInOne || check == 1 || attempt >= 200) {
            return number + static_cast<char>('0' + check);
        }
    }
}

std::string RandomDigitGroup(cv::RNG& rng, int length) {
    std::string digits;
    for (int i = 0; i < length; ++i) {
        digits += RandomDigit(rng, (i == 0 || i + 1 == length) ? kOneAtEndsShare : kOneShare);
    }
    return digits;
}

}  // namespace kalvero
