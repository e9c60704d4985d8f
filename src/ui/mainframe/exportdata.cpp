// TForm1: "Export data..." writes a stretch of the trace source on screen (the view, mark to
// cursor, or the whole window) for MATLAB and Python: a `.mat` or `.h5` file of the ticked
// channels and shown references with their names, units and gains, or CSV as "Export CSV..."
// writes it, by the file's suffix. Files are written whole or not at all; failures are reported.

#include "Mainframe.h"
#include "files.h"

#include "CsvExport.h"
#include "DataExport.h"
#include "Presets.h"
#include "ui_Mainframe.h"

#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QRadioButton>
#include <QVBoxLayout>

namespace altrix {

void TForm1::connectDataExportHandlers() {
    connect(ui_->ExportData1, &QAction::triggered, this, &TForm1::ExportData1Click);
}

void TForm1::ExportData1Click() {
    auto* dialog = new QDialog(this);
    dialog->setObjectName(QStringLiteral("ExportDataDialog"));
    dialog->setWindowTitle(QStringLiteral("Export data"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    auto* view = new QRadioButton(QStringLiteral("The sets in view"), dialog);
    view->setObjectName(QStringLiteral("ExportViewButton"));
    auto* markToCursor = new QRadioButton(QStringLiteral("The sets from the mark to the cursor"), dialog);
    markToCursor->setObjectName(QStringLiteral("ExportMarkButton"));
    markToCursor->setEnabled(display_.View().MarkPosition != kNoMark);
    auto* window = new QRadioButton(display_.Recording() ? QStringLiteral("The whole recording") : QStringLiteral("The whole window"), dialog);
    window->setObjectName(QStringLiteral("ExportWindowButton"));
    (markToCursor->isEnabled() ? markToCursor : view)->setChecked(true);
    auto* raw = new QCheckBox(QStringLiteral("Raw samples only (no values in engineering units)"), dialog);
    raw->setObjectName(QStringLiteral("ExportDataRawBox"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    buttons->setObjectName(QStringLiteral("ExportDataButtons"));
    auto* layout = new QVBoxLayout(dialog);
    for (QWidget* widget : std::initializer_list<QWidget*>{view, markToCursor, window, raw, buttons})
        layout->addWidget(widget);
    connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    connect(buttons, &QDialogButtonBox::accepted, dialog, [this, dialog, view, markToCursor, raw] {
        const DisplayView& shown = display_.View();
        const PositionStretch stretch =
            view->isChecked()           ? display_.ViewStretch()
            : markToCursor->isChecked() ? PositionStretch{std::min(shown.MarkPosition, shown.CursorPosition),
                                                          std::max(shown.MarkPosition, shown.CursorPosition)}
                                        : PositionStretch{0, display_.Source().length() - 1};
        const bool rawOnly = raw->isChecked();
        dialog->accept();
        exportData(stretch, rawOnly);
    });
    dialog->open();
}

void TForm1::exportData(PositionStretch stretch, bool raw) {
    const QString fileName = askFileToWrite(DataExportDialog);
    if (fileName.isEmpty()) return;
    const std::string path = NativePath(fileName);
    const std::optional<DataFormat> format = DataFormatOf(path);
    FileResult result;
    std::vector<std::string> leftOut;  // math traces not computed over the stretch
    if (!format) {
        result = {false, "name the format by the suffix .mat, .h5 or .csv", false};
    } else if (*format == DataFormat::Csv) {
        // As "Export CSV..." writes it: the four channels and the shown references.
        result = writeScreenCsv(path, raw, stretch.First, stretch.Last);
    } else {
        // The ticked channels and the shown references.
        DataExport what;
        std::vector<int> traces;
        for (int t = 1; t <= kTraceCount; ++t) {
            const bool channel = t <= kChannelCount;
            if (channel ? !display_.Channel(t).Enabled : !display_.TraceShown(t)) continue;
            what.Traces.push_back({display_.ColumnName(t), display_.Gain(t).Text,
                                   channel ? display_.Channel(t).Address.trimmed().toStdString() : std::string()});
            traces.push_back(t);
        }
        // The shown math traces' values; of a recording, those computed over the stretch.
        what.Math = display_.MathVectorsOver(stretch, leftOut);
        what.First = stretch.First;
        what.Count = stretch.count();
        what.SampleRateHz = display_.Source().sampleRateHz();
        // The capture's own start and drive, as its description names them.
        const CaptureFacts& facts = display_.Facts();
        if (facts.Start.isValid())
            what.StartedUtc = facts.Start.toUTC().toString(Qt::ISODate).toStdString();
        const std::string_view driveType =
            DriveTypeLabel(facts.DriveTypeCode.value_or(session_.record().DriveTypeCode));
        if (driveType != kUnknownDriveLabel) what.DriveType = driveType;
        what.Raw = raw;
        const SetReader read = display_.Source().reader(traces);
        result = what.Traces.empty() ? FileResult{false, "no channel is ticked and no reference shown", false}
                 : *format == DataFormat::Mat ? WriteMatFile(what, read, path)
                                              : WriteHdf5File(what, read, path);
    }
    if (!result.Ok)
        prompts_.showMessage(QStringLiteral("Export Error"), FailureText("write", fileName, result),
                             MessageIcon::Error, MessageButtons::Ok);
    else if (!raw && !leftOut.empty())
        prompts_.showMessage(QStringLiteral("Export"), MathLeftOutText(leftOut), MessageIcon::Information, MessageButtons::Ok);
}

}  // namespace altrix
