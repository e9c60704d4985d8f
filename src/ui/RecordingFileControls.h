#pragma once
// File > "Open recording..." (OpenRecording1) shows a recording file (*.arec) through the
// display's recording source, from its first set to its last, the chart's axis following the
// source's length; a file that is no recording of this program is refused with the reason and
// nothing on screen changes; RUN goes back to the live window. RecordingClockLabel gives the
// cursor's time of day while a recording is on show.

#include "CaptureRecord.h"
#include "ScopeDisplay.h"
#include "SetClock.h"

#include <QObject>

#include <functional>
#include <memory>

class QAction;
class QLabel;
class QMenu;
class QStatusBar;

namespace altrix {

class Prompts;
class ScopeChart;

class RecordingFileControls : public QObject {
    Q_OBJECT
public:
    struct Controls {
        QMenu* file;       // takes OpenRecording1 before `before`
        QAction* before;
        QStatusBar* bar;   // takes RecordingClockLabel
    };
    // What the window does around an open: the discard question (false: keep what is on
    // show), the file dialog (empty when cancelled), the caption, a word in the status bar.
    struct Window {
        std::function<bool()> askDiscard;
        std::function<QString()> askFile;
        std::function<void(const QString&)> showFileName;
        std::function<void(const QString&)> tell;
    };
    RecordingFileControls(const Controls& controls, const Window& window, Prompts& prompts, ScopeDisplay& display,
                          const CaptureRecord& record, ScopeChart& chart, SetClock clock, QObject* parent = nullptr);

    void OpenRecording1Click();
    // Set `set` of the recording in view: where the trigger's pre-trigger share would put it,
    // in a view as wide as the one on show, at most 100000 sets.
    void showRecordingSet(std::int64_t set);
    // The analysed stretch as a window for a waveform file, or none (the user told why).
    std::unique_ptr<CaptureRecord> recordingWindow();

private:
    void showClock();

    Window window_;
    Prompts& prompts_;
    ScopeDisplay& display_;
    const CaptureRecord& record_;
    ScopeChart& chart_;
    SetClock clock_;
    QLabel* clockLabel_;
};

}  // namespace altrix
