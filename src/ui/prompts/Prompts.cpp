#include "Prompts.h"

#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QMessageBox>
#include <QStringList>

namespace altrix {

namespace {

QMessageBox::Icon ToQtIcon(MessageIcon icon) {
    switch (icon) {
    case MessageIcon::Warning: return QMessageBox::Warning;
    case MessageIcon::Question: return QMessageBox::Question;
    case MessageIcon::Information: return QMessageBox::Information;
    case MessageIcon::Error: return QMessageBox::Critical;
    case MessageIcon::None: break;
    }
    return QMessageBox::NoIcon;
}

// `note`: shown in NoteEdit below the dialog's own controls, and given back as edited.
QString AskFileName(const FileDialogSpec& spec, QFileDialog::AcceptMode mode, QString* note = nullptr) {
    QFileDialog dialog;
    QPlainTextEdit* noteEdit = nullptr;
    if (note) {
        // Qt's own dialog, which has a layout to take the note.
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout())) {
            noteEdit = new QPlainTextEdit(*note, &dialog);
            noteEdit->setObjectName(QStringLiteral("NoteEdit"));
            noteEdit->setPlaceholderText(QStringLiteral("Note kept with the capture (optional)"));
            noteEdit->setMaximumHeight(noteEdit->fontMetrics().lineSpacing() * 5);
            const int row = grid->rowCount();
            grid->addWidget(new QLabel(QStringLiteral("Note:"), &dialog), row, 0, Qt::AlignTop);
            grid->addWidget(noteEdit, row, 1, 1, grid->columnCount() - 1);
        }
    }
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile
                                                       : QFileDialog::AnyFile);
    dialog.setNameFilter(QtFileFilter(spec.Filter));
    dialog.setDefaultSuffix(DefaultSuffix(spec.DefaultExtension));
    // A name typed without a suffix takes the chosen file type's.
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& filter) {
        const QRegularExpressionMatch suffix = QRegularExpression(QStringLiteral("\\*\\.(\\w+)")).match(filter);
        if (suffix.hasMatch()) dialog.setDefaultSuffix(suffix.captured(1));
    });
    // A name with its folder also opens that folder.
    if (spec.FileName.endsWith(u'/'))
        dialog.setDirectory(spec.FileName);
    else if (!spec.FileName.isEmpty())
        dialog.selectFile(spec.FileName);
    // The save dialog does not ask about overwriting: the save command asks itself.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setSizeGripEnabled(spec.Resizable);
    if (!spec.Resizable) dialog.setFixedSize(dialog.sizeHint());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    if (noteEdit) *note = noteEdit->toPlainText();
    return dialog.selectedFiles().constFirst();
}

}  // namespace

MessageAnswer DefaultPrompts::showMessage(const QString& caption, const QString& text,
                                          MessageIcon icon, MessageButtons buttons) {
    const QMessageBox::StandardButtons shown =
        buttons == MessageButtons::YesNo               ? QMessageBox::Yes | QMessageBox::No
        : buttons == MessageButtons::SaveDiscardCancel ? QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel
                                                       : QMessageBox::Ok;
    QMessageBox box(ToQtIcon(icon), caption, text, shown);
    if (buttons == MessageButtons::SaveDiscardCancel) box.setDefaultButton(QMessageBox::Save);
    switch (box.exec()) {
    case QMessageBox::Yes: return MessageAnswer::Yes;
    case QMessageBox::No: return MessageAnswer::No;
    case QMessageBox::Save: return MessageAnswer::Save;
    case QMessageBox::Discard: return MessageAnswer::Discard;
    case QMessageBox::Cancel: return MessageAnswer::Cancel;
    default:
        // Closed without a button: the answer that changes nothing.
        return buttons == MessageButtons::YesNo               ? MessageAnswer::No
               : buttons == MessageButtons::SaveDiscardCancel ? MessageAnswer::Cancel
                                                              : MessageAnswer::Ok;
    }
}

QString DefaultPrompts::askFolder(const QString& caption, const QString& start) {
    return QFileDialog::getExistingDirectory(nullptr, caption, start);
}

QString DefaultPrompts::askSaveFileName(const FileDialogSpec& dialog) {
    return AskFileName(dialog, QFileDialog::AcceptSave);
}

QString DefaultPrompts::askOpenFileName(const FileDialogSpec& dialog) {
    return AskFileName(dialog, QFileDialog::AcceptOpen);
}

QString DefaultPrompts::askSaveFileNameWithNote(const FileDialogSpec& dialog, QString& note) {
    return AskFileName(dialog, QFileDialog::AcceptSave, &note);
}

QString QtFileFilter(const QString& pipeFilter) {
    const QStringList parts = pipeFilter.split(u'|');
    QStringList filters;
    for (qsizetype i = 0; i < parts.size(); i += 2) {
        const QString& description = parts[i];
        if (i + 1 >= parts.size()) {
            if (!description.isEmpty()) filters << description;
            break;
        }
        const QString& pipePatterns = parts[i + 1];
        const QString shown = u'(' + QString(pipePatterns).replace(u';', u' ') + u')';
        const QString pipeShown = u'(' + pipePatterns + u')';
        if (description.endsWith(pipeShown))
            filters << description.chopped(pipeShown.size()) + shown;
        else
            filters << description + u' ' + shown;
    }
    return filters.join(QStringLiteral(";;"));
}

QString DefaultSuffix(const QString& defaultExtension) {
    QString suffix = defaultExtension;
    if (suffix.startsWith(u'*')) suffix.remove(0, 1);
    if (suffix.startsWith(u'.')) suffix.remove(0, 1);
    return suffix;
}

}  // namespace altrix
