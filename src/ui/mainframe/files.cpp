// TForm1: saving the display window to a waveform file and loading one into the channel
// traces, with the window's reset for the loaded traces. A load that does not complete changes
// nothing. Beside each saved file goes its description ("NAME.wfd.ini"), which a load puts
// back when it still describes the file; the status bar says when it does not. The question
// for a file to write is shared with the exports.

#include "Mainframe.h"

#include "RecordingFileControls.h"
#include "files.h"

#include "CaptureDescription.h"
#include "ScopeChart.h"
#include "Version.h"
#include "WaveformFiles.h"
#include "ui_Mainframe.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QStatusBar>

#include <string>

namespace altrix {

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

QString MathLeftOutText(const std::vector<std::string>& names) {
    if (names.empty()) return {};
    QStringList list;
    for (const std::string& name : names) list << QString::fromStdString(name);
    return QStringLiteral("%1 left out of the file: math traces of a recording are computed over the view or "
                          "mark..cursor, at most %2 min; export one of those for them.")
        .arg(list.join(QStringLiteral(", ")))
        .arg(double(RecordingSource::kStretchLimit) / kRecordingSampleRateHz / 60, 0, 'f', 1);
}

void TForm1::connectFileHandlers() {
    const Ui::TForm1& ui = *ui_;
    connect(ui.SaveWaveformFile1, &QAction::triggered, this, &TForm1::SaveWaveformFile1Click);
    connect(ui.SpeedButton3, &QToolButton::clicked, this, &TForm1::SaveWaveformFile1Click);
    connect(ui.Loadwaveformfile1, &QAction::triggered, this, &TForm1::Loadwaveformfile1Click);
    connect(ui.SpeedButton2, &QToolButton::clicked, this, &TForm1::Loadwaveformfile1Click);
}

void TForm1::showFileName(const QString& fileName) {
    shownFile_ = QDir::toNativeSeparators(fileName);
    setWindowTitle(QString::fromLatin1(kCaptionText) + QStringLiteral("----") +
                   QDir::toNativeSeparators(fileName));
}

QString TForm1::shownSource() const {
    if (display_.ShowsFile()) return (display_.Recording() ? QStringLiteral("recording ") : QStringLiteral("file ")) + shownFile_;
    const QString port = QStringLiteral("port ") + QString::fromStdString(chosenPortName());
    return shownFile_.isEmpty() ? port : port + QStringLiteral(", saved as ") + shownFile_;
}

QString TForm1::askFileName(FileDialogSpec& dialog, const std::function<QString(const FileDialogSpec&)>& ask) {
    FileDialogSpec shown = dialog;
    shown.FileName = Folders.StartOf(dialog.Name, dialog.FileName);
    const QString fileName = ask(shown);
    if (!fileName.isEmpty()) {
        dialog.FileName = fileName;
        remembered_.store(kDialogsSection, dialog.Name.toStdString());
        Folders.Chosen(dialog.Name, fileName);
        if (const QString kind = FileFolders::KindOf(dialog.Name); !kind.isEmpty())
            remembered_.store(kDialogsSection, (kind + QStringLiteral("Folder")).toStdString());
    }
    return fileName;
}

QString TForm1::askFileToWrite(FileDialogSpec& dialog, QString* note) {
    const QString fileName = askFileName(dialog, [this, note](const FileDialogSpec& shown) {
        return note ? prompts_.askSaveFileNameWithNote(shown, *note) : prompts_.askSaveFileName(shown);
    });
    if (fileName.isEmpty()) return {};
    if (QFileInfo::exists(fileName) &&
        prompts_.showMessage(QStringLiteral("Overwrite?"),
                             QStringLiteral("File name is already existed, overwrite it?"),
                             MessageIcon::Question, MessageButtons::YesNo) != MessageAnswer::Yes)
        return {};
    return fileName;
}

void TForm1::SaveWaveformFile1Click() {
    saveCapture(false);
}

bool TForm1::saveCapture(bool wait) {
    if (saving_->saving()) {
        ui_->LinkStatusBar->showMessage(QStringLiteral("A waveform file is being written: save again once it is done."), 5000);
        return false;
    }
    QString note = display_.Facts().Note;
    const QString fileName = askFileToWrite(SaveDialog1, &note);
    if (fileName.isEmpty()) return false;
    // A recording on show gives 100000 of its sets.
    const std::unique_ptr<CaptureRecord> fromRecording = display_.Recording() ? recordingFile_->recordingWindow() : nullptr;
    if (display_.Recording() && !fromRecording) return false;
    CaptureDescription described = display_.Describe(kProgramVersion);
    described.Note = note.toStdString();
    // What the file holds is taken here; the writing goes on beside the window.
    saving_->start(WaveformSave(fromRecording ? *fromRecording : record(), std::move(described), NativePath(fileName),
                                TimeDecimalSeparator()),
                   fileName);
    return !wait || saving_->wait();
}

void TForm1::showSaved(const QString& fileName, const QString& note, const FileResult& described) {
    // The caption names only a file that was written; the samples are kept whether or not
    // their description could be written.
    display_.SetNote(note);
    showFileName(fileName);
    triggerBar_->rememberFile(fileName);
    display_.MarkSaved();
    if (!described.Ok)
        showFileStatus(FailureText("write", QDir::toNativeSeparators(fileName) + QStringLiteral(".ini"), described) +
                       QStringLiteral("; the waveform was saved without its names, gains and trigger"));
}

void TForm1::restoreDescription(const QString& fileName) {
    const QString sidecar = QDir::toNativeSeparators(fileName) + QStringLiteral(".ini");
    const SidecarRead read = ReadSidecar(NativePath(fileName));
    if (read.Status != SidecarStatus::Read) {
        const QString why = read.Status == SidecarStatus::Missing ? QStringLiteral("there is no %1").arg(sidecar)
                                                                  : QStringLiteral("%1 was not used: %2")
                                                                        .arg(sidecar, QString::fromStdString(read.Problem));
        showFileStatus(QStringLiteral("Quantities, gains, Y-scales and trigger not restored: ") + why);
        return;
    }
    const CaptureDescription& d = read.Description;
    display_.ShowDescribedCapture(d);
    triggerBar_->showPosition(display_.Facts().TriggerPosition);
    if (d.TriggerPosition)
        triggerBar_->showState(TriggerPhase::Triggered, QString::fromStdString(d.TriggerSeconds).toDouble());
    QString told = QStringLiteral("Restored from %1").arg(sidecar);
    if (display_.Facts().Start.isValid())
        told += QStringLiteral(": captured %1 UTC").arg(display_.Facts().Start.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
    if (!d.DriveTypeLabel.empty()) told += QStringLiteral(" on %1").arg(QString::fromStdString(d.DriveTypeLabel));
    showFileStatus(told + QStringLiteral("; the references and the trigger setup stay as they were"));
}

void TForm1::showFileStatus(const QString& text) {
    ui_->LinkStatusBar->showMessage(text, kFileStatusMs);
}

void TForm1::Loadwaveformfile1Click() {
    // A save being written ends first: the file chosen may be the one it writes.
    saving_->wait();
    if (!askDiscardCapture()) return;
    // The dialog comes back until the name is that of an existing file, or it is cancelled.
    QString fileName;
    do {
        fileName = askFileName(OpenDialog1, [this](const FileDialogSpec& shown) { return prompts_.askOpenFileName(shown); });
    } while (!fileName.isEmpty() && !QFileInfo::exists(fileName));
    if (!fileName.isEmpty()) loadWaveformFile(fileName);
}

void TForm1::loadWaveformFile(const QString& fileName) {
    // A save being written ends first: what it shows belongs to the capture it saved.
    saving_->wait();
    // A file that cannot be read (reported) and a cancelled read leave the traces, the channel
    // controls and the caption as they were.
    const FileResult result = ReadWaveformWithProgress(record(), fileName, *this);
    if (result.Cancelled) return;
    if (!result.Ok) {
        prompts_.showMessage(QStringLiteral("Load Error"), FailureText("read", fileName, result),
                             MessageIcon::Error, MessageButtons::Ok);
        return;
    }
    showFileName(fileName);
    triggerBar_->recallFile(fileName);
    display_.ShowLoadedTraces();
    restoreDescription(fileName);
}

}  // namespace altrix
