#include "line_reader/ReadLines.h"

#include <algorithm>
#include <cmath>

#include <opencv2/imgproc.hpp>

#include "line_reader/BlendedFields.h"
#include "line_reader/CrossingLines.h"
#include "line_reader/CtcDecode.h"
#include "line_reader/GlyphRegionLines.h"
#include "line_reader/LineCrop.h"
#include "line_reader/HeightPyramid.h"
#include "line_reader/Interlacing.h"
#include "line_reader/LineProposals.h"
#include "line_reader/SecondLook.h"
#include "line_reader/ShortenedRows.h"
#include "line_reader/StrayMarks.h"
#include "recognition_common/CheckDigit.h"

namespace kalvero {

namespace {

// Only whole carriage numbers are reported: a decoded line of any other
// length is a misread or not a number.
constexpr std::size_t kNumberLength = 8;
// Boxes overlapping this much hold the same line: a glyph-search region
// over a blob row, or two readings of which only one can be right.
constexpr double kSameLineIou = 0.5;
// Share of the smaller box inside the other that makes two readings one line.
constexpr double kSameLineCover = 0.8;

// Lines read from a band separated out of blended fields (the digits there
// form one row, and every line read costs a forward pass), and the widest
// copy of the zone that is searched for them.
constexpr int kBlendedLines = 2;
// Bands of separated fields tried in a zone that read nothing. Where the
// fields are blended the whole carriage side moved between them, and many
// bands of it repeat about as clearly (rivets, panel seams, the bogie, a
// grille above), so the digits' band is often not the clearest. A band
// after the first is tried only when its repeat stands out by at least
// kNextBandClarity (BlendedFieldsGuess::clarity): the bands of a blended
// carriage measured 0.3 to 0.7 on drawn interlaced videos, while the bands
// after the first of still carriage sides mostly stay under 0.25 (a zone
// that reads nothing is the common case, worth keeping cheap: on twelve
// blank 1080p sides this costs about 1 %, trying three bands always 12 %).
constexpr int kBlendedBands = 3;
constexpr double kNextBandClarity = 0.25;
// Least score of a reading from separated fields: the echoes of a grille
// or of a row of text read as eight digits score far lower than a number.
constexpr float kBlendedMinScore = 0.5f;
// The same for readings of the faint search (ProposeFaintLines), which in
// a zone that read nothing also finds rows in noise, grain and combing.
constexpr float kFaintMinScore = 0.5f;
constexpr int kBlendedWidth = 640;
// Digits a row read in the zone needs to keep separated readings off its
// place (see ReadBlendedFields).
constexpr std::size_t kWholeRowDigits = 6;
// Smallest digit height worth proposing: below it blobs are specks and the
// model's 32-pixel crop would magnify noise.
constexpr int kMinDigitHeight = 4;
// Lines decoded as this many digits are rows of digits worth a second look
// on a neighbouring frame: a number with a few digits misread, lost or
// doubled.
constexpr std::size_t kMinRowDigits = 5;
constexpr std::size_t kMaxRowDigits = 10;
// Fewest digits a row of kMinRowDigits blobs or more must read as to be
// searched around as misframed.
constexpr std::size_t kMinMisframedDigits = 2;
// Levels of the every-height search also searched around a given height.
constexpr std::size_t kHintLevels = 2;

// A digit height beyond this many times the zone's larger side cannot be
// in it (and keeps the arithmetic on it far from overflowing).
constexpr int kMaxHeightPerSide = 2;

// A zone of a type the engine reads, and a digit height that is either no
// hint (0) or one that can be looked for in it.
bool CanRead(const cv::Mat& zone, int digitHeight) {
    if (zone.empty() || zone.dims != 2 || (zone.type() != CV_8UC1 && zone.type() != CV_8UC3)) return false;
    if (digitHeight == 0) return true;
    return digitHeight >= kMinDigitHeight && digitHeight / kMaxHeightPerSide <= std::max(zone.rows, zone.cols);
}

// Which search proposes the lines a reading of a zone reads: the usual one,
// or the search for faint strokes at a lower ink contrast (with a height
// given, in the usual working copy: ProposeFaintLines; without, over every
// height: ProposeFaintLinesOverHeights), for a zone where the usual one
// read nothing.
enum class LineSearch { Usual, Faint };

// `halvings`, when given, receives the grey halvings the search over every
// height made (see ProposeLinesAtLevels); none for the other searches.
std::vector<LineProposal> Proposals(const cv::Mat& zone, const cv::Mat& grey, const LineReaderSettings& settings,
                                    LineSearch search, std::vector<cv::Mat>* halvings) {
    if (halvings != nullptr) halvings->clear();
    if (search == LineSearch::Faint) {
        return settings.digitHeight > 0 ? ProposeFaintLines(grey, settings.digitHeight, settings.maxLines)
                                        : ProposeFaintLinesOverHeights(zone, DigitHeightRange{}, settings.maxLines);
    }
    // An unknown height is looked for over every height the engine reads.
    // A known one is looked for around it, and also over the levels of
    // that search near it: a hint is a person's estimate, and the halved,
    // averaged levels find thin or faded digits the full-size search loses.
    std::vector<LineProposal> proposals;
    if (settings.digitHeight > 0) {
        proposals = ProposeLines(grey, settings.digitHeight, settings.maxLines);
        for (LineProposal& level :
             ProposeLinesAtLevels(zone, NearestPyramidLevels(settings.digitHeight, kHintLevels), settings.maxLines)) {
            proposals.push_back(std::move(level));
        }
        proposals = KeepBestProposals(std::move(proposals), settings.maxLines);
    } else {
        proposals = ProposeLinesOverHeights(zone, DigitHeightRange{}, settings.maxLines, halvings);
    }
    if (!settings.useGlyphRegions || !settings.glyphRegions || settings.digitHeight <= 0) return proposals;
    // Regions of the glyph search that no blob row already covers, up to
    // maxLines more.
    int added = 0;
    const std::size_t fromBlobs = proposals.size();
    for (const LineProposal& region : ProposeGlyphRegionLines(zone, settings.digitHeight, settings.glyphRegions)) {
        if (added >= settings.maxLines) break;
        const bool covered = std::any_of(proposals.begin(), proposals.begin() + static_cast<std::ptrdiff_t>(fromBlobs),
                                         [&](const LineProposal& row) { return BoxIou(row.box, region.box) > kSameLineIou; });
        if (covered) continue;
        proposals.push_back(region);
        ++added;
    }
    return proposals;
}

// Of readings with the same text and overlapping boxes, and of readings of
// any text over the same line (boxes overlapping by more than
// kSameLineIou: a number and the gaps between its digits, or two runs of
// eight cut from one row; or one box holding nearly all of the other, the
// number's row read again in the wider crop of a coarser search), keeps
// the first best scored one.
void DropRepeatedReadings(std::vector<LineReading>& readings) {
    KeepBestOfSame(readings, [](const LineReading& other, const LineReading& reading) {
        const double overlap = (other.box & reading.box).area();
        if (overlap <= 0.0) return false;
        const double smaller = std::min(other.box.area(), reading.box.area());
        return other.text == reading.text || BoxIou(other.box, reading.box) > kSameLineIou ||
               overlap >= kSameLineCover * smaller;
    });
}

// Where the digits read are, when the proposal's own box may not say: a row
// that was extended to reach eight digits, or groups joined across a gap.
// From the columns the model read the first and last digit in, half a
// digit's pitch further on both sides, within the zone. A proposal of
// exactly eight blobs keeps its box, drawn around the digits themselves.
cv::Rect ReadingBox(const LineProposal& proposal, const CtcReading& decoded, int columns, cv::Size zone) {
    if (proposal.blobCount == static_cast<int>(kNumberLength) || decoded.digitColumns.size() < 2 || columns < 1) {
        return proposal.box;
    }
    const float first = 0.5f * (decoded.digitColumns.front().first + decoded.digitColumns.front().second) + 0.5f;
    const float last = 0.5f * (decoded.digitColumns.back().first + decoded.digitColumns.back().second) + 0.5f;
    const float halfPitch = 0.5f * (last - first) / static_cast<float>(decoded.digitColumns.size() - 1);
    const float width = static_cast<float>(columns);
    const cv::Rect box =
        LineSpanBox(proposal.line, (first - halfPitch) / width, (last + halfPitch) / width) & cv::Rect(cv::Point(), zone);
    return box.empty() ? proposal.box : box;
}

// A reading at least this sure of every digit is not looked at again.
constexpr float kSureScore = 0.8f;
// Share of the smaller box that a sure reading must cover of a row for
// the row to be the same place.
constexpr double kSecondLookCover = 0.5;
// Rows taken from the search around a doubtful row.
constexpr int kLinesAround = 2;

// One reading of the zone as it is. `rows`, when given, receives every line
// decoded as kMinRowDigits to kMaxRowDigits digits; `halvings` the grey
// halvings of the zone its search made (see Proposals).
std::vector<LineReading> ReadOnce(const cv::Mat& zone, const LineReaderSettings& settings, LineReader& reader,
                                  std::vector<LineReading>* rows = nullptr, LineSearch search = LineSearch::Usual,
                                  std::vector<cv::Mat>* halvings = nullptr) {
    // The search around a given height works on the whole zone in grey;
    // the search over every height makes its own smaller grey copies, and
    // the crops take grey only where they are cut.
    cv::Mat grey = zone;
    if (zone.channels() == 3 && settings.digitHeight > 0) cv::cvtColor(zone, grey, cv::COLOR_BGR2GRAY);
    const std::vector<LineProposal> proposals = Proposals(zone, grey, settings, search, halvings);

    std::vector<cv::Mat> crops;
    std::vector<const LineProposal*> cropped;
    for (const LineProposal& proposal : proposals) {
        cv::Mat crop = NormaliseLine(grey, proposal.line);
        if (crop.empty()) continue;
        EraseCrossingLines(crop);
        crops.push_back(std::move(crop));
        cropped.push_back(&proposal);
    }
    const std::vector<LineLogits> logits = reader.Run(crops);

    std::vector<LineReading> readings;
    std::vector<LongerLine> longer;
    const auto take = [&](const LineProposal& proposal, const CtcReading& decoded, int columns) {
        if (rows != nullptr && decoded.text.size() >= kMinRowDigits && decoded.text.size() <= kMaxRowDigits) {
            LineReading row;
            row.text = decoded.text;
            row.box = proposal.box;
            row.score = decoded.score;
            row.angleDegrees = proposal.line.angleDegrees;
            rows->push_back(std::move(row));
        }
        if (decoded.text.size() > kNumberLength) longer.push_back(LongerLine{decoded.text, proposal.box, decoded.score});
        if (decoded.text.size() != kNumberLength) return;
        if (settings.requireCheckDigit && !CheckDigitHolds(decoded.text)) return;
        LineReading reading;
        reading.text = decoded.text;
        reading.box = ReadingBox(proposal, decoded, columns, zone.size());
        reading.score = decoded.score;
        reading.checkedScore = static_cast<float>(CheckDigitPosterior(decoded.text, decoded.digitChoices));
        std::copy(decoded.digitScores.begin(), decoded.digitScores.end(), reading.digitScores.begin());
        reading.angleDegrees = proposal.line.angleDegrees;
        readings.push_back(std::move(reading));
    };
    // A row read doubtfully is read once more, framed on the digits the
    // model saw in it (SecondLook): a proposal whose box was too long or
    // off to one side shows the digits small or cut at an edge. Not where
    // a sure reading already is (the same row in the other polarity or at
    // another level). Eight digits read surely are sure whether or not
    // their check digit holds: painted digits that fail it are no carriage
    // number, and a second look would only invite a variant that passes.
    std::vector<CtcReading> decoded;
    std::vector<cv::Rect> sure;
    for (std::size_t i = 0; i < logits.size(); ++i) {
        decoded.push_back(DecodeCtc(logits[i]));
        take(*cropped[i], decoded.back(), logits[i].cols);
        if (decoded.back().text.size() == kNumberLength && decoded.back().score >= kSureScore) {
            sure.push_back(ReadingBox(*cropped[i], decoded.back(), logits[i].cols, zone.size()));
        }
    }
    const auto nearSure = [&](const cv::Rect& box) {
        return std::any_of(sure.begin(), sure.end(), [&](const cv::Rect& other) {
            return (other & box).area() >= kSecondLookCover * std::min(other.area(), box.area());
        });
    };
    std::vector<cv::Mat> again;
    std::vector<LineProposal> looked;
    const auto lookAgain = [&](LineProposal second) {
        cv::Mat crop = NormaliseLine(grey, second.line);
        if (crop.empty()) return;
        EraseCrossingLines(crop);
        again.push_back(std::move(crop));
        looked.push_back(std::move(second));
    };
    for (std::size_t i = 0; i < decoded.size(); ++i) {
        if (nearSure(cropped[i]->box)) continue;
        // Eight digits read doubtfully may be eight digits with a mark
        // across them: they are read once more with whatever lies beyond
        // the ground from the digits painted out (a light spray stroke over
        // dark digits). Only eight: rows of seven or nine digits so cleaned
        // also turned dates and longer numbers into eight-digit readings.
        if (decoded[i].text.size() == kNumberLength) {
            cv::Mat cleaned = crops[i].clone();
            if (EraseStrayMarks(cleaned)) {
                again.push_back(std::move(cleaned));
                looked.push_back(*cropped[i]);
            }
        }
        LineProposal second = *cropped[i];
        if (SecondLook(decoded[i], logits[i].cols, zone.size(), second.line)) {
            second.blobCount = 0;
            lookAgain(second);
        }
        // The search over every height found this row in a scaled-down
        // copy; the zone itself, searched around it at the row's height,
        // may frame it better. So may a row of five or more blobs that
        // read as a few digits, in a zone where nothing read surely:
        // framed askew, or made of the gaps between digits of the other
        // polarity, it shows the model only parts of digits. (Where a
        // number did read surely, such rows are mostly lettering and
        // rivets, and searching around them cost about 3 % of a pass.)
        const std::size_t digits = decoded[i].text.size();
        const bool misframed = sure.empty() && digits >= kMinMisframedDigits &&
                               cropped[i]->blobCount >= static_cast<int>(kMinRowDigits);
        if (settings.digitHeight == 0 && (digits >= kMinRowDigits || misframed) && digits <= kNumberLength) {
            for (LineProposal& local : ProposeLinesAround(zone, *cropped[i], kLinesAround)) lookAgain(std::move(local));
        }
    }
    if (!again.empty()) {
        const std::vector<LineLogits> more = reader.Run(again);
        for (std::size_t i = 0; i < more.size(); ++i) take(looked[i], DecodeCtc(more[i]), more[i].cols);
    }
    DropShortenedRows(readings, longer);
    DropRepeatedReadings(readings);
    std::stable_sort(readings.begin(), readings.end(),
                     [](const LineReading& a, const LineReading& b) { return a.score > b.score; });
    return readings;
}

// Drops the readings scoring under `least` (order kept): the last searches
// of a zone that read nothing look where ordinary texture can pass for
// digits, and what they read of it scores low.
void DropDoubtfulReadings(std::vector<LineReading>& readings, float least) {
    readings.erase(std::remove_if(readings.begin(), readings.end(),
                                  [&](const LineReading& reading) { return reading.score < least; }),
                   readings.end());
}

// A zone with no reading may hold two fields blended side by side (see
// BlendedFields.h): the bands where edges repeat most clearly are read once
// more from one picture separated out of each, clearest first, until one
// reads (the first, and those after it whose repeat is clear). The repeat
// of a grille or of the digits' own pitch looks alike, so most zones that
// read nothing are tried; to bound that cost everything is done in a copy
// no wider than kBlendedWidth (halved by area: the shifts looked for are of
// digits ten pixels high or more there) and only the best kBlendedLines
// lines of a band are read. `rows` are the rows the zone itself read as 5
// to 10 digits, `halvings` the grey halvings its search made, if any (the
// copy is taken from them). Boxes are put back in zone pixels.
std::vector<LineReading> ReadBlendedFields(const cv::Mat& zone, const LineReaderSettings& settings,
                                           LineReader& reader, const std::vector<LineReading>& rows,
                                           const std::vector<cv::Mat>& halvings) {
    // A whole row of digits the zone itself read surely (six to ten of
    // them) is no blend: separated by its own pitch (its repeat), it shows
    // echoes of its digits, which may read as some other eight ("9111911"
    // as "99119919" at 0.92). Where fields were blended, the zone reads the
    // digits and their ghost as a few digits at most surely.
    std::vector<cv::Rect> sure;
    for (const LineReading& row : rows) {
        if (row.score >= kSureScore && row.text.size() >= kWholeRowDigits) sure.push_back(row.box);
    }
    const auto echoOfSureRow = [&](const LineReading& reading) {
        return std::any_of(sure.begin(), sure.end(), [&](const cv::Rect& row) {
            return (row & reading.box).area() >= kSecondLookCover * std::min(row.area(), reading.box.area());
        });
    };
    // Halved by area until narrow enough, each halving the mean of squares
    // of four: OpenCV's area resize by four or more in one step costs three
    // times two halvings (2.2 against 0.7 ms for a 1080p colour frame), and
    // the search over every height has made them already.
    int scale = 1;
    cv::Mat work = zone;
    for (std::size_t i = 0; i < halvings.size() && work.cols > kBlendedWidth; ++i) {
        work = halvings[i];
        scale *= 2;
    }
    while (work.cols > kBlendedWidth && work.rows >= 2) {
        cv::Mat half;
        cv::resize(work, half, cv::Size(work.cols / 2, work.rows / 2), 0.0, 0.0, cv::INTER_AREA);
        work = half;
        scale *= 2;
    }
    if (work.empty()) return {};
    LineReaderSettings bandSettings = settings;
    bandSettings.maxLines = std::min(settings.maxLines, kBlendedLines);
    if (settings.digitHeight > 0) bandSettings.digitHeight = std::max(kMinDigitHeight, settings.digitHeight / scale);
    const std::vector<BlendedFieldsGuess> guesses = GuessBlendedFieldBands(work, kBlendedBands);
    for (const BlendedFieldsGuess& guess : guesses) {
        if (guess.shift <= 0.0 || guess.band.empty()) continue;
        if (&guess != &guesses.front() && guess.clarity < kNextBandClarity) break;
        const cv::Mat band = SeparateBlendedFields(work(guess.band), guess.shift);
        if (!CanRead(band, bandSettings.digitHeight)) continue;
        std::vector<LineReading> readings = ReadOnce(band, bandSettings, reader);
        // A frame that read nothing and whose repeat was a grille or a row
        // of text gives, separated, echoes that may read as some eight
        // digits with a low score: those are dropped.
        DropDoubtfulReadings(readings, kBlendedMinScore);
        for (LineReading& reading : readings) {
            const cv::Rect box = reading.box + guess.band.tl();
            reading.box = cv::Rect(box.x * scale, box.y * scale, box.width * scale, box.height * scale) &
                          cv::Rect(cv::Point(), zone.size());
        }
        readings.erase(std::remove_if(readings.begin(), readings.end(), echoOfSureRow), readings.end());
        if (readings.empty()) continue;
        return readings;
    }
    return {};
}

// Faded paint with thin strokes: its row stands out only by the lower
// contrast of the faint search. In a combed zone the combing stands out by
// that much everywhere something moved, so the caller gives one field
// there (the test for combing is loose: faded paint on a mottled ground
// may pass it). Readings under kFaintMinScore are dropped.
std::vector<LineReading> ReadFaintStrokes(const cv::Mat& zone, const LineReaderSettings& settings, LineReader& reader,
                                          std::vector<LineReading>* rows) {
    std::vector<LineReading> readings = ReadOnce(zone, settings, reader, rows, LineSearch::Faint);
    DropDoubtfulReadings(readings, kFaintMinScore);
    return readings;
}

}  // namespace

std::vector<LineReading> ReadFaintLineReadings(const cv::Mat& zone, const LineReaderSettings& settings,
                                               LineReader& reader) {
    if (!CanRead(zone, settings.digitHeight) || settings.maxLines < 1) return {};
    try {
        return ReadFaintStrokes(MayBeInterlaced(zone) ? FirstField(zone) : zone, settings, reader, nullptr);
    } catch (const cv::Exception&) {
        return {};
    } catch (const std::exception&) {
        return {};
    }
}

std::vector<LineReading> ReadLineReadings(const cv::Mat& zone, const LineReaderSettings& settings,
                                          LineReader& reader, std::vector<LineReading>* digitRows) {
    if (digitRows != nullptr) digitRows->clear();
    if (!CanRead(zone, settings.digitHeight) || settings.maxLines < 1) return {};
    try {
        std::vector<LineReading> rows;
        std::vector<cv::Mat> halvings;
        std::vector<LineReading> readings = ReadOnce(zone, settings, reader, &rows, LineSearch::Usual, &halvings);
        // Two interlaced fields of a moving carriage show its digits twice,
        // combed together, which reads badly or not at all; one field shows
        // them once. Of the two readings of such a frame, the one whose best
        // reading scores higher.
        const bool combed = MayBeInterlaced(zone);
        cv::Mat field;
        if (combed) {
            field = FirstField(zone);
            std::vector<LineReading> fieldReadings = ReadOnce(field, settings, reader, &rows);
            const auto best = [](const std::vector<LineReading>& list) { return list.empty() ? -1.0f : list.front().score; };
            if (best(fieldReadings) > best(readings)) readings = std::move(fieldReadings);
        }
        if (readings.empty() && settings.digitHeight > 0) {
            readings = ReadFaintStrokes(combed ? field : zone, settings, reader, &rows);
        }
        if (readings.empty()) readings = ReadBlendedFields(zone, settings, reader, rows, halvings);
        if (digitRows != nullptr) *digitRows = std::move(rows);
        return readings;
    } catch (const cv::Exception&) {
        // A model that loaded but fails on these crops reads nothing here.
        return {};
    } catch (const std::exception&) {
        return {};
    }
}

std::vector<Reading> ReadLines(const cv::Mat& zone, const LineReaderSettings& settings, LineReader& reader) {
    return ToReadings(ReadLineReadings(zone, settings, reader));
}

std::vector<Reading> ToReadings(const std::vector<LineReading>& lines) {
    std::vector<Reading> readings;
    for (const LineReading& line : lines) {
        Reading reading;
        reading.text = line.text;
        reading.box = line.box;
        reading.score = line.score;
        reading.checkedScore = line.checkedScore;
        reading.engine = RecognitionEngine::Learned;
        reading.digitScores.assign(line.digitScores.begin(), line.digitScores.end());
        readings.push_back(std::move(reading));
    }
    return readings;
}

}  // namespace kalvero
