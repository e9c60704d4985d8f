#include "DisplayExports.h"

#include "Presets.h"
#include "ScopeDisplay.h"

#include <cmath>

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

namespace {

QString WithUnit(const QString& value, const QString& unit) {
    return unit.isEmpty() || value.isEmpty() || value == QLatin1String("-") ? value : value + QLatin1Char(' ') + unit;
}

QString MathText(double v) {
    return std::isnan(v) ? QStringLiteral("-") : QString::number(v == 0 ? 0.0 : v, 'g', 6);
}

}  // namespace

QString ImageLegendLine(const ScopeDisplay& display, int t) {
    QString line = QString::fromStdString(display.ColumnName(t));
    const DisplayView& view = display.View();
    if (!view.ReadoutEnabled) return line;
    QString value;
    QString difference;
    QString unit;
    if (t >= kFirstMathTrace) {
        const int m = t - kTraceCount;
        unit = QString::fromStdString(display.Math().Definition(m).Unit);
        const double cursor = display.MathValueAt(m, view.CursorPosition);
        value = MathText(cursor);
        if (view.MarkPosition != kNoMark) difference = MathText(cursor - display.MathValueAt(m, view.MarkPosition));
    } else {
        unit = display.ReadoutUnit(t);
        value = display.ReadoutTexts()[static_cast<std::size_t>(DataReadout(t))];
        if (view.MarkPosition != kNoMark) difference = display.ReadoutTexts()[static_cast<std::size_t>(DiffReadout(t))];
    }
    if (!value.isEmpty()) line += QStringLiteral("   ") + WithUnit(value, unit);
    if (!difference.isEmpty()) line += QStringLiteral("   \u25B3 ") + WithUnit(difference, unit);
    return line;
}

QStringList ImageNotes(const ScopeDisplay& display, const QString& source, const QDateTime& at) {
    const PositionStretch shown = display.ViewStretch();
    const Timeline times = display.Times();
    QStringList notes{QStringLiteral("Time %1 s to %2 s")
                          .arg(QString::fromStdString(times.SecondsText(shown.First)),
                               QString::fromStdString(times.SecondsText(std::max(shown.First, shown.Last))))};
    if (!source.isEmpty()) notes << QStringLiteral("From %1").arg(source);
    // The time of the first set in view where the source knows it (a window not yet filled
    // starts with the capture's first set), else the day of the export.
    std::string clock = SetClockText(times, shown.First, ClockForm::DateAndTime);
    if (const std::optional<std::int64_t> first = times.PositionOfSet(0);
        clock.empty() && first && *first > shown.First && *first <= shown.Last)
        clock = SetClockText(times, *first, ClockForm::DateAndTime);
    if (!clock.empty())
        notes << QStringLiteral("First set in view at %1").arg(QString::fromStdString(clock));
    else
        notes << QStringLiteral("Exported %1").arg(at.toString(QStringLiteral("yyyy-MM-dd")));
    const DisplayView& view = display.View();
    if (view.ReadoutEnabled) {
        const Readouts& texts = display.ReadoutTexts();
        QString cursor = QStringLiteral("Cursor %1 s").arg(texts[kTimeReadout]);
        if (view.MarkPosition != kNoMark)
            cursor += QStringLiteral(", from the mark %1 s (%2)").arg(texts[kMarkTimeReadout], texts[kMarkRateReadout]);
        notes << cursor;
    }
    return notes;
}

}  // namespace altrix
