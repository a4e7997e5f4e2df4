#include "tools/VariedScene.h"

#include <algorithm>
#include <cmath>

#include <opencv2/imgproc.hpp>

#include "tools/CarriageNumbers.h"
#include "tools/CarriagePainting.h"
#include "tools/DigitFonts.h"
#include "tools/DigitLine.h"
#include "tools/PaintedWords.h"

namespace kalvero {

namespace {

constexpr double kStripTopFraction = 0.20;
constexpr double kStripHeightFraction = 0.64;
constexpr double kPlainNumberTop = 0.26;  // of the carriage side's height
constexpr const char* kWordFont = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";

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

    // The carriages' texts: carriage numbers, or what a negative carries.
    std::vector<std::string> mains;
    const int carriages = options.motion == SceneMotion::TwoCarriages ? 2 : 1;
    for (int c = 0; c < carriages; ++c) {
        if (options.negative == SceneNegative::SevenDigits) {
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
    const PaintLook look = options.varied ? RandomPaintLook(rng) : PlainLook(sample.lightDigits);
    const int margin = std::max(8, size.width / 40);

    // Each carriage side: the main text near the middle, extras around it.
    std::vector<cv::Mat> sides;
    std::vector<std::vector<Group>> sideGroups;
    std::vector<double> mainLefts;  // x of the main text on its side
    double mainWidth = 0.0;
    for (int c = 0; c < carriages; ++c) {
        const PaintedLine line = PaintDigitLine(font, mains[c].empty() ? "0" : mains[c], style);
        mainWidth = std::max(mainWidth, line.Box().width);
        if (line.Box().width + 2 * margin > size.width) {
            return "the number does not fit a frame " + std::to_string(size.width) + " pixels wide at digit height " +
                   std::to_string(sample.digitHeight);
        }
        const int sideWidth = static_cast<int>(line.mask.cols + 2.2 * size.width);
        const double topShare = options.varied ? rng.uniform(0.15, 0.5) : kPlainNumberTop;
        const cv::Point at(static_cast<int>(1.1 * size.width),
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
        }
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
        x += sides[c].cols + gap;
    }

    // Motion: where the strip's left edge is in the first and last frame.
    const double w = size.width;
    const double mw = mainWidth;
    switch (options.motion) {
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
    return "";
}

int VariedScene::StripLeft(int index) const {
    const double t = sample_.frames > 1 ? static_cast<double>(index) / (sample_.frames - 1) : 0.5;
    return static_cast<int>(std::lround(firstLeft_ + (lastLeft_ - firstLeft_) * t));
}

cv::Mat VariedScene::Frame(int index) const {
    cv::Mat grey = background_.clone();
    const int left = StripLeft(index);
    const cv::Rect onFrame = cv::Rect(left, stripTop_, strip_.cols, strip_.rows) & cv::Rect(0, 0, grey.cols, grey.rows);
    if (onFrame.area() > 0) {
        const cv::Rect inStrip = onFrame - cv::Point(left, stripTop_);
        strip_(inStrip).copyTo(grey(onFrame), stripMask_(inStrip));
    }
    grey = grey.mul(gain_);
    cv::Mat grey8;
    grey.convertTo(grey8, CV_8U);
    if (warp_) {
        cv::Mat warped;
        cv::warpPerspective(grey8, warped, cv::Mat(homography_), grey8.size(), cv::INTER_LINEAR, cv::BORDER_REPLICATE);
        grey8 = warped;
    }
    std::vector<cv::Mat> channels{grey8 * tint_[0], grey8 * tint_[1], grey8 * tint_[2]};
    cv::Mat bgr;
    cv::merge(channels, bgr);
    cv::RNG frameRng(PartSeed(sample_.seed, 1000 + static_cast<std::uint64_t>(index)));
    ApplyOptics(bgr, camera_, noise_, frameRng);
    return bgr;
}

std::vector<TruthObject> VariedScene::Objects(int index) const {
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
        const std::vector<cv::Point2d> mapped = MapPoints(homography_, corners);
        double x0 = 1e30, y0 = 1e30, x1 = -1e30, y1 = -1e30;
        for (const cv::Point2d& p : mapped) {
            x0 = std::min(x0, p.x);
            y0 = std::min(y0, p.y);
            x1 = std::max(x1, p.x);
            y1 = std::max(y1, p.y);
        }
        const cv::Rect whole(static_cast<int>(std::floor(x0)), static_cast<int>(std::floor(y0)),
                             static_cast<int>(std::ceil(x1) - std::floor(x0)), static_cast<int>(std::ceil(y1) - std::floor(y0)));
        const cv::Rect seen = whole & frame;
        if (seen.area() == 0) {
            continue;
        }
        objects.push_back({g.text, g.isNumber, seen, seen == whole});
    }
    return objects;
}

}  // namespace kalvero
