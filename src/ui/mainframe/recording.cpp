// TForm1: recording a capture to a CSV file. "Record to file..." in the File menu and the tool
// bar's Record button (which stays usable during a capture, when the File menu is locked) are
// one switch: on, it asks for the file and records while a capture runs; STOP ends it.

#include "Mainframe.h"

#include "files.h"
#include "ui_Mainframe.h"

#include <QFileInfo>
#include <QLabel>
#include <QLocale>
#include <QStatusBar>

namespace altrix {

void TForm1::connectRecordingHandlers() {
    Ui::TForm1& ui = *ui_;
    recordLabel_ = new QLabel(ui.LinkStatusBar);
    recordLabel_->setObjectName(QStringLiteral("RecordLabel"));
    ui.LinkStatusBar->addPermanentWidget(recordLabel_);
    connect(ui.Record1, &QAction::triggered, this, &TForm1::Record1Click);
    connect(ui.RecordButton, &QToolButton::clicked, this, &TForm1::Record1Click);
    connect(&session_, &CaptureSession::started, this, &TForm1::startRecording);
    connect(&session_, &CaptureSession::recordingEnded, this, &TForm1::showRecordingEnded);
}

void TForm1::setRecordSwitch(bool on) {
    ui_->Record1->setChecked(on);
    ui_->RecordButton->setChecked(on);
}

void TForm1::Record1Click(bool on) {
    if (!on) {
        session_.StopRecording();
        recordPath_.clear();
        setRecordSwitch(false);
        showRecording();
        return;
    }
    recordPath_ = askFileToWrite(RecordDialog);
    setRecordSwitch(!recordPath_.isEmpty());
    // Armed until the next RUN, or recording at once during a capture.
    if (session_.IsRunning()) startRecording();
    showRecording();
}

void TForm1::startRecording() {
    if (recordPath_.isEmpty()) return;
    const std::string problem = session_.StartRecording(NativePath(recordPath_), display_.ChannelColumns());
    if (!problem.empty()) {
        const QString path = recordPath_;
        recordPath_.clear();
        setRecordSwitch(false);
        prompts_.showMessage(QStringLiteral("Record Error"),
                             QStringLiteral("Unable to write %1: %2").arg(path, QString::fromLocal8Bit(problem)),
                             MessageIcon::Error, MessageButtons::Ok);
    }
    showRecording();
}

void TForm1::showRecordingEnded(const QString& error) {
    const QString path = recordPath_;
    recordPath_.clear();
    setRecordSwitch(false);
    showRecording();
    // A write error ends the recording only: the capture goes on, the part written stays.
    if (!error.isEmpty())
        prompts_.showMessage(QStringLiteral("Record Error"),
                             QStringLiteral("Recording to %1 stopped: %2. What was recorded before is kept.")
                                 .arg(path, error),
                             MessageIcon::Error, MessageButtons::Ok);
}

void TForm1::showRecording() {
    const Recorder& recording = session_.Recording();
    const QLocale locale;
    if (recording.Active())
        recordLabel_->setText(QStringLiteral("Recording %1: %2 kB, %3 s")
                                  .arg(QFileInfo(recordPath_).fileName(),
                                       locale.toString(static_cast<double>(recording.Bytes()) / 1024.0, 'f', 0),
                                       locale.toString(static_cast<double>(recording.Sets()) * kSamplePeriodSeconds, 'f', 1)));
    else if (!recordPath_.isEmpty())
        recordLabel_->setText(QStringLiteral("Recording at RUN to %1").arg(QFileInfo(recordPath_).fileName()));
    else
        recordLabel_->clear();
}

}  // namespace altrix
