// TForm1: the two reference waveforms. The "Save Ch" items copy a channel's display window
// with its name, Y-scale and gain into a reference; the show items and switches draw or hide
// it; its Y-scale list redraws it while no capture runs. Its gain field is LabeledEditChange.

#include "Mainframe.h"

#include "ScopeChart.h"
#include "ui_Mainframe.h"

namespace altrix {

void TForm1::connectReferenceHandlers() {
    const Ui::TForm1& ui = *ui_;
    const std::array<std::array<QAction*, kChannelCount>, kReferenceCount> saveItems{{
        {ui.Ch11, ui.Ch21, ui.Ch31, ui.Ch41},
        {ui.Ch12, ui.Ch22, ui.Ch32, ui.Ch42},
    }};
    const std::array<QAction*, kReferenceCount> showItems{ui.ShowRef1, ui.ShowRef2};
    for (int r = 1; r <= kReferenceCount; ++r) {
        const RefControls& ref = refs_[r - 1];
        for (int c = 1; c <= kChannelCount; ++c)
            connect(saveItems[r - 1][c - 1], &QAction::triggered, this, [this, r, c] { ChClick(r, c); });
        connect(showItems[r - 1], &QAction::triggered, this, [this, r] { ShowRefClick(r); });
        connect(ref.show, &QCheckBox::toggled, this, [this, r] { RefCheckBoxClick(r); });
        connect(ref.yScale, &QComboBox::activated, this, &TForm1::RefYScaleBoxChange);
    }
}

void TForm1::ChClick(int r, int c) {
    CaptureRecord& rec = record();
    const ChannelControls& channel = channels_[c - 1];
    const RefControls& ref = refs_[r - 1];
    ReferenceSamples& trace = rec.ReferenceTrace[r - 1];
    for (int x = 0; x < kWindowPositions; ++x)
        trace[x] = rec.ChannelTrace[c - 1][SlotOfPosition(rec.NextSample, x)];
    // In engineering mode (the address edits shown together) the address names the source,
    // otherwise the chosen quantity, or nothing without one.
    const bool engineering = channels_[0].address->isVisibleTo(this);
    ref.source->setText(engineering ? channel.address->text() : channel.quantity->currentText());
    ref.yScale->setCurrentIndex(channel.yScale->currentIndex());
    // A new gain recomputes the reference's readouts through LabeledEditChange.
    ref.gain->setText(channel.gain->text());
    rec.MarkRefValues[r - 1] = rec.MarkValues[c - 1];
    // Showing it draws it; a reference already shown is redrawn with its new samples.
    if (ref.show->isChecked())
        RefCheckBoxClick(r);
    else
        ref.show->setChecked(true);
    emit traceViewChanged();
}

void TForm1::ShowRefClick(int r) {
    // The item's own mark toggles by itself and may disagree with the switch.
    QCheckBox& show = *refs_[r - 1].show;
    show.setChecked(!show.isChecked());
}

void TForm1::RefCheckBoxClick(int r) {
    const RefControls& ref = refs_[r - 1];
    ScopeChart& chart = *ui_->Chart1;
    if (ref.show->isChecked())
        DrawRef();
    else
        chart.clearSeries(ref.series);
    chart.replot(QCustomPlot::rpQueuedReplot);
}

void TForm1::RefYScaleBoxChange() {
    // DrawRef rescales both references. During a capture the new scale waits
    // for the next DrawRef.
    if (session_.IsRunning()) return;
    DrawRef();
    ui_->Chart1->replot(QCustomPlot::rpQueuedReplot);
}

}  // namespace altrix
