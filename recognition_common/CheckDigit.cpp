#include "recognition_common/CheckDigit.h"

namespace kalvero {

namespace {
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
}  // namespace

int ComputeCheckDigit(const std::string& firstSeven) {
    if (firstSeven.size() != 7) {
        return -1;
    }
    static const int kWeights[7] = {2, 1, 2, 1, 2, 1, 2};
    int sum = 0;
    for (int i = 0; i < 7; ++i) {
        if (!IsDigit(firstSeven[i])) {
            return -1;
        }
        const int product = (firstSeven[i] - '0') * kWeights[i];
        sum += product / 10 + product % 10;
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

}  // namespace kalvero
