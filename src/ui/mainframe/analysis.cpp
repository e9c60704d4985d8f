// TForm1: the Analysis menu, the traces and stretch the measurements and spectrum windows
// read, and the changes of which they are told.

#include "Mainframe.h"

#include "MeasureForm.h"
#include "Readout.h"
#include "ScopeChart.h"
#include "SpectrumForm.h"
#include "ui_Mainframe.h"

namespace altrix {

void TForm1::connectAnalysisHandlers() {
    const Ui::TForm1& ui = *ui_;
    connect(ui.Measurements1, &QAction::triggered, this, &TForm1::Measurements1Click);
    connect(ui.Spectrum1, &QAction::triggered, this, &TForm1::Spectrum1Click);
    // Names, gains, visibility and the view; the handlers that change samples, the cursor
    // or the mark emit the signal themselves.
    for (const ChannelControls& channel : channels_) {
        connect(channel.enable, &QCheckBox::toggled, this, &TForm1::traceViewChanged);
        connect(channel.address, &QLineEdit::textChanged, this, &TForm1::traceViewChanged);
        connect(channel.quantity, &QComboBox::currentIndexChanged, this, &TForm1::traceViewChanged);
        connect(channel.gain, &QLineEdit::textChanged, this, &TForm1::traceViewChanged);
    }
    for (const RefControls& ref : refs_) {
        connect(ref.show, &QCheckBox::toggled, this, &TForm1::traceViewChanged);
        connect(ref.source, &QLineEdit::textChanged, this, &TForm1::traceViewChanged);
        connect(ref.gain, &QLineEdit::textChanged, this, &TForm1::traceViewChanged);
    }
    connect(ui.Chart1->xAxis, qOverload<const QCPRange&>(&QCPAxis::rangeChanged), this,
            &TForm1::traceViewChanged);
}

namespace {

template <class Form>
void OpenToolWindow(Form*& form, TForm1& owner) {
    if (!form) {
        form = new Form(owner, &owner);
        QObject::connect(&owner, &TForm1::traceViewChanged, form, &Form::traceViewChanged);
    }
    form->show();
    form->raise();
    form->activateWindow();
}

}  // namespace

void TForm1::Measurements1Click() {
    OpenToolWindow(measureForm_, *this);
}

void TForm1::Spectrum1Click() {
    OpenToolWindow(spectrumForm_, *this);
}

int TForm1::traceCount() const {
    return kTraceCount;
}

QString TForm1::traceName(int t) const {
    if (t <= kChannelCount) {
        const QString quantity = channels_[t - 1].quantity->currentText();
        return quantity.isEmpty() ? QStringLiteral("Channel %1").arg(t) : quantity;
    }
    const int r = t - kChannelCount;
    const QString source = refs_[r - 1].source->text();
    return source.isEmpty() ? QStringLiteral("Ref %1").arg(r) : source;
}

bool TForm1::traceShown(int t) const {
    return t <= kChannelCount ? channelShown(t) : readoutRow(t).shown->isChecked();
}

double TForm1::traceGain(int t) const {
    return GainFactor(gainText(t));
}

SampleRuns TForm1::traceSamples(int t, PositionStretch stretch) const {
    const CaptureRecord& rec = record();
    if (t <= kChannelCount) return ChannelSamplesOver(rec.ChannelTrace[t - 1], rec.NextSample, stretch);
    return ReferenceSamplesOver(rec.ReferenceTrace[t - kChannelCount - 1], stretch);
}

PositionStretch TForm1::analysisStretch() const {
    const CaptureRecord& rec = record();
    const QCPRange view = ui_->Chart1->xAxis->range();
    return AnalysisStretch(rec.MarkPosition, rec.CursorPosition, view.lower, view.upper);
}

bool TForm1::capturing() const {
    return session_.IsRunning();
}

}  // namespace altrix
