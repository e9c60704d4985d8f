#pragma once
// Every message box and file dialog of the program goes through Prompts, so tests can script
// the answers and see what was asked. DefaultPrompts shows the real Qt dialogs.

#include <QString>

namespace altrix {

enum class MessageIcon { None, Warning, Question, Information, Error };
enum class MessageButtons { Ok, YesNo, SaveDiscardCancel };
enum class MessageAnswer { Ok, Yes, No, Save, Discard, Cancel };

// A file dialog as the window describes it. The filter keeps the "Desc|*.x|Desc2|*.*" form
// of description and pattern pairs; the default extension is "*.wfd", "wfd" or empty.
struct FileDialogSpec {
    QString Filter;
    QString DefaultExtension;
    bool Resizable = false;
    QString Name;      // the dialog's name, under which the window remembers its file name
    QString FileName;  // the file the dialog starts with, with its folder; a folder alone ends in "/"; empty for none
};

class Prompts {
public:
    virtual ~Prompts() = default;

    // A message box without owner window; returns the button that closed it.
    virtual MessageAnswer showMessage(const QString& caption, const QString& text, MessageIcon icon,
                                      MessageButtons buttons) = 0;
    // The chosen file name, or empty when the user cancelled.
    virtual QString askSaveFileName(const FileDialogSpec& dialog) = 0;
    virtual QString askOpenFileName(const FileDialogSpec& dialog) = 0;
    // A folder chosen in a folder dialog titled `caption` that starts at `start`; empty when
    // the user cancelled.
    virtual QString askFolder(const QString& caption, const QString& start) = 0;
    // The save dialog with a note (NoteEdit) under it that starts as `note`; once a name is
    // chosen `note` holds the note as the user left it. Without a note field: the save dialog.
    virtual QString askSaveFileNameWithNote(const FileDialogSpec& dialog, QString& note) {
        (void)note;
        return askSaveFileName(dialog);
    }
};

class DefaultPrompts final : public Prompts {
public:
    MessageAnswer showMessage(const QString& caption, const QString& text, MessageIcon icon,
                              MessageButtons buttons) override;
    QString askSaveFileName(const FileDialogSpec& dialog) override;
    QString askOpenFileName(const FileDialogSpec& dialog) override;
    QString askFolder(const QString& caption, const QString& start) override;
    QString askSaveFileNameWithNote(const FileDialogSpec& dialog, QString& note) override;
};

// "WaveForm Data (*.wfd)|*.wfd|All Files (*.*)|*.*" -> "WaveForm Data (*.wfd);;All Files (*.*)".
// Qt filters by the patterns in a description's last parentheses: a description that ends with
// its own patterns keeps them (";" between patterns becomes a blank), any other description gets
// them appended. A trailing unpaired description keeps its own text.
QString QtFileFilter(const QString& pipeFilter);

// The default extension as a file dialog suffix: "*.wfd" and ".wfd" give "wfd".
QString DefaultSuffix(const QString& defaultExtension);

}  // namespace altrix
