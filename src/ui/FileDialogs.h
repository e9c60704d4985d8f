#pragma once
// The main window's file dialogs, as its load, save, export and recording commands show them
// through the prompts; each keeps the file name chosen last, remembered under its name.

#include "Prompts.h"

namespace altrix {

struct MainFileDialogs {
    FileDialogSpec SaveDialog1{QStringLiteral("WaveForm Data (*.wfd)|*.wfd|All Files (*.*)|*.*"),
                               QStringLiteral("*.wfd"), false, QStringLiteral("SaveDialog1"), {}};
    FileDialogSpec OpenDialog1{QStringLiteral("WaveForm Data (*.wfd)|*.wfd|All files (*.*)|*.*"),
                               QStringLiteral("*.wfd"), true, QStringLiteral("OpenDialog1"), {}};
    FileDialogSpec CsvExportDialog{QStringLiteral("CSV (*.csv)|*.csv|All Files (*.*)|*.*"),
                                   QStringLiteral("csv"), true, QStringLiteral("CsvExportDialog"), {}};
    FileDialogSpec DataExportDialog{
        QStringLiteral("MATLAB (*.mat)|*.mat|HDF5 (*.h5)|*.h5|CSV (*.csv)|*.csv"), QStringLiteral("mat"), true,
        QStringLiteral("DataExportDialog"), {}};
    FileDialogSpec OpenRecordingDialog{QStringLiteral("Recording (*.arec)|*.arec|All files (*.*)|*.*"),
                                       QStringLiteral("*.arec"), true, QStringLiteral("OpenRecordingDialog"), {}};
    FileDialogSpec RecordDialog{QStringLiteral("Recording (*.arec)|*.arec|CSV (*.csv)|*.csv|All Files (*.*)|*.*"), QStringLiteral("arec"),
                                true, QStringLiteral("RecordDialog"), {}};
    FileDialogSpec ImageExportDialog{
        QStringLiteral("PNG image (*.png)|*.png|SVG image (*.svg)|*.svg|PDF document (*.pdf)|*.pdf"),
        QStringLiteral("png"), true, QStringLiteral("ImageExportDialog"), {}};
    const FileDialogSpec OpenDialog2{QStringLiteral("Parameter List File (*.plf)|*.plf"), QString(),
                                     false, QStringLiteral("OpenDialog2"), {}};
};

}  // namespace altrix
