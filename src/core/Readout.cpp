#include "Readout.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "CaptureRecord.h"

namespace altrix {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Decimal digits of `digits` (most significant first) times `factor`, exact; no digits
// count as 0.
std::string MultiplyDecimal(std::string_view digits, std::uint64_t factor) {
    std::string product(digits.size() + 20, '0');
    std::size_t pos = product.size();
    unsigned __int128 carry = 0;
    for (std::size_t i = digits.size(); i-- > 0;) {
        carry += static_cast<unsigned __int128>(digits[i] - '0') * factor;
        product[--pos] = static_cast<char>('0' + static_cast<int>(carry % 10));
        carry /= 10;
    }
    while (carry != 0) {
        product[--pos] = static_cast<char>('0' + static_cast<int>(carry % 10));
        carry /= 10;
    }
    const std::size_t firstNonZero = product.find_first_not_of('0');
    return firstNonZero == std::string::npos ? std::string("0") : product.substr(firstNonZero);
}

// A gain text taken apart: every digit (the leftmost point removed; later points are not
// digits) and the count of digits after the leftmost point. Empty or invalid counts as "1".
struct GainParts {
    std::string Digits = "1";
    bool HasPoint = false;
    std::size_t Decimals = 0;
};

GainParts SplitGain(std::string_view gain) {
    GainParts parts;
    if (!IsValidGain(gain) || gain.empty()) return parts;
    parts.Digits.clear();
    const std::size_t point = gain.find('.');
    parts.HasPoint = point != std::string_view::npos;
    for (char c : gain)
        if (IsDigit(c)) parts.Digits.push_back(c);
    if (parts.HasPoint) {
        for (char c : gain.substr(point + 1))
            if (IsDigit(c)) ++parts.Decimals;
    }
    return parts;
}

}  // namespace

bool IsValidGain(std::string_view gain) {
    return std::all_of(gain.begin(), gain.end(), [](char c) { return IsDigit(c) || c == '.'; });
}

ReadoutText CountDataValue(std::int64_t value, std::string_view gain) {
    ReadoutText result;
    const GainParts parts = SplitGain(gain);
    const std::string& gainDigits = parts.Digits;
    const bool hasPoint = parts.HasPoint;
    const std::size_t decimals = parts.Decimals;

    const bool negative = value < 0;
    const std::uint64_t magnitude =
        negative ? static_cast<std::uint64_t>(0) - static_cast<std::uint64_t>(value)
                 : static_cast<std::uint64_t>(value);
    const std::string digits = MultiplyDecimal(gainDigits, magnitude);
    const bool zero = digits == "0";
    const std::string sign = (negative && !zero) ? "-" : "";

    if (!hasPoint) {
        result.Text = sign + digits;
    } else if (zero && decimals >= 1) {
        result.Text = ".0";
    } else if (digits.size() > decimals) {
        result.Text = sign + digits.substr(0, digits.size() - decimals) + "." +
                      digits.substr(digits.size() - decimals);
    } else {
        // Fewer digits than decimals: pad with zeros after the point, never before it.
        result.Text = sign + "." + std::string(decimals - digits.size(), '0') + digits;
    }
    return result;
}

double GainFactor(std::string_view gain) {
    const GainParts parts = SplitGain(gain);
    // "digits e-decimals" is the exact decimal value; from_chars rounds it once.
    const std::string text = (parts.Digits.empty() ? std::string("0") : parts.Digits) + "e-" +
                             std::to_string(parts.Decimals);
    double factor = 1;
    std::from_chars(text.data(), text.data() + text.size(), factor);
    return factor;
}

float YScaleGain(std::string_view text) {
    float result = 0.0f;
    float place = 1.0f;
    const std::size_t point = text.find('.');
    const std::size_t integerEnd = point == std::string_view::npos ? text.size() : point;
    for (std::size_t i = integerEnd; i-- > 0;) {
        result = result + static_cast<float>(text[i] - '0') * place;
        place = place * 10.0f;
    }
    if (point != std::string_view::npos) {
        place = 0.1f;
        for (std::size_t i = point + 1; i < text.size(); ++i) {
            result = result + static_cast<float>(text[i] - '0') * place;
            place = place * 0.1f;
        }
    }
    return result;
}

std::string FormatSeconds(double seconds, char decimalSeparator) {
    char buffer[32];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, seconds,
                                   std::chars_format::general, 15).ptr;
    std::string text(buffer, end);
    std::replace(text.begin(), text.end(), '.', decimalSeparator);
    return text;
}

double PositionSeconds(std::int32_t position) {
    return (position + 1) * kSamplePeriodSeconds;
}

}  // namespace altrix
