#include "Passwordform.h"

#include "ui_Passwordform.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QKeyEvent>

namespace altrix {

namespace {

// SHA-256 of the engineering password, so that the password itself is not in the program.
// The typed text is hashed as UTF-8; equal digests stand for equal byte sequences and so for
// the identical text of the same length, case and blanks included.
constexpr char kPasswordDigest[] =
    "44133345a2be2cae536dae02b3d593e8d7470bf6806eb3eae2377bef91973e96";

bool IsPassword(const QString& text) {
    return QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Sha256).toHex() ==
           QByteArrayView(kPasswordDigest);
}

}  // namespace

TForm2* TForm2::Open(QWidget* owner, EngineeringModeHost& host) {
    auto* form = new TForm2(owner, host);
    form->ShowOverOwner();
    return form;
}

TForm2::TForm2(QWidget* owner, EngineeringModeHost& host)
    : OwnedDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                             Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint |
                             Qt::MSWindowsFixedSizeDialogHint),
      ui_(std::make_unique<Ui::TForm2>()),
      host_(host) {
    ui_->setupUi(this);
    ui_->Edit1->installEventFilter(this);
    ui_->Edit1->setFocus();
    connect(ui_->Button1, &QPushButton::clicked, this, &TForm2::Button1Click);
}

TForm2::~TForm2() = default;

void TForm2::Button1Click() { CheckPassword(ui_->Edit1->text()); }

bool TForm2::Edit1KeyPress(const QKeyEvent& event) {
    if (event.key() != Qt::Key_Return && event.key() != Qt::Key_Enter) return false;
    CheckPassword(ui_->Edit1->text());
    return true;
}

void TForm2::CheckPassword(const QString& text) {
    if (IsPassword(text)) {
        host_.SetEngineeringControlsVisible(true);
        close();
        return;
    }
    ui_->Label2->show();
    host_.SetEngineeringControlsVisible(false);
    host_.ClearReferenceSourceNames();
}

bool TForm2::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ui_->Edit1 && event->type() == QEvent::KeyPress) {
        return Edit1KeyPress(*static_cast<QKeyEvent*>(event));
    }
    return OwnedDialog::eventFilter(watched, event);
}

}  // namespace altrix
