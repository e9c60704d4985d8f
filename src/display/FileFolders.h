#pragma once
// The folder each kind of file was last chosen in, so that every file dialog of that kind opens
// there: waveform files (saved and loaded), recordings (recorded and opened), exported data
// (CSV, .mat, .h5) and exported images. A dialog starts with its own last file while that
// lies in its kind's folder, else in the folder alone.

#include <QString>

#include <map>
#include <vector>

namespace altrix {

class FileFolders {
public:
    // The kind of file a dialog (named as the window names it) asks for; empty for a dialog
    // that keeps its own last file only.
    static QString KindOf(const QString& dialogName);
    // Every kind, in the order the settings file lists them.
    static std::vector<QString> Kinds();

    // `fileName` was chosen in dialog `dialogName`: its folder becomes its kind's.
    void Chosen(const QString& dialogName, const QString& fileName);
    // What dialog `dialogName`, whose last file is `lastFile`, starts with: `lastFile` while it
    // lies in the kind's folder (or the kind has none yet), else that folder ending in "/".
    QString StartOf(const QString& dialogName, const QString& lastFile) const;

    QString Folder(const QString& kind) const;
    void SetFolder(const QString& kind, const QString& folder);

private:
    std::map<QString, QString> folders_;
};

}  // namespace altrix
