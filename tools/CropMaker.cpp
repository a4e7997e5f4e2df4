#include "tools/CropMaker.h"

#include <algorithm>
#include <cmath>

#include <opencv2/imgproc.hpp>

#include "tools/CameraEffects.h"
#include "tools/CameraAngle.h"
#include "tools/CarriageNumbers.h"
#include "tools/CarriagePainting.h"
#include "tools/CodecArtefacts.h"
#include "tools/Defacement.h"
#include "tools/DigitLine.h"
#include "tools/HardNegatives.h"
#include "tools/PointBounds.h"
#include "tools/SceneLighting.h"
#include "tools/Weather.h"

namespace kalvero {

namespace {

// Digit heights a crop is drawn at before it is scaled to the line reader's
// input: from a little below the smallest the reader proposes (16) to
// numbers filling a close camera's zone, so that crops carry the blur and
// aliasing of both ends.
constexpr double kMinDigitHeight = 14.0;
constexpr double kMaxDigitHeight = 70.0;
// Font used for words beside glyph and stencil numbers when the list
// names no font file (a training font).
constexpr const char* kFallbackWordFont = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";

std::uint64_t MixSeed(std::uint64_t seed, std::uint64_t index) {
    // splitmix64 of both: neighbouring indices get unrelated streams.
    std::uint64_t z = seed * 0x9E3779B97F4A7C15ULL + index + 0x632BE59BD9B4E019ULL;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    z ^= z >> 31;
    return z == 0 ? 1 : z;
}

std::string DigitGroupFor(cv::RNG& rng) {
    const double u = rng.uniform(0.0, 1.0);
    if (u < 0.8) {
        return RandomCarriageNumber(rng);
    }
    if (u < 0.88) {
        return RandomDigitGroup(rng, rng.uniform(6, 8));
    }
    if (u < 0.94) {
        return RandomDigitGroup(rng, rng.uniform(9, 11));
    }
    return RandomDigitGroup(rng, rng.uniform(2, 5));
}

cv::Mat ScaledWord(const cv::Mat& word, double height, double stretch) {
    const double f = height / word.rows;
    cv::Mat out;
    cv::resize(word, out,
               cv::Size(std::max(1, static_cast<int>(std::lround(word.cols * f * stretch))),
                        std::max(1, static_cast<int>(std::lround(height)))),
               0, 0, cv::INTER_AREA);
    return out;
}

std::vector<cv::Point2d> Corners(const cv::Rect2d& r, cv::Point2d offset) {
    const cv::Point2d tl = r.tl() + offset;
    return {tl, tl + cv::Point2d(r.width, 0.0), tl + cv::Point2d(r.width, r.height),
            tl + cv::Point2d(0.0, r.height)};
}

cv::Point2d Mid(const cv::Point2d& a, const cv::Point2d& b) { return 0.5 * (a + b); }

// The conditions that act on the camera's picture of the side (8-bit
// grey `frame`): light, weather, the fields, a pole in front, and the
// camera's blur, noise and JPEG settings, which ApplyOptics then uses.
void ApplyCropConditions(cv::Mat& frame, const CropConditions& c, const cv::Matx33d& homography,
                         const std::vector<cv::Rect2d>& digitBoxes, double digitWidth, double h, CameraLook& camera,
                         cv::RNG& rng) {
    cv::Mat wide;
    frame.convertTo(wide, CV_32F);
    if (c.night && !digitBoxes.empty()) {
        // A number read at night is one a lamp lights: the lamp stands
        // above the line, within its length, and reaches all of it.
        NightLight light = RandomNightLight(frame.size(), rng);
        const cv::Rect2d& first = digitBoxes.front();
        const cv::Rect2d& last = digitBoxes.back();
        const double length = last.br().x - first.x;
        const cv::Point2d above(first.x + length * rng.uniform(0.0, 1.0), first.y - h * rng.uniform(1.0, 3.0));
        light.lamp = MapPoints(homography, {above})[0];
        light.reach = std::max(light.reach, length);
        light.glareRadius = std::max(2.0, h * rng.uniform(0.2, 0.6));
        wide = wide.mul(NightLightField(frame.size(), light, 1)) + NightGlare(frame.size(), light, 1);
        AddBloom(wide, 210.0, std::max(1.0, 0.15 * h), 0.8);
        camera.noise = std::max(camera.noise, rng.uniform(6.0, 12.0));
    }
    if (c.infrared) {
        AddBloom(wide, 200.0, std::max(1.0, 0.1 * h), 0.6);
        camera.noise = std::max(camera.noise, rng.uniform(4.0, 8.0));
    }
    if (c.rain) {
        AddRain(wide, c.haze, rng.uniform(-15.0, 15.0), rng);
    }
    if (c.snow) {
        AddSnow(wide, c.haze, rng);
    }
    if (c.poleAt >= 0.0 && !digitBoxes.empty()) {
        // A thin mast in front: it hides part of a digit at most.
        const cv::Rect2d& first = digitBoxes.front();
        const cv::Rect2d& last = digitBoxes.back();
        const double x = first.x + (last.br().x - first.x) * c.poleAt;
        const cv::Point2d top = MapPoints(homography, {cv::Point2d(x, first.y - h)})[0];
        const int width = std::max(1, static_cast<int>(std::lround(c.poleWidthShare * digitWidth)));
        const double grey = rng.uniform(0.0, 1.0) < 0.5 ? rng.uniform(20.0, 70.0) : rng.uniform(150.0, 220.0);
        const int left = std::clamp(static_cast<int>(std::lround(top.x)) - width / 2, 0, std::max(0, wide.cols - width));
        wide.colRange(left, std::min(wide.cols, left + width)).setTo(grey);
    }
    wide.convertTo(frame, CV_8U);
    if (c.interlaceShift != 0.0) {
        // The second field, taken as the side moved on, on the odd rows.
        const double dx = c.interlaceShift * h;
        const cv::Matx23d move(1.0, 0.0, dx, 0.0, 1.0, 0.0);
        cv::Mat later;
        cv::warpAffine(frame, later, cv::Mat(move), frame.size(), cv::INTER_LINEAR, cv::BORDER_REFLECT);
        for (int y = 1; y < frame.rows; y += 2) {
            later.row(y).copyTo(frame.row(y));
        }
    }
    if (c.motionBlurShare > 0.0) {
        camera.motionBlur = std::max(1.0, c.motionBlurShare * digitWidth / 3.0);
    }
    if (c.jpegQuality > 0) {
        camera.jpegQuality = c.jpegQuality;
    }
}

}  // namespace

LineBox LineBoxOfDigits(const std::vector<std::vector<cv::Point2d>>& digitCorners) {
    LineBox box;
    if (digitCorners.empty()) {
        return box;
    }
    const auto& first = digitCorners.front();
    const auto& last = digitCorners.back();
    const cv::Point2d left = Mid(first[0], first[3]);
    const cv::Point2d right = Mid(last[1], last[2]);
    const cv::Point2d d = right - left;
    double height = 0.0;
    for (const auto& c : digitCorners) {
        height += cv::norm(Mid(c[2], c[3]) - Mid(c[0], c[1]));
    }
    box.centre = cv::Point2f(static_cast<float>(0.5 * (left.x + right.x)), static_cast<float>(0.5 * (left.y + right.y)));
    box.length = static_cast<float>(cv::norm(d));
    box.digitHeight = static_cast<float>(height / digitCorners.size());
    box.angleDegrees = static_cast<float>(std::atan2(d.y, d.x) * 180.0 / CV_PI);
    return box;
}

std::string DigitsInsideCrop(const LineBox& box, const std::string& digits,
                             const std::vector<std::vector<cv::Point2d>>& digitCorners, bool* ambiguous) {
    const double h = box.digitHeight;
    const double halfAlong = 0.5 * box.length + kLineMarginAlong * h;
    const double halfAcross = 0.5 * h * (1.0 + 2.0 * kLineMarginAcross);
    const double theta = box.angleDegrees * CV_PI / 180.0;
    const double c = std::cos(theta);
    const double s = std::sin(theta);
    // Share of [low, high] within [-half, half].
    const auto within = [](double low, double high, double half) {
        const double overlap = std::min(high, half) - std::max(low, -half);
        return high > low ? std::max(0.0, overlap) / (high - low) : 0.0;
    };
    std::string inside;
    if (ambiguous != nullptr) {
        *ambiguous = false;
    }
    for (std::size_t i = 0; i < digitCorners.size() && i < digits.size(); ++i) {
        double alongLow = 1e30, alongHigh = -1e30, acrossLow = 1e30, acrossHigh = -1e30;
        for (const cv::Point2d& p : digitCorners[i]) {
            const double dx = p.x - box.centre.x;
            const double dy = p.y - box.centre.y;
            const double along = dx * c + dy * s;
            const double across = -dx * s + dy * c;
            alongLow = std::min(alongLow, along);
            alongHigh = std::max(alongHigh, along);
            acrossLow = std::min(acrossLow, across);
            acrossHigh = std::max(acrossHigh, across);
        }
        const double a = within(alongLow, alongHigh, halfAlong);
        const double b = within(acrossLow, acrossHigh, halfAcross);
        if (a >= 1.0 - kCropNickShare && b >= 1.0 - kCropNickShare) {
            inside += digits[i];
        } else if (ambiguous != nullptr && a * b > 1.0 / 3.0) {
            *ambiguous = true;
        }
    }
    return inside;
}

std::string CropMaker::Load(const std::vector<std::string>& fontEntries) {
    fonts_.clear();
    words_.clear();
    if (fontEntries.empty()) {
        return "no fonts to draw with";
    }
    std::string fallback;
    for (const std::string& entry : fontEntries) {
        DigitFont font;
        const std::string error = font.Load(entry);
        if (!error.empty()) {
            return error;
        }
        if (fallback.empty() && font.IsFontFile()) {
            fallback = entry;
        }
        fonts_.push_back(font);
    }
    if (fallback.empty()) {
        fallback = kFallbackWordFont;
    }
    handFont_.Load("hand");
    blockStencilFont_.Load("block-stencil");
    WordBank fallbackWords;
    FontTextRenderer fallbackRenderer;
    if (fallbackRenderer.Load(fallback).empty()) {
        fallbackWords.Build(fallbackRenderer);
    }
    for (const DigitFont& font : fonts_) {
        WordBank bank = fallbackWords;
        if (font.IsFontFile()) {
            FontTextRenderer renderer;
            if (renderer.Load(font.Entry()).empty()) {
                bank.Build(renderer);
            }
            if (bank.Empty()) {
                bank = fallbackWords;  // a digits-only font
            }
        }
        words_.push_back(bank);
    }
    return "";
}

LineCropSample CropMaker::Make(std::uint64_t seed, std::uint64_t index, double negativesShare,
                               double conditionsShare) const {
    CropConditions conditions;
    if (conditionsShare > 0.0) {
        // Its own stream: the crops drawn without conditions stay as they were.
        cv::RNG pick(MixSeed(seed ^ 0xC0DD171045ULL, index));
        if (pick.uniform(0.0, 1.0) < conditionsShare) {
            conditions = RandomCropConditions(pick);
        }
    }
    return MakeWith(seed, index, negativesShare, conditions);
}

LineCropSample CropMaker::MakeWith(std::uint64_t seed, std::uint64_t index, double negativesShare,
                                   const CropConditions& c) const {
    cv::RNG rng(MixSeed(seed, index));
    cv::RNG more(MixSeed(seed ^ 0xE77EC75ULL, index));  // what the conditions draw
    const std::size_t fontIndex = static_cast<std::size_t>(rng.uniform(0, static_cast<int>(fonts_.size())));
    const DigitFont& font = c.font == CropConditions::Font::Hand           ? handFont_
                            : c.font == CropConditions::Font::BlockStencil ? blockStencilFont_
                                                                           : fonts_[fontIndex];
    const WordBank& words = words_[fontIndex];
    const bool marking = IsMarkingNegative(c.hardNegative);
    const bool pattern = IsPatternNegative(c.hardNegative);
    const bool negative = rng.uniform(0.0, 1.0) < negativesShare && c.hardNegative == SceneNegative::None;
    // Negatives: a blank side, a box across the number that holds no whole
    // digit, or a box over painted words.
    enum class Negative { None, Blank, Across, OverWords } kind = Negative::None;
    if (negative) {
        const double u = rng.uniform(0.0, 1.0);
        kind = u < 0.4 ? Negative::Blank : (u < 0.75 || words.Empty() ? Negative::Across : Negative::OverWords);
    }

    // Small digits are the hard ones: draw heights towards the low end.
    double h = kMinDigitHeight + (kMaxDigitHeight - kMinDigitHeight) * std::pow(rng.uniform(0.0, 1.0), 1.4);
    if (c.digitHeight > 0.0) {
        h = c.digitHeight;
    }
    LineStyle style;
    style.digitHeight = h;
    RandomiseLineStyle(rng, style);
    style.strokeSeed = MixSeed(seed ^ 0x4A4EDULL, index);
    std::string text = DigitGroupFor(rng);
    if (c.hardNegative != SceneNegative::None) {
        text = marking ? NegativeMarkingText(c.hardNegative, more) : "00000000";
    }
    LineStyle numberStyle = style;
    if (!c.groups.empty() && text.size() == 8 && !marking && !pattern) {
        numberStyle.groups = c.groups;
        numberStyle.groupGap = c.groupGap;
    }
    if (c.hardNegative == SceneNegative::SevenPlusOne) {
        numberStyle.groups = {7, 1};
        numberStyle.groupGap = more.uniform(0.4, 1.2);
        text.erase(std::remove(text.begin(), text.end(), ' '), text.end());
    }
    const bool spaced = marking && c.hardNegative != SceneNegative::SevenPlusOne;
    PaintedLine line = spaced ? PaintMarking(font, text, numberStyle, 0.6) : PaintDigitLine(font, text, numberStyle);
    if (pattern) {
        line.mask = DrawPatternMask(c.hardNegative, h, line.Box().width, more);
    }
    PaintLook look = RandomPaintLook(rng);
    if (c.fadedContrast > 0.0) {
        FadePaint(look, c.fadedContrast);
    }

    // Layout in side pixels, the number's mask at the origin first.
    std::vector<PaintItem> items;
    items.push_back({line.mask, cv::Point(0, 0), 1.0});
    const int lineH = line.mask.rows;
    const int lineW = line.mask.cols;
    const bool secondLine = rng.uniform(0.0, 1.0) < 0.25;
    const bool above = rng.uniform(0.0, 1.0) < 0.5;
    if (secondLine) {
        LineStyle small = style;
        small.digitHeight = h * rng.uniform(0.4, 0.7);
        const PaintedLine other = PaintDigitLine(font, RandomDigitGroup(rng, rng.uniform(2, 9)), small);
        const int gap = static_cast<int>(std::lround(h * rng.uniform(0.35, 0.9)));
        const int x = static_cast<int>(std::lround(rng.uniform(-0.5, 0.5) * lineW));
        const int y = above ? -gap - other.mask.rows : lineH + gap;
        items.push_back({other.mask, cv::Point(x, y), rng.uniform(0.7, 1.0)});
    }
    int wordItem = -1;
    if (!words.Empty() && (kind == Negative::OverWords || rng.uniform(0.0, 1.0) < 0.25)) {
        const cv::Mat& word = words.Mask(static_cast<std::size_t>(rng.uniform(0, static_cast<int>(words.Size()))));
        const cv::Mat mask = ScaledWord(word, h * rng.uniform(0.5, 1.05), rng.uniform(0.8, 1.2));
        const int gap = static_cast<int>(std::lround(h * rng.uniform(0.9, 2.0)));
        cv::Point at;
        if (rng.uniform(0.0, 1.0) < 0.6 || secondLine) {
            // Same row, before or after the number.
            at.y = (lineH - mask.rows) / 2 + static_cast<int>(std::lround(rng.uniform(-0.15, 0.15) * h));
            at.x = rng.uniform(0.0, 1.0) < 0.5 ? -gap - mask.cols : lineW + gap;
        } else {
            const int vgap = static_cast<int>(std::lround(h * rng.uniform(0.4, 0.9)));
            at.y = above ? -vgap - mask.rows : lineH + vgap;
            at.x = static_cast<int>(std::lround(rng.uniform(-0.3, 0.6) * lineW));
        }
        wordItem = static_cast<int>(items.size());
        items.push_back({mask, at, rng.uniform(0.8, 1.0)});
    }
    if (kind == Negative::Blank) {
        items.front().mask = cv::Mat::zeros(line.mask.size(), CV_8U);
    }

    // The frame: the number with a margin of about a digit height, which
    // holds the crop whatever the jitter; other items show as far as they
    // reach into it (a box over words takes in the words whole).
    cv::Rect all(items.front().at, items.front().mask.size());
    if (kind == Negative::OverWords && wordItem >= 0) {
        all |= cv::Rect(items[static_cast<std::size_t>(wordItem)].at, items[static_cast<std::size_t>(wordItem)].mask.size());
    }
    const int margin = static_cast<int>(std::lround(h * rng.uniform(0.9, 1.3)));
    const cv::Point shift(margin - all.x, margin - all.y);
    for (PaintItem& item : items) {
        item.at += shift;
    }
    const cv::Size size(all.width + 2 * margin, all.height + 2 * margin);
    cv::Mat side = PaintCarriageSide(size, look, items, 0.3 * h, noise_, rng);
    std::vector<cv::Rect2d> digitBoxes;
    for (const cv::Rect2d& b : line.digitBoxes) {
        digitBoxes.push_back(b + cv::Point2d(items.front().at));
    }
    double digitWidth = 0.0;
    for (const cv::Rect2d& b : digitBoxes) {
        digitWidth += b.width / static_cast<double>(digitBoxes.size());
    }
    if (c.dirt) {
        AddDirtOverDigits(side, digitBoxes, look.panel ? look.panelPaint : look.paint, more);
    }
    if (c.graffiti) {
        AddGraffitiOverDigits(side, digitBoxes, more);
    }
    if (c.infrared) {
        const InfraredLook ir = RandomInfraredLook(more);
        ApplyInfraredPaint(side, ir);
        side.convertTo(side, -1, ir.flatten, 128.0 * (1.0 - ir.flatten));
    }
    cv::Mat side8;
    side.convertTo(side8, CV_8U);

    CameraLook camera = RandomCameraLook(rng, h);
    cv::Matx33d homography = CameraHomography(camera, size, rng);
    cv::Size frameSize = size;
    if (c.perspective || c.rollingShear != 0.0) {
        // The camera's angle (and the rows' readout shear) replace the
        // small tilt; the frame grows to hold all of the side.
        const cv::Point2d centre(items.front().at.x + 0.5 * line.mask.cols, items.front().at.y + 0.5 * line.mask.rows);
        // The camera stands further off than the side is wide, so every
        // point of the side lies in front of it.
        cv::Matx33d m = c.perspective
                            ? YawRollHomography(c.yawDegrees, c.rollDegrees, c.distance * size.width, centre)
                            : cv::Matx33d::eye();
        const cv::Matx33d shear(1.0, c.rollingShear, -c.rollingShear * centre.y, 0.0, 1.0, 0.0, 0.0, 0.0, 1.0);
        m = shear * m;
        const std::vector<cv::Point2d> ends = MapPoints(
            m, {cv::Point2d(0, 0), cv::Point2d(size.width, 0), cv::Point2d(size.width, size.height), cv::Point2d(0, size.height)});
        const PointBounds b = BoundsOfPoints(ends);
        const cv::Matx33d shift(1.0, 0.0, -b.x0, 0.0, 1.0, -b.y0, 0.0, 0.0, 1.0);
        homography = shift * m;
        frameSize = cv::Size(std::max(8, static_cast<int>(std::ceil(b.x1 - b.x0))),
                             std::max(8, static_cast<int>(std::ceil(b.y1 - b.y0))));
        camera.tiltDegrees = 0.0;
        camera.perspective = 1.0;  // warp through the homography below
    }
    cv::Mat frame;
    if (camera.perspective == 0.0 && camera.tiltDegrees == 0.0) {
        frame = side8;
    } else if (camera.perspective > 0.0) {
        cv::warpPerspective(side8, frame, cv::Mat(homography), frameSize, cv::INTER_LINEAR, cv::BORDER_REFLECT);
    } else {
        // A plain turn: the affine warp is cheaper.
        const cv::Matx23d affine(homography(0, 0), homography(0, 1), homography(0, 2), homography(1, 0),
                                 homography(1, 1), homography(1, 2));
        cv::warpAffine(side8, frame, cv::Mat(affine), size, cv::INTER_LINEAR, cv::BORDER_REFLECT);
    }
    if (c.any) {
        ApplyCropConditions(frame, c, homography, digitBoxes, digitWidth, h, camera, more);
    }
    ApplyOptics(frame, camera, noise_, rng);
    if (c.codecBlock > 0) {
        // Blocks as large as the digits leave nothing to read: the coarse
        // tiles and steps go with larger digits, as a camera sees them.
        const int block = h >= 2.5 * c.codecBlock ? c.codecBlock : 8;
        AddBlockCodecArtefacts(frame, block, std::min(c.codecStep, 6.0 + 0.4 * h));
    }

    std::vector<std::vector<cv::Point2d>> corners;
    const cv::Point2d lineAt(items.front().at);
    for (const cv::Rect2d& b : line.digitBoxes) {
        corners.push_back(MapPoints(homography, Corners(b, lineAt)));
    }
    LineCropSample sample;
    sample.font = font.Name();
    sample.conditioned = c.any;
    sample.painted = kind == Negative::Blank || pattern ? std::string() : line.digits;
    sample.trueBox = LineBoxOfDigits(corners);
    // A detector's error; redrawn while it cuts a digit badly enough that
    // neither with nor without it would the label be right.
    const double theta = sample.trueBox.angleDegrees * CV_PI / 180.0;
    const cv::Point2d alongDir(std::cos(theta), std::sin(theta));
    const cv::Point2d acrossDir(-alongDir.y, alongDir.x);
    LineBox box;
    for (int attempt = 0; attempt < 8; ++attempt) {
        box = sample.trueBox;
        double along = rng.uniform(-0.15, 0.15) * box.digitHeight;
        double across = rng.uniform(-0.08, 0.08) * box.digitHeight;
        if (kind == Negative::Across) {
            // Far enough off the row that no digit fits whole.
            across = (rng.uniform(0.0, 1.0) < 0.5 ? -1.0 : 1.0) * rng.uniform(0.7, 1.3) * box.digitHeight;
        }
        if (kind == Negative::OverWords && wordItem >= 0) {
            const PaintItem& w = items[static_cast<std::size_t>(wordItem)];
            const cv::Point2d centre =
                MapPoints(homography, {cv::Point2d(w.at.x + 0.5 * w.mask.cols, w.at.y + 0.5 * w.mask.rows)})[0];
            box.centre = cv::Point2f(centre);
            box.length = static_cast<float>(w.mask.cols);
            along = 0.0;
            across = 0.0;
        }
        if (kind == Negative::Blank) {
            box.length *= static_cast<float>(rng.uniform(0.3, 1.0));
        }
        box.centre = cv::Point2f(cv::Point2d(box.centre) + along * alongDir + across * acrossDir);
        box.length *= static_cast<float>(rng.uniform(0.95, 1.12));
        box.digitHeight *= static_cast<float>(rng.uniform(0.88, 1.15));
        box.angleDegrees += static_cast<float>(rng.gaussian(0.8));
        bool ambiguous = false;
        sample.label = kind == Negative::Blank || pattern ? std::string()
                                                          : DigitsInsideCrop(box, line.digits, corners, &ambiguous);
        if (!ambiguous || kind == Negative::Across || kind == Negative::Blank) {
            break;
        }
    }
    sample.box = box;
    sample.image = NormaliseLine(frame, box);
    sample.frame = frame;
    if (sample.image.empty() && c.any) {
        // Not seen in practice; a crop is never left out, so its plain
        // drawing stands in.
        return MakeWith(seed, index, negativesShare, CropConditions{});
    }
    return sample;
}

}  // namespace kalvero
