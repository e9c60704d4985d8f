#pragma once
// The readout edits bound to the display's readout texts: each edit shows the text the display
// wrote, as it wrote it, and a trace's value and difference have the trace's unit beside their
// number in a label of their own ("Edit13Unit"), so that the number keeps its exact bytes.

#include "ScopeDisplay.h"

#include <QObject>
#include <QString>

#include <array>
#include <cstdint>
#include <tuple>

class QLabel;
class QLineEdit;

namespace altrix {

class ReadoutFields : public QObject {
public:
    // The edit of each readout, by its number (DisplayReadouts.h); all of them are given.
    using Edits = std::array<QLineEdit*, std::tuple_size_v<Readouts>>;

    // Shows every readout at once, then follows the display, which outlives this binder.
    ReadoutFields(const Edits& edits, const ScopeDisplay& display, QObject* parent);

private:
    void show(std::uint32_t written);
    // Trace t's units from its name, beside its value and difference.
    void showUnits(int t);
    // The unit label of readout n put right after its number; none beside a text that is no
    // number ("N/A") or beside nothing.
    void placeUnit(int n);

    Edits edits_;
    const ScopeDisplay& display_;
    // Only of the value and difference readouts: the label and the unit it shows beside a number.
    std::array<QLabel*, std::tuple_size_v<Readouts>> units_{};
    std::array<QString, std::tuple_size_v<Readouts>> unitTexts_;
};

}  // namespace altrix
