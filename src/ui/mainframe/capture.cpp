// TForm1: the capture commands (RUN, STOP, Type Identify) and what the window shows of a
// capture beyond the traces, which the display draws. The CaptureSession runs the link; RUN
// takes its channels and trigger from the display.

#include "Mainframe.h"

#include "EventFinder.h"

#include "CaptureSession.h"
#include "Presets.h"
#include "ScopeChart.h"
#include "ui_Mainframe.h"

#include <QPalette>

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
    connect(&session_, &CaptureSession::started, this, &TForm1::showCaptureStarted);
    connect(&session_, &CaptureSession::stopped, this, &TForm1::showCaptureStopped);
    connect(&session_, &CaptureSession::ticked, this, &TForm1::showCaptureTick);
    connect(&session_, &CaptureSession::identified, this, &TForm1::showDriveType);
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
    display_.SetReadoutEnabled(!locked);
    for (QMenu* menu : {ui.File1, ui.DrawingMode1, ui.Refwaveform1})
        menu->menuAction()->setEnabled(!locked);
    ui.SpeedButton2->setEnabled(!locked);
    ui.SpeedButton3->setEnabled(!locked);
}

std::string TForm1::chosenPortName() const {
    return ui_->COMSelectBox1->currentText().toStdString();
}

void TForm1::Button1Click() {
    // A RUN that does not start (a bad address or trigger level, a port that does not open or
    // answer) leaves the traces, the view and the readouts as they were.
    const ScopeDisplay::RunSetup run = display_.CaptureSetupForRun();
    if (run.BadChannel)
        prompts_.showMessage(QStringLiteral("Channel %1 memory address error").arg(run.BadChannel),
                             QStringLiteral("Please input 4 hexadecimal numbers"), MessageIcon::Warning,
                             MessageButtons::Ok);
    else if (run.BadTriggerLevel)
        prompts_.showMessage(QStringLiteral("Trigger level error"),
                             QStringLiteral("The trigger level \"%1\" is not a number: type a level such as 12.5 or -3.")
                                 .arg(QString::fromStdString(FirstBadLevel(display_.Trigger()).value_or(BadTriggerLevel{}).Level)),
                             MessageIcon::Warning, MessageButtons::Ok);
    else if (askDiscardCapture())
        session_.Start(chosenPortName(), *run.Setup);
}

void TForm1::showCaptureStarted() {
    // The display has moved the view and cleared the traces and readouts.
    setWindowTitle(QString::fromLatin1(kCaptionText));
    shownFile_.clear();
    ui_->Label10->hide();
    lockForCapture(true);
    ui_->Chart1->replot();
}

void TForm1::Button2Click() {
    session_.Stop();
}

void TForm1::showCaptureStopped() {
    lockForCapture(false);
    // With RUN enabled again, this repaint recounts the points for the current view.
    ui_->Chart1->replot();
}

void TForm1::Timer1Timer() {
    session_.Tick();
}

void TForm1::showCaptureTick() {
    // The display has drawn the tick's traces and readouts.
    if (record().DataError) ui_->Label10->show();
}

void TForm1::BitBtn1Click() {
    ParameterRequest();
}

void TForm1::ParameterRequest() {
    session_.Identify(chosenPortName());
}

void TForm1::showDriveType(std::int32_t typeCode) {
    const std::string_view label = DriveTypeLabel(typeCode);
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
