#include "DisplayReadouts.h"

#include "CaptureSession.h"
#include "DataExport.h"
#include "DisplaySettings.h"
#include "Readout.h"

#include <QLocale>

#include <cmath>
#include <utility>

namespace altrix {

// The default locale is the user's unless a test sets another.
QString TimeText(double seconds) {
    return QString::fromStdString(FormatSeconds(seconds, '.')).replace(QLatin1Char('.'), QLocale().decimalPoint());
}

QString TimeText(const Timeline& times, std::int64_t position) {
    return QString::fromStdString(times.SecondsText(position)).replace(QLatin1Char('.'), QLocale().decimalPoint());
}

QString ReciprocalText(double seconds) {
    if (seconds == 0 || !std::isfinite(seconds)) return QStringLiteral("-");
    return QString::number(1 / std::abs(seconds), 'g', 6).replace(QLatin1Char('.'), QLocale().decimalPoint()) +
           QStringLiteral(" Hz");
}

QString DisplayReadouts::Unit(int t) const {
    return QString::fromStdString(UnitOfLabel(settings_.TraceName(t).toStdString()));
}

void DisplayReadouts::showMarkTime(const QString& time, const QString& rate) {
    Write(kMarkTimeReadout, time);
    Write(kMarkRateReadout, rate);
}

void DisplayReadouts::Write(int n, const QString& text) {
    readouts_[static_cast<std::size_t>(n)] = text;
    touched_ |= 1u << n;
}

std::uint32_t DisplayReadouts::TakeWritten() {
    return std::exchange(touched_, 0);
}

std::int16_t DisplayReadouts::valueAtCursor(int t) const {
    // A channel keeps the value of its last slot inside the window; a reference reads 0
    // outside it.
    const DisplayView& view = context_.view;
    if (context_.recording) return context_.recording->sampleAt(t, view.CursorPosition);
    if (t <= kChannelCount) return context_.session.ShownTrace(t)[view.CursorSample];
    if (!IsWindowPosition(view.CursorPosition)) return 0;
    return context_.source->samples(t)[view.CursorPosition];
}

std::int16_t& DisplayReadouts::valueAtMark(int t) {
    DisplayView& view = context_.view;
    return t <= kChannelCount ? view.MarkValues[t - 1] : view.MarkRefValues[t - kChannelCount - 1];
}

void DisplayReadouts::showValue(int t) {
    Write(DataReadout(t), QString::fromStdString(CountDataValue(valueAtCursor(t), settings_.Gain(t).Text).Text));
}

void DisplayReadouts::showDifference(int t) {
    // Formed in 32 bits: -65535..65535.
    Write(DiffReadout(t), QString::fromStdString(
                              CountDataValue(std::int32_t{valueAtCursor(t)} - valueAtMark(t), settings_.Gain(t).Text).Text));
}

void DisplayReadouts::FollowCursor() {
    DisplayView& view = context_.view;
    const std::int32_t position = view.CursorPosition;
    if (!context_.InSource(position)) {
        // CursorSample, the difference readouts and the time difference keep their contents.
        for (int t = 1; t <= kTraceCount; ++t) Write(DataReadout(t), QStringLiteral("N/A"));
        return;
    }
    view.CursorSample = SlotOfPosition(context_.session.ShownNextSample(), position);
    for (int t = 1; t <= kTraceCount; ++t)
        if (settings_.ReadoutShown(t)) showValue(t);
    if (view.MarkPosition != kNoMark) {
        const double seconds = static_cast<double>(std::int64_t{position} - view.MarkPosition) * kSamplePeriodSeconds;
        showMarkTime(TimeText(seconds), ReciprocalText(seconds));
        for (int t = 1; t <= kTraceCount; ++t)
            if (settings_.ReadoutShown(t)) showDifference(t);
    }
}

void DisplayReadouts::TakeMark() {
    context_.view.MarkPosition = context_.view.CursorPosition;
    for (int t = 1; t <= kTraceCount; ++t) valueAtMark(t) = valueAtCursor(t);
}

void DisplayReadouts::RecountTrace(int t) {
    if (!context_.InSource(context_.view.CursorPosition)) {
        Write(DataReadout(t), QStringLiteral("N/A"));
        return;
    }
    showValue(t);
    if (context_.view.MarkPosition != kNoMark) showDifference(t);
}

void DisplayReadouts::ClearForCapture() {
    Write(kTimeReadout, {});
    showMarkTime({}, {});
    for (int k = 1; k <= kChannelCount; ++k) {
        Write(DataReadout(k), {});
        Write(DiffReadout(k), {});
    }
    for (int r = 1; r <= kReferenceCount; ++r) Write(DiffReadout(kChannelCount + r), {});
}

void DisplayReadouts::ClearDifferences() {
    for (int t = 1; t <= kTraceCount; ++t) Write(DiffReadout(t), {});
}

void DisplayReadouts::ShowNewestValues() {
    for (int k = 1; k <= kChannelCount; ++k)
        Write(DataReadout(k), QString::fromStdString(
                                  CountDataValue(context_.source->samples(k)[kNewestPosition], settings_.Gain(k).Text).Text));
}

}  // namespace altrix
