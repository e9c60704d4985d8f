#pragma once
// What the parts of the display share: how traces and series are numbered, and the context they
// work in (the capture session, the trace source on show, the sink it is drawn into, and the
// cursor, mark and density kept between events).

#include "CaptureRecord.h"
#include "CaptureWindowSource.h"
#include "MathTrace.h"
#include "RecordingSource.h"
#include "TraceSink.h"
#include "TraceSource.h"

#include <array>
#include <cstdint>
#include <memory>

namespace altrix {

class CaptureSession;

inline constexpr int kTraceCount = kChannelCount + kReferenceCount;
// Math trace m (1..4) is trace kTraceCount + m.
inline constexpr int kFirstMathTrace = kTraceCount + 1;
inline constexpr int kLastMathTrace = kTraceCount + kMathCount;
// Series of the sink: channel k is series k, reference r series 7 + r, math trace m series 9 + m.
inline constexpr int kCursorSeries = 6;
inline constexpr int kMarkSeries = 7;
constexpr int SeriesOfTrace(int t) {
    return t <= kChannelCount ? t : t + 3;
}

// The view state the readouts and the drawing keep between events.
struct DisplayView {
    std::int32_t DrawPointCount = kStartDrawPointCount;
    std::int32_t CursorPosition = 0;
    std::int32_t CursorSample = 0;
    std::int32_t MarkPosition = kNoMark;
    std::array<std::int16_t, kChannelCount> MarkValues{};
    std::array<std::int16_t, kReferenceCount> MarkRefValues{};
    bool ReadoutEnabled = false;
    std::array<float, kChannelCount> ChannelScale{};
    std::array<float, kReferenceCount> RefScale{};
};

struct DisplayContext {
    explicit DisplayContext(CaptureSession& capture)
        : session(capture), source(std::make_unique<CaptureWindowSource>(capture)) {}

    bool InSource(std::int32_t position) const { return position >= 0 && position < source->length(); }
    // The capture window on show again instead of a recording; true when a recording was.
    bool ShowWindow() {
        if (!recording) return false;
        recording = nullptr;
        source = std::make_unique<CaptureWindowSource>(session);
        return true;
    }

    // Runs the captures and holds the record whose window is on show; outlives the display.
    CaptureSession& session;
    std::unique_ptr<TraceSource> source;
    RecordingSource* recording = nullptr;  // source while it is a recording
    TraceSink* sink = nullptr;             // none draws nothing
    DisplayView view;
};

}  // namespace altrix
