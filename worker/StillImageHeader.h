#pragma once
#include <cstdint>
#include <istream>
#include <string>

#include <opencv2/core.hpp>

namespace kalvero {

// The most pixels a still image may have to be read. A still is decoded
// whole and then copied several times on its way to the monitor (BGR, RGB,
// the 32-bit picture, the pixmap), so memory grows by some 20 bytes a pixel
// before recognition starts, and the learned engine takes some 35 bytes a
// pixel of the whole run: at 40 megapixels the reader peaked at 1.4 GB. The
// limit keeps both programs well under 1.5 GB and is above any camera still
// or video frame in use (8K UHD is 33.2 megapixels).
constexpr std::int64_t kMaxStillPixels = std::int64_t{36} * 1000 * 1000;

// The picture size announced by the header of a PNG, JPEG, BMP or TIFF file
// (recognised by its signature, not its name), read without decoding the
// pixels. False when the file cannot be read or its header is not one of
// these or is damaged; `size` is then left alone.
bool ReadStillImageSize(const std::string& path, cv::Size& size);
// The same from the start of an open binary stream (left at an unspecified
// place).
bool ReadStillImageSize(std::istream& file, cv::Size& size);

// True when `path` is a still image whose header announces more than
// kMaxStillPixels pixels; `size` then holds the announced size.
bool IsOversizedStill(const std::string& path, cv::Size& size);
bool IsOversizedStill(std::istream& file, cv::Size& size);

}  // namespace kalvero
