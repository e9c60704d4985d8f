// TForm1: exports of the display window. "Export CSV..." writes its sample sets in the
// quantities' units (or raw) after a small dialog, optionally only from the mark to the
// cursor; "Export image..." writes the chart as shown, with a legend of the shown traces and
// the time span, as PNG, SVG or PDF by the file's suffix; "Copy image" puts the same picture
// on the clipboard. Files are written whole or not at all, and failures are reported.

#include "Mainframe.h"
#include "files.h"

#include "CsvExport.h"
#include "Readout.h"
#include "ScopeChart.h"
#include "ui_Mainframe.h"

#include <QBuffer>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QImageWriter>
#include <QLineEdit>
#include <QPageSize>
#include <QPdfWriter>
#include <QSvgGenerator>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace altrix {

namespace {

struct LegendEntry {
    QString name;
    QColor colour;
};

// A box in the chart's top left corner: a line of each trace's colour before its name, then
// the time span. Sizes follow the painter's font, so the box suits every device.
void PaintLegend(QPainter& painter, const std::vector<LegendEntry>& entries, const QString& span) {
    const QFontMetrics metrics = painter.fontMetrics();
    const int line = metrics.height();
    const int pad = std::max(2, line / 3);
    const int swatch = 2 * line;
    int textWidth = metrics.horizontalAdvance(span);
    for (const LegendEntry& entry : entries)
        textWidth = std::max(textWidth, swatch + pad + metrics.horizontalAdvance(entry.name));
    const QRect box(pad, pad, textWidth + 2 * pad, line * static_cast<int>(entries.size() + 1) + 2 * pad);

    painter.save();
    painter.setPen(QColor(0xC0, 0xC0, 0xC0));
    painter.setBrush(QColor(0, 0, 0, 200));
    painter.drawRect(box);
    int top = box.top() + pad;
    const int left = box.left() + pad;
    for (const LegendEntry& entry : entries) {
        painter.setPen(QPen(entry.colour, 2));
        painter.drawLine(left, top + line / 2, left + swatch, top + line / 2);
        painter.setPen(Qt::white);
        painter.drawText(QRect(left + swatch + pad, top, textWidth, line), Qt::AlignLeft | Qt::AlignVCenter,
                         entry.name);
        top += line;
    }
    painter.setPen(Qt::white);
    painter.drawText(QRect(left, top, textWidth, line), Qt::AlignLeft | Qt::AlignVCenter, span);
    painter.restore();
}

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

std::string TForm1::traceColumnName(int t) const {
    if (t <= kChannelCount) {
        const ChannelControls& channel = channels_[t - 1];
        return ChannelColumnName(t, channel.quantity->currentText().toStdString(),
                                 channel.address->text().toStdString());
    }
    return ReferenceColumnName(t - kChannelCount, refs_[t - kChannelCount - 1].source->text().toStdString());
}

void TForm1::ExportCsv1Click() {
    auto* dialog = new QDialog(this);
    dialog->setObjectName(QStringLiteral("ExportCsvDialog"));
    dialog->setWindowTitle(QStringLiteral("Export CSV"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    auto* raw = new QCheckBox(QStringLiteral("Raw integers instead of engineering units"), dialog);
    raw->setObjectName(QStringLiteral("ExportRawBox"));
    auto* range = new QCheckBox(QStringLiteral("Only the sets from the mark to the cursor"), dialog);
    range->setObjectName(QStringLiteral("ExportRangeBox"));
    range->setEnabled(record().MarkPosition != kNoMark);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    buttons->setObjectName(QStringLiteral("ExportButtons"));
    auto* layout = new QVBoxLayout(dialog);
    layout->addWidget(raw);
    layout->addWidget(range);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    connect(buttons, &QDialogButtonBox::accepted, dialog, [this, dialog, raw, range] {
        const bool rawValues = raw->isChecked();
        const bool markToCursor = range->isEnabled() && range->isChecked();
        dialog->accept();
        exportCsv(rawValues, markToCursor);
    });
    dialog->open();
}

void TForm1::exportCsv(bool raw, bool markToCursor) {
    const QString fileName = askFileToWrite(CsvExportDialog);
    if (fileName.isEmpty()) return;
    CsvExport what;
    for (int t = 1; t <= kTraceCount; ++t) {
        CsvColumn column{traceColumnName(t), gainText(t)};
        if (t <= kChannelCount)
            what.Channels[t - 1] = std::move(column);
        else if (traceShown(t))
            what.References[t - kChannelCount - 1] = std::move(column);
    }
    what.Raw = raw;
    if (markToCursor) {
        what.First = record().MarkPosition;
        what.Last = record().CursorPosition;
    }
    const FileResult result = WriteCsvFile(record(), what, NativePath(fileName));
    if (!result.Ok)
        prompts_.showMessage(QStringLiteral("Export Error"), FailureText("write", fileName, result),
                             MessageIcon::Error, MessageButtons::Ok);
}

void TForm1::paintChartImage(QCPPainter& painter) {
    ScopeChart& chart = *ui_->Chart1;
    chart.toPainter(&painter, chart.width(), chart.height());

    std::vector<LegendEntry> entries;
    for (int t = 1; t <= kTraceCount; ++t) {
        if (!traceShown(t)) continue;
        const int series = t <= kChannelCount ? channels_[t - 1].series : refs_[t - kChannelCount - 1].series;
        entries.push_back({QString::fromStdString(traceColumnName(t)), chart.series(series)->pen().color()});
    }
    // The positions in view, as the Time readout names them.
    const QCPRange view = chart.xAxis->range();
    const auto first = static_cast<std::int32_t>(std::clamp(std::ceil(view.lower), 0.0, double(kNewestPosition)));
    const auto last = static_cast<std::int32_t>(std::clamp(std::floor(view.upper), 0.0, double(kNewestPosition)));
    PaintLegend(painter, entries,
                QStringLiteral("Time %1 s to %2 s").arg(SecondsText(first), SecondsText(std::max(first, last))));
}

QImage TForm1::chartImage() {
    QImage image(ui_->Chart1->size(), QImage::Format_ARGB32_Premultiplied);
    QCPPainter painter(&image);
    paintChartImage(painter);
    return image;
}

QByteArray TForm1::chartImageFile(const QString& suffix) {
    const ScopeChart& chart = *ui_->Chart1;
    const QSize size = chart.size();
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    // Vector output at the chart's dots per inch, so text keeps its size against the plot.
    if (suffix == QLatin1String("svg")) {
        QSvgGenerator svg;
        svg.setOutputDevice(&buffer);
        svg.setSize(size);
        svg.setViewBox(QRect(QPoint(), size));
        svg.setResolution(chart.logicalDpiX());
        svg.setTitle(windowTitle());
        QCPPainter painter(&svg);
        paintChartImage(painter);
    } else if (suffix == QLatin1String("pdf")) {
        QPdfWriter pdf(&buffer);
        pdf.setResolution(chart.logicalDpiX());
        pdf.setPageSize(QPageSize(QSizeF(size), QPageSize::Point, QString(), QPageSize::ExactMatch));
        pdf.setPageMargins(QMarginsF());
        pdf.setTitle(windowTitle());
        QCPPainter painter(&pdf);
        painter.setWindow(QRect(QPoint(), size));
        paintChartImage(painter);
    } else if (QImageWriter::supportedImageFormats().contains(suffix.toLatin1())) {
        chartImage().save(&buffer, suffix.toLatin1().constData());
    }
    return buffer.data();
}

void TForm1::ExportImage1Click() {
    const QString fileName = askFileToWrite(ImageExportDialog);
    if (fileName.isEmpty()) return;
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    const QByteArray bytes = chartImageFile(suffix);
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
