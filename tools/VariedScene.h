#pragma once
#include <string>
#include <vector>

#include <opencv2/core.hpp>

#include "tools/CameraEffects.h"
#include "tools/NoiseTile.h"
#include "tools/SampleTruth.h"
#include "tools/SampleVideo.h"
#include "tools/SceneOptions.h"

namespace kalvero {

// A sample scene with any font, motion and negative, plain or varied. The
// same sample and options always give the same frames and truth.
class VariedScene {
public:
    // Builds the scene. Returns an empty text on success, else a message
    // (a font that cannot be loaded, a number that does not fit).
    std::string Build(const SampleOptions& sample, const SceneOptions& options);

    int FrameCount() const { return sample_.frames; }
    const std::string& FontName() const { return fontName_; }
    // Carriage numbers shown, in the order they pass; empty for negatives.
    const std::vector<std::string>& Numbers() const { return numbers_; }

    // Frame `index` (0-based), BGR, of the sample's size.
    cv::Mat Frame(int index) const;
    // Every digit group at least partly in frame `index`.
    std::vector<TruthObject> Objects(int index) const;

private:
    struct Group {
        std::string text;
        bool isNumber = false;
        std::vector<cv::Rect2d> digitBoxes;  // strip pixels
    };
    int StripLeft(int index) const;

    SampleOptions sample_;
    SceneOptions options_;
    std::string fontName_;
    std::vector<std::string> numbers_;
    std::vector<Group> groups_;
    cv::Mat background_;   // 32-bit float grey, frame size
    cv::Mat strip_;        // 32-bit float grey: the train's side
    cv::Mat stripMask_;    // 8-bit: 255 where a carriage is, 0 in the gaps
    cv::Mat gain_;         // 32-bit float, frame size: uneven light
    int stripTop_ = 0;
    double firstLeft_ = 0.0;
    double lastLeft_ = 0.0;
    cv::Matx33d homography_ = cv::Matx33d::eye();
    bool warp_ = false;
    CameraLook camera_;
    cv::Vec3d tint_{1.0, 1.0, 1.0};
    NoiseTile noise_;
};

}  // namespace kalvero
