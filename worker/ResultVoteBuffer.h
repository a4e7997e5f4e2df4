#pragma once
#include <cstdint>
#include <memory>
#include <vector>

namespace kalvero {

// Ring of the readings of the last `depth` frames with a majority vote.
class ResultVoteBuffer {
public:
    static constexpr std::int32_t kSlotSize = 20;  // 19 characters and the terminator

    // A new empty buffer, or null when depth is outside 5..500 or threshold < 1.
    static std::unique_ptr<ResultVoteBuffer> create(std::int32_t depth, std::int32_t threshold);
    // Releases the buffer and empties the caller's reference.
    static void destroy(std::unique_ptr<ResultVoteBuffer>& buffer);

    // Stores `length` bytes of `text` as the newest reading and votes.
    // Returns -1 (refused), 0 (confirmed: copied into `out`, `capacity` set to
    // its length), 1 (no non-empty reading) or 2 (leader below threshold).
    std::int32_t vote(const char* text, std::int32_t length, char* out, std::int32_t& capacity);

    std::int32_t depth() const { return depth_; }
    std::int32_t threshold() const { return threshold_; }

private:
    ResultVoteBuffer(std::int32_t depth, std::int32_t threshold);

    std::vector<char> slotTexts_;  // depth slots of kSlotSize bytes
    std::int32_t depth_;
    std::int32_t threshold_;
    std::int32_t writeIndex_ = 0;
};

}  // namespace kalvero
