#include "tools/CameraEffects.h"

#include <algorithm>
#include <cmath>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

namespace kalvero {

CameraLook RandomCameraLook(cv::RNG& rng, double digitHeight) {
    CameraLook look;
    look.tiltDegrees = rng.uniform(0.0, 1.0) < 0.6 ? rng.uniform(-3.0, 3.0) : 0.0;
    look.perspective = rng.uniform(0.0, 1.0) < 0.35 ? rng.uniform(0.005, 0.04) : 0.0;
    if (rng.uniform(0.0, 1.0) < 0.3) {
        look.motionBlur = rng.uniform(1.5, std::max(2.0, 0.12 * digitHeight));
    }
    if (rng.uniform(0.0, 1.0) < 0.5) {
        look.defocus = rng.uniform(0.3, std::max(0.6, 0.05 * digitHeight));
    }
    look.noise = rng.uniform(0.5, 9.0);
    look.gainSpread = rng.uniform(0.0, 1.0) < 0.6 ? rng.uniform(0.05, 0.35) : 0.0;
    look.jpegQuality = rng.uniform(0.0, 1.0) < 0.5 ? rng.uniform(30, 96) : 0;
    return look;
}

cv::Matx33d CameraHomography(const CameraLook& look, cv::Size size, cv::RNG& rng) {
    const double w = size.width;
    const double h = size.height;
    const double theta = look.tiltDegrees * CV_PI / 180.0;
    const double c = std::cos(theta);
    const double s = std::sin(theta);
    const cv::Point2d centre(0.5 * w, 0.5 * h);
    const cv::Point2f from[4] = {{0.0f, 0.0f}, {static_cast<float>(w), 0.0f},
                                 {static_cast<float>(w), static_cast<float>(h)}, {0.0f, static_cast<float>(h)}};
    cv::Point2f to[4];
    for (int i = 0; i < 4; ++i) {
        const cv::Point2d d = cv::Point2d(from[i]) - centre;
        cv::Point2d p(centre.x + c * d.x - s * d.y, centre.y + s * d.x + c * d.y);
        if (look.perspective > 0.0) {
            p.x += rng.uniform(-look.perspective, look.perspective) * w;
            p.y += rng.uniform(-look.perspective, look.perspective) * h;
        }
        to[i] = cv::Point2f(static_cast<float>(p.x), static_cast<float>(p.y));
    }
    const cv::Mat m = cv::getPerspectiveTransform(from, to);
    return cv::Matx33d(m);
}

std::vector<cv::Point2d> MapPoints(const cv::Matx33d& h, const std::vector<cv::Point2d>& points) {
    std::vector<cv::Point2d> out;
    out.reserve(points.size());
    for (const cv::Point2d& p : points) {
        const cv::Vec3d q = h * cv::Vec3d(p.x, p.y, 1.0);
        out.emplace_back(q[0] / q[2], q[1] / q[2]);
    }
    return out;
}

void ApplyOptics(cv::Mat& image, const CameraLook& look, const NoiseTile& noise, cv::RNG& rng) {
    ApplyLensBlur(image, look);
    ApplySensor(image, look, noise, rng);
}

void ApplyLensBlur(cv::Mat& image, const CameraLook& look) {
    if (look.motionBlur >= 1.0) {
        const int length = std::max(2, static_cast<int>(std::lround(look.motionBlur)));
        const cv::Mat kernel = cv::Mat::ones(1, length, CV_32F) / static_cast<float>(length);
        cv::filter2D(image, image, -1, kernel, cv::Point(-1, -1), 0.0, cv::BORDER_REPLICATE);
    }
    if (look.defocus > 0.0) {
        cv::GaussianBlur(image, image, cv::Size(0, 0), look.defocus, look.defocus, cv::BORDER_REPLICATE);
    }
}

void ApplySensor(cv::Mat& image, const CameraLook& look, const NoiseTile& noise, cv::RNG& rng) {
    cv::Mat wide;
    image.convertTo(wide, CV_32F);
    if (look.gainSpread > 0.0) {
        cv::Mat coarse(3, 4, CV_32F);
        rng.fill(coarse, cv::RNG::UNIFORM, 1.0 - look.gainSpread, 1.0 + look.gainSpread);
        cv::Mat gain;
        cv::resize(coarse, gain, image.size(), 0, 0, cv::INTER_LINEAR);
        if (image.channels() == 3) {
            cv::cvtColor(gain, gain, cv::COLOR_GRAY2BGR);
        }
        wide = wide.mul(gain);
    }
    if (look.noise > 0.0) {
        const cv::Mat grain = noise.Window(cv::Size(wide.cols * wide.channels(), wide.rows), rng);
        cv::Mat flat = wide.reshape(1);
        cv::scaleAdd(grain, look.noise, flat, flat);
    }
    wide.convertTo(image, image.type());
    if (look.jpegQuality > 0) {
        std::vector<uchar> bytes;
        cv::imencode(".jpg", image, bytes, {cv::IMWRITE_JPEG_QUALITY, std::clamp(look.jpegQuality, 1, 100)});
        image = cv::imdecode(bytes, image.channels() == 3 ? cv::IMREAD_COLOR : cv::IMREAD_GRAYSCALE);
    }
}

}  // namespace kalvero
