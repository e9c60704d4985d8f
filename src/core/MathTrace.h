#pragma once
// Math traces: a trace computed from the channels by an expression typed by the user, such as
// "ch1*ch2" for a power or "rms(ch3, 0.02)" for a current's RMS over a 50 Hz period.
// Expressions are parsed and evaluated by muParser over columns of values in engineering
// units, a whole window (or its newest sets) at a time.
//
// Names an expression reads: ch1..ch4, ref1, ref2 (engineering units) and t (seconds).
// Besides muParser's own functions and operators, five functions over time:
//   ddt(x)          derivative, (x[i] - x[i-1]) x rate; none at the first position
//   lowpass(x, fc)  first-order low pass with cut-off fc Hz, y += a (x - y), a = 1 - exp(-2 pi fc / rate),
//                   starting at the first value
//   rms(x, T)       RMS over the last N = round(T x rate) positions (at least 1); none before N
//   mean(x, T)      mean over the same N positions
//   integral(x)     trapezoidal integral from the origin (0 there, none before; see MathInputs)
// Their second arguments are constant numbers (> 0). A value that is no finite number (a
// division by zero, sqrt(-1)) is NaN, which the chart draws as a gap: ddt, rms and mean are
// NaN wherever they read one; lowpass and integral are NaN there and carry their state over it.
//
// The contract of these functions: each call is computed before the expression that holds it,
// as a column of its own over the same positions (its argument x evaluated by muParser over
// the window), since a muParser callback sees one value at a time and no sequence. The
// columns are kept, so that a window that moves on by a few sets is brought up to date by
// shifting them and computing the new positions only, with the same state as a whole pass.

#include <array>
#include <cstddef>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace altrix {

inline constexpr int kMathCount = 4;
// The columns an expression reads: ch1..ch4, ref1, ref2, then t.
inline constexpr int kMathInputCount = 7;
inline constexpr int kMathTimeInput = 6;
inline constexpr std::array<std::string_view, kMathInputCount> kMathInputNames{"ch1",  "ch2",  "ch3", "ch4",
                                                                                "ref1", "ref2", "t"};

// A math trace as the user defines it.
struct MathDefinition {
    bool Enabled = false;
    std::string Name;
    std::string Unit;
    std::string Expression;
    bool operator==(const MathDefinition&) const = default;
};

// How math trace m (1..4) is headed and named: "Power (kW)", "Power" without a unit, "Math 1"
// without a name.
std::string MathLabel(int m, const MathDefinition& definition);

// Why an expression does not compile: the character (0-based) where the fault lies, -1 when
// it lies nowhere in particular, and what it is.
struct MathError {
    int Position = -1;
    std::string Message;
};

// A column of a window that moves on a few positions at a time: it lives in storage twice its
// size and goes back to the start of it only once it reaches the end, so that moving costs
// nothing most of the time. Positions that came in by a move hold no value until written.
class SlidingColumn {
public:
    // A new size empties the column.
    void Resize(std::size_t size);
    std::size_t size() const { return size_; }
    std::span<double> values() { return {storage_.data() + offset_, size_}; }
    std::span<const double> values() const { return {storage_.data() + offset_, size_}; }
    // What was at position x + sets is now at x.
    void Shift(std::size_t sets);

private:
    std::vector<double> storage_;
    std::size_t offset_ = 0;
    std::size_t size_ = 0;
};

// Columns of a window of `Size` positions: the inputs the expression reads (others may be
// null), each of Size values.
struct MathInputs {
    std::array<const double*, kMathInputCount> Columns{};
    std::size_t Size = 0;
    double SampleRateHz = 5000;
    // The first position shown: what comes before is history the functions over time read
    // (integral starts here).
    std::size_t Origin = 0;
};

// A compiled expression with the columns of its functions over time. Any text may be
// compiled; a text that does not compile evaluates to nothing.
class MathExpression {
public:
    MathExpression();
    ~MathExpression();
    MathExpression(MathExpression&&) noexcept;
    MathExpression& operator=(MathExpression&&) noexcept;

    // Compiles `text`; none on success.
    std::optional<MathError> Compile(std::string_view text);
    bool Valid() const;
    // Whether the expression reads input n (see kMathInputNames).
    bool Reads(int n) const;
    // The positions of history before a position that make its value what an endless history
    // gives: ddt 1, rms and mean N - 1, lowpass 16 time constants (within 1e-7 of a step),
    // summed over nested calls; 0 without functions over time.
    std::size_t History(double sampleRateHz) const;

    // Computes positions from .. Size - 1 into out[from ..]. With from > 0 the positions
    // before keep the values of the previous call on the same window (see Shift): the
    // functions over time go on from them. `out` holds Size values.
    void Evaluate(const MathInputs& inputs, std::size_t from, std::span<double> out);
    // The window of `size` positions moved on by `sets`: what was at position x + sets is now
    // at x. The caller shifts its inputs and output alike.
    void Shift(std::size_t size, std::size_t sets);

private:
    struct Program;
    std::unique_ptr<Program> program_;
};

}  // namespace altrix
