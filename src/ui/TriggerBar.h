#pragma once
// The trigger controls of the tool bar bound to the display's trigger settings: a control's
// change writes the settings into the display and the settings file; the display's settings
// show in the controls (a level that is no number in red). The state label and the line at
// the trigger position follow the capture session; a file saved from a triggered capture keeps
// its line for as long as the program runs. A loaded capture's own trigger setup replaces the
// user's only by the command that applies it.

#include "CaptureSession.h"
#include "ScopeDisplay.h"

#include <QDateTime>
#include <QHash>
#include <QObject>

#include <vector>

class QAction;
class QComboBox;
class QCPItemStraightLine;
class QLabel;
class QLineEdit;
class QSpinBox;
class QToolBar;

namespace altrix {

class ScopeChart;

class TriggerBar : public QObject {
    Q_OBJECT
public:
    // The controls of one condition.
    struct ConditionControls {
        QComboBox* source;
        QComboBox* slope;
        QLineEdit* level;
        QLineEdit* level2;  // the band's high end
        QSpinBox* bit;
    };
    struct Controls {
        QToolBar* bar;
        QComboBox* mode;
        ConditionControls first;
        QComboBox* join;
        ConditionControls second;  // shown while a join is chosen
        QSpinBox* preTrigger;
        QSpinBox* holdoff;
        QLabel* state;
        QAction* applyCaptured;  // ApplyCaptureTriggerAction
    };
    // Reads the remembered settings from the session's settings file into the display.
    TriggerBar(const Controls& controls, ScopeChart& chart, ScopeDisplay& display, CaptureSession& session,
               QObject* parent = nullptr);

    // Any trigger control changed by the user.
    void TriggerControlChange();
    // "Apply the capture's trigger settings": the loaded capture's trigger setup becomes the
    // user's, and is remembered; the command is enabled while a loaded capture names one.
    void ApplyCaptureTriggerClick();
    // The level line dragged on the chart to left-axis value y: the level typed as precisely as
    // the source's gain while no capture runs; a capture keeps its level.
    void LevelLineDragged(double y);
    // Moves or hides the line (-1); the capture start or tick, or the load, that it belongs to
    // replots.
    void showPosition(int position);
    // After a save the file's trigger position is remembered; a load shows it again while the
    // file is as it was saved.
    void rememberFile(const QString& fileName);
    void recallFile(const QString& fileName);
    // The state label, in bold on a colour per state: "Triggered at" the time the cursor reads on
    // the trigger line, then the trigger's wall-clock time; `seconds` is its time since RUN.
    void showState(TriggerPhase phase, double seconds);

private:
    // Every trigger control.
    std::vector<QWidget*> allControls() const;
    void showSettings();
    // The controls follow the capture lock; the level or the bit, by the condition.
    void showControls();
    void showStateLabel();
    // The events caught and saved while every event is saved; empty otherwise, and while a
    // file or a recording is on show.
    QString savingText() const;

    Controls controls_;
    ScopeDisplay& display_;
    CaptureSession& session_;
    ScopeChart& chart_;
    QCPItemStraightLine* line_;
    int position_ = -1;  // of the line on show, -1 when hidden
    TriggerPhase phase_ = TriggerPhase::Off;
    double secondsSinceRun_ = 0;
    struct SavedTrigger {
        QDateTime modified;
        qint64 size;
        int position;
    };
    QHash<QString, SavedTrigger> savedTriggers_;  // by canonical file path
};

}  // namespace altrix
