// TForm1: exports of the display window. "Export CSV..." writes its sample sets in the
// quantities' units (or raw) after a small dialog, optionally only from the mark to the
// cursor; "Export image..." writes the chart as shown, with a legend of the shown traces and
// the time span, as PNG, SVG or PDF by the file's suffix; "Copy image" puts the same picture
// on the clipboard. Files are written whole or not at all, and failures are reported.

#include "Mainframe.h"

#include "DataExport.h"
#include "files.h"

#include "CsvExport.h"
#include "ExportCsvDialog.h"
#include "Readout.h"
#include "ScopeChart.h"
#include "ui_Mainframe.h"

#include <QClipboard>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace altrix {

namespace {

QString SecondsText(std::int32_t position) {
    return QString::fromStdString(FormatSeconds(PositionSeconds(position), '.'));
}

}  // namespace

void TForm1::connectExportHandlers() {
    const Ui::TForm1& ui = *ui_;
    connect(ui.ExportCsv1, &QAction::triggered, this, &TForm1::ExportCsv1Click);
    connect(ui.ExportImage1, &QAction::triggered, this, &TForm1::ExportImage1Click);
    connect(ui.CopyImage1, &QAction::triggered, this, &TForm1::CopyImage1Click);
}

void TForm1::ExportCsv1Click() {
    OpenExportCsvDialog(*this, display_.View().MarkPosition != kNoMark,
                        [this](bool raw, bool markToCursor) { exportCsv(raw, markToCursor); });
}

FileResult TForm1::writeScreenCsv(const std::string& path, bool raw, std::int32_t first, std::int32_t last) const {
    if (display_.Recording()) {
        // A recording is read a chunk of sets at a time, whatever the stretch's length.
        DataExport what;
        std::vector<int> traces;
        for (int t = 1; t <= kTraceCount; ++t) {
            if (t > kChannelCount && !display_.TraceShown(t)) continue;
            what.Traces.push_back({display_.ColumnName(t), display_.Gain(t).Text, {}});
            traces.push_back(t);
        }
        const std::int32_t lastSet = display_.Source().length() - 1;
        what.First = std::clamp(std::min(first, last), 0, lastSet);
        what.Count = std::clamp(std::max(first, last), 0, lastSet) - what.First + 1;
        what.Raw = raw;
        // The math traces computed over the stretch after them; the others are left out, and told.
        std::vector<std::string> leftOut;
        what.Math = display_.MathVectorsOver({what.First, static_cast<std::int32_t>(what.First + what.Count - 1)}, leftOut);
        const FileResult result = WriteCsvSets(what, display_.Source().reader(traces), path);
        if (result.Ok && !raw && !leftOut.empty())
            prompts_.showMessage(QStringLiteral("Export"), MathLeftOutText(leftOut), MessageIcon::Information, MessageButtons::Ok);
        return result;
    }
    CsvExport what;
    TraceWindows windows;
    for (int t = 1; t <= kTraceCount; ++t) {
        CsvColumn column{display_.ColumnName(t), display_.Gain(t).Text};
        if (t <= kChannelCount)
            what.Channels[t - 1] = std::move(column);
        else if (display_.TraceShown(t))
            what.References[t - kChannelCount - 1] = std::move(column);
        windows[t - 1] = display_.Source().samples(t);
    }
    // The shown math traces after them.
    for (int t = kFirstMathTrace; t <= kLastMathTrace; ++t)
        if (display_.TraceShown(t)) what.Math.push_back({display_.ColumnName(t), display_.MathValues(t - kTraceCount)});
    what.Raw = raw;
    what.First = first;
    what.Last = last;
    return WriteCsvFile(windows, what, path);
}

void TForm1::exportCsv(bool raw, bool markToCursor) {
    const QString fileName = askFileToWrite(CsvExportDialog);
    if (fileName.isEmpty()) return;
    const DisplayView& view = display_.View();
    // Of a recording, the sets in view rather than the whole.
    const PositionStretch whole = display_.Recording() ? display_.ViewStretch() : PositionStretch{0, kNewestPosition};
    const FileResult result = markToCursor ? writeScreenCsv(NativePath(fileName), raw, view.MarkPosition, view.CursorPosition)
                                           : writeScreenCsv(NativePath(fileName), raw, whole.First, whole.Last);
    if (!result.Ok)
        prompts_.showMessage(QStringLiteral("Export Error"), FailureText("write", fileName, result),
                             MessageIcon::Error, MessageButtons::Ok);
}

QImage TForm1::chartImage() {
    return ui_->Chart1->image(chartLegend());
}

ScopeChart::Legend TForm1::chartLegend() const {
    ScopeChart::Legend legend;
    // Math traces left out of a recording's view are not in its picture.
    const bool mathLeftOut = !display_.MathNotice().isEmpty();
    for (int t = 1; t <= kLastMathTrace; ++t)
        if (display_.TraceShown(t) && !(t >= kFirstMathTrace && mathLeftOut))
            legend.Entries.push_back({QString::fromStdString(display_.ColumnName(t)), SeriesOfTrace(t)});
    // The positions in view, as the Time readout names them.
    const QCPRange view = ui_->Chart1->xAxis->range();
    const double end = display_.Source().length() - 1;
    const auto first = static_cast<std::int32_t>(std::clamp(std::ceil(view.lower), 0.0, end));
    const auto last = static_cast<std::int32_t>(std::clamp(std::floor(view.upper), 0.0, end));
    legend.Span = QStringLiteral("Time %1 s to %2 s").arg(SecondsText(first), SecondsText(std::max(first, last)));
    return legend;
}

void TForm1::ExportImage1Click() {
    const QString fileName = askFileToWrite(ImageExportDialog);
    if (fileName.isEmpty()) return;
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    const QByteArray bytes = ui_->Chart1->imageFile(suffix, chartLegend(), windowTitle());
    const FileResult result =
        bytes.isEmpty() ? FileResult{false, "no image format is named \"" + suffix.toStdString() + "\"", false}
                        : ReplaceFile(NativePath(fileName), [&bytes](std::FILE* file) {
                              return std::fwrite(bytes.constData(), 1, bytes.size(), file) == std::size_t(bytes.size());
                          });
    if (!result.Ok)
        prompts_.showMessage(QStringLiteral("Export Error"), FailureText("write", fileName, result),
                             MessageIcon::Error, MessageButtons::Ok);
}

void TForm1::CopyImage1Click() {
    QGuiApplication::clipboard()->setImage(chartImage());
}

}  // namespace altrix
