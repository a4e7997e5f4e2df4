#pragma once
#include <opencv2/core.hpp>

namespace kalvero {

// A camera looking at the carriage side at an angle: the side is a plane,
// seen from `distance` pixels (its pixels are the head-on picture's, and
// the focal length equals the distance, so the point on the optical axis
// keeps its size), with the optical axis turned `yawDegrees` away from the
// side's normal about the vertical and the picture rolled `rollDegrees`
// about the axis. Returns the homography from head-on pixels to the
// camera's pixels that keeps `centre` in place: points on the side further
// from the camera (right of `centre` for a positive yaw) come out smaller,
// the side is foreshortened by the cosine of the yaw at the centre, and
// vertical lines converge.
cv::Matx33d YawRollHomography(double yawDegrees, double rollDegrees, double distance, cv::Point2d centre);

}  // namespace kalvero
