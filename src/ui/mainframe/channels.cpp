// TForm1: the channel controls (on/off box, address edit, Y-scale list) and the quantity
// presets that fill a channel's address and gain.

#include "Mainframe.h"

#include "Presets.h"
#include "Readout.h"
#include "ScopeChart.h"
#include "ui_Mainframe.h"

#include <QMouseEvent>

#include <string_view>

namespace altrix {

namespace {

QString Latin1Text(std::string_view text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

// The preset row chosen in a quantity list; none without a selection.
const QuantityPreset* SelectedPreset(const QComboBox& quantity) {
    const int i = quantity.currentIndex();
    if (i < 0 || i >= static_cast<int>(kQuantityPresets.size())) return nullptr;
    return &kQuantityPresets[static_cast<std::size_t>(i)];
}

// Writes the chosen quantity's address into the address edit; no selection leaves it.
void parameter_addr(const QComboBox& quantity, QLineEdit& address) {
    if (const QuantityPreset* preset = SelectedPreset(quantity))
        address.setText(Latin1Text(preset->Address));
}

// Writes the chosen quantity's gain into the gain edit, or "1" without a selection.
void BasevalueToGain(const QComboBox& quantity, QLineEdit& gain) {
    const QuantityPreset* preset = SelectedPreset(quantity);
    gain.setText(Latin1Text(preset ? preset->Gain : kNoPresetGain));
}

}  // namespace

void TForm1::connectChannelHandlers() {
    for (int k = 1; k <= kChannelCount; ++k) {
        const ChannelControls& channel = channels_[k - 1];
        connect(channel.address, &QLineEdit::textChanged, this, [this, k] { EditChange(k); });
        channel.address->installEventFilter(this);  // clicks, see clickedAddressEdit
        connect(channel.enable, &QCheckBox::toggled, this, [this, k] { CheckBoxClick(k); });
        connect(channel.quantity, &QComboBox::activated, this, [this, k] { QuantityBoxChange(k); });
        connect(channel.yScale, &QComboBox::activated, this, [this, k] { YScaleBoxChange(k); });
    }
    for (int t = 1; t <= kTraceCount; ++t)
        connect(readoutRow(t).gain, &QLineEdit::textChanged, this, [this, t] { LabeledEditChange(t); });
}

int TForm1::clickedAddressEdit(const QObject* watched, const QEvent& event) const {
    // A click ends with the left button released over the edit. The filter sees the release
    // before the edit does, but after the press has placed the edit's text cursor, so a
    // selection made now stays.
    if (event.type() != QEvent::MouseButtonRelease) return 0;
    const auto& mouse = static_cast<const QMouseEvent&>(event);
    if (mouse.button() != Qt::LeftButton) return 0;
    for (int k = 1; k <= kChannelCount; ++k) {
        const QLineEdit* address = channels_[k - 1].address;
        // A disabled edit (during a capture) takes no clicks, though its filter sees them.
        if (watched == address && address->isEnabled() &&
            address->rect().contains(mouse.position().toPoint()))
            return k;
    }
    return 0;
}

void TForm1::EditChange(int k) {
    const ChannelControls& channel = channels_[k - 1];
    // The box raises CheckBoxClick only when its state changes: typing further characters
    // into a non-empty address redraws nothing.
    channel.enable->setChecked(!channel.address->text().isEmpty());
}

void TForm1::EditClick(int k) {
    const ChannelControls& channel = channels_[k - 1];
    channel.address->selectAll();
    // While an address is typed the list names no quantity.
    channel.quantity->setCurrentIndex(-1);
}

void TForm1::CheckBoxClick(int k) {
    const ChannelControls& channel = channels_[k - 1];
    ScopeChart& chart = *ui_->Chart1;
    // The address is not looked at: a ticked channel without one is drawn until the next
    // multi-channel redraw clears it.
    if (channel.enable->isChecked())
        DrawWaveform(channel.series, record().DrawPointCount, record().ChannelScale[k - 1], k);
    else
        chart.clearSeries(channel.series);
    // Queued, so that commands ticking several boxes repaint once.
    chart.replot(QCustomPlot::rpQueuedReplot);
}

void TForm1::takeChannelScale(int k) {
    record().ChannelScale[k - 1] = YScaleGain(channels_[k - 1].yScale->currentText().toStdString());
}

void TForm1::YScaleBoxChange(int k) {
    CaptureRecord& rec = record();
    const ChannelControls& channel = channels_[k - 1];
    takeChannelScale(k);
    // During a capture the next tick draws with the new factor.
    if (session_.IsRunning() || !channelShown(k)) return;
    DrawWaveform(channel.series, rec.DrawPointCount, rec.ChannelScale[k - 1], k);
    ui_->Chart1->replot(QCustomPlot::rpQueuedReplot);
}

void TForm1::QuantityBoxChange(int k) {
    const ChannelControls& channel = channels_[k - 1];
    // A new address ticks the box through EditChange, which draws the channel; a new gain
    // recomputes the channel's readouts through LabeledEditChange.
    parameter_addr(*channel.quantity, *channel.address);
    BasevalueToGain(*channel.quantity, *channel.gain);
}

}  // namespace altrix
