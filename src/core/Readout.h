#pragma once
// Readout arithmetic: the decimal text of a raw value times a gain given as text, and the
// Y-scale factor of a Y-scale list text.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace altrix {

struct ReadoutText {
    std::string Text;  // never empty
};

// A gain text of digits and "." only; an empty text is valid too (it counts as 1).
bool IsValidGain(std::string_view gain);

// A gain text taken apart once, for the readout texts of many values: its digits G (every
// digit; the leftmost "." removed, later ones are not digits) and the count D of digits after
// the leftmost ".". An empty or invalid gain counts as 1 without a point.
class ReadoutGain {
public:
    explicit ReadoutGain(std::string_view gain);

    // The most characters Write produces for any value.
    std::size_t MaxTextLength() const { return digits_.size() + decimals_ + 22; }

    // Writes the exact decimal text of value x gain, computed on the gain's digits (never in
    // floating point), with "." as the decimal point (99.99360, -.12, .0, 125., -32768) at
    // `out`, which has room for MaxTextLength() characters; returns the end of the text.
    char* Write(char* out, std::int64_t value) const;

    // The double nearest to the value Write multiplies by: G with D decimals.
    double Factor() const;

    // The double nearest to value x gain, the exact decimal that Write writes (rounded once,
    // not the product of two rounded numbers), for exports in floating point.
    double Value(std::int64_t value) const;

private:
    std::string digits_;
    std::uint64_t factor_ = 0;  // digits_ as a number, when factorFits_
    bool factorFits_ = false;
    bool hasPoint_ = false;
    std::size_t decimals_ = 0;
};

// The readout text of `value` with the gain text (see ReadoutGain). Exact for gains of any
// length; an empty or invalid gain counts as 1.
ReadoutText CountDataValue(std::int64_t value, std::string_view gain);

// The gain text as the double nearest to the value CountDataValue multiplies by (see
// ReadoutGain::Factor); an empty or invalid gain is 1.
double GainFactor(std::string_view gain);

// The Y-scale list text as a 32-bit float, summing digit x place with every intermediate
// stored as float, so each list text gives the float nearest to its decimal value.
float YScaleGain(std::string_view text);

inline constexpr std::array<std::string_view, 22> kYScaleTexts{
    "0.2", "0.22", "0.25", "0.28", "0.33", "0.4", "0.5", "0.67", "1", "1.5", "2",
    "2.5", "3",    "3.5",  "4",    "4.5",  "5",   "10",  "15",   "20", "25",  "50"};
inline constexpr int kDefaultYScaleIndex = 8;  // "1"

// The seconds of `seconds` in the general number format with up to 15 significant digits
// and the given decimal separator: 0.0002, 2.4692, 20, -0.0002.
std::string FormatSeconds(double seconds, char decimalSeparator);

// Writes the time of `sets` >= 0 sample sets, sets x 0.0002 s, as exact decimal text: the
// text FormatSeconds gives for that time (0, 0.0002, 1, 19.9998), made without floating point
// for writers of many lines. `out` has room for kMaxSetSecondsLength characters; returns the
// end of the text.
inline constexpr std::size_t kMaxSetSecondsLength = 24;
char* WriteSetSeconds(char* out, std::int64_t sets, char decimalSeparator);

// Time of bottom-axis position x: (x + 1) x 0.0002 s.
double PositionSeconds(std::int32_t position);

}  // namespace altrix
