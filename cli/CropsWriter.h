#pragma once
#include <string>

#include "cli/OutputWriter.h"

namespace kalvero {

// --crops DIR: a PNG of each pass's best frame, cut around its number,
// written as the pass ends (PassCrops).
class CropsWriter : public OutputWriter {
public:
    // `withInput`: the crop names start with the input's (several inputs).
    CropsWriter(std::string dir, bool withInput) : dir_(std::move(dir)), withInput_(withInput) {}

    void Pass(const CarriagePass& pass) override;
    bool WantsImage() const override { return true; }

private:
    std::string dir_;
    bool withInput_;
};

}  // namespace kalvero
