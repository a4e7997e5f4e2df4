#pragma once
#include <cstdint>
#include <memory>
#include <vector>

namespace kalvero {

// Ring of the readings of the last `depth` frames with a majority vote.
//
// Every reading is stored in a fixed slot of kSlotSize bytes; the empty
// reading is stored like any other but never counted. The vote scans the
// whole ring each time, so a text stays confirmed while at least `threshold`
// of the last `depth` readings agree.
class ResultVoteBuffer {
public:
    static constexpr std::int32_t kSlotSize = 20;  // 19 characters and the terminator
    static constexpr std::int32_t kMinDepth = 5;
    static constexpr std::int32_t kMaxDepth = 500;
    static constexpr std::int32_t kMinCapacity = 8;

    // A new empty buffer, or null when depth is outside 5..500 or threshold < 1.
    static std::unique_ptr<ResultVoteBuffer> create(std::int32_t depth, std::int32_t threshold);
    // Releases the buffer and empties the caller's reference.
    static void destroy(std::unique_ptr<ResultVoteBuffer>& buffer);

    // Stores `length` bytes of `text` as the newest reading and votes.
    // Returns -1 (refused), 0 (confirmed: copied into `out`, `capacity` set to
    // its length), 1 (no non-empty reading) or 2 (leader below threshold).
    //
    // Refusals: a length outside 0..19 or a capacity below 8 stores nothing
    // and writes nothing. A confirmed text that does not fit `out` with its
    // terminator (capacity from 8 up to its length) is also answered with -1:
    // the reading has then already been stored in the ring, but nothing is
    // written to `out` and `capacity` keeps its entry value.
    std::int32_t vote(const char* text, std::int32_t length, char* out, std::int32_t& capacity);

    std::int32_t depth() const { return depth_; }
    std::int32_t threshold() const { return threshold_; }

private:
    ResultVoteBuffer(std::int32_t depth, std::int32_t threshold);

    char* slot(std::int32_t index) { return slotTexts_.data() + static_cast<std::size_t>(index) * kSlotSize; }

    std::vector<char> slotTexts_;  // depth slots of kSlotSize bytes, each NUL-terminated
    std::int32_t depth_;
    std::int32_t threshold_;
    std::int32_t writeIndex_ = 0;  // slot the next reading overwrites
};

}  // namespace kalvero
