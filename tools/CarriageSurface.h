#pragma once
#include <cstdint>

#include <opencv2/core.hpp>

#include "tools/NoiseTile.h"

namespace kalvero {

// Painting on a carriage side. Every function here works on a one-channel
// 32-bit float grey image (0 black, 255 white) and draws what real
// carriage paint shows; all randomness comes from the caller's RNG, so a
// seeded RNG repeats the same picture.

// Fills `grey` with `base` plus smooth blotches and fine grain of about
// `amplitude` grey levels.
void PaintTexture(cv::Mat& grey, double base, double amplitude, const NoiseTile& noise, cv::RNG& rng);

// Soft dark dirt blotches and vertical rain streaks; `strength` 0..1. The
// result is the darkening per pixel (same size, 32-bit float) to subtract
// once everything is painted, since dirt lies on the digits as on the
// paint; empty when `strength` is 0, and then nothing is drawn from `rng`.
cv::Mat GrimeField(cv::Size size, double strength, cv::RNG& rng);

// A row of `count` rivet heads from `first`, `step` apart, each with a lit
// upper side and a shadow below; radius in pixels.
void DrawRivets(cv::Mat& grey, cv::Point2d first, cv::Point2d step, int count, double radius, cv::RNG& rng);

// A vertical sheet joint at column x: a dark line and the light edge of
// the overlapping sheet.
void DrawSeam(cv::Mat& grey, int x, double depth);

// A horizontal pressed rib centred on row y: lit top edge, dark lower edge.
void DrawRib(cv::Mat& grey, int y, int thickness, double depth);

// A painted horizontal band of grey `level` from row `top`, `thickness` rows.
void DrawStripe(cv::Mat& grey, int top, int thickness, double level, const NoiseTile& noise, cv::RNG& rng);

// Paints ink of grey `ink` through `mask` (8-bit, 255 full ink) with its top
// left at `at`. `wear` 0..1 takes that share of paint off in blotches, as
// old paint flakes from the strokes.
void PaintInk(cv::Mat& grey, const cv::Mat& mask, cv::Point at, double ink, double wear, const NoiseTile& noise,
              cv::RNG& rng);

}  // namespace kalvero
