#include "ExportDialog.h"

#include "Exports.h"

#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QRadioButton>
#include <QVBoxLayout>

namespace altrix {

void OpenExportDialog(QWidget& parent, const QString& title, ExportStretch preset, bool markSet, const QString& whole,
                      std::function<void(ExportStretch stretch, bool raw)> accepted) {
    auto* dialog = new QDialog(&parent);
    dialog->setObjectName(QStringLiteral("ExportDialog"));
    dialog->setWindowTitle(title);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    auto* view = new QRadioButton(QStringLiteral("The sets in view"), dialog);
    view->setObjectName(QStringLiteral("ExportViewButton"));
    auto* markToCursor = new QRadioButton(QStringLiteral("The sets from the mark to the cursor"), dialog);
    markToCursor->setObjectName(QStringLiteral("ExportMarkButton"));
    markToCursor->setEnabled(markSet);
    auto* all = new QRadioButton(whole, dialog);
    all->setObjectName(QStringLiteral("ExportWholeButton"));
    if (preset == ExportStretch::MarkToCursor && !markSet) preset = ExportStretch::View;
    (preset == ExportStretch::View ? view : preset == ExportStretch::MarkToCursor ? markToCursor : all)->setChecked(true);
    auto* raw = new QCheckBox(QStringLiteral("Raw integers instead of engineering units"), dialog);
    raw->setObjectName(QStringLiteral("ExportRawBox"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    buttons->setObjectName(QStringLiteral("ExportButtons"));
    auto* layout = new QVBoxLayout(dialog);
    for (QWidget* widget : std::initializer_list<QWidget*>{view, markToCursor, all, raw, buttons}) layout->addWidget(widget);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, [=, accepted = std::move(accepted)] {
        const ExportStretch stretch = view->isChecked()           ? ExportStretch::View
                                      : markToCursor->isChecked() ? ExportStretch::MarkToCursor
                                                                  : ExportStretch::Whole;
        const bool rawValues = raw->isChecked();
        dialog->accept();
        accepted(stretch, rawValues);
    });
    dialog->open();
}

}  // namespace altrix
