#pragma once
#include <functional>
#include <optional>
#include <string>

#include "cli/OutputWriter.h"
#include "cli/TimeOfDay.h"
#include "serve/CameraBoard.h"
#include "serve/ServiceConfig.h"
#include "serve/StoredPass.h"

namespace kalvero {

// The pass as the service stores it, seen by `camera`: a stream's pass at
// the times of day its frames arrived; a file's (`readStart` given) at
// readStart + start_s and + end_s, the moment the service began reading the
// file being the file's start. Its record is the reader's pass file record
// with those times, its crop a PNG of the pass's best crop.
StoredPass ToStoredPass(const CarriagePass& pass, const CameraConfig& camera,
                        std::optional<TimeOfDay> readStart);

// The writer of one camera's run: each pass as it ends goes to `keep` as a
// StoredPass, and the frames and the stream's coming and going to the
// board (and, for the coming and going, a line to `say`). It asks the run
// for the frames' pictures, without which a pass has no crop.
class StoringPassWriter : public OutputWriter {
public:
    StoringPassWriter(const CameraConfig& camera, CameraBoard& board, std::function<void(StoredPass)> keep,
                      std::function<void(const std::string& line)> say)
        : camera_(camera), board_(board), keep_(std::move(keep)), say_(std::move(say)) {}

    bool BeginInput(const InputStart& start) override;
    void Frame(const FrameEvent& event) override;
    void Pass(const CarriagePass& pass) override;
    void LoopEnded(bool opened) override;
    bool WantsImage() const override { return true; }

private:
    const CameraConfig& camera_;
    CameraBoard& board_;
    std::function<void(StoredPass)> keep_;
    std::function<void(const std::string&)> say_;
    std::optional<TimeOfDay> readStart_;  // a file's: when its reading began
    bool receiving_ = false;              // frames arrive (since the last loop's end)
};

}  // namespace kalvero
