#include "RecordingControls.h"

#include "Prompts.h"
#include "Version.h"

#include <QAction>
#include <QLabel>
#include <QStatusBar>
#include <QToolButton>

namespace altrix {

RecordingControls::RecordingControls(const Controls& controls, Prompts& prompts, CaptureSession& session,
                                     const ScopeDisplay& display, std::function<QString()> askFile, QObject* parent)
    : QObject(parent), controls_(controls), prompts_(prompts), session_(session), display_(display),
      askFile_(std::move(askFile)), label_(new QLabel(controls.bar)) {
    label_->setObjectName(QStringLiteral("RecordLabel"));
    controls_.bar->addPermanentWidget(label_);
    connect(controls_.record, &QAction::triggered, this, &RecordingControls::Record1Click);
    connect(controls_.button, &QToolButton::clicked, this, &RecordingControls::Record1Click);
    connect(&session_, &CaptureSession::started, this, &RecordingControls::startRecording);
    connect(&session_, &CaptureSession::recordingEnded, this, &RecordingControls::showRecordingEnded);
    connect(&session_, &CaptureSession::ticked, this, &RecordingControls::showRecording);
}

void RecordingControls::setSwitch(bool on) {
    controls_.record->setChecked(on);
    controls_.button->setChecked(on);
}

void RecordingControls::Record1Click(bool on) {
    if (!on) {
        session_.StopRecording();
        switch_.Off();
    } else {
        switch_.Choose(askFile_());
        // Armed until the next RUN, or recording at once during a capture.
        if (session_.IsRunning()) startRecording();
    }
    setSwitch(switch_.On());
    showRecording();
}

void RecordingControls::startRecording() {
    const QString problem = switch_.Start(session_, display_, kProgramVersion, QDateTime::currentDateTimeUtc());
    setSwitch(switch_.On());
    if (!problem.isEmpty()) prompts_.showMessage(QStringLiteral("Record Error"), problem, MessageIcon::Error, MessageButtons::Ok);
    showRecording();
}

void RecordingControls::showRecordingEnded(const QString& error) {
    const QString told = switch_.Ended(error);
    setSwitch(false);
    showRecording();
    if (!told.isEmpty()) prompts_.showMessage(QStringLiteral("Record Error"), told, MessageIcon::Error, MessageButtons::Ok);
}

void RecordingControls::showRecording() {
    label_->setText(switch_.Label(session_));
}

}  // namespace altrix
