// ResultVoteBuffer fed any depth, threshold and sequence of votes, checked
// against a plain model of the vote.
//
// Input: depth and threshold (two bytes each, see DecodeSetting), then
// votes of: length byte, capacity byte, text bytes.
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "fuzz/ByteReader.h"
#include "fuzz/FuzzCheck.h"
#include "fuzz/FuzzTargets.h"
#include "worker/ResultVoteBuffer.h"

namespace kalvero::fuzz {

namespace {

// Enough to wrap small rings many times; a vote on the deepest ring costs
// about 125,000 comparisons, so more would only slow the search down.
constexpr int kMaxVotes = 64;

// Mostly values around the accepted ranges, sometimes the extremes.
std::int32_t DecodeSetting(std::uint16_t raw) {
    switch (raw >> 14) {
    case 0:
        return static_cast<std::int32_t>(raw & 0x3FF) - 8;  // -8..1015
    case 1:
        return static_cast<std::int32_t>(raw & 0x1F);  // 0..31
    case 2:
        return (raw & 1) != 0 ? INT32_MAX : INT32_MIN;
    default:
        return -static_cast<std::int32_t>(raw & 0x3FFF);
    }
}

// The vote as plain code: a ring of texts (compared as C strings, as the
// slots are), the most frequent non-empty text winning, ties going to the
// lowest slot.
class VoteModel {
public:
    VoteModel(int depth, int threshold) : slots_(static_cast<std::size_t>(depth)), threshold_(threshold) {}

    // Returns the code; `winner` receives the confirmed text.
    int Vote(const std::string& stored, std::string& winner) {
        slots_[next_] = stored;
        next_ = (next_ + 1) % slots_.size();
        // Count of each text and the first slot holding it.
        std::map<std::string, std::pair<int, std::size_t>> texts;
        for (std::size_t i = 0; i < slots_.size(); ++i) {
            if (slots_[i].empty()) continue;
            auto inserted = texts.emplace(slots_[i], std::make_pair(0, i));
            ++inserted.first->second.first;
        }
        if (texts.empty()) return 1;
        const std::pair<int, std::size_t>* best = nullptr;
        for (const auto& entry : texts) {
            const auto& candidate = entry.second;
            if (best == nullptr || candidate.first > best->first ||
                (candidate.first == best->first && candidate.second < best->second)) {
                best = &candidate;
            }
        }
        if (best->first < threshold_) return 2;
        winner = slots_[best->second];
        return 0;
    }

private:
    std::vector<std::string> slots_;
    std::size_t next_ = 0;
    int threshold_;
};

}  // namespace

void FuzzResultVoteBuffer(const std::uint8_t* data, std::size_t size) {
    ByteReader in(data, size);
    const std::int32_t depth = DecodeSetting(in.Word());
    const std::int32_t threshold = DecodeSetting(in.Word());

    std::unique_ptr<ResultVoteBuffer> buffer = ResultVoteBuffer::create(depth, threshold);
    const bool accepted = depth >= 5 && depth <= 500 && threshold >= 1;
    FUZZ_CHECK((buffer != nullptr) == accepted);
    if (!buffer) return;
    FUZZ_CHECK(buffer->depth() == depth && buffer->threshold() == threshold);

    VoteModel model(depth, threshold);
    for (int v = 0; v < kMaxVotes && in.Remaining() > 0; ++v) {
        // Lengths -4..27 and capacities -4..27 cover every refusal edge.
        const std::int32_t length = static_cast<std::int32_t>(in.Byte() % 32) - 4;
        const std::int32_t entryCapacity = static_cast<std::int32_t>(in.Byte() % 32) - 4;
        const std::string text = in.Text(length > 0 ? static_cast<std::size_t>(length) : 0);
        // The text in a buffer of exactly `length` bytes (no terminator) and
        // the output in one of exactly `capacity` bytes, so that any access
        // beyond either is caught.
        std::unique_ptr<char[]> textBuffer(new char[text.size() + 1]);
        std::memcpy(textBuffer.get(), text.data(), text.size());
        const std::size_t outSize = entryCapacity > 0 ? static_cast<std::size_t>(entryCapacity) : 1;
        std::unique_ptr<char[]> out(new char[outSize]);
        std::memset(out.get(), 0x5A, outSize);
        std::int32_t capacity = entryCapacity;
        // Short input: the vote gets fewer bytes than `length` says only when
        // the declared length is refused anyway.
        const std::int32_t passedLength =
            length > 0 && static_cast<std::size_t>(length) > text.size() ? static_cast<std::int32_t>(text.size())
                                                                          : length;

        const std::int32_t code = buffer->vote(textBuffer.get(), passedLength, out.get(), capacity);

        if (passedLength < 0 || passedLength > 19 || entryCapacity < 8) {
            FUZZ_CHECK(code == -1);
            FUZZ_CHECK(capacity == entryCapacity);
            continue;  // nothing stored
        }
        std::string winner;
        const std::string stored(text.data(), ::strnlen(text.data(), static_cast<std::size_t>(passedLength)));
        const int expected = model.Vote(stored, winner);
        if (expected == 0 && winner.size() + 1 > static_cast<std::size_t>(entryCapacity)) {
            // Confirmed but too long for the output: refused, nothing written.
            FUZZ_CHECK(code == -1);
            FUZZ_CHECK(capacity == entryCapacity);
            for (std::size_t i = 0; i < outSize; ++i) FUZZ_CHECK(out[i] == 0x5A);
            continue;
        }
        FUZZ_CHECK(code == expected);
        if (code == 0) {
            FUZZ_CHECK(capacity == static_cast<std::int32_t>(winner.size()));
            FUZZ_CHECK(std::memcmp(out.get(), winner.c_str(), winner.size() + 1) == 0);
        } else {
            FUZZ_CHECK(capacity == entryCapacity);
            for (std::size_t i = 0; i < outSize; ++i) FUZZ_CHECK(out[i] == 0x5A);
        }
    }
    ResultVoteBuffer::destroy(buffer);
    FUZZ_CHECK(buffer == nullptr);
}

}  // namespace kalvero::fuzz
