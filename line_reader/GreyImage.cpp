#include "line_reader/GreyImage.h"

#include <opencv2/imgproc.hpp>

namespace kalvero {

cv::Mat GreyImage(const cv::Mat& image) {
    if (image.channels() == 1) return image;
    cv::Mat grey;
    cv::cvtColor(image, grey, cv::COLOR_BGR2GRAY);
    return grey;
}

}  // namespace kalvero
