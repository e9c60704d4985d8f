#pragma once
// What the analysis windows read of the window that owns the traces: each trace's name,
// gain, visibility and samples, and the stretch of positions under analysis. Read-only;
// the owner tells the windows when any of it changes.

#include "Stretch.h"

#include <QString>

namespace altrix {

class TraceSource {
public:
    // Traces are numbered 1..traceCount().
    virtual int traceCount() const = 0;
    virtual QString traceName(int t) const = 0;
    virtual bool traceShown(int t) const = 0;
    // Engineering units per raw unit.
    virtual double traceGain(int t) const = 0;
    virtual SampleRuns traceSamples(int t, PositionStretch stretch) const = 0;
    virtual PositionStretch analysisStretch() const = 0;
    // True while a capture runs and the traces change at every tick.
    virtual bool capturing() const = 0;

protected:
    ~TraceSource() = default;
};

}  // namespace altrix
