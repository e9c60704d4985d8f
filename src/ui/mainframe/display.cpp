// TForm1: the drawing modes, and the cursor and mark the chart's mouse hands the display.

#include "Mainframe.h"

#include "ScopeChart.h"
#include "ui_Mainframe.h"

#include <QPalette>

#include <algorithm>
#include <cmath>
#include <limits>

namespace altrix {

namespace {

// A drawing mode's Label21 text and colour, in the order of DrawingMode.
struct ModeCaption {
    const char* text;
    QColor colour;
};
const std::array<ModeCaption, 4> kModeCaptions{{
    {"Drawing Mode : Simplified Mode", QColor(0x00, 0x80, 0x00)},
    {"Drawing Mode : Fast Mode", QColor(0x00, 0x00, 0xFF)},
    {"Drawing Mode : Envelope Mode", QColor(0x80, 0x00, 0x80)},
    {"Drawing Mode : High precision Mode", QColor(0xFF, 0x00, 0x00)},
}};

// Cursor position of a pixel column, truncated toward zero. Positions beyond the 32-bit range
// (a view zoomed out without bound) are held at its ends: they lie outside the window either way.
std::int32_t CursorPositionAtPixel(const ScopeChart& chart, double column) {
    constexpr double lowest = std::numeric_limits<std::int32_t>::min();
    constexpr double highest = std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(std::clamp(std::trunc(chart.valueAtPixel(column)), lowest, highest));
}

}  // namespace

void TForm1::connectDisplayHandlers() {
    ScopeChart& chart = *ui_->Chart1;
    connect(&chart, &ScopeChart::beforeDrawSeries, this, &TForm1::Chart1BeforeDrawSeries);
    connect(&chart, &QCustomPlot::mouseMove, this,
            [this](QMouseEvent* event) { Chart1MouseMove(std::floor(event->position().x())); });
    connect(&chart, &QCustomPlot::mouseDoubleClick, this, &TForm1::Chart1DblClick);
    connect(&display_, &ScopeDisplay::channelChanged, this, &TForm1::showChannel);
    connect(&display_, &ScopeDisplay::referenceChanged, this, &TForm1::showReference);
    connect(&display_, &ScopeDisplay::drawingModeChanged, this, &TForm1::showDrawingMode);
    const Ui::TForm1& ui = *ui_;
    connect(ui.SimplifiedModefastestdrawingbutlowprecision1, &QAction::triggered, this,
            &TForm1::SimplifiedModefastestdrawingbutlowprecision1Click);
    connect(ui.FastMode1, &QAction::triggered, this, &TForm1::FastMode1Click);
    connect(ui.HighprecisionMode, &QAction::triggered, this, &TForm1::HighprecisionModeClick);
    connect(ui.EnvelopeMode1, &QAction::triggered, this, &TForm1::EnvelopeMode1Click);
}

std::array<QAction*, 4> TForm1::modeItems() const {
    const Ui::TForm1& ui = *ui_;
    return {ui.SimplifiedModefastestdrawingbutlowprecision1, ui.FastMode1, ui.EnvelopeMode1, ui.HighprecisionMode};
}

void TForm1::showDrawingMode(DrawingMode mode) {
    const auto m = static_cast<std::size_t>(mode);
    modeItems()[m]->setChecked(true);
    QLabel& label = *ui_->Label21;
    QPalette palette = label.palette();
    palette.setColor(QPalette::WindowText, kModeCaptions[m].colour);
    label.setPalette(palette);
    label.setText(QLatin1String(kModeCaptions[m].text));
}

void TForm1::Chart1BeforeDrawSeries() {
    display_.BeforeDrawSeries();
}

void TForm1::SimplifiedModefastestdrawingbutlowprecision1Click() {
    display_.ChooseDrawingMode(DrawingMode::Simplified);
}

void TForm1::FastMode1Click() {
    display_.ChooseDrawingMode(DrawingMode::Fast);
}

void TForm1::HighprecisionModeClick() {
    display_.ChooseDrawingMode(DrawingMode::HighPrecision);
}

void TForm1::EnvelopeMode1Click() {
    display_.ChooseDrawingMode(DrawingMode::Envelope);
}

void TForm1::Chart1MouseMove(double X) {
    display_.MoveCursor(CursorPositionAtPixel(*ui_->Chart1, X));
}

void TForm1::Chart1DblClick() {
    display_.SetMark();
}

}  // namespace altrix
