#pragma once
#include <string>

#include <opencv2/core.hpp>

namespace kalvero::testing {

// Fonts the line model never saw in training.
constexpr const char* kLatoBold = "/usr/share/fonts/truetype/lato/Lato-Bold.ttf";
constexpr const char* kCantarellBold = "/usr/share/fonts/opentype/cantarell/Cantarell-Bold.otf";

// How to draw a row of digits on a plain panel.
struct DrawnLineStyle {
    std::string text = "41203065";
    std::string font = kLatoBold;
    int digitHeight = 29;        // height of the digits' ink, pixels
    double letterSpacing = 0.25; // extra space between digits, in digit heights
    bool lightDigits = true;
    double angleDegrees = 0.0;   // tilt, positive clockwise on screen
    double contrast = 140.0;     // grey distance between ground and digits
    double blurSigma = 0.0;      // Gaussian blur of the drawn row; 0: none
    double noiseSigma = 2.0;
    std::uint64_t seed = 1;
};

// A BGR panel of `size` (grey 60 with light digits, or 200 with dark ones,
// `contrast` apart) with the row drawn centred on `centre` and tilted about
// it, blurred, then noise added. `inkBox` receives the axis-aligned box of
// the drawn ink. An unreadable font fails the calling test (ADD_FAILURE) and gives a
// plain panel.
cv::Mat DrawLinePanel(cv::Size size, cv::Point2f centre, const DrawnLineStyle& style, cv::Rect* inkBox = nullptr);

// DrawLinePanel on a 390 x 90 zone, the size of a zone drawn tightly around
// one number, with the row in its middle.
cv::Mat DrawTightZone(const DrawnLineStyle& line, cv::Rect* inkBox = nullptr);

}  // namespace kalvero::testing
