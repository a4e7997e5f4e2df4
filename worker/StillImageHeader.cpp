#include "worker/StillImageHeader.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <vector>

namespace kalvero {

namespace {

// Header bytes looked at: enough for PNG, BMP and a JPEG whose frame header
// follows a few kilobytes of metadata. Larger metadata blocks are skipped by
// seeking, so this is not a limit for JPEG.
constexpr std::size_t kProbeBytes = 64;

std::uint32_t Big16(const unsigned char* p) { return (std::uint32_t{p[0]} << 8) | p[1]; }
std::uint32_t Big32(const unsigned char* p) { return (Big16(p) << 16) | Big16(p + 2); }
std::uint32_t Little16(const unsigned char* p) { return (std::uint32_t{p[1]} << 8) | p[0]; }
std::uint32_t Little32(const unsigned char* p) { return (Little16(p + 2) << 16) | Little16(p); }

bool ReadAt(std::istream& file, std::uint64_t offset, unsigned char* out, std::size_t count) {
    file.clear();
    file.seekg(static_cast<std::streamoff>(offset));
    file.read(reinterpret_cast<char*>(out), static_cast<std::streamsize>(count));
    return static_cast<std::size_t>(file.gcount()) == count;
}

bool Store(std::int64_t width, std::int64_t height, cv::Size& size) {
    if (width <= 0 || height <= 0 || width > INT32_MAX || height > INT32_MAX) return false;
    size = cv::Size(static_cast<int>(width), static_cast<int>(height));
    return true;
}

bool JpegSize(std::istream& file, cv::Size& size) {
    std::uint64_t at = 2;  // after the start-of-image marker
    // A real header has a few dozen segments; the bound keeps a damaged file
    // from being walked for long.
    for (int segment = 0; segment < 4096; ++segment) {
        unsigned char marker[4];
        if (!ReadAt(file, at, marker, 4)) return false;
        if (marker[0] != 0xFF) return false;
        if (marker[1] == 0xFF) {  // fill byte
            ++at;
            continue;
        }
        const unsigned kind = marker[1];
        if (kind == 0x01 || (kind >= 0xD0 && kind <= 0xD7)) {  // no length field
            at += 2;
            continue;
        }
        if (kind == 0xD9 || kind == 0xDA) return false;  // image data before any frame header
        const std::uint32_t length = Big16(marker + 2);
        if (length < 2) return false;
        const bool frameHeader = kind >= 0xC0 && kind <= 0xCF && kind != 0xC4 && kind != 0xC8 && kind != 0xCC;
        if (frameHeader) {
            unsigned char frame[5];
            if (!ReadAt(file, at + 4, frame, 5)) return false;
            return Store(Big16(frame + 3), Big16(frame + 1), size);
        }
        at += 2 + length;
    }
    return false;
}

bool TiffSize(std::istream& file, bool little, cv::Size& size) {
    const auto u16 = [little](const unsigned char* p) { return little ? Little16(p) : Big16(p); };
    const auto u32 = [little](const unsigned char* p) { return little ? Little32(p) : Big32(p); };
    unsigned char head[8];
    if (!ReadAt(file, 0, head, 8)) return false;
    const std::uint32_t ifd = u32(head + 4);
    unsigned char countBytes[2];
    if (!ReadAt(file, ifd, countBytes, 2)) return false;
    const std::uint32_t entries = u16(countBytes);
    std::int64_t width = -1;
    std::int64_t height = -1;
    for (std::uint32_t i = 0; i < entries && (width < 0 || height < 0); ++i) {
        unsigned char entry[12];
        if (!ReadAt(file, std::uint64_t{ifd} + 2 + 12 * std::uint64_t{i}, entry, 12)) return false;
        const std::uint32_t tag = u16(entry);
        const std::uint32_t type = u16(entry + 2);
        if (tag != 256 && tag != 257) continue;
        std::int64_t value = -1;
        if (type == 3) value = u16(entry + 8);       // SHORT
        else if (type == 4) value = u32(entry + 8);  // LONG
        if (tag == 256) width = value;
        else height = value;
    }
    return Store(width, height, size);
}

}  // namespace

bool ReadStillImageSize(const std::string& path, cv::Size& size) {
    std::ifstream file(path, std::ios::binary);
    return file && ReadStillImageSize(file, size);
}

bool ReadStillImageSize(std::istream& file, cv::Size& size) {
    file.clear();
    file.seekg(0);
    std::array<unsigned char, kProbeBytes> head{};
    file.read(reinterpret_cast<char*>(head.data()), static_cast<std::streamsize>(head.size()));
    const std::size_t got = static_cast<std::size_t>(file.gcount());
    const unsigned char* p = head.data();

    static const unsigned char kPng[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    if (got >= 24 && std::equal(kPng, kPng + 8, p) && std::equal(p + 12, p + 16, "IHDR")) {
        return Store(Big32(p + 16), Big32(p + 20), size);
    }
    if (got >= 4 && p[0] == 0xFF && p[1] == 0xD8) return JpegSize(file, size);
    if (got >= 26 && p[0] == 'B' && p[1] == 'M') {
        const std::uint32_t infoSize = Little32(p + 14);
        if (infoSize == 12) return Store(Little16(p + 18), Little16(p + 20), size);  // OS/2 core header
        const auto width = static_cast<std::int32_t>(Little32(p + 18));
        const auto height = static_cast<std::int32_t>(Little32(p + 22));  // negative: top-down rows
        return Store(width, height < 0 ? -std::int64_t{height} : height, size);
    }
    if (got >= 8 && p[0] == 'I' && p[1] == 'I' && p[2] == 42 && p[3] == 0) return TiffSize(file, true, size);
    if (got >= 8 && p[0] == 'M' && p[1] == 'M' && p[2] == 0 && p[3] == 42) return TiffSize(file, false, size);
    return false;
}

bool IsOversizedStill(const std::string& path, cv::Size& size) {
    std::ifstream file(path, std::ios::binary);
    return file && IsOversizedStill(file, size);
}

bool IsOversizedStill(std::istream& file, cv::Size& size) {
    cv::Size announced;
    if (!ReadStillImageSize(file, announced)) return false;
    if (std::int64_t{announced.width} * announced.height <= kMaxStillPixels) return false;
    size = announced;
    return true;
}

}  // namespace kalvero
