// TForm1: recording a capture to a recording file (*.arec), or to CSV for a name ending in
// ".csv". "Record to file..." in the File menu and the tool bar's Record button (which stays
// usable during a capture, when the File menu is locked) are one switch: on, it asks for the
// file and records while a capture runs; STOP ends it.

#include "Mainframe.h"

#include "files.h"

#include "DataExport.h"
#include "Presets.h"
#include "Version.h"
#include "ui_Mainframe.h"

#include <QDateTime>
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

namespace {

// What a recording file keeps of the capture besides its samples.
RecordingHeader HeaderOf(const ScopeDisplay& display) {
    RecordingHeader header;
    header.StartedUtc = QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs).toStdString();
    header.ProgramVersion = kProgramVersion;
    if (display.Facts().DriveTypeCode) header.DriveTypeCode = std::to_string(*display.Facts().DriveTypeCode);
    for (int k = 1; k <= kChannelCount; ++k) {
        const ChannelSetting& channel = display.Channel(k);
        const int row = channel.Quantity;
        const bool preset = row >= 0 && row < static_cast<int>(kQuantityPresets.size());
        header.Channels[k - 1] = {channel.Enabled ? channel.Address.trimmed().toStdString() : std::string(),
                                  preset ? std::string(kQuantityPresets[static_cast<std::size_t>(row)].ItemText) : std::string(),
                                  display.Gain(k).Text, UnitOfLabel(display.ColumnName(k))};
    }
    header.Math.emplace();
    for (int m = 1; m <= kMathCount; ++m) (*header.Math)[static_cast<std::size_t>(m - 1)] = display.Math().Definition(m);
    return header;
}

}  // namespace

void TForm1::startRecording() {
    if (recordPath_.isEmpty()) return;
    const std::string path = NativePath(recordPath_);
    const std::string problem = recordPath_.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive)
                                    ? session_.StartRecording(path, display_.ChannelColumns())
                                    : session_.StartLongRecording(path, HeaderOf(display_));
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
    const Recorder& csv = session_.Recording();
    const LongRecorder& file = session_.LongRecording();
    const QLocale locale;
    if (csv.Active() || file.Active())
        recordLabel_->setText(QStringLiteral("Recording %1: %2 kB, %3 s")
                                  .arg(QFileInfo(recordPath_).fileName(),
                                       locale.toString(static_cast<double>(csv.Active() ? csv.Bytes() : file.Bytes()) / 1024.0, 'f', 0),
                                       locale.toString(static_cast<double>(csv.Active() ? csv.Sets() : file.Sets()) * kSamplePeriodSeconds, 'f', 1)));
    else if (!recordPath_.isEmpty())
        recordLabel_->setText(QStringLiteral("Recording at RUN to %1").arg(QFileInfo(recordPath_).fileName()));
    else
        recordLabel_->clear();
}

}  // namespace altrix
