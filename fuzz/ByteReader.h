#pragma once
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

namespace kalvero::fuzz {

// Takes values off the front of a fuzz input. An exhausted input yields
// zeros, so that every input, however short, decodes to something.
class ByteReader {
public:
    ByteReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    std::uint8_t Byte() { return position_ < size_ ? data_[position_++] : 0; }

    std::uint16_t Word() {
        const std::uint16_t low = Byte();
        return static_cast<std::uint16_t>(low | (Byte() << 8));
    }

    std::uint32_t Long() {
        const std::uint32_t low = Word();
        return low | (static_cast<std::uint32_t>(Word()) << 16);
    }

    // Up to `count` bytes as text (fewer when the input ends).
    std::string Text(std::size_t count) {
        const std::size_t n = std::min(count, Remaining());
        std::string text(reinterpret_cast<const char*>(data_ + position_), n);
        position_ += n;
        return text;
    }

    std::size_t Remaining() const { return size_ - position_; }
    const std::uint8_t* Rest() const { return data_ + position_; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t position_ = 0;
};

}  // namespace kalvero::fuzz
