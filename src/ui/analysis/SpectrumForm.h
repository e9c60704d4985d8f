#pragma once
// The spectrum window: the amplitude spectrum of one shown trace over the analysed stretch,
// 0 .. 2500 Hz, in engineering units or dB, with its strongest peak, a readout under the
// mouse and zoom on the frequency axis. Shown in a dock of the main window; during a
// capture it follows the traces at most five times a second.

#include "Spectrum.h"

#include <QWidget>

#include <functional>
#include <memory>

class QCPRange;
class QMouseEvent;

namespace Ui {
class SpectrumForm;
}

namespace altrix {

class CoalescedUpdate;
class ScopeDisplay;

class SpectrumForm : public QWidget {
    Q_OBJECT
public:
    // `display` must outlive the window.
    explicit SpectrumForm(const ScopeDisplay& display, QWidget* parent = nullptr);
    ~SpectrumForm() override;

    void traceViewChanged();
    // The colour trace t is drawn in on the chart; the spectrum of t is drawn in it.
    void setTraceColours(std::function<QColor(int t)> colourOf) { colourOf_ = std::move(colourOf); }

private:
    // The source list: the shown traces by name, keeping the chosen trace while it is shown.
    void refillSources();
    void updateSpectrum();
    // Plots the last spectrum in the chosen unit and writes the peak.
    void showSpectrum();
    void showCursor(QMouseEvent* event);
    // An amplitude in the unit of the plot.
    double plotted(double amplitude) const;
    QString amplitudeText(double amplitude) const;
    QString unit_;  // of the trace analysed, as its name gives it; empty for none
    void limitFrequencyRange(const QCPRange& range);

    const ScopeDisplay& display_;
    std::unique_ptr<Ui::SpectrumForm> ui_;
    CoalescedUpdate* update_;
    SpectrumAnalyzer analyzer_;
    std::function<QColor(int t)> colourOf_;
};

}  // namespace altrix
