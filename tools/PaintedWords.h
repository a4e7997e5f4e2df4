#pragma once
#include <string>
#include <vector>

#include <opencv2/core.hpp>

namespace kalvero {

class FontTextRenderer;

// Words painted on carriages beside the number (Latin and Cyrillic), kept
// as ink masks of one font so that painting needs no font engine. Read-only
// once built; may be shared between threads.
class WordBank {
public:
    // Renders every word with `renderer`, about 64 pixels high.
    void Build(FontTextRenderer& renderer);
    bool Empty() const { return masks_.empty(); }
    std::size_t Size() const { return masks_.size(); }
    // Ink mask (8-bit, 255 ink) of word i, cropped to its ink.
    const cv::Mat& Mask(std::size_t i) const { return masks_[i]; }

    // The words drawn: markings and names found on goods carriages.
    static const std::vector<std::string>& Words();

private:
    std::vector<cv::Mat> masks_;
};

}  // namespace kalvero
