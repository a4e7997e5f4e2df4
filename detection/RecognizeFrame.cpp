// SCAFFOLD
#include "detection/RecognizeFrame.h"
namespace kalvero { FrameResult RecognizeFrame(cv::Mat, const RecognitionSettings&) { return {}; } }
