// Math traces: expressions over columns in engineering units against values derived by hand,
// the functions over time on a sine and a step, texts that do not compile, and values that are
// no numbers.

#include "MathTrace.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <vector>

namespace altrix::testing {
namespace {

constexpr double kRate = 5000;
constexpr std::size_t kSize = 2000;
constexpr double kPi = std::numbers::pi;
const double kNaN = std::nan("");

// ch1 = position, ch2 = 0.5, ch3 = 10 sin(2 pi 50 t), ch4 = a step from 0 to 1 at position 1000,
// ref1 = 4, ref2 = -position, t = position / 5000.
struct Columns {
    std::array<std::vector<double>, kMathInputCount> values;
    Columns() {
        for (auto& v : values) v.resize(kSize);
        for (std::size_t i = 0; i < kSize; ++i) {
            const double t = static_cast<double>(i) / kRate;
            values[0][i] = static_cast<double>(i);
            values[1][i] = 0.5;
            values[2][i] = 10 * std::sin(2 * kPi * 50 * t);
            values[3][i] = i < 1000 ? 0 : 1;
            values[4][i] = 4;
            values[5][i] = -static_cast<double>(i);
            values[6][i] = t;
        }
    }
    MathInputs inputs() const {
        MathInputs in{{}, kSize, kRate};
        for (int n = 0; n < kMathInputCount; ++n) in.Columns[n] = values[n].data();
        return in;
    }
};

std::vector<double> Evaluate(const char* text) {
    MathExpression expression;
    const auto error = expression.Compile(text);
    EXPECT_FALSE(error) << text << ": " << (error ? error->Message : "");
    std::vector<double> out(kSize, -1);
    expression.Evaluate(Columns().inputs(), 0, out);
    return out;
}

// 10 sin(w t) differenced backwards over dt: (20 / dt) sin(w dt / 2) cos(w (t - dt / 2)).
double SineSlope(std::size_t i) {
    const double w = 2 * kPi * 50, dt = 1 / kRate, t = static_cast<double>(i) * dt;
    return 20 / dt * std::sin(w * dt / 2) * std::cos(w * (t - dt / 2));
}
// The first-order step response 1 - exp(-2 pi fc t), n + 1 samples after the step.
double StepResponse(double fc, std::size_t n) {
    return 1 - std::exp(-2 * kPi * fc * static_cast<double>(n + 1) / kRate);
}

struct ValueCase {
    const char* expression;
    std::size_t position;
    double expected;  // NaN: a gap
    double tolerance;
};

TEST(MathExpressionTest, ComputesValuesDerivedByHand) {
    const ValueCase cases[] = {
        {"ch1*ch2", 10, 5, 0},
        {"ch1 + ref1*2 - ref2", 3, 14, 0},
        {"sqrt(ch1) + abs(ref2)", 16, 20, 0},
        {"max(ch1, 100) + min(ch2, 0)", 50, 100, 0},
        {"ch1 > 10 ? 1 : -1", 11, 1, 0},
        {"ch1 > 10 ? 1 : -1", 10, -1, 0},
        {"(ch1 >= 11) + 2*(ch1 != 11) + 4*(ch1 < 11 || ch1 == 12) + 8*(ch1 > 0 && ch2 <= 0)", 11, 1, 0},
        {"(ch1 >= 11) + 2*(ch1 != 11) + 4*(ch1 < 11 || ch1 == 12) + 8*(ch1 > 0 && ch2 <= 0)", 12, 7, 0},
        {"ch1^2 / ch2 - 3*ch1 + ch1^3 - ch1^4", 3, 18 - 9 + 27 - 81, 0},
        {"t * 1000", 1000, 200, 1e-9},
        {"sin(2*_pi*50*t)*10 - ch3", 333, 0, 1e-9},
        {"ddt(ch1)", 5, 5000, 1e-9},
        {"ddt(ch1)", 0, kNaN, 0},
        {"ddt(ddt(ch1))", 10, 0, 1e-9},
        {"ddt(ddt(ch1))", 1, kNaN, 0},
        {"ddt(ch3)", 37, SineSlope(37), 1e-6},
        {"ddt(ch3)", 1250, SineSlope(1250), 1e-6},
        {"lowpass(ch4, 50)", 999, 0, 0},
        {"lowpass(ch4, 50)", 1000, StepResponse(50, 0), 1e-12},
        {"lowpass(ch4, 50)", 1099, StepResponse(50, 99), 1e-12},
        {"lowpass(ch4, 200) * 2", 1010, 2 * StepResponse(200, 10), 1e-12},
        {"rms(ch3, 0.02)", 98, kNaN, 0},
        {"rms(ch3, 0.02)", 99, 10 / std::sqrt(2.0), 1e-9},
        {"rms(ch3, 0.02)", 1777, 10 / std::sqrt(2.0), 1e-9},
        {"mean(ch3, 0.02)", 500, 0, 1e-9},
        {"rms(ch4, 0.01)", 1024, std::sqrt(0.5), 1e-12},
        {"mean(ch4, 0.01)", 1009, 0.2, 1e-12},
        {"mean(ch4, 0.01)", 1200, 1, 1e-12},
        {"integral(ch2)", 1000, 0.1, 1e-12},
        {"integral(ch1)", 100, 1, 1e-12},
        {"integral(ch1)", 0, 0, 0},
        {"rms(ch3 - mean(ch3, 0.02), 0.02) ", 1500, 10 / std::sqrt(2.0), 1e-6},
        {"1/(ch1 - 5)", 5, kNaN, 0},
        {"1/(ch1 - 5)", 6, 1, 0},
        {"sqrt(-ch1 - 1)", 7, kNaN, 0},
        {"ln(ch1)", 0, kNaN, 0},
        {"ddt(1/(ch1 - 5))", 6, kNaN, 0},
        {"mean(1/(ch1 - 5), 0.001)", 9, kNaN, 0},
        {"mean(1/(ch1 - 5), 0.001)", 10, (1.0 + 1.0 / 2 + 1.0 / 3 + 1.0 / 4 + 1.0 / 5) / 5, 1e-12},
        {"integral(1/(ch1 - 5) * 0 + 1)", 10, 8 / kRate, 1e-12},  // no steps 4-5 and 5-6
    };
    for (const ValueCase& c : cases) {
        const double value = Evaluate(c.expression)[c.position];
        if (std::isnan(c.expected))
            EXPECT_TRUE(std::isnan(value)) << c.expression << " at " << c.position << " gives " << value;
        else
            EXPECT_NEAR(value, c.expected, c.tolerance) << c.expression << " at " << c.position;
    }
}

TEST(MathExpressionTest, NewSetsGoOnAsAWholePassWould) {
    const Columns all;
    for (const char* text : {"lowpass(ch3, 30) + integral(ch3) + rms(ddt(ch3), 0.003)", "ch1*ch2"}) {
        MathExpression whole, moving;
        ASSERT_FALSE(whole.Compile(text));
        ASSERT_FALSE(moving.Compile(text));
        std::vector<double> expected(kSize);
        whole.Evaluate(all.inputs(), 0, expected);
        // A window of 600 positions, moved on three times (the second move wraps the columns'
        // storage).
        constexpr std::size_t kWindow = 600;
        MathInputs in = all.inputs();
        in.Size = kWindow;
        std::vector<double> out(kWindow);
        moving.Evaluate(in, 0, out);
        std::size_t start = 0;
        for (const std::size_t moved : {300, 400, 350}) {
            moving.Shift(kWindow, moved);
            std::copy(out.begin() + static_cast<std::ptrdiff_t>(moved), out.end(), out.begin());
            for (auto& column : in.Columns) column += moved;
            start += moved;
            moving.Evaluate(in, kWindow - moved, out);
            for (std::size_t i = 0; i < kWindow; ++i)
                ASSERT_NEAR(out[i], expected[start + i], 1e-9) << text << " at " << start + i;
        }
    }
}

struct FaultCase {
    const char* expression;
    int position;  // -1: nowhere in particular
};

TEST(MathExpressionTest, FaultyTextsSayWhereAndAreNotEvaluated) {
    const FaultCase cases[] = {
        {"", -1},          {"   ", -1},       {"ch1 +", 5},         {"ch5 * 2", 0},
        {"ch1 ** 2", 5},   {")", 0},          {"1, 2", 0},          {"ddt(ch1", 3},
        {"ddt(ch1, 2)", 0}, {"lowpass(ch1)", 0}, {"lowpass(ch1, ch2)", 13}, {"rms(ch1, -1)", 8},
        {"mean(ch1, 0)", 9}, {"ddt()", 4},      {"ddt(ch1 +)", 9},    {"2 ddt(ch1)", 2},
        {"ch1 ? 1", -1},
    };
    for (const FaultCase& c : cases) {
        MathExpression expression;
        const auto error = expression.Compile(c.expression);
        ASSERT_TRUE(error) << c.expression;
        EXPECT_EQ(error->Position, c.position) << c.expression << ": " << error->Message;
        EXPECT_FALSE(error->Message.empty());
        // Names made up for the calls never reach the user.
        EXPECT_EQ(error->Message.find("_m0"), std::string::npos) << error->Message;
        EXPECT_FALSE(expression.Valid());
        std::vector<double> out(kSize, 1);
        expression.Evaluate(Columns().inputs(), 0, out);
        EXPECT_TRUE(std::isnan(out[0]) && std::isnan(out[kSize - 1])) << c.expression;
    }
}

TEST(MathExpressionTest, NoTextCrashesAndEveryValueIsFiniteOrAGap) {
    const char* tokens[] = {"ch1", "ch2", "ref1", "t", "(", ")", ",", "ddt(", "rms(", "mean(", "lowpass(",
                            "integral(", "+", "-", "*", "/", "^", "?", ":", "1e300", "0", ".5", " ", "_m0___",
                            "sqrt(", "max(", "\"", "#", "\xff", "1e", "=", "<"};
    std::mt19937 random(27);
    const Columns columns;
    MathInputs in = columns.inputs();
    in.Size = 64;
    std::vector<double> out(64);
    int compiled = 0;
    for (int n = 0; n < 3000; ++n) {
        std::string text;
        for (int k = random() % 12; k >= 0; --k) text += tokens[random() % std::size(tokens)];
        MathExpression expression;
        compiled += !expression.Compile(text);
        expression.Evaluate(in, 0, out);
        for (double v : out) ASSERT_TRUE(std::isfinite(v) || std::isnan(v)) << text;
    }
    EXPECT_GT(compiled, 0);
    // Deep nesting and long texts are refused, not recursed into.
    std::string deep;
    for (int k = 0; k < 3000; ++k) deep += "ddt(";
    EXPECT_TRUE(MathExpression().Compile(deep + "ch1"));
    EXPECT_TRUE(MathExpression().Compile(std::string(50000, '(')));
}

TEST(MathLabelTest, NamesAndUnitsHeadTheColumn) {
    EXPECT_EQ(MathLabel(1, {true, "Power", "kW", "ch1*ch2"}), "Power (kW)");
    EXPECT_EQ(MathLabel(2, {true, "Error", "", "ch1-ch2"}), "Error");
    EXPECT_EQ(MathLabel(3, {true, "", "kW", "ch1"}), "Math 3");
}

}  // namespace
}  // namespace altrix::testing
