#include "RecordingFileControls.h"

#include "Prompts.h"
#include "RecordingSource.h"
#include "RecordingWindow.h"
#include "ScopeChart.h"
#include "files.h"

#include <QAction>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QStatusBar>

namespace altrix {

RecordingFileControls::RecordingFileControls(const Controls& controls, const Window& window, Prompts& prompts,
                                             ScopeDisplay& display, const CaptureRecord& record, ScopeChart& chart,
                                             SetClock clock, QObject* parent)
    : QObject(parent), window_(window), prompts_(prompts), display_(display), record_(record), chart_(chart),
      clock_(std::move(clock)), clockLabel_(new QLabel(controls.bar)) {
    auto* open = new QAction(QStringLiteral("Open recording..."), controls.file);
    open->setObjectName(QStringLiteral("OpenRecording1"));
    controls.file->insertAction(controls.before, open);
    connect(open, &QAction::triggered, this, &RecordingFileControls::OpenRecording1Click);
    // An event marked belongs to the source it was found in.
    connect(&display_, &ScopeDisplay::lengthChanged, this, [this] { chart_.setEventMarker(false); });
    clockLabel_->setObjectName(QStringLiteral("RecordingClockLabel"));
    controls.bar->addPermanentWidget(clockLabel_);
    connect(&display_, &ScopeDisplay::readoutsChanged, this, &RecordingFileControls::showClock);
}

void RecordingFileControls::showClock() {
    const std::int32_t cursor = display_.View().CursorPosition;
    const bool inRecording = display_.Recording() && cursor >= 0 && cursor < display_.Source().length();
    clockLabel_->setText(inRecording ? QStringLiteral("Cursor at %1").arg(clock_(cursor)) : QString());
}

void RecordingFileControls::OpenRecording1Click() {
    if (!window_.askDiscard()) return;
    const QString fileName = window_.askFile();
    if (fileName.isEmpty()) return;
    RecordingReader::Opened opened = RecordingReader::Open(NativePath(fileName));
    if (!opened.Reader) {
        prompts_.showMessage(QStringLiteral("Open Error"),
                             QStringLiteral("Unable to open %1: it %2").arg(fileName, QString::fromStdString(opened.Error)),
                             MessageIcon::Error, MessageButtons::Ok);
        return;
    }
    const std::int64_t sets = opened.Reader->Sets();
    const std::size_t gaps = opened.Reader->Gaps().size();
    display_.ShowRecording(std::make_unique<RecordingSource>(std::move(opened.Reader), record_, NativePath(fileName)));
    window_.showFileName(fileName);
    const QLocale locale;
    QString told = QStringLiteral("Recording of %1 s (%2 sets)")
                       .arg(locale.toString(double(sets) * kSamplePeriodSeconds, 'f', 1), locale.toString(sets));
    if (display_.Facts().Start.isValid()) told += QStringLiteral(" from %1").arg(clock_(0));
    window_.tell(told + QStringLiteral(", %1 gaps; RUN starts a new live capture").arg(gaps));
}

void RecordingFileControls::showRecordingSet(std::int64_t set) {
    const PositionStretch view = display_.ViewStretch();
    const double width = std::min<double>(std::max(view.Last - view.First, 1), kNewestPosition);
    const double before = width * display_.Trigger().PreTriggerPercent / 100.0;
    chart_.zoomHorizontal(double(set) - before, double(set) - before + width);
    chart_.setEventMarker(true, double(set));
}

std::unique_ptr<CaptureRecord> RecordingFileControls::recordingWindow() {
    RecordingWindow made = WindowOfStretch(display_.Source(), display_.AnalysisStretch());
    const QLocale locale;
    if (made.TooLong)
        prompts_.showMessage(QStringLiteral("Save Error"),
                             QStringLiteral("A waveform file holds at most %1 sets (20 s); this view holds %2. Zoom in, or "
                                            "set the mark and the cursor at most 20 s apart.")
                                 .arg(locale.toString(kWindowPositions), locale.toString(made.TooLong)),
                             MessageIcon::Error, MessageButtons::Ok);
    else if (!made.Read.Ok)
        prompts_.showMessage(QStringLiteral("Save Error"),
                             FailureText("read", QString::fromStdString(display_.Recording()->Path()), made.Read),
                             MessageIcon::Error, MessageButtons::Ok);
    return std::move(made.Window);
}

}  // namespace altrix
