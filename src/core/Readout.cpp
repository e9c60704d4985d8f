#include "Readout.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

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

}  // namespace

bool IsValidGain(std::string_view gain) {
    return std::all_of(gain.begin(), gain.end(), [](char c) { return IsDigit(c) || c == '.'; });
}

ReadoutGain::ReadoutGain(std::string_view gain) {
    if (!IsValidGain(gain) || gain.empty()) {
        digits_.push_back('1');
    } else {
        const std::size_t point = gain.find('.');
        hasPoint_ = point != std::string_view::npos;
        for (char c : gain)
            if (IsDigit(c)) digits_.push_back(c);
        if (hasPoint_) {
            for (char c : gain.substr(point + 1))
                if (IsDigit(c)) ++decimals_;
        }
    }
    // Up to 19 digits always fit 64 bits; longer gains take the digit-wise product.
    factorFits_ = digits_.size() <= 19;
    if (factorFits_) std::from_chars(digits_.data(), digits_.data() + digits_.size(), factor_);
}

char* ReadoutGain::Write(char* out, std::int64_t value) const {
    const bool negative = value < 0;
    const std::uint64_t magnitude =
        negative ? static_cast<std::uint64_t>(0) - static_cast<std::uint64_t>(value)
                 : static_cast<std::uint64_t>(value);
    const bool productFits =
        factorFits_ &&
        (factor_ == 0 || magnitude <= std::numeric_limits<std::uint64_t>::max() / factor_);
    const std::uint64_t product = productFits ? factor_ * magnitude : 0;
    const std::string wide = productFits ? std::string() : MultiplyDecimal(digits_, magnitude);
    const bool zero = productFits ? product == 0 : wide == "0";
    if (hasPoint_ && zero && decimals_ >= 1) {
        *out++ = '.';
        *out++ = '0';
        return out;
    }

    if (negative && !zero) *out++ = '-';
    char* const end = productFits ? std::to_chars(out, out + 20, product).ptr
                                  : std::copy(wide.begin(), wide.end(), out);
    if (!hasPoint_) return end;
    // The point goes before the last D digits; with fewer digits than D, the digits move right
    // and zeros fill the gap after the point (never a zero before it). This runs for every
    // value of an export: plain loops over a few characters, no calls.
    const std::size_t count = static_cast<std::size_t>(end - out);
    const std::size_t moved = std::min(count, decimals_);
    const std::size_t shift = count > decimals_ ? 1 : decimals_ - count + 1;
    for (char* p = end; p-- != end - moved;) p[shift] = *p;
    char* const point = end - moved;
    *point = '.';
    for (char* p = point + 1; p != point + shift; ++p) *p = '0';
    return end + shift;
}

ReadoutText CountDataValue(std::int64_t value, std::string_view gain) {
    const ReadoutGain readoutGain(gain);
    ReadoutText result;
    result.Text.resize(readoutGain.MaxTextLength());
    char* const end = readoutGain.Write(result.Text.data(), value);
    result.Text.resize(static_cast<std::size_t>(end - result.Text.data()));
    return result;
}

double ReadoutGain::Factor() const {
    // "digits e-decimals" is the exact decimal value; from_chars rounds it once.
    const std::string text =
        (digits_.empty() ? std::string("0") : digits_) + "e-" + std::to_string(decimals_);
    double factor = 1;
    std::from_chars(text.data(), text.data() + text.size(), factor);
    return factor;
}

double ReadoutGain::Value(std::int64_t value) const {
    // Both operands exact in double and the quotient rounded once: the nearest double.
    static constexpr std::array<double, 23> kPowersOfTen{
        1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
        1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    constexpr std::uint64_t kExactBelow = std::uint64_t{1} << 53;
    const std::uint64_t magnitude =
        value < 0 ? static_cast<std::uint64_t>(0) - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    if (factorFits_ && decimals_ < kPowersOfTen.size() && magnitude < kExactBelow &&
        (factor_ == 0 || magnitude < kExactBelow / factor_)) {
        const double product = static_cast<double>(magnitude * factor_) / kPowersOfTen[decimals_];
        return value < 0 ? -product : product;
    }
    const std::string text = (value < 0 ? "-" : "") + MultiplyDecimal(digits_, magnitude) + "e-" +
                             std::to_string(decimals_);
    double exact = 0;
    std::from_chars(text.data(), text.data() + text.size(), exact);
    return exact;
}

double GainFactor(std::string_view gain) { return ReadoutGain(gain).Factor(); }

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

char* WriteSetSeconds(char* out, std::int64_t sets, char decimalSeparator) {
    constexpr std::int64_t kSetsPerSecond = 5000;
    out = std::to_chars(out, out + kMaxSetSecondsLength, sets / kSetsPerSecond).ptr;
    // The fraction in ten-thousandths of a second, without trailing zeros.
    int fraction = static_cast<int>(sets % kSetsPerSecond) * 2;
    if (fraction == 0) return out;
    int digits = 4;
    while (fraction % 10 == 0) {
        fraction /= 10;
        --digits;
    }
    *out++ = decimalSeparator;
    for (int i = digits; i-- > 0; fraction /= 10) out[i] = static_cast<char>('0' + fraction % 10);
    return out + digits;
}

double PositionSeconds(std::int32_t position) {
    return (position + 1) * kSamplePeriodSeconds;
}

}  // namespace altrix
