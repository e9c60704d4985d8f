// TForm1: capture control (RUN, STOP), the capture tick that drains the port and decodes the
// sample stream, and Type Identify.

#include "Mainframe.h"

#include "CommPort.h"
#include "Presets.h"
#include "ScopeChart.h"
#include "ScopeExchange.h"
#include "ScopeProtocol.h"
#include "StreamDecoder.h"
#include "ui_Mainframe.h"

#include <QPalette>
#include <QTimer>

#include <optional>
#include <span>

namespace altrix {

namespace {

const QColor kKnownDriveColour(0x00, 0x80, 0x00);  // green
const QColor kUnknownDriveColour(0xFF, 0x00, 0x00);  // red

}  // namespace

void TForm1::connectCaptureHandlers() {
    const Ui::TForm1& ui = *ui_;
    connect(ui.Button1, &QPushButton::clicked, this, &TForm1::Button1Click);
    connect(ui.Button2, &QPushButton::clicked, this, &TForm1::Button2Click);
    connect(ui.BitBtn1, &QPushButton::clicked, this, &TForm1::BitBtn1Click);
    connect(Timer1, &QTimer::timeout, this, &TForm1::Timer1Timer);
}

void TForm1::lockForCapture(bool locked) {
    Ui::TForm1& ui = *ui_;
    for (const ChannelControls& channel : channels_) {
        channel.enable->setEnabled(!locked);
        channel.quantity->setEnabled(!locked);
        channel.address->setEnabled(!locked);
    }
    ui.Button1->setEnabled(!locked);
    ui.BitBtn1->setEnabled(!locked);
    ui.Button2->setEnabled(true);
    record_->ReadoutEnabled = !locked;
    for (QMenu* menu : {ui.File1, ui.DrawingMode1, ui.Refwaveform1})
        menu->menuAction()->setEnabled(!locked);
    ui.SpeedButton2->setEnabled(!locked);
    ui.SpeedButton3->setEnabled(!locked);
}

bool TForm1::openPort() {
    CaptureRecord& rec = *record_;
    rec.PortName = ui_->COMSelectBox1->currentText().toStdString();
    const OpenResult result = port_.Open(rec.PortName, rec.BaudRate);
    port_.PortOpen = result == OpenResult::Opened;
    if (port_.PortOpen) return true;
    if (result == OpenResult::SettingsRefused)
        prompts_.showMessage(QStringLiteral("Set Error"), QStringLiteral("通訊埠設定錯誤!!!"),
                             MessageIcon::None, MessageButtons::Ok);
    prompts_.showMessage(QStringLiteral("Comm Error"), QStringLiteral("開啟通訊埠錯誤！！"),
                         MessageIcon::None, MessageButtons::Ok);
    return false;
}

void TForm1::Button1Click() {
    CaptureRecord& rec = *record_;
    Ui::TForm1& ui = *ui_;
    ScopeChart& chart = *ui.Chart1;

    AlignViewToNewest();
    setWindowTitle(QString::fromLatin1(kCaptionText));
    for (const ChannelControls& channel : channels_) chart.clearSeries(channel.series);
    chart.clearSeries(kCursorSeries);
    chart.clearSeries(kMarkSeries);
    ui.Edit9->clear();
    ui.Label10->hide();
    ResetForRun(rec);
    for (int k = 1; k <= kChannelCount; ++k) takeChannelScale(k);

    // A channel that is switched off asks the drive for the unused address.
    ChannelAddresses addresses{};
    for (int k = 1; k <= kChannelCount; ++k) {
        const ChannelControls& channel = channels_[k - 1];
        const std::optional<std::uint16_t> address =
            channel.enable->isChecked() ? ParseChannelAddress(channel.address->text().toStdString())
                                        : kUnusedChannelAddress;
        if (!address) {
            // The cleared traces show behind the box; nothing else changes.
            chart.replot();
            prompts_.showMessage(QStringLiteral("Channel %1 memory address error").arg(k),
                                 QStringLiteral("Please input 4 hexadecimal numbers"),
                                 MessageIcon::Warning, MessageButtons::Ok);
            return;
        }
        addresses[k - 1] = *address;
    }

    ui.LabeledEdit9->clear();
    for (const ChannelControls& channel : channels_) {
        channel.data->clear();
        channel.diff->clear();
    }
    for (const RefControls& ref : refs_) ref.diff->clear();
    lockForCapture(true);
    // Painted before the port is opened: the start exchange pauses for 100 ms, and a failed
    // open shows its boxes over the locked window.
    chart.replot();

    // A failed open leaves the controls locked and the timer off until STOP.
    if (!openPort()) return;
    SendStartCapture(port_, addresses);
    Timer1->start();
}

void TForm1::Button2Click() {
    SendStreamReset(port_);
    port_.Close();
    Timer1->stop();
    port_.PortOpen = false;
    redrawShownChannels();
    lockForCapture(false);
    // With RUN enabled again, this repaint recounts the points for the current view.
    ui_->Chart1->replot();
}

void TForm1::Timer1Timer() {
    CaptureRecord& rec = *record_;
    rec.ReceivedCount = port_.ReadAvailable(rec.ReceiveBuffer);
    ChannelEnables enabled{};
    for (int k = 1; k <= kChannelCount; ++k) enabled[k - 1] = channels_[k - 1].enable->isChecked();
    StoreAndDecode(rec, std::span(rec.ReceiveBuffer).first(static_cast<std::size_t>(rec.ReceivedCount)),
                   enabled);

    // The checked drawing mode sets the density; High precision's when none is checked.
    rec.DrawPointCount = drawingModes_.back().capturePointCount;
    for (const DrawingMode& mode : drawingModes_) {
        if (mode.item->isChecked()) {
            rec.DrawPointCount = mode.capturePointCount;
            break;
        }
    }
    redrawShownChannels();
    ui_->Chart1->replot();

    // Every channel's newest value, shown or not.
    const int newest = NewestSlot(rec.NextSample);
    for (int k = 1; k <= kChannelCount; ++k) {
        const ChannelControls& channel = channels_[k - 1];
        CountDataValue(rec.ChannelTrace[k - 1][newest], channel.gain, channel.data);
    }
    if (rec.DataError) ui_->Label10->show();
    emit traceViewChanged();
}

void TForm1::BitBtn1Click() {
    ParameterRequest();
}

void TForm1::ParameterRequest() {
    CaptureRecord& rec = *record_;
    rec.StreamRing.fill(0);
    // A failed open leaves the button as it was.
    if (!openPort()) return;
    SendIdentifyRequest(port_);
    rec.ReceiveBuffer.fill(0);
    // Bytes that do not arrive in time read as 0.
    const auto reply = std::span(rec.ReceiveBuffer).first<kIdentifyReplyBytes>();
    ReadReply(port_, reply, kIdentifyReplyWait);
    rec.DriveTypeCode = DecodeIdentifyReply(reply).TypeCode;
    port_.Close();
    port_.PortOpen = false;

    const std::string_view label = DriveTypeLabel(rec.DriveTypeCode);
    QPushButton& button = *ui_->BitBtn1;
    button.setText(QString::fromLatin1(label.data(), static_cast<qsizetype>(label.size())));
    // The label's colour while the button is enabled; disabled during a capture it greys.
    const QColor& colour = label != kUnknownDriveLabel ? kKnownDriveColour : kUnknownDriveColour;
    QPalette palette = button.palette();
    palette.setColor(QPalette::Active, QPalette::ButtonText, colour);
    palette.setColor(QPalette::Inactive, QPalette::ButtonText, colour);
    button.setPalette(palette);
}

}  // namespace altrix
