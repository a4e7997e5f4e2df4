#pragma once
#include <cstddef>
#include <vector>

#include <opencv2/core.hpp>

#include "line_reader/CtcDecode.h"
#include "line_reader/LineCrop.h"
#include "line_reader/LineProposals.h"

namespace kalvero {

// Fewest and most digits a line must have been read as to be looked at
// again: a number with a few digits lost, merged or cut off at an edge.
constexpr std::size_t kSecondLookMinDigits = 5;
constexpr std::size_t kSecondLookMaxDigits = 8;

// A line read as a few digits, or as eight with some doubt, was often
// framed badly: a row proposed from merged or missing blobs is too long
// (the digits come out small) or off to one side (a digit cut at the
// edge). SecondLook frames `line` again on the digits the model saw in its
// crop (`decoded`, from logits of `columns` columns): from half a digit
// pitch before the first digit's column to half a pitch after the last,
// and, when fewer than eight digits were seen, half a pitch further on both
// sides for each digit missing. The pitch is the mean distance between the
// digits' columns. Height and tilt stay.
//
// True with `line` replaced by the new box; false (and `line` unchanged)
// when fewer than kSecondLookMinDigits or more than kSecondLookMaxDigits
// digits were read, when the box would hardly change (its length by less
// than a tenth, its centre by less than 0.15 digit heights), or when the
// digits' box would reach past the edge of a zone of `zone` size: a number
// cut by the edge is not whole, and the crop would repeat the edge's
// pixels as more digits.
bool SecondLook(const CtcReading& decoded, int columns, cv::Size zone, LineBox& line);

// The other way to look again at a row found by the search over every
// height: that search finds rows in scaled-down copies, where a tilted or
// foreshortened row may take in a blob of its surroundings and come out at
// the wrong angle or place. ProposeLinesAround searches the zone itself
// (8-bit grey or BGR) around `row` (1.5 digit heights beyond its box along,
// one across) for digits of the row's own height (ProposeLines), and gives
// at most `maxLines` rows found there, in zone pixels, leaving out one that
// is `row` again (boxes overlapping by more than 90 % and tilts within a
// degree). Nothing for an empty zone, a zone of another type, or a row
// whose height or box does not fit the zone.
std::vector<LineProposal> ProposeLinesAround(const cv::Mat& zone, const LineProposal& row, int maxLines);

}  // namespace kalvero
