#include "worker/ResultVoteBuffer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace kalvero {
namespace {

// Votes with `text` into a 20-byte output that starts filled with '#'.
struct VoteOutcome {
    std::int32_t code;
    std::int32_t capacity;
    std::string out;  // up to the terminator, or "<untouched>" when out was not written
};

VoteOutcome Vote(ResultVoteBuffer& buffer, const std::string& text, std::int32_t capacity = 20) {
    char out[21];
    std::memset(out, '#', sizeof out);
    std::int32_t cap = capacity;
    const std::int32_t code = buffer.vote(text.data(), static_cast<std::int32_t>(text.size()), out, cap);
    const bool untouched = std::all_of(out, out + sizeof out, [](char c) { return c == '#'; });
    return {code, cap, untouched ? std::string("<untouched>") : std::string(out)};
}

TEST(ResultVoteBufferCreate, DepthAndThresholdLimits) {
    EXPECT_EQ(ResultVoteBuffer::create(4, 1), nullptr);
    EXPECT_EQ(ResultVoteBuffer::create(501, 1), nullptr);
    EXPECT_EQ(ResultVoteBuffer::create(5, 0), nullptr);
    EXPECT_EQ(ResultVoteBuffer::create(30, -3), nullptr);

    auto smallest = ResultVoteBuffer::create(5, 1);
    ASSERT_NE(smallest, nullptr);
    EXPECT_EQ(smallest->depth(), 5);
    EXPECT_EQ(smallest->threshold(), 1);
    auto largest = ResultVoteBuffer::create(500, 1);
    ASSERT_NE(largest, nullptr);
    EXPECT_EQ(largest->depth(), 500);
}

TEST(ResultVoteBufferCreate, DestroyEmptiesTheReference) {
    auto buffer = ResultVoteBuffer::create(5, 1);
    ASSERT_NE(buffer, nullptr);
    ResultVoteBuffer::destroy(buffer);
    EXPECT_EQ(buffer, nullptr);
    ResultVoteBuffer::destroy(buffer);  // an empty reference stays empty
    EXPECT_EQ(buffer, nullptr);
}

TEST(ResultVoteBufferVote, ConfirmsWhenThresholdReached) {
    auto buffer = ResultVoteBuffer::create(5, 2);
    ASSERT_NE(buffer, nullptr);
    VoteOutcome first = Vote(*buffer, "A");
    EXPECT_EQ(first.code, 2);
    EXPECT_EQ(first.out, "<untouched>");
    EXPECT_EQ(first.capacity, 20);
    EXPECT_EQ(Vote(*buffer, "B").code, 2);
    VoteOutcome third = Vote(*buffer, "A");
    EXPECT_EQ(third.code, 0);
    EXPECT_EQ(third.out, "A");
    EXPECT_EQ(third.capacity, 1);
}

TEST(ResultVoteBufferVote, EmptyReadingsAreNeverCounted) {
    auto buffer = ResultVoteBuffer::create(5, 1);
    ASSERT_NE(buffer, nullptr);
    EXPECT_EQ(Vote(*buffer, "").code, 1);

    // Once a text has been stored, it stays counted until overwritten.
    auto ring = ResultVoteBuffer::create(5, 1);
    EXPECT_EQ(Vote(*ring, "12345678").code, 0);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(Vote(*ring, "").code, 0) << "vote " << i;
    // The fifth empty reading overwrites the last text.
    EXPECT_EQ(Vote(*ring, "").code, 1);
}

TEST(ResultVoteBufferVote, TiesGoToTheLowerSlotNotTheOlderReading) {
    auto buffer = ResultVoteBuffer::create(5, 1);
    ASSERT_NE(buffer, nullptr);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(Vote(*buffer, "").code, 1);
    EXPECT_EQ(Vote(*buffer, "X").out, "X");   // slot 3
    VoteOutcome fifth = Vote(*buffer, "Y");   // slot 4: tie with X
    EXPECT_EQ(fifth.code, 0);
    EXPECT_EQ(fifth.out, "X");
    VoteOutcome sixth = Vote(*buffer, "Y");   // wraps to slot 0
    EXPECT_EQ(sixth.code, 0);
    EXPECT_EQ(sixth.out, "Y");
    EXPECT_EQ(sixth.capacity, 1);

    // Ring position, not age: after wrapping, the newer reading in slot 0
    // beats an equally frequent older one in a higher slot.
    auto ring = ResultVoteBuffer::create(5, 1);
    for (const char* t : {"", "P", "", "", ""})
        Vote(*ring, t);
    EXPECT_EQ(Vote(*ring, "Q").out, "Q");  // Q in slot 0, P in slot 1
}

TEST(ResultVoteBufferVote, MajorityCanChangeAsReadingsAge) {
    auto buffer = ResultVoteBuffer::create(5, 3);
    ASSERT_NE(buffer, nullptr);
    for (const char* t : {"A", "A", "B"})
        Vote(*buffer, t);
    EXPECT_EQ(Vote(*buffer, "A").out, "A");  // A x3
    EXPECT_EQ(Vote(*buffer, "B").out, "A");  // A x3, B x2
    // B overwrites slot 0: A x2, B x3.
    VoteOutcome overtaken = Vote(*buffer, "B");
    EXPECT_EQ(overtaken.code, 0);
    EXPECT_EQ(overtaken.out, "B");
    // B overwrites slot 1: A x1, B x4.
    EXPECT_EQ(Vote(*buffer, "C").out, "B");
}

TEST(ResultVoteBufferVote, TextsAreComparedWhole) {
    auto buffer = ResultVoteBuffer::create(5, 2);
    ASSERT_NE(buffer, nullptr);
    EXPECT_EQ(Vote(*buffer, "1234").code, 2);
    EXPECT_EQ(Vote(*buffer, "12345").code, 2);  // a prefix is another text
    EXPECT_EQ(Vote(*buffer, "123").code, 2);
    // Only `length` bytes are taken, even from a longer buffer.
    char out[20];
    std::int32_t capacity = 20;
    EXPECT_EQ(buffer->vote("1234XYZ", 4, out, capacity), 0);
    EXPECT_STREQ(out, "1234");
    EXPECT_EQ(capacity, 4);
}

TEST(ResultVoteBufferVote, OverlongReadingIsRefusedAndNotStored) {
    auto buffer = ResultVoteBuffer::create(5, 1);
    ASSERT_NE(buffer, nullptr);
    const std::string twenty(20, '7');
    VoteOutcome refused = Vote(*buffer, twenty);
    EXPECT_EQ(refused.code, -1);
    EXPECT_EQ(refused.out, "<untouched>");
    EXPECT_EQ(refused.capacity, 20);
    // Nothing was stored: the ring still holds no reading.
    EXPECT_EQ(Vote(*buffer, "").code, 1);

    const std::string nineteen(19, '7');
    VoteOutcome stored = Vote(*buffer, nineteen);
    EXPECT_EQ(stored.code, 0);
    EXPECT_EQ(stored.out, nineteen);
    EXPECT_EQ(stored.capacity, 19);
}

TEST(ResultVoteBufferVote, RefusedVotesDoNotAdvanceTheRing) {
    auto buffer = ResultVoteBuffer::create(5, 1);
    ASSERT_NE(buffer, nullptr);
    Vote(*buffer, "A");                    // slot 0
    Vote(*buffer, std::string(25, 'Z'));   // refused
    Vote(*buffer, "tiny", 7);              // refused
    Vote(*buffer, "B");                    // slot 1
    // Had the refusals advanced the ring, A would be overwritten by the
    // second empty reading; here the empties fill slots 2, 3, 4 and A (the
    // lower slot of the tie) stays the winner until slot 0 comes round.
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(Vote(*buffer, "").out, "A") << "empty reading " << i;
    EXPECT_EQ(Vote(*buffer, "").out, "B");  // slot 0 (A) overwritten now
}

TEST(ResultVoteBufferVote, NegativeLengthIsRefused) {
    auto buffer = ResultVoteBuffer::create(5, 1);
    ASSERT_NE(buffer, nullptr);
    char out[20] = {};
    std::int32_t capacity = 20;
    EXPECT_EQ(buffer->vote("A", -1, out, capacity), -1);
    EXPECT_EQ(capacity, 20);
    EXPECT_EQ(Vote(*buffer, "").code, 1);
}

TEST(ResultVoteBufferVote, DepthEmptyVotesClearTheRing) {
    auto buffer = ResultVoteBuffer::create(7, 1);
    ASSERT_NE(buffer, nullptr);
    for (const char* t : {"A", "B", "A", "C", "D", "E", "F"})
        Vote(*buffer, t);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(Vote(*buffer, "").code, 0);
    EXPECT_EQ(Vote(*buffer, "").code, 1);
}

TEST(ResultVoteBufferVote, CapacityBelowEightIsRefusedBeforeStoring) {
    auto buffer = ResultVoteBuffer::create(5, 1);
    ASSERT_NE(buffer, nullptr);
    VoteOutcome refused = Vote(*buffer, "A", 7);
    EXPECT_EQ(refused.code, -1);
    EXPECT_EQ(refused.out, "<untouched>");
    EXPECT_EQ(refused.capacity, 7);
    EXPECT_EQ(Vote(*buffer, "").code, 1);  // A was not stored
    EXPECT_EQ(Vote(*buffer, "A", 8).code, 0);
}

TEST(ResultVoteBufferVote, ConfirmedTextLargerThanOutIsRefusedWithoutWriting) {
    const std::string number = "5432109876";  // 10 characters, needs 11 bytes
    for (std::int32_t capacity = 8; capacity <= 10; ++capacity) {
        auto buffer = ResultVoteBuffer::create(5, 1);
        ASSERT_NE(buffer, nullptr);
        // `out` is exactly `capacity` bytes followed by guard bytes.
        std::vector<char> memory(static_cast<std::size_t>(capacity) + 4, '#');
        std::int32_t cap = capacity;
        EXPECT_EQ(buffer->vote(number.data(), 10, memory.data(), cap), -1) << capacity;
        EXPECT_EQ(cap, capacity);
        for (char c : memory)
            ASSERT_EQ(c, '#') << "written at capacity " << capacity;
        // The reading itself was kept: a caller with room gets it confirmed.
        VoteOutcome roomy = Vote(*buffer, "", 20);
        EXPECT_EQ(roomy.code, 0);
        EXPECT_EQ(roomy.out, number);
    }

    // Exactly length + 1 bytes fit the text and its terminator.
    auto buffer = ResultVoteBuffer::create(5, 1);
    std::vector<char> memory(12, '#');
    std::int32_t cap = 11;
    EXPECT_EQ(buffer->vote(number.data(), 10, memory.data(), cap), 0);
    EXPECT_EQ(cap, 10);
    EXPECT_EQ(std::string(memory.data()), number);
    EXPECT_EQ(memory[11], '#');
}

TEST(ResultVoteBufferVote, LargestRingCountsEverySlot) {
    auto buffer = ResultVoteBuffer::create(500, 250);
    ASSERT_NE(buffer, nullptr);
    for (int i = 0; i < 249; ++i) {
        EXPECT_EQ(Vote(*buffer, "A").code, 2);
        Vote(*buffer, std::to_string(i));
    }
    VoteOutcome last = Vote(*buffer, "A");  // 250th A in slot 498
    EXPECT_EQ(last.code, 0);
    EXPECT_EQ(last.out, "A");
}

}  // namespace
}  // namespace kalvero
