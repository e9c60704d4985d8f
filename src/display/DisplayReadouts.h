#pragma once
// The readout texts: the cursor's time, the time from the mark and its reciprocal, and per
// trace its value at the cursor and its difference from the mark, as the core counts them with
// the trace's gain, and the unit they are in. Each text written is remembered until the display
// tells its listeners which were.

#include "DisplayContext.h"
#include "Timeline.h"

#include <QString>

#include <array>
#include <cstdint>

namespace altrix {

class DisplaySettings;

// Seconds as the time readouts show them: up to 15 significant digits, the decimal separator of
// the default locale.
QString TimeText(double seconds);
// The time of `position` on `times` in the user's number format: "0.0002", "10.0002".
QString TimeText(const Timeline& times, std::int64_t position);
// The frequency whose period is `seconds` long, 1 / |seconds|, in Hz to 6 significant digits
// with the decimal separator of the default locale: "5000 Hz", "0.440723 Hz"; "-" for none.
QString ReciprocalText(double seconds);

// The texts of the readouts, numbered: the cursor's time, the time from the mark, per trace t
// its value at the cursor and its difference from the mark, and the frequency of the time from
// the mark (written whenever that time is).
inline constexpr int kTimeReadout = 0;
inline constexpr int kMarkTimeReadout = 1;
constexpr int DataReadout(int t) {
    return 1 + t;
}
constexpr int DiffReadout(int t) {
    return 1 + kTraceCount + t;
}
inline constexpr int kMarkRateReadout = 2 + 2 * kTraceCount;
using Readouts = std::array<QString, 3 + 2 * kTraceCount>;

class DisplayReadouts {
public:
    DisplayReadouts(DisplayContext& context, const DisplaySettings& settings) : context_(context), settings_(settings) {}

    const Readouts& Texts() const { return readouts_; }
    // The unit trace t's value and difference are in: the one its name gives in parentheses
    // ("DC_bus (Vdc)" -> "Vdc", a reference's as the channel it was copied from); empty without.
    QString Unit(int t) const;
    // Readout n written; TakeWritten says which were since it was last called, as bits 1 << n.
    void Write(int n, const QString& text);
    std::uint32_t TakeWritten();

    // The cursor moved (the time readout is the caller's): each ticked trace's value, and with
    // a mark its difference and the time from it; "N/A" outside the source.
    void FollowCursor();
    // The mark set at the cursor: each trace's value there kept. Outside the window the
    // channels keep the values of the last in-window position and the references read 0.
    void TakeMark();
    // Reference r takes channel c's value at the mark with its samples.
    void CopyMarkValue(int r, int c) { context_.view.MarkRefValues[r - 1] = context_.view.MarkValues[c - 1]; }
    // Trace t's gain changed: its value and difference counted again, whether or not the trace
    // is shown.
    void RecountTrace(int t);
    // A capture starts: the times and the channels' values and differences emptied, the
    // references' differences too.
    void ClearForCapture();
    // Every difference emptied.
    void ClearDifferences();
    // Every channel's newest value on show, shown or not.
    void ShowNewestValues();

private:
    void showValue(int t);
    void showDifference(int t);
    void showMarkTime(const QString& time, const QString& rate);
    std::int16_t valueAtCursor(int t) const;
    std::int16_t& valueAtMark(int t);

    DisplayContext& context_;
    const DisplaySettings& settings_;
    Readouts readouts_;
    std::uint32_t touched_ = 0;
};

}  // namespace altrix
