// TForm1: saving the display window to a waveform file and loading one into the channel
// traces, with the window's reset for the loaded traces.

#include "Mainframe.h"

#include "ScopeChart.h"
#include "WaveformFile.h"
#include "ui_Mainframe.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>

#include <string>

namespace altrix {

namespace {

// The time field takes the user's decimal separator, as the time readouts do. A separator
// that is not a single ASCII character cannot go into the 8-bit file: "." stands in.
char TimeDecimalSeparator() {
    const QString point = QLocale().decimalPoint();
    return point.size() == 1 && point[0].unicode() < 0x80 ? point[0].toLatin1() : '.';
}

std::string NativePath(const QString& fileName) {
    return QFile::encodeName(fileName).toStdString();
}

QString FailureText(const char* action, const QString& fileName, const FileResult& result) {
    return QStringLiteral("Unable to %1 %2: %3")
        .arg(QLatin1String(action), fileName, QString::fromLocal8Bit(result.Error));
}

}  // namespace

void TForm1::connectFileHandlers() {
    const Ui::TForm1& ui = *ui_;
    connect(ui.SaveWaveformFile1, &QAction::triggered, this, &TForm1::SaveWaveformFile1Click);
    connect(ui.SpeedButton3, &QToolButton::clicked, this, &TForm1::SaveWaveformFile1Click);
    connect(ui.Loadwaveformfile1, &QAction::triggered, this, &TForm1::Loadwaveformfile1Click);
    connect(ui.SpeedButton2, &QToolButton::clicked, this, &TForm1::Loadwaveformfile1Click);
}

void TForm1::showFileName(const QString& fileName) {
    setWindowTitle(QString::fromLatin1(kCaptionText) + QStringLiteral("----") +
                   QDir::toNativeSeparators(fileName));
}

void TForm1::SaveWaveformFile1Click() {
    const QString fileName = prompts_.askSaveFileName(SaveDialog1);
    if (fileName.isEmpty()) return;
    if (QFileInfo::exists(fileName) &&
        prompts_.showMessage(QStringLiteral("Overwrite?"),
                             QStringLiteral("File name is already existed, overwrite it?"),
                             MessageIcon::Question, MessageButtons::YesNo) != MessageAnswer::Yes)
        return;
    // The caption names only a file that was written; a failed write leaves any existing
    // file as it was.
    const FileResult result = WriteWaveformFile(record(), NativePath(fileName), TimeDecimalSeparator());
    if (!result.Ok) {
        prompts_.showMessage(QStringLiteral("Save Error"), FailureText("write", fileName, result),
                             MessageIcon::Error, MessageButtons::Ok);
        return;
    }
    showFileName(fileName);
    rememberTriggerOfFile(fileName);
}

void TForm1::Loadwaveformfile1Click() {
    // The dialog comes back until the name is that of an existing file, or it is cancelled.
    QString fileName;
    do {
        fileName = prompts_.askOpenFileName(OpenDialog1);
    } while (!fileName.isEmpty() && !QFileInfo::exists(fileName));

    if (!fileName.isEmpty()) {
        // A file that cannot be read leaves the capture and the caption as they were.
        const FileResult result = ReadWaveformFile(record(), NativePath(fileName));
        if (result.Ok) {
            showFileName(fileName);
            recallTriggerOfFile(fileName);
        } else {
            prompts_.showMessage(QStringLiteral("Load Error"), FailureText("read", fileName, result),
                                 MessageIcon::Error, MessageButtons::Ok);
        }
    }
    resetForLoadedTraces();
}

void TForm1::resetForLoadedTraces() {
    CaptureRecord& rec = record();
    for (int k = 1; k <= kChannelCount; ++k) takeChannelScale(k);
    rec.ReadoutEnabled = true;
    // The file names no addresses. The space is none either, but it ticks each channel's box
    // through its change handler, so RUN asks for an address until one is chosen or typed.
    for (const ChannelControls& channel : channels_) channel.address->setText(QStringLiteral(" "));
    for (const ChannelControls& channel : channels_) channel.quantity->setCurrentIndex(-1);
    for (const ChannelControls& channel : channels_) channel.enable->setChecked(true);
    for (const ChannelControls& channel : channels_) channel.diff->clear();
    for (const RefControls& ref : refs_) ref.diff->clear();
    rec.MarkPosition = kNoMark;
    ScopeChart& chart = *ui_->Chart1;
    chart.clearSeries(kMarkSeries);
    // Every channel is shown now: ticked, with a non-empty address.
    redrawShownChannels();
    chart.replot(QCustomPlot::rpQueuedReplot);
}

}  // namespace altrix
