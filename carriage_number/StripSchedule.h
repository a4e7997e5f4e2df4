#pragma once

namespace kalvero {

// What reading one strip gave: the count AssembleNumber returned (0 when it
// was not called) and the length of the digit text left by the assembly.
struct StripOutcome {
    int assembled = 0;
    int digitCount = 0;
};

// Strips a region type code does not read: codes up to 302 read strips 0 and
// 1 (bright digits), 303 reads 2 and 3 (dark digits), higher codes read all.
inline bool StripSkippedForType(int typeCode, int index) {
    return (typeCode < 303 && index > 1) || (typeCode == 303 && index < 2);
}

// Reads the strips of a region in order: readStrip(i) is called for every
// strip the type code allows, except that the widened partner (i + 1) of an
// even strip is skipped when that strip assembled fewer than 4 digits, and
// reading stops at the first strip that leaves exactly 8 digits.
template <class ReadStrip>
void ForEachScheduledStrip(int typeCode, int stripCount, ReadStrip&& readStrip) {
    for (int i = 0; i < stripCount; ++i) {
        if (StripSkippedForType(typeCode, i)) {
            continue;
        }
        const StripOutcome outcome = readStrip(i);
        if (i % 2 == 0 && outcome.assembled < 4) {
            ++i;
        }
        if (outcome.digitCount == 8) {
            break;
        }
    }
}

}  // namespace kalvero
