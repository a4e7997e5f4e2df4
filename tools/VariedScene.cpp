#include "tools/VariedScene.h"

#include <algorithm>
#include <cmath>

#include <opencv2/imgproc.hpp>

#include "tools/CameraAngle.h"
#include "tools/CarriageNumbers.h"
#include "tools/CarriagePainting.h"
#include "tools/Defacement.h"
#include "tools/DigitFonts.h"
#include "tools/DigitLine.h"
#include "tools/HardNegatives.h"
#include "tools/PaintedWords.h"
#include "tools/PointBounds.h"
#include "tools/SceneLighting.h"
#include "tools/Weather.h"

namespace kalvero {

namespace {

constexpr double kStripTopFraction = 0.20;
constexpr double kStripHeightFraction = 0.64;
constexpr double kPlainNumberTop = 0.26;  // of the carriage side's height
constexpr const char* kWordFont = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";
// Frames on which a fast train's number is whole in view, at least: three
// with a little to spare for where the first one falls.
constexpr double kFastWholeFrames = 3.5;

std::uint64_t PartSeed(std::uint64_t seed, std::uint64_t part) {
    return seed * 0x9E3779B97F4A7C15ULL + part * 0xBF58476D1CE4E5B9ULL + 1ULL;
}

cv::Mat Background(cv::Size size, const NoiseTile& noise, cv::RNG& rng) {
    cv::Mat grey(size, CV_32F);
    const int horizon = static_cast<int>(size.height * rng.uniform(0.35, 0.5));
    const int railTop = static_cast<int>(size.height * 0.86);
    const double sky = rng.uniform(170.0, 225.0);
    const double field = rng.uniform(90.0, 140.0);
    for (int y = 0; y < size.height; ++y) {
        const double level = y < horizon ? sky + 25.0 * y / std::max(1, horizon) : (y < railTop ? field : field + 15.0);
        grey.row(y).setTo(level);
    }
    cv::scaleAdd(noise.Window(size, rng), 5.0, grey, grey);
    cv::Mat gravel = grey.rowRange(railTop, size.height);
    cv::scaleAdd(noise.Window(gravel.size(), rng), 18.0, gravel, gravel);
    for (double at : {0.34, 0.67}) {
        const int y = railTop + static_cast<int>((size.height - railTop) * at);
        cv::line(grey, {0, y}, {size.width - 1, y}, cv::Scalar(62), std::max(1, size.height / 180));
    }
    const int poleWidth = std::max(3, size.width / 90);
    for (int i = 0; i < 2; ++i) {
        const int x = static_cast<int>(size.width * rng.uniform(0.1, 0.9));
        cv::rectangle(grey, cv::Rect(x, 0, poleWidth, railTop), cv::Scalar(72), cv::FILLED);
    }
    return grey;
}

// The unvaried look, close to the default sample's.
PaintLook PlainLook(bool lightDigits) {
    PaintLook look;
    look.lightDigits = lightDigits;
    look.paint = lightDigits ? 72.0 : 188.0;
    look.ink = lightDigits ? 192.0 : 68.0;
    look.texture = 10.0;
    look.grime = 0.6;
    look.seams = true;
    look.stripe = true;
    look.stripePaint = lightDigits ? 142.0 : 118.0;
    return look;
}

cv::Mat ScaledMask(const cv::Mat& mask, double height) {
    cv::Mat out;
    const double f = height / mask.rows;
    cv::resize(mask, out, cv::Size(std::max(1, static_cast<int>(std::lround(mask.cols * f))),
                                   std::max(1, static_cast<int>(std::lround(height)))),
               0, 0, cv::INTER_AREA);
    return out;
}

}  // namespace

std::string VariedScene::Build(const SampleOptions& sample, const SceneOptions& options) {
    sample_ = sample;
    options_ = options;
    groups_.clear();
    numbers_.clear();
    const std::string invalid = ValidateSampleOptions(sample);
    if (!invalid.empty()) {
        return invalid;
    }
    DigitFont font;
    const std::string fontError = font.Load(options.font);
    if (!fontError.empty()) {
        return fontError;
    }
    fontName_ = font.Name();
    WordBank words;
    {
        FontTextRenderer renderer;
        if (renderer.Load(font.IsFontFile() ? options.font : kWordFont).empty()) {
            words.Build(renderer);
        }
    }
    cv::RNG rng(PartSeed(sample.seed, 1));
    const cv::Size size = sample.size;
    const double h = sample.digitHeight;
    const int sideHeight = static_cast<int>(std::lround(size.height * kStripHeightFraction));
    stripTop_ = static_cast<int>(std::lround(size.height * kStripTopFraction));

    // Everything the conditions and the newer negatives draw comes from
    // their own stream, so a scene without them stays as it always was.
    conditioned_ = !options.conditions.empty();
    cv::RNG cond(PartSeed(sample.seed, 5));
    const SceneNegative negative = options.negative;
    const bool marking = IsMarkingNegative(negative);
    const bool pattern = IsPatternNegative(negative);

    // The carriages' texts: carriage numbers, or what a negative carries.
    std::vector<std::string> mains;
    const int carriages = options.motion == SceneMotion::TwoCarriages ? 2 : 1;
    for (int c = 0; c < carriages; ++c) {
        if (marking) {
            mains.push_back(NegativeMarkingText(negative, cond));
        } else if (pattern) {
            mains.push_back("");
        } else if (options.negative == SceneNegative::SevenDigits) {
            mains.push_back(RandomDigitGroup(rng, 7));
        } else if (options.negative == SceneNegative::SixDigitsWords) {
            mains.push_back(RandomDigitGroup(rng, 6));
        } else if (options.negative == SceneNegative::Blank) {
            mains.push_back("");
        } else if (c == 0) {
            mains.push_back(sample.number);
        } else {
            std::string second = options.number2;
            while (second.empty() || second == sample.number) {
                second = RandomCarriageNumber(rng);
            }
            mains.push_back(second);
        }
    }

    LineStyle style;
    style.digitHeight = h;
    if (options.varied) {
        RandomiseLineStyle(rng, style);
        style.digitHeight = h;
    }
    style.strokeSeed = PartSeed(sample.seed, 6);
    PaintLook look = options.varied ? RandomPaintLook(rng) : PlainLook(sample.lightDigits);
    const int margin = std::max(8, size.width / 40);
    if (options.Has(SceneCondition::Faded)) {
        // Only 15-30 grey levels between the paint and the digits.
        FadePaint(look, cond.uniform(15.0, 30.0));
    }
    LineStyle mainStyle = style;
    if (options.Has(SceneCondition::GroupGap) && (negative == SceneNegative::None || negative == SceneNegative::BadCheckDigit)) {
        mainStyle.groups = cond.uniform(0.0, 1.0) < 0.6 ? std::vector<int>{4, 4} : std::vector<int>{2, 4, 2};
        mainStyle.groupGap = cond.uniform(1.5, 3.5);
    }
    if (negative == SceneNegative::SevenPlusOne) {
        // The lone digit stands a little apart, less than a group gap.
        mainStyle.groups = {7, 1};
        mainStyle.groupGap = cond.uniform(0.4, 1.2);
    }
    const bool twice = options.Has(SceneCondition::PaintedTwice);
    const bool perspective = options.Has(SceneCondition::Perspective);
    fast_ = options.Has(SceneCondition::Fast);
    // Head-on pixels a frame when fast: the number crosses in 5-8 frames.
    const double fastFrames = cond.uniform(5.0, 8.0);
    std::vector<double> twiceOffsets;  // per carriage: second copy's left minus the first's

    // Each carriage side: the main text near the middle, extras around it.
    std::vector<cv::Mat> sides;
    std::vector<std::vector<Group>> sideGroups;
    std::vector<double> mainLefts;  // x of the main text on its side
    double mainWidth = 0.0;
    for (int c = 0; c < carriages; ++c) {
        PaintedLine line = marking ? PaintMarking(font, mains[c], mainStyle, 0.6)
                                   : PaintDigitLine(font, mains[c].empty() ? (pattern ? "00000000" : "0") : mains[c],
                                                    mainStyle);
        if (pattern) {
            line.mask = DrawPatternMask(negative, h, line.Box().width, cond);
        }
        mainWidth = std::max(mainWidth, line.Box().width);
        if (line.Box().width + 2 * margin > size.width) {
            return "the number does not fit a frame " + std::to_string(size.width) + " pixels wide at digit height " +
                   std::to_string(sample.digitHeight);
        }
        double twiceOffset = 0.0;
        if (twice) {
            const double room = size.width - 2.0 * margin - 2.0 * line.Box().width;
            if (room < 0.5 * h) {
                return "painted-twice: the number does not fit twice in a frame " + std::to_string(size.width) +
                       " pixels wide at digit height " + std::to_string(sample.digitHeight);
            }
            twiceOffset = line.mask.cols + std::max(0.5 * h, room * cond.uniform(0.2, 0.8));
        }
        twiceOffsets.push_back(twiceOffset);
        // Conditions may need more side around the number: a slanted view
        // takes in more of it, a fast train passes more of it.
        double lead = 1.1 * size.width;
        if (perspective) {
            lead = 2.6 * size.width;
        }
        if (fast_) {
            lead = std::max(lead, std::min(16000.0, (size.width + line.mask.cols) / fastFrames * sample.frames + size.width));
        }
        const int sideWidth = conditioned_ ? static_cast<int>(line.mask.cols + twiceOffset + 2.0 * lead)
                                           : static_cast<int>(line.mask.cols + 2.2 * size.width);
        const double topShare = options.varied ? rng.uniform(0.15, 0.5) : kPlainNumberTop;
        const cv::Point at(conditioned_ ? static_cast<int>(lead) : static_cast<int>(1.1 * size.width),
                           std::min(static_cast<int>(sideHeight * topShare), sideHeight - line.mask.rows - 4));
        std::vector<PaintItem> items;
        std::vector<Group> groups;
        const auto addGroup = [&](const PaintedLine& l, cv::Point where, bool isNumber, double inkScale) {
            items.push_back({l.mask, where, inkScale});
            Group g;
            g.text = l.digits;
            g.isNumber = isNumber;
            for (const cv::Rect2d& b : l.digitBoxes) {
                g.digitBoxes.push_back(b + cv::Point2d(where));
            }
            groups.push_back(g);
        };
        if (!mains[c].empty()) {
            addGroup(line, at, options.negative == SceneNegative::None, 1.0);
            if (twice) {
                LineStyle again = mainStyle;
                again.strokeSeed += 1000;  // a hand paints the second copy anew
                const PaintedLine copy = font.IsHand() ? PaintDigitLine(font, mains[c], again) : line;
                addGroup(copy, at + cv::Point(static_cast<int>(twiceOffset), 0), options.negative == SceneNegative::None, 1.0);
            }
        } else if (pattern) {
            items.push_back({line.mask, at, 1.0});
        }
        const std::size_t mainGroups = groups.size();
        const bool wantWords = options.negative == SceneNegative::SixDigitsWords ||
                               (options.varied && options.negative != SceneNegative::Blank && rng.uniform(0.0, 1.0) < 0.4);
        if (wantWords && !words.Empty()) {
            const cv::Mat word = ScaledMask(words.Mask(static_cast<std::size_t>(rng.uniform(0, static_cast<int>(words.Size())))),
                                            h * rng.uniform(0.5, 1.0));
            const int x = at.x + line.mask.cols + static_cast<int>(h * rng.uniform(1.0, 2.5));
            items.push_back({word, cv::Point(x, at.y + (line.mask.rows - word.rows) / 2), 1.0});
        }
        if (options.varied && options.negative != SceneNegative::Blank) {
            if (rng.uniform(0.0, 1.0) < 0.5) {
                // A smaller second line below the number (tare, capacity).
                LineStyle small = style;
                small.digitHeight = std::max(8.0, h * rng.uniform(0.45, 0.7));
                const PaintedLine second = PaintDigitLine(font, RandomDigitGroup(rng, rng.uniform(3, 7)), small);
                const cv::Point where(at.x + static_cast<int>(rng.uniform(0.0, 0.4) * line.mask.cols),
                                      at.y + line.mask.rows + static_cast<int>(h * rng.uniform(0.5, 0.9)));
                if (where.y + second.mask.rows < sideHeight - 2) {
                    addGroup(second, where, false, rng.uniform(0.8, 1.0));
                }
            }
            if (rng.uniform(0.0, 1.0) < 0.35) {
                // Another group away from the number, 6 or 7 digits or short.
                const int length = rng.uniform(0.0, 1.0) < 0.5 ? rng.uniform(6, 8) : rng.uniform(2, 5);
                LineStyle other = style;
                other.digitHeight = h * rng.uniform(0.6, 1.0);
                const PaintedLine group = PaintDigitLine(font, RandomDigitGroup(rng, length), other);
                const cv::Point where(std::max(2, at.x - group.mask.cols - static_cast<int>(0.45 * size.width)),
                                      std::max(2, std::min(sideHeight - group.mask.rows - 2, at.y + static_cast<int>(rng.uniform(-0.5, 0.5) * h))));
                addGroup(group, where, false, 1.0);
            }
        }
        PaintLook sideLook = look;
        if (options.negative == SceneNegative::Blank) {
            sideLook.rivets = true;
            sideLook.stripe = true;
        }
        sides.push_back(PaintCarriageSide(cv::Size(sideWidth, sideHeight), sideLook, items, 0.3 * h, noise_, rng));
        std::vector<cv::Rect2d> mainBoxes;
        for (std::size_t g = 0; g < mainGroups; ++g) {
            mainBoxes.insert(mainBoxes.end(), groups[g].digitBoxes.begin(), groups[g].digitBoxes.end());
        }
        if (options.Has(SceneCondition::Dirt)) {
            AddDirtOverDigits(sides.back(), mainBoxes, look.panel ? look.panelPaint : look.paint, cond);
        }
        if (options.Has(SceneCondition::Graffiti)) {
            AddGraffitiOverDigits(sides.back(), mainBoxes, cond);
        }
        sideGroups.push_back(groups);
        mainLefts.push_back(at.x);
        if (options.negative == SceneNegative::None) {
            numbers_.push_back(mains[c]);
        }
    }

    // The train: the sides one after another with a coupling gap.
    const int gap = carriages > 1 ? static_cast<int>(size.width * (options.varied ? rng.uniform(0.12, 0.3) : 0.2)) : 0;
    int stripWidth = 0;
    for (const cv::Mat& s : sides) {
        stripWidth += s.cols;
    }
    stripWidth += gap * (carriages - 1);
    strip_ = cv::Mat::zeros(sideHeight, stripWidth, CV_32F);
    stripMask_ = cv::Mat::zeros(sideHeight, stripWidth, CV_8U);
    std::vector<double> mainInStrip;
    std::vector<double> lastCopyInStrip;
    int x = 0;
    for (int c = 0; c < carriages; ++c) {
        sides[c].copyTo(strip_(cv::Rect(x, 0, sides[c].cols, sideHeight)));
        stripMask_(cv::Rect(x, 0, sides[c].cols, sideHeight)).setTo(255);
        for (Group g : sideGroups[c]) {
            for (cv::Rect2d& b : g.digitBoxes) {
                b.x += x;
            }
            groups_.push_back(g);
        }
        mainInStrip.push_back(x + mainLefts[c]);
        lastCopyInStrip.push_back(x + mainLefts[c] + twiceOffsets[c]);
        x += sides[c].cols + gap;
    }

    // Motion: where the strip's left edge is in the first and last frame.
    const double w = size.width;
    const double mw = mainWidth;
    if (!conditioned_) switch (options.motion) {
    case SceneMotion::Pass:
        firstLeft_ = w - margin - mw - mainInStrip[0];
        lastLeft_ = margin - mainInStrip[0];
        break;
    case SceneMotion::EnterLeave:
        firstLeft_ = w + 0.05 * w - mainInStrip[0];
        lastLeft_ = -mw - 0.05 * w - mainInStrip[0];
        break;
    case SceneMotion::TwoCarriages:
        firstLeft_ = w - margin - mw - mainInStrip[0];
        lastLeft_ = margin - mainInStrip[1];
        break;
    case SceneMotion::Static:
        firstLeft_ = lastLeft_ = 0.5 * (w - mw) - mainInStrip[0];
        break;
    }

    cv::RNG backRng(PartSeed(sample.seed, 2));
    background_ = Background(size, noise_, backRng);
    if (fast_) {
        // In view for 5-8 frames, but whole on at least three of them (a
        // number is confirmed on three frames): a number wide for its frame
        // passes a little slower.
        fastSpeed_ = -std::min((size.width + mainWidth) / fastFrames, (size.width - mainWidth) / kFastWholeFrames);
    }

    // The camera holds still: tilt, perspective, blur and light are the
    // same in every frame, only the noise changes.
    cv::RNG camRng(PartSeed(sample.seed, 3));
    if (options.varied) {
        camera_ = RandomCameraLook(camRng, h);
        // Carriage colours: grey, brown-red, green, blue, with a little spread.
        const cv::Vec3d casts[] = {{1.0, 1.0, 1.0}, {0.8, 0.9, 1.15}, {0.9, 1.06, 0.9}, {1.12, 1.0, 0.85}};
        tint_ = casts[camRng.uniform(0, 4)];
        for (int c = 0; c < 3; ++c) {
            tint_[c] *= camRng.uniform(0.96, 1.04);
        }
    } else {
        camera_ = CameraLook{};
        camera_.defocus = 0.7;
        camera_.noise = 3.0;
        tint_ = sample.lightDigits ? cv::Vec3d(0.92, 1.05, 0.95) : cv::Vec3d(1.0, 0.98, 0.94);
    }
    if (options.jpegQuality > 0) {
        camera_.jpegQuality = options.jpegQuality;
    }
    warp_ = camera_.tiltDegrees != 0.0 || camera_.perspective > 0.0;
    homography_ = warp_ ? CameraHomography(camera_, size, camRng) : cv::Matx33d::eye();
    gain_ = cv::Mat::ones(size, CV_32F);
    if (camera_.gainSpread > 0.0) {
        cv::Mat coarse(3, 4, CV_32F);
        camRng.fill(coarse, cv::RNG::UNIFORM, 1.0 - camera_.gainSpread, 1.0 + camera_.gainSpread);
        cv::resize(coarse, gain_, size, 0, 0, cv::INTER_CUBIC);
    }
    camera_.gainSpread = 0.0;  // applied once per frame through gain_
    if (conditioned_) {
        double digitWidth = 0.0;
        int digitCount = 0;
        for (const Group& g : groups_) {
            for (const cv::Rect2d& b : g.digitBoxes) {
                digitWidth += b.width;
                ++digitCount;
            }
            if (digitCount > 0) {
                break;  // the first group is the main one
            }
        }
        digitWidth = digitCount > 0 ? digitWidth / digitCount : 0.6 * h;
        double row = stripTop_ + 0.3 * sideHeight;
        if (!groups_.empty() && !groups_.front().digitBoxes.empty()) {
            const cv::Rect2d& b = groups_.front().digitBoxes.front();
            row = stripTop_ + b.y + 0.5 * b.height;
        }
        return SetUpConditions(mainInStrip, lastCopyInStrip, mainWidth, row, digitWidth, cond);
    }
    return "";
}

int VariedScene::StripLeft(int index) const {
    return static_cast<int>(std::lround(StripPosition(index)));
}

double VariedScene::StripPosition(double t) const {
    if (fast_) {
        return fastEntry_ + fastSpeed_ * (t - fastStart_);
    }
    const double share = sample_.frames > 1 ? t / (sample_.frames - 1) : 0.5;
    return firstLeft_ + (lastLeft_ - firstLeft_) * share;
}

std::string VariedScene::SetUpConditions(const std::vector<double>& firstCopy, const std::vector<double>& lastCopy,
                                         double numberWidth, double numberRow, double digitWidth, cv::RNG& rng) {
    const cv::Size size = sample_.size;
    const double w = size.width;
    const int margin = std::max(8, size.width / 40);
    stripMask_.convertTo(stripCover_, CV_32F, 1.0 / 255.0);

    // The camera's angle to the side.
    if (options_.Has(SceneCondition::Perspective)) {
        double yaw = options_.yawDegrees >= 0.0 ? options_.yawDegrees
                                                : rng.uniform(25.0, 45.0) * (rng.uniform(0.0, 1.0) < 0.5 ? -1.0 : 1.0);
        const double roll = std::abs(options_.rollDegrees) <= 8.0 ? options_.rollDegrees : rng.uniform(-8.0, 8.0);
        const double distance = w * rng.uniform(1.0, 1.8);
        perspective_ = YawRollHomography(yaw, roll, distance, cv::Point2d(0.5 * w, numberRow));
    }
    const cv::Matx33d inverse = perspective_.inv();
    const double rowOut = MapPoints(perspective_, {cv::Point2d(0.5 * w, numberRow)})[0].y;
    // Head-on x of the frame point (x, number row).
    const auto headOn = [&](double x) { return MapPoints(inverse, {cv::Point2d(x, rowOut)})[0].x; };
    const double mw = numberWidth;
    switch (options_.motion) {
    case SceneMotion::Pass:
        firstLeft_ = headOn(w - margin) - mw - firstCopy[0];
        lastLeft_ = headOn(margin) - lastCopy[0];
        break;
    case SceneMotion::EnterLeave:
        firstLeft_ = headOn(1.05 * w) - firstCopy[0];
        lastLeft_ = headOn(-0.05 * w) - mw - lastCopy[0];
        break;
    case SceneMotion::TwoCarriages:
        firstLeft_ = headOn(w - margin) - mw - firstCopy[0];
        lastLeft_ = headOn(margin) - lastCopy[1];
        break;
    case SceneMotion::Static:
        firstLeft_ = lastLeft_ = headOn(0.5 * w) - 0.5 * (firstCopy[0] + lastCopy[0] + mw);
        break;
    }
    if (fast_) {
        const double entry = headOn(w) - firstCopy[0];
        const double exit = headOn(0.0) - mw - lastCopy[0];
        const double frames = (entry - exit) / -fastSpeed_;
        fastSpeed_ = -(entry - exit) / std::max(1.0, frames);
        fastStart_ = std::max(0.0, 0.5 * (sample_.frames - 1 - frames));
        fastEntry_ = entry;
    }
    const std::string where = " a frame " + std::to_string(size.width) + "x" + std::to_string(size.height) +
                              " at digit height " + std::to_string(sample_.digitHeight) +
                              (options_.Has(SceneCondition::Perspective) ? " seen at this angle" : "");
    if (!fast_ && options_.motion != SceneMotion::Static && options_.motion != SceneMotion::EnterLeave &&
        firstLeft_ < lastLeft_) {
        return "the number does not fit" + where;
    }
    // Seen at the middle of the frame, the number must fit across and down.
    if (!groups_.empty()) {
        const double saveFirst = firstLeft_;
        const double saveLast = lastLeft_;
        const bool saveFast = fast_;
        fast_ = false;
        firstLeft_ = lastLeft_ = headOn(0.5 * w) - 0.5 * mw - firstCopy[0];
        const cv::Rect box = GroupBox(groups_.front(), 0.0);
        firstLeft_ = saveFirst;
        lastLeft_ = saveLast;
        fast_ = saveFast;
        if (box.y < 0 || box.br().y > size.height || box.width > size.width - 2 * margin) {
            return "the number does not fit" + where;
        }
    }

    // Readout: the pass's speed on screen, for the rolling shutter.
    const double t0 = fast_ ? fastStart_ : 0.0;
    const double t1 = fast_ ? fastStart_ + 1.0 : std::max(1.0, sample_.frames - 1.0);
    const double x0 = StripPointInFrame(cv::Point2d(firstCopy[0], numberRow - stripTop_), t0).x;
    const double x1 = StripPointInFrame(cv::Point2d(firstCopy[0], numberRow - stripTop_), t1).x;
    const double speed = (x1 - x0) / std::max(1e-9, t1 - t0);
    if (options_.Has(SceneCondition::RollingShutter)) {
        // The bottom row is read 0.6-1 frame after the top one.
        rollingShift_ = speed * rng.uniform(0.6, 1.0);
        // The strip is drawn wider by the largest shift on either side,
        // then each row is read from its own place in it.
        rollingPad_ = static_cast<int>(std::ceil(std::abs(rollingShift_))) + 2;
        rollingMapX_.create(size, CV_32F);
        rollingMapY_.create(size, CV_32F);
        for (int y = 0; y < size.height; ++y) {
            const float shift = static_cast<float>(rollingShift_ * y / size.height);
            float* mx = rollingMapX_.ptr<float>(y);
            float* my = rollingMapY_.ptr<float>(y);
            for (int x = 0; x < size.width; ++x) {
                mx[x] = static_cast<float>(x + rollingPad_) - shift;
                my[x] = static_cast<float>(y);
            }
        }
    }
    interlaced_ = options_.Has(SceneCondition::Interlaced);

    if (options_.Has(SceneCondition::MotionBlur)) {
        camera_.motionBlur = std::max(1.0, rng.uniform(0.35, 1.0) * digitWidth / 3.0);
    }
    if (options_.Has(SceneCondition::Pole)) {
        // A mast between the camera and the track, which the number passes.
        const double when = (fast_ ? fastStart_ : 0.0) +
                            rng.uniform(0.3, 0.7) * (fast_ ? (headOn(w) - headOn(0.0)) / -fastSpeed_ : sample_.frames - 1.0);
        const double centre = StripPointInFrame(cv::Point2d(firstCopy[0] + 0.5 * mw, numberRow - stripTop_), when).x;
        const int width = std::max(3, static_cast<int>(std::lround(digitWidth * rng.uniform(0.5, 1.2))));
        pole_ = cv::Rect(static_cast<int>(std::lround(centre)) - width / 2, 0, width, size.height) &
                cv::Rect(0, 0, size.width, size.height);
        poleGrey_ = rng.uniform(35.0, 80.0);
    }
    if (options_.Has(SceneCondition::Infrared)) {
        infrared_ = true;
        const InfraredLook look = RandomInfraredLook(rng);
        ApplyInfraredPaint(strip_, look);
        strip_ = strip_.mul(stripCover_);
        background_ = background_ * 0.45 + look.foliage * 0.55;
        infraredFlatten_ = look.flatten;
        tint_ = cv::Vec3d(1.0, 1.0, 1.0);
        camera_.noise = std::max(camera_.noise, rng.uniform(4.0, 8.0));
    }
    if (options_.Has(SceneCondition::Night)) {
        night_ = true;
        background_ *= 0.3;  // the sky and the land beyond the lamp's reach are dark
        const NightLight light = RandomNightLight(size, rng);
        nightField_ = NightLightField(size, light, 3);
        nightGlare_ = NightGlare(size, light, 3);
        camera_.noise = std::max(camera_.noise, rng.uniform(9.0, 16.0));
    }
    rain_ = options_.Has(SceneCondition::Rain);
    snow_ = options_.Has(SceneCondition::Snow);
    if (rain_ || snow_) {
        haze_ = rng.uniform(0.12, 0.3);
        rainSlant_ = rng.uniform(-15.0, 15.0);
    }
    return "";
}

cv::Point2d VariedScene::StripPointInFrame(const cv::Point2d& p, double t) const {
    cv::Point2d q = MapPoints(perspective_, {p + cv::Point2d(StripPosition(t), stripTop_)})[0];
    q.x += rollingShift_ * q.y / sample_.size.height;
    return q;
}

cv::Rect VariedScene::GroupBox(const Group& g, double t) const {
    std::vector<cv::Point2d> corners;
    const std::vector<double> times = interlaced_ ? std::vector<double>{t, t + 0.5} : std::vector<double>{t};
    for (double when : times) {
        for (const cv::Rect2d& b : g.digitBoxes) {
            for (const cv::Point2d& p : {b.tl(), b.tl() + cv::Point2d(b.width, 0), b.br(), b.tl() + cv::Point2d(0, b.height)}) {
                corners.push_back(StripPointInFrame(p, when));
            }
        }
    }
    return CoveringPixels(BoundsOfPoints(MapPoints(homography_, corners)));
}

void VariedScene::StripLayer(double t, cv::Mat& grey, cv::Mat& cover) const {
    const double left = StripPosition(t);
    const cv::Matx33d place(1.0, 0.0, left, 0.0, 1.0, stripTop_, 0.0, 0.0, 1.0);
    const cv::Matx33d padded(1.0, 0.0, rollingPad_, 0.0, 1.0, 0.0, 0.0, 0.0, 1.0);
    const cv::Matx33d m = padded * perspective_ * place;
    const cv::Size size(sample_.size.width + 2 * rollingPad_, sample_.size.height);
    cv::warpPerspective(strip_, grey, cv::Mat(m), size, cv::INTER_LINEAR, cv::BORDER_CONSTANT, cv::Scalar(0));
    cv::warpPerspective(stripCover_, cover, cv::Mat(m), size, cv::INTER_LINEAR, cv::BORDER_CONSTANT, cv::Scalar(0));
    if (!rollingMapX_.empty()) {
        cv::remap(grey, grey, rollingMapX_, rollingMapY_, cv::INTER_LINEAR, cv::BORDER_CONSTANT, cv::Scalar(0));
        cv::remap(cover, cover, rollingMapX_, rollingMapY_, cv::INTER_LINEAR, cv::BORDER_CONSTANT, cv::Scalar(0));
    }
}

cv::Mat VariedScene::LitAndWarped(const cv::Mat& grey) const {
    const cv::Mat lit = grey.mul(gain_);
    cv::Mat grey8;
    lit.convertTo(grey8, CV_8U);
    if (warp_) {
        cv::Mat warped;
        cv::warpPerspective(grey8, warped, cv::Mat(homography_), grey8.size(), cv::INTER_LINEAR, cv::BORDER_REPLICATE);
        grey8 = warped;
    }
    return grey8;
}

cv::Mat VariedScene::ConditionedFrame(int index) const {
    cv::Mat out = ThroughLens(index, index);
    if (interlaced_) {
        // The odd rows are the second field, taken half a frame later, each
        // field through the lens on its own: the rows are combed along the
        // rows of the picture taken, whatever the camera's angle and blur.
        const cv::Mat later = ThroughLens(index + 0.5, index);
        for (int y = 1; y < out.rows; y += 2) {
            later.row(y).copyTo(out.row(y));
        }
    }
    cv::RNG frameRng(PartSeed(sample_.seed, 1000 + static_cast<std::uint64_t>(index)));
    ApplySensor(out, camera_, noise_, frameRng);
    return out;
}

cv::Mat VariedScene::ThroughLens(double t, int index) const {
    cv::Mat layer;
    cv::Mat cover;
    StripLayer(t, layer, cover);
    cv::Mat grey = background_.mul(1.0 - cover) + layer;
    cv::Mat grey8 = LitAndWarped(grey);
    if (pole_.area() > 0) {
        // A round mast: lit on one side.
        for (int x = pole_.x; x < pole_.br().x; ++x) {
            const double across = (x - pole_.x + 0.5) / pole_.width;
            const double shade = poleGrey_ * (0.7 + 0.6 * std::sin(CV_PI * across));
            grey8.col(x).setTo(cv::Scalar(std::clamp(shade, 0.0, 255.0)));
        }
    }
    cv::Mat grey32;
    grey8.convertTo(grey32, CV_32F);
    std::vector<cv::Mat> channels{grey32 * tint_[0], grey32 * tint_[1], grey32 * tint_[2]};
    cv::Mat bgr;
    cv::merge(channels, bgr);
    const double scale = sample_.size.width / 640.0;
    if (infrared_) {
        bgr.convertTo(bgr, -1, infraredFlatten_, 128.0 * (1.0 - infraredFlatten_));
        AddBloom(bgr, 200.0, 6.0 * scale, 0.6);
    }
    if (night_) {
        bgr = bgr.mul(nightField_) + nightGlare_;
        AddBloom(bgr, 210.0, 10.0 * scale, 0.8);
    }
    cv::RNG weatherRng(PartSeed(sample_.seed, 50000 + static_cast<std::uint64_t>(index)));
    if (rain_) {
        AddRain(bgr, haze_, rainSlant_, weatherRng);
    }
    if (snow_) {
        AddSnow(bgr, haze_, weatherRng);
    }
    cv::Mat out;
    bgr.convertTo(out, CV_8UC3);
    ApplyLensBlur(out, camera_);
    return out;
}

std::vector<TruthObject> VariedScene::ConditionedObjects(int index) const {
    std::vector<TruthObject> objects;
    const cv::Rect frame(0, 0, sample_.size.width, sample_.size.height);
    for (const Group& g : groups_) {
        const cv::Rect whole = GroupBox(g, index);
        const cv::Rect seen = whole & frame;
        if (seen.area() == 0) {
            continue;
        }
        TruthObject o{g.text, g.isNumber, seen, seen == whole};
        o.occluded = (pole_ & seen).area() > 0;
        objects.push_back(o);
    }
    return objects;
}

cv::Mat VariedScene::Frame(int index) const {
    if (conditioned_) {
        return ConditionedFrame(index);
    }
    cv::Mat grey = background_.clone();
    const int left = StripLeft(index);
    const cv::Rect onFrame = cv::Rect(left, stripTop_, strip_.cols, strip_.rows) & cv::Rect(0, 0, grey.cols, grey.rows);
    if (onFrame.area() > 0) {
        const cv::Rect inStrip = onFrame - cv::Point(left, stripTop_);
        strip_(inStrip).copyTo(grey(onFrame), stripMask_(inStrip));
    }
    cv::Mat grey8 = LitAndWarped(grey);
    std::vector<cv::Mat> channels{grey8 * tint_[0], grey8 * tint_[1], grey8 * tint_[2]};
    cv::Mat bgr;
    cv::merge(channels, bgr);
    cv::RNG frameRng(PartSeed(sample_.seed, 1000 + static_cast<std::uint64_t>(index)));
    ApplyOptics(bgr, camera_, noise_, frameRng);
    return bgr;
}

std::vector<TruthObject> VariedScene::Objects(int index) const {
    if (conditioned_) {
        return ConditionedObjects(index);
    }
    std::vector<TruthObject> objects;
    const cv::Point2d offset(StripLeft(index), stripTop_);
    const cv::Rect frame(0, 0, sample_.size.width, sample_.size.height);
    for (const Group& g : groups_) {
        std::vector<cv::Point2d> corners;
        for (const cv::Rect2d& b : g.digitBoxes) {
            const cv::Point2d tl = b.tl() + offset;
            for (const cv::Point2d& p : {tl, tl + cv::Point2d(b.width, 0), tl + cv::Point2d(b.width, b.height),
                                         tl + cv::Point2d(0, b.height)}) {
                corners.push_back(p);
            }
        }
        const cv::Rect whole = CoveringPixels(BoundsOfPoints(MapPoints(homography_, corners)));
        const cv::Rect seen = whole & frame;
        if (seen.area() == 0) {
            continue;
        }
        objects.push_back({g.text, g.isNumber, seen, seen == whole});
    }
    return objects;
}

}  // namespace kalvero
