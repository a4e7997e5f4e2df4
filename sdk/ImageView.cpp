#include "ImageView.h"

#include <climits>
#include <cstring>
#include <string>

#include <opencv2/imgproc.hpp>

#include "Errors.h"

namespace kalvero::sdk {

int FrameOfImage(const kalvero_image& image, cv::Mat& storage, cv::Mat& frame) {
    // A caller may put any int into the format; read as the enum, a value
    // that names none of its members is undefined behaviour in C++, so the
    // field is read as the int it is stored as.
    static_assert(sizeof(kalvero_pixel_format) == sizeof(int), "a C enum is stored as an int");
    int format = 0;
    std::memcpy(&format, &image.format, sizeof format);
    int channels = 0;
    switch (format) {
        case KALVERO_BGR8:
        case KALVERO_RGB8:
            channels = 3;
            break;
        case KALVERO_GRAY8:
            channels = 1;
            break;
        default:
            return Fail(KALVERO_E_IMAGE, "unknown pixel format " + std::to_string(format) +
                                             " (use KALVERO_BGR8, KALVERO_RGB8 or KALVERO_GRAY8)");
    }
    if (image.data == nullptr) return Fail(KALVERO_E_IMAGE, "the image's data is NULL");
    if (image.width <= 0 || image.height <= 0) {
        return Fail(KALVERO_E_IMAGE, "image size " + std::to_string(image.width) + "x" +
                                         std::to_string(image.height) + ": width and height must be 1 or more");
    }
    if (image.width > INT_MAX / channels || image.stride < image.width * channels) {
        return Fail(KALVERO_E_IMAGE, "stride " + std::to_string(image.stride) + " is shorter than a row of " +
                                         std::to_string(image.width) + " pixels");
    }
    // The last row's end must be addressable: stride * (height - 1) + row.
    const long long span = static_cast<long long>(image.stride) * (image.height - 1) + image.width * channels;
    if (span > static_cast<long long>(INT_MAX)) {
        return Fail(KALVERO_E_IMAGE, "image of " + std::to_string(image.width) + "x" + std::to_string(image.height) +
                                         " pixels with stride " + std::to_string(image.stride) + " is too large");
    }
    // The engines only read the frame; the header is const in effect.
    const cv::Mat view(image.height, image.width, channels == 3 ? CV_8UC3 : CV_8UC1,
                       const_cast<unsigned char*>(image.data), static_cast<std::size_t>(image.stride));
    switch (format) {
        case KALVERO_RGB8:
            cv::cvtColor(view, storage, cv::COLOR_RGB2BGR);
            frame = storage;
            break;
        case KALVERO_GRAY8:
            cv::cvtColor(view, storage, cv::COLOR_GRAY2BGR);
            frame = storage;
            break;
        default:
            frame = view;
            break;
    }
    return KALVERO_OK;
}

}  // namespace kalvero::sdk
