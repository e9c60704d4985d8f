#include "FileFolders.h"

#include <QDir>
#include <QFileInfo>

#include <array>
#include <utility>

namespace altrix {

namespace {

// Dialogs by the kind of file they ask for: a user who saved a waveform looks for it where it
// went, and so for a recording; exported data and pictures usually go elsewhere, each to one place.
const std::array<std::pair<const char*, const char*>, 7> kDialogKinds{{
    {"SaveDialog1", "Waveform"},
    {"OpenDialog1", "Waveform"},
    {"OpenRecordingDialog", "Recording"},
    {"RecordDialog", "Recording"},
    {"CsvExportDialog", "Export"},
    {"DataExportDialog", "Export"},
    {"ImageExportDialog", "Image"},
}};

}  // namespace

QString FileFolders::KindOf(const QString& dialogName) {
    for (const auto& [dialog, kind] : kDialogKinds)
        if (dialogName == QLatin1String(dialog)) return QLatin1String(kind);
    return {};
}

std::vector<QString> FileFolders::Kinds() {
    std::vector<QString> kinds;
    for (const auto& [dialog, kind] : kDialogKinds)
        if (kinds.empty() || kinds.back() != QLatin1String(kind)) kinds.emplace_back(QLatin1String(kind));
    return kinds;
}

void FileFolders::Chosen(const QString& dialogName, const QString& fileName) {
    const QString kind = KindOf(dialogName);
    if (kind.isEmpty() || fileName.isEmpty()) return;
    SetFolder(kind, QFileInfo(fileName).absolutePath());
}

QString FileFolders::StartOf(const QString& dialogName, const QString& lastFile) const {
    const QString folder = Folder(KindOf(dialogName));
    if (folder.isEmpty()) return lastFile;
    if (!lastFile.isEmpty() && QDir(QFileInfo(lastFile).absolutePath()) == QDir(folder)) return lastFile;
    return folder.endsWith(u'/') ? folder : folder + u'/';
}

QString FileFolders::Folder(const QString& kind) const {
    const auto found = folders_.find(kind);
    return found == folders_.end() ? QString() : found->second;
}

void FileFolders::SetFolder(const QString& kind, const QString& folder) {
    if (kind.isEmpty()) return;
    folders_[kind] = QDir::fromNativeSeparators(folder);
}

}  // namespace altrix
