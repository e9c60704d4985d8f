#include "SpectrumForm.h"

#include "CoalescedUpdate.h"
#include "DataExport.h"
#include "RecordingSource.h"
#include "ScopeDisplay.h"
#include "ui_SpectrumForm.h"

#include <algorithm>
#include <cmath>

namespace altrix {

namespace {

constexpr double kSampleRateHz = 1.0 / kSamplePeriodSeconds;
constexpr double kTopHz = kSampleRateHz / 2;
constexpr int kCapturingIntervalMs = 200;  // five updates a second
// The dB plot shows this far below its strongest bin; silence reads as its floor.
constexpr double kDbRange = 120;
constexpr double kFloorDb = -300;
// The narrowest frequency view.
constexpr double kMinSpanHz = 1;

}  // namespace

SpectrumForm::SpectrumForm(const ScopeDisplay& display, QWidget* parent)
    : QWidget(parent),
      display_(display),
      ui_(std::make_unique<Ui::SpectrumForm>()),
      update_(new CoalescedUpdate(*this, kCapturingIntervalMs, [this] { updateSpectrum(); })) {
    ui_->setupUi(this);
    QCustomPlot& plot = *ui_->SpectrumPlot;
    plot.addGraph();
    plot.graph(0)->setAdaptiveSampling(true);
    plot.xAxis->setLabel(QStringLiteral("Frequency (Hz)"));
    plot.xAxis->setRange(0, kTopHz);
    plot.setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
    plot.axisRect()->setRangeDrag(Qt::Horizontal);
    plot.axisRect()->setRangeZoom(Qt::Horizontal);
    plot.setMouseTracking(true);
    // The chart's look: black, a dark grey grid, grey axes and labels.
    plot.setBackground(QBrush(Qt::black));
    plot.axisRect()->setBackground(QBrush(Qt::black));
    const QColor label(0xC0, 0xC0, 0xC0);
    for (QCPAxis* axis : {plot.xAxis, plot.yAxis}) {
        for (const auto setPen : {&QCPAxis::setBasePen, &QCPAxis::setTickPen, &QCPAxis::setSubTickPen}) (axis->*setPen)(QPen(label));
        axis->setTickLabelColor(label);
        axis->setLabelColor(label);
        axis->grid()->setPen(QPen(QColor(0x34, 0x34, 0x34), 1, Qt::DotLine));
        axis->grid()->setZeroLinePen(QPen(QColor(0x50, 0x50, 0x50)));
    }
    plot.graph(0)->setPen(QPen(QColor(0x00, 0xFF, 0x00)));

    connect(plot.xAxis, qOverload<const QCPRange&>(&QCPAxis::rangeChanged), this,
            &SpectrumForm::limitFrequencyRange);
    connect(&plot, &QCustomPlot::mouseMove, this, &SpectrumForm::showCursor);
    connect(&plot, &QCustomPlot::mouseDoubleClick, this, [this] {
        ui_->SpectrumPlot->xAxis->setRange(0, kTopHz);
        ui_->SpectrumPlot->replot(QCustomPlot::rpQueuedReplot);
    });
    connect(ui_->SpectrumSourceBox, &QComboBox::activated, this, &SpectrumForm::updateSpectrum);
    connect(ui_->SpectrumDbBox, &QCheckBox::toggled, this, &SpectrumForm::showSpectrum);
}

SpectrumForm::~SpectrumForm() = default;

void SpectrumForm::traceViewChanged() {
    update_->request(display_.Capturing());
}

void SpectrumForm::limitFrequencyRange(const QCPRange& range) {
    const double span = std::clamp(range.size(), kMinSpanHz, kTopHz);
    const double lower = std::clamp(range.lower, 0.0, kTopHz - span);
    if (lower != range.lower || span != range.size())
        ui_->SpectrumPlot->xAxis->setRange(lower, lower + span);
}

void SpectrumForm::refillSources() {
    QComboBox& box = *ui_->SpectrumSourceBox;
    QStringList names;
    QList<int> traces;
    for (int t = 1; t <= kLastMathTrace; ++t) {
        if (!display_.TraceShown(t)) continue;
        names << display_.TraceName(t);
        traces << t;
    }
    // Refilled only on a change, so that an open list stays as it is.
    bool same = box.count() == names.size();
    for (int i = 0; same && i < box.count(); ++i)
        same = box.itemText(i) == names[i] && box.itemData(i).toInt() == traces[i];
    if (same) return;
    const int chosen = box.currentData().toInt();
    box.clear();
    for (int i = 0; i < names.size(); ++i) box.addItem(names[i], traces[i]);
    box.setCurrentIndex(std::max(0, box.findData(chosen)));
}

void SpectrumForm::updateSpectrum() {
    refillSources();
    const int t = ui_->SpectrumSourceBox->currentData().toInt();
    unit_ = t == 0 ? QString() : QString::fromStdString(UnitOfLabel(display_.TraceName(t).toStdString()));
    if (t != 0 && colourOf_) ui_->SpectrumPlot->graph(0)->setPen(QPen(colourOf_(t)));
    if (t == 0)
        analyzer_.compute({}, 1, kSampleRateHz);
    else if (t >= kFirstMathTrace)
        analyzer_.compute(display_.MathValuesOver(t - kTraceCount, display_.AnalysisStretch()), kSampleRateHz);
    else
        analyzer_.compute(display_.Source().samplesOver(t, display_.AnalysisStretch()), display_.GainFactorOf(t), kSampleRateHz);
    showSpectrum();
}

double SpectrumForm::plotted(double amplitude) const {
    if (!ui_->SpectrumDbBox->isChecked()) return amplitude;
    return amplitude > 0 ? std::max(20 * std::log10(amplitude), kFloorDb) : kFloorDb;
}

QString SpectrumForm::amplitudeText(double amplitude) const {
    if (ui_->SpectrumDbBox->isChecked()) return QStringLiteral("%1 dB").arg(plotted(amplitude), 0, 'f', 1);
    return unit_.isEmpty() ? QString::number(amplitude, 'g', 5) : QStringLiteral("%1 %2").arg(amplitude, 0, 'g', 5).arg(unit_);
}

void SpectrumForm::showSpectrum() {
    QCustomPlot& plot = *ui_->SpectrumPlot;
    QCPGraphDataContainer& points = *plot.graph(0)->data();
    points.clear();
    const auto amplitudes = analyzer_.amplitudes();
    double top = 0;
    for (std::size_t k = 0; k < amplitudes.size(); ++k) {
        const double y = plotted(amplitudes[k]);
        points.add(QCPGraphData(static_cast<double>(k) * analyzer_.binHz(), y));
        top = k == 0 ? y : std::max(top, y);
    }
    if (ui_->SpectrumDbBox->isChecked()) {
        plot.yAxis->setLabel(unit_.isEmpty() ? QStringLiteral("dB") : QStringLiteral("dB re 1 %1").arg(unit_));
        plot.yAxis->setRange(top - kDbRange, top + 10);
    } else {
        plot.yAxis->setLabel(unit_.isEmpty() ? QStringLiteral("Amplitude") : QStringLiteral("Amplitude (%1)").arg(unit_));
        plot.yAxis->setRange(0, top > 0 ? top * 1.1 : 1);
    }

    const auto peak = analyzer_.peak();
    // A recording's stretch can be longer than a spectrum takes: say so rather than show nothing.
    const bool tooLong = display_.Recording() && display_.AnalysisStretch().count() > RecordingSource::kStretchLimit;
    ui_->SpectrumPeakLabel->setText(
        peak      ? QStringLiteral("Peak %1 Hz, %2").arg(peak->FrequencyHz, 0, 'f', 2).arg(amplitudeText(peak->Amplitude))
        : tooLong ? QStringLiteral("No spectrum of more than %1 s: zoom in, or set a mark and the cursor")
                        .arg(RecordingSource::kStretchLimit / kSampleRateHz, 0, 'f', 1)
                  : QStringLiteral("Peak -"));
    plot.replot(QCustomPlot::rpQueuedReplot);
}

void SpectrumForm::showCursor(QMouseEvent* event) {
    const auto amplitudes = analyzer_.amplitudes();
    if (amplitudes.empty()) {
        ui_->SpectrumCursorLabel->clear();
        return;
    }
    const double hz = ui_->SpectrumPlot->xAxis->pixelToCoord(event->position().x());
    const double bin = std::clamp(std::round(hz / analyzer_.binHz()), 0.0, static_cast<double>(amplitudes.size() - 1));
    const auto k = static_cast<std::size_t>(bin);
    ui_->SpectrumCursorLabel->setText(QStringLiteral("%1 Hz: %2")
                                          .arg(static_cast<double>(k) * analyzer_.binHz(), 0, 'f', 2)
                                          .arg(amplitudeText(amplitudes[k])));
}

}  // namespace altrix
