// MathExpression on any text: it compiles or says where it does not, a compiled one is valid,
// and every value it gives over a short window of columns is a finite number or NaN.

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "MathTrace.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace altrix;
    constexpr std::size_t kSize = 64;
    static const std::vector<std::vector<double>> columns = [] {
        std::vector<std::vector<double>> all(kMathInputCount, std::vector<double>(kSize));
        for (int n = 0; n < kMathInputCount; ++n)
            for (std::size_t i = 0; i < kSize; ++i) all[n][i] = std::sin(0.3 * static_cast<double>(i) + n) * (n + 1);
        return all;
    }();
    const std::string text(reinterpret_cast<const char*>(data), size);
    MathExpression expression;
    const auto error = expression.Compile(text);
    FUZZ_CHECK(error.has_value() != expression.Valid());
    FUZZ_CHECK(!error || (error->Position >= -1 && error->Position <= static_cast<int>(size) && !error->Message.empty()));
    MathInputs in{{}, kSize, 5000};
    for (int n = 0; n < kMathInputCount; ++n) in.Columns[n] = columns[n].data();
    std::vector<double> out(kSize);
    expression.Evaluate(in, 0, out);
    expression.Shift(kSize, 10);
    expression.Evaluate(in, kSize - 10, out);
    for (const double v : out) FUZZ_CHECK(std::isfinite(v) || std::isnan(v));
    return 0;
}
