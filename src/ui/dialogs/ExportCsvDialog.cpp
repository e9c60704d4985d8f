#include "ExportCsvDialog.h"

#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QVBoxLayout>

namespace altrix {

void OpenExportCsvDialog(QWidget& parent, bool markSet, std::function<void(bool raw, bool markToCursor)> accepted) {
    auto* dialog = new QDialog(&parent);
    dialog->setObjectName(QStringLiteral("ExportCsvDialog"));
    dialog->setWindowTitle(QStringLiteral("Export CSV"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    auto* raw = new QCheckBox(QStringLiteral("Raw integers instead of engineering units"), dialog);
    raw->setObjectName(QStringLiteral("ExportRawBox"));
    auto* range = new QCheckBox(QStringLiteral("Only the sets from the mark to the cursor"), dialog);
    range->setObjectName(QStringLiteral("ExportRangeBox"));
    range->setEnabled(markSet);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    buttons->setObjectName(QStringLiteral("ExportButtons"));
    auto* layout = new QVBoxLayout(dialog);
    layout->addWidget(raw);
    layout->addWidget(range);
    layout->addWidget(buttons);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, [dialog, raw, range, accepted = std::move(accepted)] {
        const bool rawValues = raw->isChecked();
        const bool markToCursor = range->isEnabled() && range->isChecked();
        dialog->accept();
        accepted(rawValues, markToCursor);
    });
    dialog->open();
}

}  // namespace altrix
