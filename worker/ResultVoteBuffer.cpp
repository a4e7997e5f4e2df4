#include "worker/ResultVoteBuffer.h"

#include <cstring>

namespace kalvero {

ResultVoteBuffer::ResultVoteBuffer(std::int32_t depth, std::int32_t threshold)
    : slotTexts_(static_cast<std::size_t>(depth) * kSlotSize, '\0'), depth_(depth), threshold_(threshold) {}

std::unique_ptr<ResultVoteBuffer> ResultVoteBuffer::create(std::int32_t depth, std::int32_t threshold) {
    if (depth < kMinDepth || depth > kMaxDepth || threshold < 1)
        return nullptr;
    return std::unique_ptr<ResultVoteBuffer>(new ResultVoteBuffer(depth, threshold));
}

void ResultVoteBuffer::destroy(std::unique_ptr<ResultVoteBuffer>& buffer) {
    buffer.reset();
}

std::int32_t ResultVoteBuffer::vote(const char* text, std::int32_t length, char* out, std::int32_t& capacity) {
    if (length < 0 || length > kSlotSize - 1 || capacity < kMinCapacity)
        return -1;
    if (length > 0 && text == nullptr)
        return -1;

    // Store the reading over the oldest one.
    char* target = slot(writeIndex_);
    if (length > 0)
        std::memcpy(target, text, static_cast<std::size_t>(length));
    target[length] = '\0';
    if (++writeIndex_ == depth_)
        writeIndex_ = 0;

    // count[i] > 0: slot i leads a group of equal texts; -1: already counted
    // under an earlier slot; 0: empty slot (never counted).
    std::vector<std::int32_t> count(static_cast<std::size_t>(depth_), 0);
    std::int32_t best = -1;
    for (std::int32_t i = 0; i < depth_; ++i) {
        const char* leader = slot(i);
        if (count[i] != 0 || leader[0] == '\0')
            continue;
        count[i] = 1;
        for (std::int32_t j = i + 1; j < depth_; ++j) {
            if (std::strcmp(leader, slot(j)) == 0) {
                ++count[i];
                count[j] = -1;
            }
        }
        if (best < 0 || count[best] < count[i])
            best = i;
    }

    if (best < 0)
        return 1;
    if (count[best] < threshold_)
        return 2;

    const char* winner = slot(best);
    const std::size_t winnerLength = std::strlen(winner);
    if (winnerLength + 1 > static_cast<std::size_t>(capacity))
        return -1;  // would not fit with its terminator: write nothing
    std::memcpy(out, winner, winnerLength + 1);
    capacity = static_cast<std::int32_t>(winnerLength);
    return 0;
}

}  // namespace kalvero
