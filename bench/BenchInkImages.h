#pragma once
// The images the digit-blob search works on for a whole 1080p camera frame
// (a varied generated scene, one carriage in view), at half size, where the
// smallest digits are looked for: shared by the benchmarks of the steps.
#include <stdexcept>

#include <opencv2/imgproc.hpp>

#include "line_reader/DigitBlobs.h"
#include "tools/VariedScene.h"

namespace kalvero::bench {

// The frame in grey, halved.
inline const cv::Mat& HalfFrame() {
    static const cv::Mat half = [] {
        SampleOptions sample;
        sample.size = cv::Size(1920, 1080);
        sample.digitHeight = 48;
        sample.frames = 9;
        sample.seed = 7;
        SceneOptions options;
        options.font = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";
        options.varied = true;
        VariedScene scene;
        if (!scene.Build(sample, options).empty()) throw std::runtime_error("scene");
        cv::Mat grey, halved;
        cv::cvtColor(scene.Frame(4), grey, cv::COLOR_BGR2GRAY);
        cv::pyrDown(grey, halved);
        return halved;
    }();
    return half;
}

// Its dark-ink mask for digits 8 pixels high there, before long runs are
// cleared.
inline const cv::Mat& InkMask() {
    static const cv::Mat mask = [] {
        const InkImages images = PrepareInkImages(HalfFrame(), 8);
        cv::Mat difference, ink;
        cv::subtract(images.mean, images.smooth, difference);
        cv::compare(difference, images.threshold, ink, cv::CMP_GT);
        return ink;
    }();
    return mask;
}

}  // namespace kalvero::bench
