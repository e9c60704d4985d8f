#pragma once
// The display's four math traces: their definitions, compiled once when they change, and their
// values by window position over the trace source on screen. Values are brought up to date
// when read: a live window that moved on by a few sets costs those sets only (an expression
// that reads a reference or t, both fixed by position, is computed whole), anything else that
// changed the inputs (a gain, a load, a new capture, a frozen window) costs one whole pass.

#include "DataExport.h"
#include "MathTrace.h"
#include "TraceSource.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace altrix {

// The math traces' colours (0xRRGGBB), none a channel's, a reference's, the cursor's or the
// zero line's: orange, hot pink, dodger blue, lavender (fuchsia is the trigger line's).
inline constexpr std::array<std::uint32_t, kMathCount> kMathColours{0xFF8C00, 0xFF69B4, 0x1E90FF, 0xB0A0FF};

// The height of the chart a math trace's full scale takes, in plotted units (the chart's
// vertical range is -33000 .. 33000).
inline constexpr double kMathPlotSpan = 30000;

class MathTraces {
public:
    const MathDefinition& Definition(int m) const { return traces_[m - 1].Definition; }
    // Why math trace m's expression does not compile; none when it does (or is empty).
    const std::optional<MathError>& Error(int m) const { return traces_[m - 1].Error; }
    // Takes a new definition; false when it is the one there was.
    bool Define(int m, const MathDefinition& definition);
    // Enabled with an expression that compiles.
    bool Shown(int m) const;

    // The inputs' samples changed in place: the next update computes everything.
    void Invalidate() { stale_ = true; }
    // The channels on show are `storage`'s ring with its next slot `nextSample`: the same
    // ring moved on counts the sets that came, any other means new samples.
    void Follow(const void* storage, std::int32_t nextSample);
    // Brings the shown traces up to date with `source`, whose traces 1..6 are read with
    // `gains` (the readout's gain texts).
    void Update(const TraceSource& source, const std::array<std::string, 6>& gains);
    // The same over `stretch` of a source longer than a window (a recording), through its
    // samples, with the history the functions over time read before it where the source has
    // it. Recomputed whole when the stretch, the gains or a definition changed. Nothing is
    // computed (LeftOut() says why) when the stretch holds more than `limit` sets or the
    // history more than `limit` sets.
    void UpdateOver(const TraceSource& source, PositionStretch stretch, const std::array<std::string, 6>& gains,
                    std::int32_t limit);
    // Why the last UpdateOver computed nothing; empty when it did, and after Update.
    const std::string& LeftOut() const { return leftOut_; }
    // The position of Values(m)[0]: 0 after Update, the stretch's first after UpdateOver.
    std::int32_t First() const { return first_; }

    // Math trace m's values by position from First() (NaN where there is none), as of the last
    // update; empty while not shown.
    std::span<const double> Values(int m) const;
    // The shown traces' vectors over `stretch` (within the values of the last update), for an
    // export, labelled as the legend and the CSV header name them; the shown traces they do not
    // cover are named in `leftOut`.
    std::vector<DataVector> VectorsOver(PositionStretch stretch, std::vector<std::string>& leftOut) const;

    // The smallest 1-2-5 step (1, 2, 5, 10, 20 ...) at or above its largest magnitude; 1 without a value.
    double FullScale(int m) const { return traces_[m - 1].FullScale; }

private:
    struct Trace {
        MathDefinition Definition;
        std::optional<MathError> Error;
        MathExpression Expression;
        SlidingColumn Values;
        bool Current = false;
        double FullScale = 1;
    };
    std::array<Trace, kMathCount> traces_;
    // Inputs ch1..ch4, ref1, ref2, t by window position, in engineering units.
    std::array<SlidingColumn, kMathInputCount> inputs_;
    std::array<bool, kMathInputCount> inputCurrent_{};
    std::array<std::string, 6> gains_;
    bool stale_ = true;
    std::int64_t moved_ = 0;  // sets the live window moved on by since the last update
    const void* storage_ = nullptr;
    std::int32_t nextSample_ = 0;
    // After UpdateOver: the stretch computed (none when its inputs are no longer current) and
    // where it starts in the columns, past its history.
    std::optional<PositionStretch> over_;
    std::size_t origin_ = 0;
    std::int32_t first_ = 0;
    std::string leftOut_;
};

}  // namespace altrix
