#include "ExportCommands.h"

#include "CaptureSession.h"
#include "DisplayExports.h"
#include "ExportDialog.h"
#include "FileTask.h"
#include "ScopeDisplay.h"
#include "files.h"

#include <QAction>
#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>

#include <algorithm>
#include <cstdio>
#include <memory>

namespace altrix {

ExportCommands::ExportCommands(QWidget& window, const Actions& actions, ScopeDisplay& display, const CaptureSession& session,
                               ScopeChart& chart, Prompts& prompts, std::function<QString(FileDialogSpec&)> askFileToWrite,
                               std::function<QString()> title, std::function<QString()> source)
    : QObject(&window), window_(window), display_(display), session_(session), chart_(chart), prompts_(prompts),
      askFileToWrite_(std::move(askFileToWrite)), title_(std::move(title)), source_(std::move(source)), csvAction_(actions.Csv),
      dataAction_(actions.Data) {
    // "Export CSV..." starts at the whole window (a recording's view); "Export data..." at the
    // mark..cursor when a mark is set, else the view.
    connect(actions.Csv, &QAction::triggered, this, [this] {
        openDialog(QStringLiteral("Export CSV"), display_.Recording() ? ExportStretch::View : ExportStretch::Whole, csvFiles_);
    });
    connect(actions.Data, &QAction::triggered, this,
            [this] { openDialog(QStringLiteral("Export data"), ExportStretch::MarkToCursor, dataFiles_); });
    connect(actions.Image, &QAction::triggered, this, &ExportCommands::exportImage);
    connect(actions.CopyImage, &QAction::triggered, this, [this] { QGuiApplication::clipboard()->setImage(ChartImage()); });
}

void ExportCommands::openDialog(const QString& title, ExportStretch preset, FileDialogSpec& files) {
    OpenExportDialog(window_, title, preset, display_.View().MarkPosition != kNoMark,
                     display_.Recording() ? QStringLiteral("The whole recording") : QStringLiteral("The whole window"),
                     [this, &files](ExportStretch stretch, bool raw) { write(stretch, raw, files); });
}

void ExportCommands::write(ExportStretch stretch, bool raw, FileDialogSpec& files) {
    if (task_) return;  // one export at a time
    const QString fileName = askFileToWrite_(files);
    if (fileName.isEmpty()) return;
    const std::string path = NativePath(fileName);
    const ExportSource source = ExportSourceOf(display_, session_.record().DriveTypeCode);
    ExportPlan plan = PlanExport(source, stretch, raw, path);
    if (!plan.Problem.empty()) {
        prompts_.showMessage(QStringLiteral("Export Error"), FailureText("write", fileName, {false, plan.Problem, false}),
                             MessageIcon::Error, MessageButtons::Ok);
        return;
    }
    // What the export reads is taken here, on the window's thread; the writing goes on beside it.
    start(ExportJob(source, std::move(plan), path), fileName);
}

void ExportCommands::start(ExportJob job, const QString& fileName) {
    const std::vector<std::string> leftOut = job.Plan().MathLeftOut;
    const bool raw = job.Plan().What.Raw;
    auto written = std::make_shared<ExportJob>(std::move(job));
    task_ = new FileTask([written](const ExportProgress& progress) { return written->Run(progress); }, this);
    // Not modal: the window and a capture go on while the file is written.
    ShowProgress(*task_, window_, QStringLiteral("ExportProgress"), QStringLiteral("Export"),
                 QStringLiteral("Exporting to %1").arg(QDir::toNativeSeparators(fileName)));
    connect(task_, &FileTask::finished, this, [this, fileName, leftOut, raw] { finish(fileName, leftOut, raw); });
    csvAction_->setEnabled(false);
    dataAction_->setEnabled(false);
    task_->start();
}

void ExportCommands::finish(const QString& fileName, const std::vector<std::string>& leftOut, bool raw) {
    const FileResult result = task_->result();
    task_->deleteLater();
    task_ = nullptr;
    csvAction_->setEnabled(true);
    dataAction_->setEnabled(true);
    // A cancelled export left no file and needs no word.
    if (result.Cancelled) return;
    if (!result.Ok)
        prompts_.showMessage(QStringLiteral("Export Error"), FailureText("write", fileName, result), MessageIcon::Error,
                             MessageButtons::Ok);
    else if (!raw && !leftOut.empty())
        prompts_.showMessage(QStringLiteral("Export"), MathLeftOutText(leftOut), MessageIcon::Information,
                             MessageButtons::Ok);
}

QImage ExportCommands::ChartImage() const {
    return chart_.image(ChartLegend());
}

ScopeChart::Legend ExportCommands::ChartLegend() const {
    ScopeChart::Legend legend;
    // Math traces left out of a recording's view are not in its picture.
    const bool mathLeftOut = !display_.MathNotice().isEmpty();
    for (int t = 1; t <= kLastMathTrace; ++t)
        if (display_.TraceShown(t) && !(t >= kFirstMathTrace && mathLeftOut))
            legend.Entries.push_back({ImageLegendLine(display_, t), SeriesOfTrace(t)});
    legend.Span = ImageNotes(display_, source_ ? source_() : QString(), QDateTime::currentDateTime()).join(QLatin1Char('\n'));
    return legend;
}

void ExportCommands::exportImage() {
    const QString fileName = askFileToWrite_(imageFiles_);
    if (fileName.isEmpty()) return;
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    const QByteArray bytes = chart_.imageFile(suffix, ChartLegend(), title_());
    const FileResult result =
        bytes.isEmpty() ? FileResult{false, "no image format is named \"" + suffix.toStdString() + "\"", false}
                        : ReplaceFile(NativePath(fileName), [&bytes](std::FILE* file) {
                              return std::fwrite(bytes.constData(), 1, bytes.size(), file) == std::size_t(bytes.size());
                          });
    if (!result.Ok)
        prompts_.showMessage(QStringLiteral("Export Error"), FailureText("write", fileName, result), MessageIcon::Error,
                             MessageButtons::Ok);
}

}  // namespace altrix
