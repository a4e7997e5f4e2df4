#include "support/CarriageFixtures.h"

#include "tools/NumberPainter.h"

namespace kalvero::test {

cv::Mat InkImage(const std::vector<std::string>& rows) {
    const int height = static_cast<int>(rows.size());
    const int width = height > 0 ? static_cast<int>(rows[0].size()) : 0;
    cv::Mat image(height, width, CV_8UC1, cv::Scalar(0));
    for (int r = 0; r < height; ++r) {
        for (int c = 0; c < width; ++c) {
            if (rows[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)] == '#') {
                image.at<uchar>(r, c) = 255;
            }
        }
    }
    return image;
}

cv::Mat BarStrip(int width, int height, const std::vector<int>& columns, int top, int bottom) {
    cv::Mat strip(height, width, CV_8UC1, cv::Scalar(0));
    for (const int c : columns) {
        strip(cv::Range(top, bottom + 1), cv::Range(c, c + 1)).setTo(255);
    }
    return strip;
}

cv::Mat DigitStrip(const std::string& digits, int h, double gap, int left, int width) {
    cv::Mat strip(h + 6, width, CV_8UC1, cv::Scalar(0));
    DrawDigits(strip, digits, cv::Point(left, 2), h, gap, cv::Scalar(255));
    return strip;
}

void StripRecorder::OnStrip(const CandidateRegion&, int stripIndex, int candidateCount,
                            const std::string& digits, int assembled) {
    strips.push_back({stripIndex, candidateCount, digits, assembled});
}

std::vector<int> StripRecorder::Indexes() const {
    std::vector<int> out;
    for (const StripRecord& s : strips) {
        out.push_back(s.index);
    }
    return out;
}

}  // namespace kalvero::test
