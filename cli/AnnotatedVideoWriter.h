#pragma once
#include <string>

#include "cli/AnnotatedVideo.h"
#include "cli/OutputWriter.h"

namespace kalvero {

// --annotate FILE: every frame with the window's overlays, written at the
// input's own frame rate and first frame's size, in place once the input
// has ended (AnnotatedVideo).
class AnnotatedVideoWriter : public OutputWriter {
public:
    explicit AnnotatedVideoWriter(std::string path) : path_(std::move(path)) {}

    bool BeginInput(const InputStart& start) override;
    void Frame(const FrameEvent& event) override { video_.Write(event.report.rgbImage); }
    // The video is closed and renamed into place.
    void EndInput(const InputEnd& end) override;
    bool WantsImage() const override { return true; }

private:
    std::string path_;
    AnnotatedVideo video_;
};

}  // namespace kalvero
