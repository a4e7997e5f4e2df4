#include "carriage_number/NumberAssembly.h"

#include <algorithm>
#include <cstdlib>
#include <set>

#include "recognizers/RecognitionClass.h"

namespace kalvero {

namespace {

// Digits of a carriage number: assembly stops filling gaps once it has them.
constexpr std::size_t kFullNumber = 8;

// A 1 the assembly puts into a gap (the search has no template for 1): the
// glyph reader's fixed score and confidence of a digit it did not match.
DigitCandidate InsertedOne(std::int32_t x) { return {1, x, 0.7, 0.5}; }

// Step 2: reading order, and of two records closer than 0.7 W the one with
// the lower score goes (the left one stays on a tie).
void OrderAndThin(std::vector<DigitCandidate>& d, int W) {
    std::stable_sort(d.begin(), d.end(),
                     [](const DigitCandidate& a, const DigitCandidate& b) { return a.x < b.x; });
    std::size_t j = 0;
    while (j + 1 < d.size()) {
        if (std::abs(d[j].x - d[j + 1].x) < 0.7 * W) {
            const std::size_t drop = d[j].score >= d[j + 1].score ? j + 1 : j;
            d.erase(d.begin() + static_cast<std::ptrdiff_t>(drop));
        } else {
            ++j;
        }
    }
}

// Step 3: ones at profile positions inside gaps wider than a glyph.
void InsertOnesInGaps(std::vector<DigitCandidate>& d, std::vector<std::int32_t>& positions,
                      int W) {
    if (d.size() == 1) {
        return;
    }
    for (std::size_t c = 0; c + 1 < d.size(); ++c) {
        if (d.size() == kFullNumber) {
            return;
        }
        if (d[c + 1].x - d[c].x > W) {
            std::size_t o = 0;
            for (std::size_t q = 0; q < positions.size();) {
                const std::int32_t p = positions[q];
                if (p < d[c + 1 + o].x - 0.1 * W && p > d[c].x + W) {
                    d.insert(d.begin() + static_cast<std::ptrdiff_t>(c + 1 + o), InsertedOne(p));
                    positions.erase(positions.begin() + static_cast<std::ptrdiff_t>(q));
                    ++o;
                } else {
                    ++q;
                }
                if (d.size() == kFullNumber) {
                    break;
                }
            }
            if (d.size() == kFullNumber) {
                return;
            }
        }
    }
}

// Step 4: ones just before the first and after the last digit.
void InsertOnesAtEnds(std::vector<DigitCandidate>& d, std::vector<std::int32_t>& positions,
                      int W) {
    if (d.size() >= kFullNumber || positions.empty()) {
        return;
    }
    std::size_t i = 0;
    while (d.size() != kFullNumber) {
        if (positions.empty() || i >= d.size()) {
            break;
        }
        if (d[i].digit == 1) {
            ++i;
            continue;
        }
        const std::int32_t p = positions.front();
        if (!(p < d[i].x - 0.1 * W && p > d[i].x - 0.7 * W)) {
            break;
        }
        d.insert(d.begin() + static_cast<std::ptrdiff_t>(i), InsertedOne(p));
        positions.erase(positions.begin());
    }
    if (d.size() == kFullNumber) {
        return;
    }
    std::ptrdiff_t t = static_cast<std::ptrdiff_t>(d.size()) - 1;
    while (!positions.empty() && t >= 0) {
        const DigitCandidate& last = d[static_cast<std::size_t>(t)];
        if (last.digit == 1) {
            --t;
        } else {
            const std::int32_t p = positions.back();
            if (!(p > last.x + W && p < last.x + 1.7 * W)) {
                break;
            }
            // The same digit is examined again for the next position.
            d.push_back(InsertedOne(p));
            positions.pop_back();
        }
        if (d.size() == kFullNumber) {
            break;
        }
    }
}

}  // namespace

int AssembleNumber(std::vector<DigitCandidate>& candidates, std::vector<std::int32_t> positions,
                   int glyphWidth, std::string& digits, RecognitionClass& reading) {
    const int W = glyphWidth;
    reading.rankValue = 0.0f;
    digits.clear();

    OrderAndThin(candidates, W);
    InsertOnesInGaps(candidates, positions, W);
    InsertOnesAtEnds(candidates, positions, W);

    std::set<std::int32_t> distinct;
    for (const DigitCandidate& r : candidates) {
        const std::string part = std::to_string(r.digit);
        if (digits.size() + part.size() > kMaxAssembledDigits) {
            break;
        }
        distinct.insert(r.digit);
        digits += part;
    }
    const int n = static_cast<int>(digits.size());

    if (n >= 3 && n <= 10 && distinct.size() >= 3) {
        reading.status = 1;
        reading.text = digits;
        float scoreSum = reading.score;
        float confidenceSum = 0.0f;
        for (const DigitCandidate& r : candidates) {
            scoreSum += static_cast<float>(r.score);
            confidenceSum += static_cast<float>(r.confidence);
        }
        reading.score = scoreSum / static_cast<float>(n);
        reading.rankValue = confidenceSum / static_cast<float>(n);
    } else {
        reading.status = -1;
        digits.clear();
    }
    return n;
}

}  // namespace kalvero
