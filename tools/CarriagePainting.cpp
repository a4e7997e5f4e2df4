#include "tools/CarriagePainting.h"

#include <algorithm>
#include <cmath>

#include <opencv2/imgproc.hpp>

#include "tools/CarriageSurface.h"

namespace kalvero {

namespace {

bool Chance(cv::RNG& rng, double p) { return rng.uniform(0.0, 1.0) < p; }

// True when rows [top, top + height) cross any kept box.
bool CrossesRows(const std::vector<cv::Rect>& kept, int top, int height) {
    for (const cv::Rect& r : kept) {
        if (top < r.br().y && top + height > r.y) {
            return true;
        }
    }
    return false;
}

bool CrossesColumn(const std::vector<cv::Rect>& kept, int x) {
    for (const cv::Rect& r : kept) {
        if (x >= r.x - 2 && x < r.br().x + 2) {
            return true;
        }
    }
    return false;
}

// A free row band of `height` rows, or -1 after a few tries.
int FreeRow(const std::vector<cv::Rect>& kept, int rows, int height, cv::RNG& rng) {
    for (int attempt = 0; attempt < 8; ++attempt) {
        const int top = rng.uniform(0, std::max(1, rows - height));
        if (!CrossesRows(kept, top, height)) {
            return top;
        }
    }
    return -1;
}

}  // namespace

PaintLook RandomPaintLook(cv::RNG& rng) {
    PaintLook look;
    look.lightDigits = Chance(rng, 0.55);
    const double contrast = rng.uniform(45.0, 170.0);
    if (look.lightDigits) {
        look.paint = rng.uniform(15.0, std::max(16.0, 245.0 - contrast));
        look.ink = std::min(250.0, look.paint + contrast);
    } else {
        look.paint = rng.uniform(std::min(239.0, 10.0 + contrast), 240.0);
        look.ink = std::max(5.0, look.paint - contrast);
    }
    look.texture = rng.uniform(2.0, 18.0);
    look.grime = Chance(rng, 0.6) ? rng.uniform(0.1, 1.0) : 0.0;
    look.wear = Chance(rng, 0.35) ? rng.uniform(0.2, 0.9) : 0.0;
    look.panel = Chance(rng, 0.3);
    // The panel carries the chosen paint; the side around it differs.
    look.panelPaint = look.paint;
    if (look.panel) {
        look.paint = std::clamp(look.paint + (Chance(rng, 0.5) ? 1 : -1) * rng.uniform(30.0, 90.0), 5.0, 250.0);
    }
    look.rivets = Chance(rng, 0.35);
    look.seams = Chance(rng, 0.4);
    look.ribs = Chance(rng, 0.3);
    look.stripe = Chance(rng, 0.3);
    look.stripePaint = Chance(rng, 0.5) ? look.ink : rng.uniform(10.0, 245.0);
    return look;
}

void FadePaint(PaintLook& look, double contrast) {
    const double under = look.panel ? look.panelPaint : look.paint;
    double sign = look.lightDigits ? 1.0 : -1.0;
    if (under + sign * contrast < 0.0 || under + sign * contrast > 255.0) {
        sign = -sign;
    }
    look.ink = under + sign * contrast;
    look.wear = std::min(look.wear, 0.3);
    // The texture is a Gaussian field of this deviation: a sixth of the
    // contrast changes the paint by about a quarter of it across a number.
    look.texture = std::min(look.texture, contrast / 6.0);
}

cv::Mat PaintCarriageSide(cv::Size size, const PaintLook& look, const std::vector<PaintItem>& items,
                          double clearance, const NoiseTile& noise, cv::RNG& rng) {
    cv::Mat grey(size, CV_32F);
    PaintTexture(grey, look.paint, look.texture, noise, rng);

    std::vector<cv::Rect> kept;
    const int grow = static_cast<int>(std::lround(clearance));
    for (const PaintItem& item : items) {
        kept.emplace_back(item.at.x - grow, item.at.y - grow, item.mask.cols + 2 * grow, item.mask.rows + 2 * grow);
    }
    if (look.panel && !items.empty()) {
        const PaintItem& first = items.front();
        const int mx = static_cast<int>(std::lround(first.mask.rows * rng.uniform(0.3, 1.2)));
        const int my = static_cast<int>(std::lround(first.mask.rows * rng.uniform(0.25, 0.7)));
        const cv::Rect panel = cv::Rect(first.at.x - mx, first.at.y - my, first.mask.cols + 2 * mx,
                                        first.mask.rows + 2 * my) &
                               cv::Rect(0, 0, size.width, size.height);
        if (panel.area() > 0) {
            cv::Mat area = grey(panel);
            area += look.panelPaint - look.paint;
            // The panel's border is where a detector must not stop; keep
            // decorations off it too.
            kept.push_back(panel);
        }
    }
    const double unit = items.empty() ? std::max(12.0, size.height / 4.0) : std::max(8, items.front().mask.rows);
    if (look.seams) {
        const int spacing = std::max(20, static_cast<int>(unit * rng.uniform(2.0, 8.0)));
        for (int x = rng.uniform(0, spacing); x < size.width; x += spacing) {
            if (!CrossesColumn(kept, x)) {
                DrawSeam(grey, x, rng.uniform(15.0, 45.0));
            }
        }
    }
    if (look.ribs) {
        const int count = rng.uniform(1, 4);
        for (int i = 0; i < count; ++i) {
            const int t = std::max(2, static_cast<int>(unit * rng.uniform(0.12, 0.4)));
            const int top = FreeRow(kept, size.height, t, rng);
            if (top >= 0) {
                DrawRib(grey, top + t / 2, t, rng.uniform(15.0, 45.0));
            }
        }
    }
    if (look.stripe) {
        const int t = std::max(2, static_cast<int>(unit * rng.uniform(0.1, 0.6)));
        const int top = FreeRow(kept, size.height, t, rng);
        if (top >= 0) {
            DrawStripe(grey, top, t, look.stripePaint, noise, rng);
            kept.emplace_back(0, top, size.width, t);
        }
    }
    if (look.rivets) {
        const double r = std::max(1.0, unit * rng.uniform(0.05, 0.12));
        const int rows = rng.uniform(1, 3);
        for (int i = 0; i < rows; ++i) {
            const int band = static_cast<int>(std::ceil(3 * r));
            const int top = FreeRow(kept, size.height, band, rng);
            if (top < 0) {
                continue;
            }
            const double step = unit * rng.uniform(0.6, 2.0);
            const double x0 = rng.uniform(0.0, step);
            const int count = static_cast<int>(size.width / step) + 1;
            DrawRivets(grey, cv::Point2d(x0, top + 1.5 * r), cv::Point2d(step, 0.0), count, r, rng);
        }
    }
    // Dirt settles on the digits as on the paint, so it darkens both alike
    // and leaves the paint's contrast to the digits as it was.
    const cv::Mat dirt = GrimeField(size, look.grime, rng);
    const double paintUnder = look.panel ? look.panelPaint : look.paint;
    for (const PaintItem& item : items) {
        const double ink = paintUnder + (look.ink - paintUnder) * item.inkScale;
        PaintInk(grey, item.mask, item.at, ink, look.wear, noise, rng);
    }
    if (!dirt.empty()) {
        grey -= dirt;
    }
    return grey;
}

}  // namespace kalvero
