#pragma once
#include <initializer_list>

#include <gtest/gtest.h>
#include <opencv2/core.hpp>

#include "tools/VariedScene.h"

namespace kalvero {

// Checks that scenes `a` and `b`, built from the same options, give frames
// `frames` of `size` equal to the pixel with the same truth, and that `c`,
// built with another seed, gives other pictures.
inline void ExpectSeedDecidesTheScene(const VariedScene& a, const VariedScene& b, const VariedScene& c, cv::Size size,
                                      std::initializer_list<int> frames) {
    for (int i : frames) {
        const cv::Mat fa = a.Frame(i);
        ASSERT_EQ(fa.size(), size);
        ASSERT_EQ(fa.type(), CV_8UC3);
        EXPECT_EQ(cv::norm(fa, b.Frame(i), cv::NORM_INF), 0.0) << "frame " << i;
        EXPECT_GT(cv::norm(fa, c.Frame(i), cv::NORM_L1), 0.0) << "frame " << i;
        const auto oa = a.Objects(i);
        const auto ob = b.Objects(i);
        ASSERT_EQ(oa.size(), ob.size());
        for (std::size_t k = 0; k < oa.size(); ++k) {
            EXPECT_EQ(oa[k].box, ob[k].box);
            EXPECT_EQ(oa[k].text, ob[k].text);
        }
    }
}

}  // namespace kalvero
