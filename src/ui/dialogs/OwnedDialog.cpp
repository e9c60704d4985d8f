#include "OwnedDialog.h"

#include <QCloseEvent>
#include <QRect>
#include <QWindow>

namespace altrix {

OwnedDialog::OwnedDialog(QWidget* owner, Qt::WindowFlags flags)
    : QWidget(nullptr, flags), owner_(owner) {
    setAttribute(Qt::WA_DeleteOnClose);
    if (owner) connect(owner, &QObject::destroyed, this, &QWidget::close);
}

void OwnedDialog::ShowOverOwner(QSize outerSize) {
    show();
    if (outerSize.isValid()) {
        const QMargins frame = windowHandle()->frameMargins();
        resize(outerSize.shrunkBy(frame));
    }
    if (owner_) {
        QRect placed = frameGeometry();
        placed.moveCenter(owner_->frameGeometry().center());
        move(placed.topLeft());
    }
}

void OwnedDialog::closeEvent(QCloseEvent* event) {
    FormClose();
    event->accept();
}

void OwnedDialog::FormClose() {
    if (owner_) owner_->setEnabled(true);
}

}  // namespace altrix
