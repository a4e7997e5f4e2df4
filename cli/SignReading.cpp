#include "cli/SignReading.h"

#include <cstdint>
#include <cstdlib>

#include "detection/GlyphTemplateBank.h"
#include "recognizers/CandidateRegion.h"
#include "recognizers/RecognitionContext.h"

namespace kalvero {

SignReading ReadSignBox(const cv::Mat& frame, cv::Rect box, int digitHeight,
                        RecognitionTrace* trace) {
    SignReading reading;
    GlyphTemplateBank bank(frame);
    bank.ScaleTemplates(digitHeight);

    const std::int32_t codes[1] = {kSignTypeCode};
    RecognitionContext context(1, codes);
    // Speed values have one or two digits: no full-number filter here.
    context.requireFullNumber = false;
    context.SetTrace(trace);

    CandidateRegion region;
    region.x = box.x;
    region.y = box.y;
    region.width = box.width;
    region.height = box.height;
    region.typeCode = kSignTypeCode;
    context.DispatchRegion(bank, region);

    if (context.ReadingCount() == 0) {
        return reading;
    }
    reading.read = true;
    reading.text = context.resultTexts.front();
    reading.value = std::atoi(reading.text.c_str());
    return reading;
}

}  // namespace kalvero
