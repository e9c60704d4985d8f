#pragma once
// A dialog that the main window opens while it disables itself: a top-level window of its
// own (not a child of the main window, so that disabling the main window leaves it usable),
// shown centred over its owner, destroyed when closed, and re-enabling the owner on every
// close. It also closes when its owner is destroyed, so it never outlives the main window.

#include <QPointer>
#include <QSize>
#include <QWidget>

class QCloseEvent;

namespace altrix {

class OwnedDialog : public QWidget {
    Q_OBJECT
protected:
    OwnedDialog(QWidget* owner, Qt::WindowFlags flags);

    // Shows the dialog centred over its owner; a valid `outerSize` is first given to the
    // window frame (title bar and borders included).
    void ShowOverOwner(QSize outerSize = {});

    void closeEvent(QCloseEvent* event) override;

    // Any close: enables the owner again. The dialog is then destroyed (WA_DeleteOnClose).
    void FormClose();

private:
    QPointer<QWidget> owner_;
};

}  // namespace altrix
