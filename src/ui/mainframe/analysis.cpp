// TForm1: the Analysis menu. The measurements and spectrum windows read the display and follow
// its changes.

#include "Mainframe.h"

#include "MeasureForm.h"
#include "SpectrumForm.h"
#include "ui_Mainframe.h"

namespace altrix {

void TForm1::connectAnalysisHandlers() {
    const Ui::TForm1& ui = *ui_;
    connect(ui.Measurements1, &QAction::triggered, this, &TForm1::Measurements1Click);
    connect(ui.Spectrum1, &QAction::triggered, this, &TForm1::Spectrum1Click);
}

namespace {

template <class Form>
void OpenToolWindow(Form*& form, ScopeDisplay& display, QWidget& owner) {
    if (!form) {
        form = new Form(display, &owner);
        QObject::connect(&display, &ScopeDisplay::traceViewChanged, form, &Form::traceViewChanged);
    }
    form->show();
    form->raise();
    form->activateWindow();
}

}  // namespace

void TForm1::Measurements1Click() {
    OpenToolWindow(measureForm_, display_, *this);
}

void TForm1::Spectrum1Click() {
    OpenToolWindow(spectrumForm_, display_, *this);
}

}  // namespace altrix
