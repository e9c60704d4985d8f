#pragma once
// A waveform file's load with progress, and its save written beside the window.
//
// The save: the samples and their description are taken
// when the file is named (WaveformSave), then written on a FileTask, so that the window and a
// capture started meanwhile go on; a progress dialog (`SaveProgress`) shows after half a second
// and its Cancel leaves no file (an existing one as it was). A failure is told with its reason.
// What the window shows of a saved capture is done by `saved`, only while the display still
// shows that capture (no RUN and no other source since).

#include "Prompts.h"
#include "WaveformSave.h"

#include <QObject>
#include <QPointer>

#include <functional>

class QProgressDialog;
class QWidget;

namespace altrix {

class FileTask;
class ScopeDisplay;

// Reads a waveform file into the record while the window stays alive: the window's events are
// handled after each chunk, and a read that lasts shows its progress in a dialog over `window`
// whose Cancel stops it. Until that dialog shows, user input waits; once it shows, it blocks
// input to the window itself.
FileResult ReadWaveformWithProgress(CaptureRecord& record, const QString& fileName, QWidget& window);

class WaveformSaving : public QObject {
public:
    // `saved(fileName, save)`: the file was written (save.Described(): its description's write).
    using Saved = std::function<void(const QString& fileName, const WaveformSave& save)>;
    WaveformSaving(QWidget& window, const ScopeDisplay& display, Prompts& prompts, Saved saved);
    // A save being written ends whole before the window goes.
    ~WaveformSaving() override;

    // Starts writing `save` to `fileName`; false when a save is being written already.
    bool start(WaveformSave save, const QString& fileName);
    bool saving() const { return task_ != nullptr; }
    // Handles the window's events until the save being written ended, its progress dialog then
    // modal to the window (input to the window waits until it shows); true when the last save
    // wrote its file.
    bool wait();

private:
    void finish(const QString& fileName, const std::shared_ptr<WaveformSave>& save);

    QWidget& window_;
    Prompts& prompts_;
    Saved saved_;
    FileTask* task_ = nullptr;  // the save being written, a child
    QPointer<QProgressDialog> progress_;
    bool superseded_ = false;   // the display shows another capture or source since it started
    bool lastWritten_ = false;
};

}  // namespace altrix
