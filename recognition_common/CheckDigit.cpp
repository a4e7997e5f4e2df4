#include "recognition_common/CheckDigit.h"

#include <algorithm>
#include <cmath>

namespace kalvero {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// What digit d adds to the sum at place i (of the first seven): its product
// with the place's weight, the product's digits added.
int PlaceSum(int place, int digit) {
    const int product = digit * (place % 2 == 0 ? 2 : 1);
    return product / 10 + product % 10;
}

}  // namespace

int ComputeCheckDigit(const std::string& firstSeven) {
    if (firstSeven.size() != 7) {
        return -1;
    }
    int sum = 0;
    for (int i = 0; i < 7; ++i) {
        if (!IsDigit(firstSeven[i])) {
            return -1;
        }
        sum += PlaceSum(i, firstSeven[i] - '0');
    }
    return (10 - sum % 10) % 10;
}

bool CheckDigitHolds(const std::string& number) {
    if (number.size() != 8 || !IsDigit(number[7])) {
        return false;
    }
    const int expected = ComputeCheckDigit(number.substr(0, 7));
    return expected >= 0 && expected == number[7] - '0';
}

double CheckDigitPosterior(const std::string& number, const std::vector<std::array<float, 10>>& choices) {
    if (choices.size() != 8 || !CheckDigitHolds(number)) return 0.0;
    // Each place's chances relative to their sum.
    std::array<std::array<double, 10>, 8> chance{};
    for (std::size_t i = 0; i < 8; ++i) {
        double total = 0.0;
        for (const float c : choices[i]) total += c > 0.0f ? c : 0.0f;
        if (!(total > 0.0) || !std::isfinite(total)) return 0.0;
        for (std::size_t d = 0; d < 10; ++d) chance[i][d] = choices[i][d] > 0.0f ? choices[i][d] / total : 0.0;
    }
    // The chance of every sum (mod 10) of the first seven places, place by
    // place; then the eighth place must show the digit that completes it.
    std::array<double, 10> sums{};
    sums[0] = 1.0;
    for (int i = 0; i < 7; ++i) {
        std::array<double, 10> next{};
        for (int s = 0; s < 10; ++s) {
            if (sums[static_cast<std::size_t>(s)] == 0.0) continue;
            for (int d = 0; d < 10; ++d) {
                next[static_cast<std::size_t>((s + PlaceSum(i, d)) % 10)] +=
                    sums[static_cast<std::size_t>(s)] * chance[static_cast<std::size_t>(i)][static_cast<std::size_t>(d)];
            }
        }
        sums = next;
    }
    double valid = 0.0;
    for (int s = 0; s < 10; ++s) valid += sums[static_cast<std::size_t>(s)] * chance[7][static_cast<std::size_t>((10 - s) % 10)];
    double read = 1.0;
    for (std::size_t i = 0; i < 8; ++i) read *= chance[i][static_cast<std::size_t>(number[i] - '0')];
    return valid > 0.0 ? std::min(1.0, read / valid) : 0.0;
}

}  // namespace kalvero
