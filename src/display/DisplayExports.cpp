#include "DisplayExports.h"

#include "Presets.h"
#include "ScopeDisplay.h"

namespace altrix {

ExportSource ExportSourceOf(const ScopeDisplay& display, std::int32_t identifiedType) {
    ExportSource source;
    source.Source = &display.Source();
    source.Times = display.Times();
    for (int t = 1; t <= kTraceCount; ++t) {
        const bool channel = t <= kChannelCount;
        // A reference is written while it is shown; a channel always to CSV, to .mat and .h5
        // while ticked.
        const bool shown = channel ? display.Channel(t).Enabled : display.TraceShown(t);
        if (!channel && !shown) continue;
        source.Traces.push_back({t,
                                 {display.ColumnName(t), display.Gain(t).Text,
                                  channel ? display.Channel(t).Address.trimmed().toStdString() : std::string()},
                                 shown, true});
    }
    source.View = display.ViewStretch();
    const DisplayView& view = display.View();
    if (view.MarkPosition != kNoMark) source.Mark = view.MarkPosition;
    source.Cursor = view.CursorPosition;
    const std::string_view type = DriveTypeLabel(display.Facts().DriveTypeCode.value_or(identifiedType));
    if (type != kUnknownDriveLabel) source.DriveType = type;
    source.Math = [&display](PositionStretch stretch, std::vector<std::string>& leftOut) {
        return display.MathVectorsOver(stretch, leftOut);
    };
    return source;
}

}  // namespace altrix
