// TForm1: the channel controls (on/off box, address edit, quantity and Y-scale lists, gain) and
// the reference controls (the "Save Ch" items, show items and switches, Y-scale lists, gains),
// bound to the display: each event writes its value into the display, and each change the
// display reports is shown in the controls.

#include "Mainframe.h"

#include "ui_Mainframe.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPalette>

namespace altrix {

namespace {

// Sets a control's value only when it differs, so that a change the display reports does not
// come back to it as an event.
void ShowText(QLineEdit& edit, const QString& text) {
    if (edit.text() != text) edit.setText(text);
}

void ShowIndex(QComboBox& list, int index) {
    if (list.currentIndex() != index) list.setCurrentIndex(index);
}

// An invalid gain keeps its text, shown in red, and counts as 1 until it is corrected.
void ShowGain(QLineEdit& edit, const GainSetting& gain) {
    ShowText(edit, gain.Typed);
    QPalette palette = edit.palette();
    palette.setColor(QPalette::Text, gain.Valid ? QApplication::palette(&edit).color(QPalette::Text) : QColor(Qt::red));
    edit.setPalette(palette);
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
        connect(channel.gain, &QLineEdit::textChanged, this, [this, k] { LabeledEditChange(k); });
    }
}

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
        connect(ref.yScale, &QComboBox::activated, this, [this, r] { RefYScaleBoxChange(r); });
        connect(ref.gain, &QLineEdit::textChanged, this, [this, r] { LabeledEditChange(kChannelCount + r); });
        connect(ref.source, &QLineEdit::textChanged, this,
                [this, r] { display_.SetReferenceSource(r, refs_[r - 1].source->text()); });
    }
}

void TForm1::rememberChannels() {
    using Field = std::string ChannelDescription::*;
    const std::array<std::pair<const char*, Field>, 4> texts{{{"Quantity", &ChannelDescription::Quantity},
                                                              {"Address", &ChannelDescription::Address},
                                                              {"Gain", &ChannelDescription::Gain},
                                                              {"YScale", &ChannelDescription::YScale}}};
    for (int k = 1; k <= kChannelCount; ++k) {
        const std::string n = std::to_string(k);
        for (const auto& [key, field] : texts)
            remembered_.add(
                "Channels", key + n,
                [this, k, field](const QString& stored) {
                    ChannelDescription channel = display_.ChannelDescribed(k);
                    channel.*field = stored.toStdString();
                    display_.RestoreChannel(k, channel);
                },
                [this, k, field] { return QString::fromStdString(display_.ChannelDescribed(k).*field); });
        remembered_.add(
            "Channels", "Enabled" + n,
            [this, k](const QString& stored) {
                ChannelDescription channel = display_.ChannelDescribed(k);
                channel.Enabled = stored == QLatin1String("1");
                display_.RestoreChannel(k, channel);
            },
            [this, k] { return QString::number(display_.Channel(k).Enabled ? 1 : 0); });
    }
}

void TForm1::showChannel(int k) {
    const ChannelControls& channel = channels_[k - 1];
    const ChannelSetting& shown = display_.Channel(k);
    ShowText(*channel.address, shown.Address);
    ShowIndex(*channel.quantity, shown.Quantity);
    ShowIndex(*channel.yScale, shown.YScale);
    ShowGain(*channel.gain, shown.Gain);
    channel.enable->setChecked(shown.Enabled);
}

void TForm1::showReference(int r) {
    const RefControls& ref = refs_[r - 1];
    const ReferenceSetting& shown = display_.Reference(r);
    ShowText(*ref.source, shown.Source);
    ShowIndex(*ref.yScale, shown.YScale);
    ShowGain(*ref.gain, shown.Gain);
    ref.show->setChecked(shown.Shown);
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
    display_.SetChannelAddress(k, channels_[k - 1].address->text());
}

void TForm1::EditClick(int k) {
    channels_[k - 1].address->selectAll();
    display_.ClearQuantity(k);
}

void TForm1::CheckBoxClick(int k) {
    display_.SetChannelEnabled(k, channels_[k - 1].enable->isChecked());
}

void TForm1::YScaleBoxChange(int k) {
    display_.SetChannelYScale(k, channels_[k - 1].yScale->currentIndex());
}

void TForm1::QuantityBoxChange(int k) {
    display_.ChooseQuantity(k, channels_[k - 1].quantity->currentIndex());
}

void TForm1::LabeledEditChange(int t) {
    const bool channel = t <= kChannelCount;
    display_.SetGain(t, (channel ? channels_[t - 1].gain : refs_[t - kChannelCount - 1].gain)->text());
}

void TForm1::ChClick(int r, int c) {
    display_.SaveChannelToReference(r, c);
}

void TForm1::ShowRefClick(int r) {
    // The item's own mark toggles by itself and may disagree with the switch.
    display_.SetReferenceShown(r, !display_.Reference(r).Shown);
}

void TForm1::RefCheckBoxClick(int r) {
    display_.SetReferenceShown(r, refs_[r - 1].show->isChecked());
}

void TForm1::RefYScaleBoxChange(int r) {
    display_.SetReferenceYScale(r, refs_[r - 1].yScale->currentIndex());
}

}  // namespace altrix
