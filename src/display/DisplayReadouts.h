#pragma once
// The readout texts: the cursor's time, the time from the mark, and per trace its value at the
// cursor and its difference from the mark, as the core counts them with the trace's gain. Each
// text written is remembered until the display tells its listeners which were.

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

// The texts of the readouts, numbered: the cursor's time, the time from the mark, and per
// trace t its value at the cursor and its difference from the mark.
inline constexpr int kTimeReadout = 0;
inline constexpr int kMarkTimeReadout = 1;
constexpr int DataReadout(int t) {
    return 1 + t;
}
constexpr int DiffReadout(int t) {
    return 1 + kTraceCount + t;
}
using Readouts = std::array<QString, 2 + 2 * kTraceCount>;

class DisplayReadouts {
public:
    DisplayReadouts(DisplayContext& context, const DisplaySettings& settings) : context_(context), settings_(settings) {}

    const Readouts& Texts() const { return readouts_; }
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
    std::int16_t valueAtCursor(int t) const;
    std::int16_t& valueAtMark(int t);

    DisplayContext& context_;
    const DisplaySettings& settings_;
    Readouts readouts_;
    std::uint32_t touched_ = 0;
};

}  // namespace altrix
