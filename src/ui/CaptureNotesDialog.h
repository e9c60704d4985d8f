#pragma once
// The note kept with the capture on show: a small window over the main window with the note
// (NoteEdit) and OK and Cancel. OK hands the note on; the window is freed once closed.

#include <QDialog>
#include <QString>

#include <functional>

class QPlainTextEdit;

namespace altrix {

class CaptureNotesDialog final : public QDialog {
    Q_OBJECT
public:
    // Shows `note`; OK calls `accepted` with the edited note.
    CaptureNotesDialog(QWidget* parent, const QString& note, std::function<void(const QString&)> accepted);

private:
    QPlainTextEdit* edit_;
};

}  // namespace altrix
