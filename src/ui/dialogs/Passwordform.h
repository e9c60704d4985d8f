#pragma once
// The engineering mode password dialog. A right password shows the main window's
// engineering controls and closes the dialog; a wrong one hides them, empties the reference
// source names and keeps the dialog open with "Password is incorrect !".

#include "OwnedDialog.h"

#include <memory>

class QKeyEvent;
class QString;

namespace Ui {
class TForm2;
}

namespace altrix {

// What the password dialog changes in the main window.
class EngineeringModeHost {
public:
    // Shows or hides the "Mem. Addr." labels and address edits of channels 1 to 4 together
    // with the "Advanced function" menu.
    virtual void SetEngineeringControlsVisible(bool visible) = 0;
    // Empties the source names of both reference waveforms.
    virtual void ClearReferenceSourceNames() = 0;

protected:
    ~EngineeringModeHost() = default;
};

class TForm2 final : public OwnedDialog {
    Q_OBJECT
public:
    // Creates the dialog and shows it centred over `owner` (usually also the `host`), with the
    // keyboard focus in the password box. The dialog destroys itself when closed and enables
    // `owner` again; `host` must stay valid while the dialog is open.
    static TForm2* Open(QWidget* owner, EngineeringModeHost& host);
    ~TForm2() override;

    void Button1Click();
    // Enter checks the typed text; returns whether the key was taken. Other keys are left to
    // the edit.
    bool Edit1KeyPress(const QKeyEvent& event);
    void CheckPassword(const QString& text);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    TForm2(QWidget* owner, EngineeringModeHost& host);

    std::unique_ptr<Ui::TForm2> ui_;
    EngineeringModeHost& host_;
};

}  // namespace altrix
