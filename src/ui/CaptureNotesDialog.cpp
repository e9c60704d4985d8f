#include "CaptureNotesDialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace altrix {

CaptureNotesDialog::CaptureNotesDialog(QWidget* parent, const QString& note,
                                       std::function<void(const QString&)> accepted)
    : QDialog(parent), edit_(new QPlainTextEdit(note, this)) {
    setObjectName(QStringLiteral("CaptureNotesDialog"));
    setWindowTitle(QStringLiteral("Capture notes"));
    setAttribute(Qt::WA_DeleteOnClose);
    edit_->setObjectName(QStringLiteral("NoteEdit"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Kept with the capture in its description when it is saved:"), this));
    layout->addWidget(edit_);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, [this, accepted = std::move(accepted)] {
        accepted(edit_->toPlainText());
        accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

}  // namespace altrix
