#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

#include "line_reader/CellMeans.h"

namespace kalvero {
namespace {

// Noise, smooth ground and hard edges, for cells of every size the ink
// search uses and more, on images of odd and even sizes: pixel for pixel
// what OpenCV's area resize gives, ties of even cells included.
TEST(CellMeans, EveryPixelIsWhatOpenCvsAreaResizeGives) {
    cv::RNG rng(3);
    for (int cells = 2; cells <= 9; ++cells) {
        for (int trial = 0; trial < 6; ++trial) {
            SCOPED_TRACE(::testing::Message() << "cells " << cells << ", trial " << trial);
            cv::Mat grey(cells * rng.uniform(1, 40), cells * rng.uniform(1, 60), CV_8UC1);
            rng.fill(grey, cv::RNG::UNIFORM, 0, 256);
            if (trial % 3 == 1) cv::GaussianBlur(grey, grey, cv::Size(), 2.0);
            if (trial % 3 == 2) cv::threshold(grey, grey, 128, 255, cv::THRESH_BINARY);
            const cv::Mat fast = CellMeans(grey, cells);
            const cv::Mat reference = CellMeansReference(grey, cells);
            ASSERT_EQ(fast.size(), cv::Size(grey.cols / cells, grey.rows / cells));
            ASSERT_EQ(fast.type(), CV_8UC1);
            EXPECT_EQ(cv::norm(fast, reference, cv::NORM_INF), 0.0);
        }
    }
    // A view into a larger image (rows not contiguous) is read through its
    // own steps.
    cv::Mat whole(60, 90, CV_8UC1);
    rng.fill(whole, cv::RNG::UNIFORM, 0, 256);
    const cv::Mat view = whole(cv::Rect(7, 5, 63, 42));
    EXPECT_EQ(cv::norm(CellMeans(view, 3), CellMeansReference(view, 3), cv::NORM_INF), 0.0);
}

TEST(CellMeans, WhatIsNotWholeCellsOfGreyComesBackAsItIs) {
    const cv::Mat ragged(10, 12, CV_8UC1, cv::Scalar(7));
    EXPECT_EQ(CellMeans(ragged, 3).size(), ragged.size());
    EXPECT_EQ(CellMeans(ragged, 1).size(), ragged.size());
    EXPECT_EQ(CellMeans(ragged, 0).size(), ragged.size());
    const cv::Mat colour(9, 9, CV_8UC3, cv::Scalar::all(7));
    EXPECT_EQ(CellMeans(colour, 3).size(), colour.size());
    EXPECT_TRUE(CellMeans(cv::Mat(), 3).empty());
}

}  // namespace
}  // namespace kalvero
