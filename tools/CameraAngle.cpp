#include "tools/CameraAngle.h"

#include <cmath>

namespace kalvero {

cv::Matx33d YawRollHomography(double yawDegrees, double rollDegrees, double distance, cv::Point2d centre) {
    const double yaw = yawDegrees * CV_PI / 180.0;
    const double roll = rollDegrees * CV_PI / 180.0;
    const double d = std::max(1.0, distance);
    // A point X across the side at depth d + X sin(yaw) from the camera:
    // u = d X cos(yaw) / (d + X sin(yaw)), v = d Y / (d + X sin(yaw)).
    const cv::Matx33d project(d * std::cos(yaw), 0.0, 0.0, 0.0, d, 0.0, std::sin(yaw), 0.0, d);
    const cv::Matx33d turn(std::cos(roll), -std::sin(roll), 0.0, std::sin(roll), std::cos(roll), 0.0, 0.0, 0.0, 1.0);
    const cv::Matx33d toCentre(1.0, 0.0, -centre.x, 0.0, 1.0, -centre.y, 0.0, 0.0, 1.0);
    const cv::Matx33d back(1.0, 0.0, centre.x, 0.0, 1.0, centre.y, 0.0, 0.0, 1.0);
    return back * turn * project * toCentre;
}

}  // namespace kalvero
