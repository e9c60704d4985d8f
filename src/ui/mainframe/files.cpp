// TForm1: saving the display window to a waveform file and loading one into the channel
// traces, with the window's reset for the loaded traces. A load that does not complete changes
// nothing. The question for a file to write is shared with the exports.

#include "Mainframe.h"
#include "files.h"

#include "ScopeChart.h"
#include "WaveformFile.h"
#include "ui_Mainframe.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QProgressDialog>

#include <algorithm>
#include <cstdint>
#include <string>

namespace altrix {

namespace {

// The time field takes the user's decimal separator, as the time readouts do. A separator
// that is not a single ASCII character cannot go into the 8-bit file: "." stands in.
char TimeDecimalSeparator() {
    const QString point = QLocale().decimalPoint();
    return point.size() == 1 && point[0].unicode() < 0x80 ? point[0].toLatin1() : '.';
}

constexpr int kProgressSteps = 1000;
constexpr int kProgressDelayMs = 500;

// Reads a waveform file into the record while the window stays alive: the window's events are
// handled after each chunk, and a read that lasts shows its progress in a dialog over `window`
// whose Cancel stops it. Until that dialog shows, user input waits; once it shows, it blocks
// input to the window itself.
FileResult ReadWithProgress(CaptureRecord& record, const QString& fileName, QWidget* window) {
    QProgressDialog progress(QStringLiteral("Loading %1").arg(QDir::toNativeSeparators(fileName)),
                             QStringLiteral("Cancel"), 0, kProgressSteps, window);
    progress.setWindowTitle(QStringLiteral("Load Waveform file"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(kProgressDelayMs);
    progress.setValue(0);
    return ReadWaveformFile(record, NativePath(fileName), [&progress](std::uint64_t done, std::uint64_t total) {
        if (total > 0)
            progress.setValue(static_cast<int>(std::min(done, total) * kProgressSteps / total));
        QCoreApplication::processEvents(progress.isVisible() ? QEventLoop::AllEvents
                                                             : QEventLoop::ExcludeUserInputEvents);
        return !progress.wasCanceled();
    });
}

}  // namespace

std::string NativePath(const QString& fileName) {
    return QFile::encodeName(fileName).toStdString();
}

QString FailureText(const char* action, const QString& fileName, const FileResult& result) {
    return QStringLiteral("Unable to %1 %2: %3")
        .arg(QLatin1String(action), fileName, QString::fromLocal8Bit(result.Error));
}

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

QString TForm1::askFileName(FileDialogSpec& dialog, QString (Prompts::*ask)(const FileDialogSpec&)) {
    const QString fileName = (prompts_.*ask)(dialog);
    if (!fileName.isEmpty()) {
        dialog.FileName = fileName;
        remembered_.store(kDialogsSection, dialog.Name.toStdString());
    }
    return fileName;
}

QString TForm1::askFileToWrite(FileDialogSpec& dialog) {
    const QString fileName = askFileName(dialog, &Prompts::askSaveFileName);
    if (fileName.isEmpty()) return {};
    if (QFileInfo::exists(fileName) &&
        prompts_.showMessage(QStringLiteral("Overwrite?"),
                             QStringLiteral("File name is already existed, overwrite it?"),
                             MessageIcon::Question, MessageButtons::YesNo) != MessageAnswer::Yes)
        return {};
    return fileName;
}

void TForm1::SaveWaveformFile1Click() {
    const QString fileName = askFileToWrite(SaveDialog1);
    if (fileName.isEmpty()) return;
    // The caption names only a file that was written; a failed write leaves any existing
    // file as it was.
    const FileResult result = WriteWaveformFile(record(), NativePath(fileName), TimeDecimalSeparator());
    if (!result.Ok) {
        prompts_.showMessage(QStringLiteral("Save Error"), FailureText("write", fileName, result),
                             MessageIcon::Error, MessageButtons::Ok);
        return;
    }
    showFileName(fileName);
    triggerBar_->rememberFile(fileName);
}

void TForm1::Loadwaveformfile1Click() {
    // The dialog comes back until the name is that of an existing file, or it is cancelled.
    QString fileName;
    do {
        fileName = askFileName(OpenDialog1, &Prompts::askOpenFileName);
    } while (!fileName.isEmpty() && !QFileInfo::exists(fileName));
    // A cancel, a file that cannot be read (reported) and a cancelled read leave the traces,
    // the channel controls and the caption as they were.
    if (fileName.isEmpty()) return;
    const FileResult result = ReadWithProgress(record(), fileName, this);
    if (result.Cancelled) return;
    if (!result.Ok) {
        prompts_.showMessage(QStringLiteral("Load Error"), FailureText("read", fileName, result),
                             MessageIcon::Error, MessageButtons::Ok);
        return;
    }
    showFileName(fileName);
    triggerBar_->recallFile(fileName);
    display_.ShowLoadedTraces();
}

}  // namespace altrix
