// TForm1: drawing the traces and references, the drawing modes, the density recount on
// repaint, the zoom commands, and the cursor and mark readouts.

#include "Mainframe.h"

#include "Decimation.h"
#include "Readout.h"
#include "ScopeChart.h"
#include "ui_Mainframe.h"

#include <QApplication>
#include <QLocale>
#include <QPalette>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

namespace altrix {

namespace {

// The points of a chart series, refilled in place: the series keeps its storage from one
// redraw to the next, and appending to the container directly saves the shared-pointer copy
// that ScopeChart::addPoint makes per point (with it a 4 x 100000 redraw took three times as
// long).
QCPGraphDataContainer& PointsOf(ScopeChart& chart, int series) {
    return *chart.series(series)->data();
}

// A sink of the decimation functions that appends to a series' container.
auto AppendTo(QCPGraphDataContainer& points) {
    return [&points](double x, double y) { points.add(QCPGraphData(x, y)); };
}

// Bottom-axis value at a pixel column of the chart, truncated toward zero. Kept as a double:
// a view zoomed out without bound outgrows every integer type.
double PositionAtPixel(const ScopeChart& chart, double column) {
    return std::trunc(chart.valueAtPixel(column));
}

// Cursor position of a pixel column. Positions beyond the 32-bit range (a view zoomed out
// without bound) are held at its ends: they lie outside the window either way.
std::int32_t CursorPositionAtPixel(const ScopeChart& chart, double column) {
    constexpr double lowest = std::numeric_limits<std::int32_t>::min();
    constexpr double highest = std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(std::clamp(PositionAtPixel(chart, column), lowest, highest));
}

// The cursor and mark lines: from -32768 to 32767 at position x, a point mark at each end.
void AddVerticalLine(ScopeChart& chart, int series, std::int32_t x) {
    chart.addPoint(series, x, 32767);
    chart.addPoint(series, x, -32768);
}

}  // namespace

// The default locale is the user's unless a test sets another.
QString TimeText(double seconds) {
    return QString::fromStdString(FormatSeconds(seconds, '.'))
        .replace(QLatin1Char('.'), QLocale().decimalPoint());
}

namespace {

// The gain text as the core reads it: where the user's decimal separator is not ".", it
// stands for "." (which stays valid too, as the presets write it).
std::string GainText(const QLineEdit& gain) {
    QString text = gain.text();
    const QString point = QLocale().decimalPoint();
    if (point != QLatin1String(".")) text.replace(point, QLatin1String("."));
    return text.toStdString();
}

// An invalid gain keeps its text, shown in red, and counts as 1 until it is corrected.
void MarkGain(QLineEdit& gain) {
    QPalette palette = gain.palette();
    palette.setColor(QPalette::Text, IsValidGain(GainText(gain)) ? QApplication::palette(&gain).color(QPalette::Text)
                                                                 : QColor(Qt::red));
    gain.setPalette(palette);
}

}  // namespace

bool TForm1::channelShown(int k) const {
    const ChannelControls& channel = channels_[k - 1];
    return channel.enable->isChecked() && !channel.address->text().isEmpty();
}

ColumnView TForm1::chartView() const {
    const ScopeChart& chart = *ui_->Chart1;
    return {chart.valueAtPixel(0), chart.valueAtPixel(ScopeChart::kWidth), ScopeChart::kWidth};
}

void TForm1::DrawWaveform(int series, std::int32_t pointCount, float scale, int channel) {
    // The record's traces, or a Normal trigger's window while the capture runs on.
    const WindowSamples window = ChannelWindow(session_.ShownTrace(channel), session_.ShownNextSample());
    QCPGraphDataContainer& points = PointsOf(*ui_->Chart1, series);
    points.clear();
    if (envelope_)
        EnvelopePoints(window, chartView(), scale, AppendTo(points));
    else
        PickChannelPoints(window, pointCount, scale, AppendTo(points));
}

void TForm1::redrawShownChannels() {
    const CaptureRecord& rec = record();
    for (int k = 1; k <= kChannelCount; ++k) {
        const ChannelControls& channel = channels_[k - 1];
        if (channelShown(k))
            DrawWaveform(channel.series, rec.DrawPointCount, rec.ChannelScale[k - 1], k);
        else
            ui_->Chart1->clearSeries(channel.series);
    }
}

void TForm1::DrawRef() {
    CaptureRecord& rec = record();
    for (std::size_t r = 0; r < refs_.size(); ++r)
        rec.RefScale[r] = YScaleGain(refs_[r].yScale->currentText().toStdString());
    drawReferences();
}

void TForm1::drawReferences() {
    const CaptureRecord& rec = record();
    for (std::size_t r = 0; r < refs_.size(); ++r) {
        QCPGraphDataContainer& points = PointsOf(*ui_->Chart1, refs_[r].series);
        points.clear();
        const WindowSamples window = ReferenceWindow(rec.ReferenceTrace[r]);
        const bool shown = refs_[r].show->isChecked();
        // A hidden reference keeps its closing point in every mode.
        if (envelope_ && shown)
            EnvelopePoints(window, chartView(), rec.RefScale[r], AppendTo(points));
        else
            PickReferencePoints(window, rec.DrawPointCount, rec.RefScale[r], shown, AppendTo(points));
    }
}

void TForm1::followViewWithEnvelope() {
    const ColumnView view = chartView();
    if (view == envelopeView_) return;
    redrawShownChannels();
    drawReferences();
    envelopeView_ = view;
}

void TForm1::checkzoom_andredraw() {
    CaptureRecord& rec = record();
    const ScopeChart& chart = *ui_->Chart1;
    const double right = PositionAtPixel(chart, ScopeChart::kWidth);
    const double left = PositionAtPixel(chart, 0);
    // The visible fraction is kept as a 32-bit float: the row limits are the widths
    // 45000 and 30000 exactly.
    const float r = static_cast<float>(static_cast<long double>(right - left) * (1.0L / kNewestPosition));
    const int row = r > 0.45L ? 0 : r >= 0.3L ? 1 : 2;

    const std::int32_t previous = rec.DrawPointCount;
    for (const DrawingMode& mode : drawingModes_) {
        if (mode.item->isChecked()) {
            rec.DrawPointCount = mode.stoppedPointCounts[row];
            break;
        }
    }
    // An envelope follows every change of the view. Otherwise the references keep the
    // density of their last DrawRef.
    if (envelope_)
        followViewWithEnvelope();
    else if (rec.DrawPointCount != previous)
        redrawShownChannels();
}

void TForm1::Chart1BeforeDrawSeries() {
    // A capture keeps its own density, but an envelope follows the view in a capture too.
    if (!session_.IsRunning())
        checkzoom_andredraw();
    else if (envelope_)
        followViewWithEnvelope();
}

void TForm1::chooseDrawingMode(const DrawingMode& mode) {
    CaptureRecord& rec = record();
    rec.ReadoutEnabled = false;
    rec.DrawPointCount = mode.menuPointCount;
    envelope_ = mode.envelope;
    redrawShownChannels();
    DrawRef();
    envelopeView_ = chartView();
    showDrawingMode(mode);
    rec.ReadoutEnabled = true;
    // The repaint recounts the points for the current view.
    ui_->Chart1->replot();
}

void TForm1::showDrawingMode(const DrawingMode& mode) {
    envelope_ = mode.envelope;
    mode.item->setChecked(true);
    session_.SetCaptureDensity(mode.capturePointCount);
    QLabel& label = *ui_->Label21;
    QPalette palette = label.palette();
    palette.setColor(QPalette::WindowText, mode.colour);
    label.setPalette(palette);
    label.setText(mode.caption);
}

void TForm1::SimplifiedModefastestdrawingbutlowprecision1Click() {
    chooseDrawingMode(drawingModes_[0]);
}

void TForm1::FastMode1Click() {
    chooseDrawingMode(drawingModes_[1]);
}

void TForm1::HighprecisionModeClick() {
    chooseDrawingMode(drawingModes_[3]);
}

void TForm1::EnvelopeMode1Click() {
    chooseDrawingMode(drawingModes_[2]);
}

void TForm1::SpeedButton4Click() {
    ui_->Chart1->undoZoom();
}

void TForm1::SpeedButton5Click() {
    ui_->Chart1->zoomPercent(110);
}

void TForm1::SpeedButton6Click() {
    ui_->Chart1->zoomPercent(90);
}

void TForm1::AlignViewToNewest() {
    ScopeChart& chart = *ui_->Chart1;
    const double right = PositionAtPixel(chart, ScopeChart::kWidth);
    const double left = PositionAtPixel(chart, 0);
    if (right == left)
        return;  // no whole-sample width to keep
    const long double shift = (static_cast<long double>(99999.0f) - right) / (right - left) * 1000.0f;
    // A view scrolled far away could ask for a shift beyond any pixel range; such a shift
    // is held at a bound that still moves the view by more than it could ever show.
    constexpr long double kMaxShift = 1e9L;
    const int s = static_cast<int>(std::trunc(std::clamp(shift, -kMaxShift, kMaxShift)));
    chart.zoomToPixelRect(QRect(s, 0, ScopeChart::kWidth, ScopeChart::kHeight));
}

void TForm1::CountDataValue(std::int32_t value, QLineEdit* gainField, QLineEdit* readout) {
    readout->setText(QString::fromStdString(altrix::CountDataValue(value, GainText(*gainField)).Text));
}

std::string TForm1::gainText(int t) const {
    return GainText(*readoutRow(t).gain);
}

TForm1::ReadoutRow TForm1::readoutRow(int t) const {
    if (t <= kChannelCount) {
        const ChannelControls& channel = channels_[t - 1];
        return {channel.enable, channel.gain, channel.data, channel.diff};
    }
    const RefControls& ref = refs_[t - kChannelCount - 1];
    return {ref.show, ref.gain, ref.data, ref.diff};
}

std::int16_t TForm1::valueAtCursor(int t) const {
    const CaptureRecord& rec = record();
    if (t <= kChannelCount) return rec.ChannelTrace[t - 1][rec.CursorSample];
    // References are stored by position, and hold nothing outside the window.
    if (!IsWindowPosition(rec.CursorPosition)) return 0;
    return rec.ReferenceTrace[t - kChannelCount - 1][rec.CursorPosition];
}

std::int16_t& TForm1::valueAtMark(int t) {
    CaptureRecord& rec = record();
    return t <= kChannelCount ? rec.MarkValues[t - 1] : rec.MarkRefValues[t - kChannelCount - 1];
}

void TForm1::showValue(int t) {
    const ReadoutRow row = readoutRow(t);
    CountDataValue(valueAtCursor(t), row.gain, row.data);
}

void TForm1::showDifference(int t) {
    const ReadoutRow row = readoutRow(t);
    // Formed in 32 bits: -65535..65535.
    CountDataValue(std::int32_t{valueAtCursor(t)} - valueAtMark(t), row.gain, row.diff);
}

void TForm1::Chart1MouseMove(double X) {
    CaptureRecord& rec = record();
    ScopeChart& chart = *ui_->Chart1;
    rec.CursorPosition = CursorPositionAtPixel(chart, X);
    const bool inWindow = IsWindowPosition(rec.CursorPosition);
    ui_->LabeledEdit9->setText(inWindow ? TimeText(PositionSeconds(rec.CursorPosition))
                                        : QStringLiteral("Over range"));
    // During a capture or a drawing-mode redraw only the time follows the mouse.
    if (!rec.ReadoutEnabled) return;

    chart.clearSeries(kCursorSeries);
    AddVerticalLine(chart, kCursorSeries, rec.CursorPosition);
    if (!inWindow) {
        // CursorSample, the difference readouts and the time difference keep their contents.
        for (int t = 1; t <= kTraceCount; ++t) readoutRow(t).data->setText(QStringLiteral("N/A"));
    } else {
        rec.CursorSample = SlotOfPosition(rec.NextSample, rec.CursorPosition);
        for (int t = 1; t <= kTraceCount; ++t)
            if (readoutRow(t).shown->isChecked()) showValue(t);
        if (rec.MarkPosition != kNoMark) {
            const std::int64_t steps = std::int64_t{rec.CursorPosition} - rec.MarkPosition;
            ui_->Edit9->setText(TimeText(static_cast<double>(steps) * kSamplePeriodSeconds));
            for (int t = 1; t <= kTraceCount; ++t)
                if (readoutRow(t).shown->isChecked()) showDifference(t);
        }
    }
    chart.replot(QCustomPlot::rpQueuedReplot);
    emit traceViewChanged();
}

void TForm1::Chart1DblClick() {
    CaptureRecord& rec = record();
    ScopeChart& chart = *ui_->Chart1;
    chart.clearSeries(kMarkSeries);
    // No mark can be set during a capture or a drawing-mode redraw. The position is the one
    // of the last mouse move; outside the window the channels keep the values of the last
    // in-window slot and the references read 0.
    if (rec.ReadoutEnabled) {
        AddVerticalLine(chart, kMarkSeries, rec.CursorPosition);
        rec.MarkPosition = rec.CursorPosition;
        for (int t = 1; t <= kTraceCount; ++t) valueAtMark(t) = valueAtCursor(t);
    }
    chart.replot(QCustomPlot::rpQueuedReplot);
    emit traceViewChanged();
}

void TForm1::LabeledEditChange(int t) {
    const CaptureRecord& rec = record();
    MarkGain(*readoutRow(t).gain);
    // The readouts follow every gain edit, whether or not the trace is shown or a capture runs.
    if (!IsWindowPosition(rec.CursorPosition)) {
        readoutRow(t).data->setText(QStringLiteral("N/A"));
        return;
    }
    showValue(t);
    if (rec.MarkPosition != kNoMark) showDifference(t);
}

}  // namespace altrix
