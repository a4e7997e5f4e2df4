#include "cli/RunSettingsFor.h"

#include <cstdint>

#include "cli/BoxText.h"
#include "cli/Reader.h"
#include "command_line/PrintableText.h"
#include "worker/FrameSource.h"

namespace kalvero {

namespace {

// Consecutive frames on which the learned engine's reading of a number,
// scored high and with its check digit holding, confirms it: a carriage at
// 120 km/h is in a 4 m view for about five frames at 25 fps.
constexpr int kLearnedConfirmStreak = 3;

}  // namespace

int RunSettingsFor(const ReaderOptions& options, const std::string& file, const cv::Mat& firstFrame, bool stream,
                   RunSettings& settings, std::ostream& err) {
    // A stream's whole frame is a zone far larger than any, clipped by the
    // loop.
    constexpr int kWholeFrame = 1 << 20;
    cv::Rect zone = stream ? cv::Rect(0, 0, kWholeFrame, kWholeFrame) : cv::Rect(0, 0, firstFrame.cols, firstFrame.rows);
    if (options.hasZone) {
        zone = options.zone;
        // The run loop's own fit test: the far edges inside the frame.
        if (!stream && (zone.x + zone.width > firstFrame.cols || zone.y + zone.height > firstFrame.rows)) {
            err << "kalvero-read: --zone " << BoxText(zone) << " does not fit the first frame ("
                << FrameText(firstFrame, options.zoom) << ")\n";
            return kExitUsage;
        }
    }
    // The run's settings take the path whole, however long it is.
    if (!StoreRunPath(settings, file)) {
        err << "kalvero-read: cannot open '" << PrintableText(file) << "': the name holds a NUL byte\n";
        return kExitFile;
    }
    settings.numberH.store(options.digitHeight);
    settings.zoneX.store(zone.x);
    settings.zoneY.store(zone.y);
    settings.zoneW.store(zone.width);
    settings.zoneH.store(zone.height);
    settings.deepBuf.store(options.depth);
    settings.colNum.store(options.threshold);
    settings.zoom.store(options.zoom);
    settings.engine.store(static_cast<std::int32_t>(options.engine));
    settings.learnedCheckDigitVote.store(options.checkDigit);
    settings.glyphCheckDigitVote.store(options.checkDigitVote);
    // The learned engine also confirms a number read well on consecutive
    // frames; a still image has one frame, which is then enough.
    settings.confirmStreak.store(IsStillImageName(file) ? 1 : kLearnedConfirmStreak);
    return kExitOk;
}

}  // namespace kalvero
