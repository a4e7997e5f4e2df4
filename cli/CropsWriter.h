#pragma once
#include <string>

#include "cli/OutputWriter.h"

namespace kalvero {

// --crops DIR: a PNG of each pass's best frame, cut around its number,
// cut from the frame as decoded (no overlays, full resolution), written as
// the pass ends (PassCrops).
class CropsWriter : public OutputWriter {
public:
    explicit CropsWriter(std::string dir) : dir_(std::move(dir)) {}

    void Pass(const CarriagePass& pass) override;
    bool WantsImage() const override { return true; }

private:
    std::string dir_;
};

}  // namespace kalvero
