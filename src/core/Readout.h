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

// The exact decimal product of `value` and the gain text, computed on the gain's digits
// (never in floating point), always with "." as the decimal point. An empty or invalid gain
// counts as 1. Exact for gains of any length.
ReadoutText CountDataValue(std::int64_t value, std::string_view gain);

// The gain text as the double nearest to the value CountDataValue multiplies by: its digits
// with the leftmost point as the decimal point; an empty or invalid gain is 1.
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

// Time of bottom-axis position x: (x + 1) x 0.0002 s.
double PositionSeconds(std::int32_t position);

}  // namespace altrix
