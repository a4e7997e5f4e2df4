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
    // Left edge of the strip at time `t` (in frames), head-on pixels.
    double StripPosition(double t) const;
    // Sets the conditions' camera, light, weather and motion once the
    // strip is painted; returns a message when the number cannot be shown.
    std::string SetUpConditions(const std::vector<double>& firstCopy, const std::vector<double>& lastCopy,
                                double numberWidth, double numberRow, double digitWidth, cv::RNG& rng);
    // The strip seen at time t: premultiplied grey and coverage, frame size.
    void StripLayer(double t, cv::Mat& grey, cv::Mat& cover) const;
    // A point of the strip (strip pixels) in the frame at time t, before the
    // varied camera's homography.
    cv::Point2d StripPointInFrame(const cv::Point2d& p, double t) const;
    cv::Rect GroupBox(const Group& g, double t) const;
    cv::Mat ConditionedFrame(int index) const;
    // Frame `index`'s scene at time `t` as the lens shows it (light,
    // camera angle, mast, weather, blur), before the sensor's gain, noise
    // and encoding; weather as on frame `index`.
    cv::Mat ThroughLens(double t, int index) const;
    // A float grey frame under the uneven light (gain_), as 8 bits, seen
    // through the camera's homography when the scene warps.
    cv::Mat LitAndWarped(const cv::Mat& grey) const;
    std::vector<TruthObject> ConditionedObjects(int index) const;

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

    // Conditions (see SceneOptions); unused when none is asked for, and
    // then the frames are exactly those of the scene without them.
    bool conditioned_ = false;
    cv::Mat stripCover_;            // 32-bit float 0..1 of stripMask_
    cv::Matx33d perspective_ = cv::Matx33d::eye();  // head-on pixels to the camera's
    bool fast_ = false;
    double fastStart_ = 0.0;        // frame at which the number enters
    double fastSpeed_ = 0.0;        // head-on pixels a frame (negative: leftwards)
    double fastEntry_ = 0.0;        // strip left edge when the number enters
    bool interlaced_ = false;
    double rollingShift_ = 0.0;     // shift of the bottom row against the top one, pixels
    cv::Mat rollingMapX_, rollingMapY_;  // frame pixel to place in the padded strip layer
    int rollingPad_ = 0;            // columns the strip layer reaches beyond each side
    cv::Rect pole_;                 // frame pixels; empty: no pole
    double poleGrey_ = 60.0;
    bool night_ = false;
    cv::Mat nightField_, nightGlare_;  // 32-bit float BGR, frame size
    bool infrared_ = false;
    double infraredFlatten_ = 1.0;
    bool rain_ = false;
    bool snow_ = false;
    double haze_ = 0.0;
    double rainSlant_ = 0.0;
};

}  // namespace kalvero
