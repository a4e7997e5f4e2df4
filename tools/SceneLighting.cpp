#include "tools/SceneLighting.h"

#include <algorithm>
#include <cmath>

#include <opencv2/imgproc.hpp>

namespace kalvero {

namespace {

// Distance of every pixel from `p`, 32-bit float.
cv::Mat DistanceFrom(cv::Size size, cv::Point2d p) {
    cv::Mat d(size, CV_32F);
    for (int y = 0; y < size.height; ++y) {
        float* row = d.ptr<float>(y);
        const double dy = y - p.y;
        for (int x = 0; x < size.width; ++x) {
            const double dx = x - p.x;
            row[x] = static_cast<float>(std::sqrt(dx * dx + dy * dy));
        }
    }
    return d;
}

cv::Mat Coloured(const cv::Mat& grey, const cv::Vec3d& colour, int channels) {
    if (channels == 1) {
        return grey * ((colour[0] + colour[1] + colour[2]) / 3.0);
    }
    std::vector<cv::Mat> planes{grey * colour[0], grey * colour[1], grey * colour[2]};
    cv::Mat out;
    cv::merge(planes, out);
    return out;
}

}  // namespace

NightLight RandomNightLight(cv::Size size, cv::RNG& rng) {
    NightLight light;
    const bool sodium = rng.uniform(0.0, 1.0) < 0.5;
    light.cast = sodium ? cv::Vec3d(0.45, 0.78, 1.18) : cv::Vec3d(1.12, 1.04, 0.95);
    light.ambient = rng.uniform(0.12, 0.25);
    light.lamp = cv::Point2d(size.width * rng.uniform(0.05, 0.95), size.height * rng.uniform(-0.12, 0.2));
    light.reach = size.width * rng.uniform(0.3, 0.6);
    light.strength = rng.uniform(0.7, 1.2);
    light.glareRadius = std::max(3.0, size.width * rng.uniform(0.008, 0.025));
    return light;
}

cv::Mat NightLightField(cv::Size size, const NightLight& light, int channels) {
    cv::Mat d = DistanceFrom(size, light.lamp) / light.reach;
    cv::Mat falloff = d.mul(d) + 1.0;
    cv::divide(light.strength, falloff, falloff);
    return Coloured(falloff + light.ambient, light.cast, channels);
}

cv::Mat NightGlare(cv::Size size, const NightLight& light, int channels) {
    const cv::Mat d = DistanceFrom(size, light.lamp);
    cv::Mat core = d / light.glareRadius;
    core = -core.mul(core);
    cv::exp(core, core);
    cv::Mat halo = -d / (4.0 * light.glareRadius);
    cv::exp(halo, halo);
    const cv::Mat glare = core * 400.0 + halo * 70.0 * light.strength;
    // The lamp's own colour is whiter than the light it casts.
    const cv::Vec3d whiter = 0.5 * light.cast + cv::Vec3d(0.5, 0.5, 0.5);
    return Coloured(glare, whiter, channels);
}

void AddBloom(cv::Mat& image, double threshold, double sigma, double strength) {
    // Per channel: a Mat minus a number would touch the first channel only.
    cv::Mat bright;
    image.convertTo(bright, -1, 1.0, -threshold);
    bright = cv::max(bright, 0.0);
    cv::GaussianBlur(bright, bright, cv::Size(0, 0), std::max(0.5, sigma), std::max(0.5, sigma), cv::BORDER_REPLICATE);
    cv::scaleAdd(bright, strength, image, image);
}

InfraredLook RandomInfraredLook(cv::RNG& rng) {
    InfraredLook look;
    look.slope = (rng.uniform(0.0, 1.0) < 0.35 ? -1.0 : 1.0) * rng.uniform(0.55, 0.85);
    look.offset = look.slope > 0 ? rng.uniform(40.0, 90.0) : rng.uniform(190.0, 240.0);
    look.foliage = rng.uniform(175.0, 225.0);
    look.flatten = rng.uniform(0.75, 0.9);
    return look;
}

void ApplyInfraredPaint(cv::Mat& grey, const InfraredLook& look) {
    grey.convertTo(grey, CV_32F, look.slope, look.offset);
}

}  // namespace kalvero
