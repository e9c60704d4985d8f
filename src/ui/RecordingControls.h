#pragma once
// The recording switch: "Record to file..." (Record1) and the tool bar's RecordButton, which
// stays usable while a capture locks the File menu, are one switch. On, it asks for the file
// and records while a capture runs (from the next RUN when none does); STOP, a write error or
// the switch off end it. RecordLabel in the status bar says what is recorded.

#include "CaptureSession.h"
#include "RecordingSwitch.h"
#include "ScopeDisplay.h"

#include <QObject>

#include <functional>

class QAction;
class QLabel;
class QStatusBar;
class QToolButton;

namespace altrix {

class Prompts;

class RecordingControls : public QObject {
    Q_OBJECT
public:
    struct Controls {
        QAction* record;       // Record1
        QToolButton* button;   // RecordButton
        QStatusBar* bar;       // takes RecordLabel
    };
    // `askFile` asks for the file to record to (empty when cancelled).
    RecordingControls(const Controls& controls, Prompts& prompts, CaptureSession& session, const ScopeDisplay& display,
                      std::function<QString()> askFile, QObject* parent = nullptr);

    void Record1Click(bool on);
    // The label, after every tick.
    void showRecording();

private:
    void setSwitch(bool on);
    void startRecording();
    void showRecordingEnded(const QString& error);

    Controls controls_;
    Prompts& prompts_;
    CaptureSession& session_;
    const ScopeDisplay& display_;
    std::function<QString()> askFile_;
    QLabel* label_;
    RecordingSwitch switch_;
};

}  // namespace altrix
