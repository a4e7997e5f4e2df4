#include "tools/PaintedWords.h"

#include "tools/DigitFonts.h"

namespace kalvero {

const std::vector<std::string>& WordBank::Words() {
    static const std::vector<std::string> words{
        "ВАГОН", "ЦИСТЕРНА", "ТАРА", "ГРУЗ", "ПОЛУВАГОН", "НЕФТЬ", "КОТЕЛ", "РЖД", "ОПАСНО", "Бензин",
        "Cargo", "TARE", "LOAD", "Wagon", "RIV", "MAX", "km/h", "Zacns", "Eanos", "Habbins"};
    return words;
}

void WordBank::Build(FontTextRenderer& renderer) {
    masks_.clear();
    for (const std::string& word : Words()) {
        cv::Mat mask = renderer.Render(word, 64);
        if (!mask.empty()) {
            masks_.push_back(mask);
        }
    }
}

}  // namespace kalvero
