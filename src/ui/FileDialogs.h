#pragma once
// The main window's file dialogs, as its load, save and recording commands show them (the
// exports keep their own, ExportCommands.h)
// through the prompts; each keeps the file name chosen last, remembered under its name, and
// opens in the folder its kind of file was last chosen in (Folders, remembered by kind).

#include "FileFolders.h"
#include "Prompts.h"

namespace altrix {

struct MainFileDialogs {
    FileDialogSpec SaveDialog1{QStringLiteral("WaveForm Data (*.wfd)|*.wfd|All Files (*.*)|*.*"),
                               QStringLiteral("*.wfd"), false, QStringLiteral("SaveDialog1"), {}};
    FileDialogSpec OpenDialog1{QStringLiteral("WaveForm Data (*.wfd)|*.wfd|All files (*.*)|*.*"),
                               QStringLiteral("*.wfd"), true, QStringLiteral("OpenDialog1"), {}};
    FileDialogSpec OpenRecordingDialog{QStringLiteral("Recording (*.arec)|*.arec|All files (*.*)|*.*"),
                                       QStringLiteral("*.arec"), true, QStringLiteral("OpenRecordingDialog"), {}};
    FileDialogSpec RecordDialog{QStringLiteral("Recording (*.arec)|*.arec|CSV (*.csv)|*.csv|All Files (*.*)|*.*"), QStringLiteral("arec"),
                                true, QStringLiteral("RecordDialog"), {}};
    const FileDialogSpec OpenDialog2{QStringLiteral("Parameter List File (*.plf)|*.plf"), QString(),
                                     false, QStringLiteral("OpenDialog2"), {}};
    FileFolders Folders;
};

}  // namespace altrix
