// TForm1: File > "Open recording..." shows a recording file (*.arec) in the window through the
// display's recording source, from its first set to its last; the chart zooms into it down to
// single sets. A file that is no recording of this program is refused with the reason and
// nothing on screen changes. RUN goes back to the live window.

#include "Mainframe.h"

#include "files.h"
#include "ui_Mainframe.h"

#include <QFileInfo>
#include <QLabel>
#include <QLocale>

namespace altrix {

void TForm1::connectRecordingFileHandlers() {
    Ui::TForm1& ui = *ui_;
    auto* open = new QAction(QStringLiteral("Open recording..."), this);
    open->setObjectName(QStringLiteral("OpenRecording1"));
    ui.File1->insertAction(ui.N1, open);
    connect(open, &QAction::triggered, this, &TForm1::OpenRecording1Click);
    connect(&display_, &ScopeDisplay::lengthChanged, this, [this](int positions) { ui_->Chart1->setWholeRange(positions - 1); });
    // The cursor's time of day beside the time readout's seconds, while a recording is shown.
    auto* clock = new QLabel(ui.LinkStatusBar);
    clock->setObjectName(QStringLiteral("RecordingClockLabel"));
    ui.LinkStatusBar->addPermanentWidget(clock);
    connect(&display_, &ScopeDisplay::readoutsChanged, clock, [this, clock] {
        const QString at = display_.CursorClockText();
        clock->setText(at.isEmpty() ? QString() : QStringLiteral("Cursor at %1").arg(at));
    });
}

void TForm1::OpenRecording1Click() {
    if (!askDiscardCapture()) return;
    const QString fileName =
        askFileName(OpenRecordingDialog, [this](const FileDialogSpec& shown) { return prompts_.askOpenFileName(shown); });
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
    display_.ShowRecording(std::make_unique<RecordingSource>(std::move(opened.Reader), record(), NativePath(fileName)));
    showFileName(fileName);
    const QLocale locale;
    QString told = QStringLiteral("Recording of %1 s (%2 sets)")
                       .arg(locale.toString(double(sets) * kSamplePeriodSeconds, 'f', 1), locale.toString(sets));
    if (display_.Facts().Start.isValid())
        told += QStringLiteral(" from %1 UTC").arg(display_.Facts().Start.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
    showFileStatus(told + QStringLiteral(", %1 gaps; RUN starts a new live capture").arg(gaps));
}

void TForm1::showRecordingSet(std::int64_t set) {
    const QCPRange view = ui_->Chart1->xAxis->range();
    const double width = std::min<double>(view.size(), kNewestPosition);
    const double before = width * display_.Trigger().PreTriggerPercent / 100.0;
    ui_->Chart1->zoomHorizontal(double(set) - before, double(set) - before + width);
}

std::unique_ptr<CaptureRecord> TForm1::recordingWindow() {
    const PositionStretch stretch = display_.AnalysisStretch();
    if (stretch.count() > kWindowPositions) {
        prompts_.showMessage(QStringLiteral("Save Error"),
                             QStringLiteral("A waveform file holds at most %1 sets (20 s); this view holds %2. Zoom in, or "
                                            "set the mark and the cursor at most 20 s apart.")
                                 .arg(QLocale().toString(kWindowPositions), QLocale().toString(stretch.count())),
                             MessageIcon::Error, MessageButtons::Ok);
        return nullptr;
    }
    auto window = std::make_unique<CaptureRecord>();
    const std::vector<int> channels{1, 2, 3, 4};
    const std::int64_t first = std::max(stretch.First, 0);
    const std::int64_t count = std::min<std::int64_t>(kWindowPositions, display_.Source().length() - first);
    std::vector<std::int16_t> samples(static_cast<std::size_t>(std::max<std::int64_t>(count, 0)) * channels.size());
    if (count > 0) {
        if (const FileResult read = display_.Source().reader(channels)(first, count, samples); !read.Ok) {
            prompts_.showMessage(QStringLiteral("Save Error"), FailureText("read", QString::fromStdString(display_.Recording()->Path()), read),
                                 MessageIcon::Error, MessageButtons::Ok);
            return nullptr;
        }
    }
    // Slot x shows at position x: the window's sets from the stretch's first, zeros past the end.
    for (std::size_t c = 0; c < channels.size(); ++c)
        for (std::int64_t i = 0; i < count; ++i)
            window->ChannelTrace[c][static_cast<std::size_t>(i)] = samples[c * static_cast<std::size_t>(count) + static_cast<std::size_t>(i)];
    window->NextSample = kWindowPositions;
    return window;
}

}  // namespace altrix
