#pragma once
// The export commands of the File menu, bound to the display: "Export CSV..." and "Export
// data..." open the one export dialog (the view, mark..cursor or the whole source; raw or in
// units) and write what `Exports` plans in the format the file's suffix names, on a thread of
// its own (FileTask) with a progress dialog and Cancel once it lasts; both stay disabled
// until it ended. "Export image..." and "Copy image" give the chart as shown with a legend of
// the shown traces and the time in view.

#include "Exports.h"
#include "Prompts.h"
#include "ScopeChart.h"

#include <QObject>

#include <functional>
#include <vector>

class QAction;
class QImage;
class QWidget;

namespace altrix {

class CaptureSession;
class FileTask;
class ScopeDisplay;

class ExportCommands : public QObject {
public:
    struct Actions {
        QAction* Csv;
        QAction* Data;
        QAction* Image;
        QAction* CopyImage;
    };
    // `askFileToWrite` asks for a file to write (and before replacing one); empty when
    // cancelled. `title` gives the window's caption for an image's document title, `source`
    // where the traces on show come from, for the picture's notes.
    ExportCommands(QWidget& window, const Actions& actions, ScopeDisplay& display, const CaptureSession& session,
                   ScopeChart& chart, Prompts& prompts, std::function<QString(FileDialogSpec&)> askFileToWrite,
                   std::function<QString()> title, std::function<QString()> source);

    // The file dialogs whose last names the window remembers.
    std::vector<FileDialogSpec*> Dialogs() { return {&csvFiles_, &dataFiles_, &imageFiles_}; }
    // The chart as shown with its legend (each trace with its readouts), the time in view, the
    // source, the time of the export and the cursor's readouts.
    QImage ChartImage() const;
    ScopeChart::Legend ChartLegend() const;
    // An export is being written.
    bool Exporting() const { return task_ != nullptr; }

private:
    void openDialog(const QString& title, ExportStretch preset, FileDialogSpec& files);
    void write(ExportStretch stretch, bool raw, FileDialogSpec& files);
    void start(ExportJob job, const QString& fileName);
    void finish(const QString& fileName, const std::vector<std::string>& leftOut, bool raw);
    void exportImage();

    QWidget& window_;
    ScopeDisplay& display_;
    const CaptureSession& session_;
    ScopeChart& chart_;
    Prompts& prompts_;
    std::function<QString(FileDialogSpec&)> askFileToWrite_;
    std::function<QString()> title_;
    std::function<QString()> source_;
    QAction* csvAction_;
    QAction* dataAction_;
    FileTask* task_ = nullptr;  // the export being written, a child
    FileDialogSpec csvFiles_{QStringLiteral("CSV (*.csv)|*.csv|All Files (*.*)|*.*"), QStringLiteral("csv"), true,
                             QStringLiteral("CsvExportDialog"), {}};
    FileDialogSpec dataFiles_{QString::fromStdString(ExportFilter()), QStringLiteral("mat"), true,
                              QStringLiteral("DataExportDialog"), {}};
    FileDialogSpec imageFiles_{QStringLiteral("PNG image (*.png)|*.png|SVG image (*.svg)|*.svg|PDF document (*.pdf)|*.pdf"),
                               QStringLiteral("png"), true, QStringLiteral("ImageExportDialog"), {}};
};

}  // namespace altrix
