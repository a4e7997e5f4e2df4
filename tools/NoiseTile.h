#pragma once
#include <cstdint>

#include <opencv2/core.hpp>

namespace kalvero {

// A fixed square of unit Gaussian noise (32-bit float) from which pictures
// take windows at random places: drawing fresh normal noise for every
// pixel of every picture cost most of the generator's time, and a window
// of a large tile is just as random to the eye and to a learner.
// Read-only after construction; may be shared between threads.
class NoiseTile {
public:
    explicit NoiseTile(std::uint64_t seed = 0x5EEDULL, int side = 1024);

    // Unit noise of `size` starting at a place drawn from `rng`; sizes
    // beyond the tile repeat it with a shift. The result may share the
    // tile's memory: treat it as read-only.
    cv::Mat Window(cv::Size size, cv::RNG& rng) const;

private:
    cv::Mat tile_;
};

}  // namespace kalvero
