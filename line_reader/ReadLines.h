#pragma once
#include <array>
#include <string>
#include <vector>

#include <opencv2/core.hpp>

#include "recognition_common/Reading.h"
#include "line_reader/LineReader.h"
#include "line_reader/LineReaderSettings.h"

namespace kalvero {

// One 8-digit number read by the learned engine.
struct LineReading {
    std::string text;                // eight digits
    cv::Rect box;                    // the digits' axis-aligned box, zone pixels
    float score = 0.0f;              // product of digitScores, in [0, 1]
    std::array<float, 8> digitScores{};  // per digit, the model's peak probability
    float angleDegrees = 0.0f;       // tilt of the line read
    // The chance that the reading is right if the painted number's check
    // digit holds (CheckDigitPosterior over the model's choices per digit);
    // 0 when the reading's own check digit fails.
    float checkedScore = 0.0f;
};

// Reads the 8-digit numbers of a zone with the learned engine: proposes
// lines of digits (when settings.digitHeight is given, ProposeLines around
// it together with the two levels of the every-height search nearest it
// (NearestPyramidLevels, ProposeLinesAtLevels), best ranked first; when it is 0,
// ProposeLinesOverHeights from 10 to 250 pixels; and
// the regions of settings.glyphRegions when settings.useGlyphRegions is
// set and a height is given), keeps the best settings.maxLines,
// straightens each with NormaliseLine, paints over thin lines crossing it
// (EraseCrossingLines), reads them all in one forward pass
// of `reader` and decodes each greedily (DecodeCtc). A line read as 5 to 8
// digits but not surely (eight digits scoring 0.8 or more, whether or not
// their check digit holds: digits read surely that fail it are painted text
// of another kind, and a second look would only invite a variant that
// passes), and not covered by a sure reading's box for half of the smaller
// box, is read once more in
// the same way, framed on the digits the model saw (SecondLook), and
// when no height was given also as the rows a search at its own height
// finds around it in the zone itself (ProposeLinesAround, at most two);
// a line read as eight digits not surely (and not under a sure reading) is
// also read from its crop with the marks beyond the ground from the digits
// painted out (EraseStrayMarks), when it has such marks;
// all readings then compete as below. Only readings of
// exactly eight digits are kept (and only those whose check digit holds
// when settings.requireCheckDigit is set), and of those not one that is a longer row
// read over the same place (covering half its box, and read at least half
// as surely) with digits left out
// (the nine digits "283072811" read as "28372811" in a wider crop); of readings with the same text whose boxes
// overlap, or of any text whose boxes overlap by more than half (IoU) or
// of which one box holds 80 % of the other, the best scored is kept. Best score first (stable). A zone that may be two
// interlaced fields (MayBeInterlaced) is read again from its first field
// (FirstField), and the reading whose best scores higher is kept. A zone
// that still gives no reading, with a height given, is read once more from
// the rows of faint thin strokes (ProposeFaintLines; in the first field of
// a combed zone), and only those readings scoring 0.5 or more are kept. A zone that still
// gives no reading may hold two fields blended side by side
// (GuessBlendedFieldBands): the band where edges repeat most clearly is
// read once more, at most two lines of it, from one picture separated out
// of it (SeparateBlendedFields) in a copy no wider than 640 pixels, and only
// its readings scoring 0.5 or more are kept. When the next clearest bands
// repeat clearly too (clarity 0.25 or more: the whole carriage side moved),
// they are tried in turn, up to three bands, until one reads.
//
// `zone` is 8-bit grey or BGR. An empty zone, one of another type, a digit
// height below 0, from 1 to 3 or far beyond the zone's size gives no reading; so
// does a model that fails during the forward pass. Never throws for any
// input. `reader` is used by this call alone (see LineReader).
//
// `digitRows`, when given, is cleared and receives every line the model
// read as 5 to 10 digits (text as decoded, the proposal's box, score and
// tilt; the check digit not tested), from the zone, from its first field and
// from the search for faint strokes: the rows where a number may be though
// it was not read.
std::vector<LineReading> ReadLineReadings(const cv::Mat& zone, const LineReaderSettings& settings,
                                          LineReader& reader, std::vector<LineReading>* digitRows = nullptr);

// The search for faint strokes of ReadLineReadings on its own, for a
// caller that reads many frames of one place and can afford it only now
// and then: with no height given (settings.digitHeight 0) it searches
// every height (ProposeFaintLinesOverHeights), which costs about as much
// as the usual search of the zone. A zone that may be interlaced is
// searched in its first field. Only readings scoring 0.5 or more, best
// first; the same inputs give none as for ReadLineReadings, and it never
// throws.
std::vector<LineReading> ReadFaintLineReadings(const cv::Mat& zone, const LineReaderSettings& settings,
                                               LineReader& reader);

// Of readings that `same(kept, reading)` pairs, asked of each reading in
// turn against those kept before it, keeps one: the first of the best
// scored, in the place of the first of them. The rest keep their order.
template <typename Same>
void KeepBestOfSame(std::vector<LineReading>& readings, Same same) {
    std::vector<LineReading> kept;
    kept.reserve(readings.size());
    for (LineReading& reading : readings) {
        auto it = kept.begin();
        while (it != kept.end() && !same(*it, reading)) ++it;
        if (it == kept.end()) {
            kept.push_back(std::move(reading));
        } else if (reading.score > it->score) {
            *it = std::move(reading);
        }
    }
    readings = std::move(kept);
}

// ReadLineReadings in the form every consumer reads (Reading): text, box,
// score and the eight digit scores, engine Learned, in the same order.
std::vector<Reading> ReadLines(const cv::Mat& zone, const LineReaderSettings& settings, LineReader& reader);

// LineReadings in the form every consumer reads (see ReadLines).
std::vector<Reading> ToReadings(const std::vector<LineReading>& lines);

}  // namespace kalvero
