// TForm1: the feature binders of src/ui made over the window's controls (the readouts, the keys
// and the features), and what the window does for them (the status bar, the discard question,
// the file dialogs, a waveform file load and save).

#include "Mainframe.h"

#include "AnalysisDocks.h"
#include "ChartViewControls.h"
#include "EventControls.h"
#include "FindControls.h"
#include "ReadoutFields.h"
#include "ScopeKeys.h"
#include "RecordingControls.h"
#include "RecordingFileControls.h"
#include "WaveformFiles.h"
#include "ui_Mainframe.h"

namespace altrix {

SetClock TForm1::setClock() const {
    // A recording's sets count from its start, a capture's events from RUN.
    return [this](std::int64_t set) {
        return ClockFrom(display_.Recording() ? display_.Facts().Start : session_.StartedAt())(set);
    };
}

void TForm1::buildBinders() {
    Ui::TForm1& ui = *ui_;
    ReadoutFields::Edits readouts{ui.LabeledEdit9, ui.Edit9};
    readouts[kMarkRateReadout] = ui.MarkRateEdit;
    for (int t = 1; t <= kTraceCount; ++t) {
        const bool channel = t <= kChannelCount;
        readouts[DataReadout(t)] = channel ? channels_[t - 1].data : refs_[t - kChannelCount - 1].data;
        readouts[DiffReadout(t)] = channel ? channels_[t - 1].diff : refs_[t - kChannelCount - 1].diff;
    }
    new ReadoutFields(readouts, display_, this);
    new ScopeKeys({this, ui.Chart1, ui.Button1, ui.Button2}, [this] { return session_.IsRunning(); });
    const auto tell = [this](const QString& text) { showFileStatus(text); };
    chartView_ = std::make_unique<ChartViewControls>(
        ChartViewControls::Controls{this, ui.SpeedButton4, ui.SpeedButton5, ui.SpeedButton6, ui.AxesAction, ui.LegendAction,
                                    ui.LanesAction, ui.FitAction, ui.FitLaneAction, ui.ZoomBackAction, ui.ZoomBackButton,
                                    ui.YAxisUnits1},
        display_, *ui.Chart1, remembered_);
    docks_ = std::make_unique<AnalysisDocks>(AnalysisDocks::Controls{this, ui.Measurements1, ui.Spectrum1, ui.MathTraces1},
                                             display_, *ui.Chart1);
    recording_ = std::make_unique<RecordingControls>(RecordingControls::Controls{ui.Record1, ui.RecordButton, ui.LinkStatusBar},
                                                     prompts_, session_, display_, [this] { return askFileToWrite(RecordDialog); });
    recordingFile_ = std::make_unique<RecordingFileControls>(
        RecordingFileControls::Controls{ui.File1, ui.N1, ui.LinkStatusBar},
        RecordingFileControls::Window{
            [this] { return askDiscardCapture(); },
            [this] {
                return askFileName(OpenRecordingDialog, [this](const FileDialogSpec& shown) { return prompts_.askOpenFileName(shown); });
            },
            [this](const QString& fileName) { showFileName(fileName); }, tell},
        prompts_, display_, record(), *ui.Chart1, setClock());
    const auto showSet = [this](std::int64_t set) { recordingFile_->showRecordingSet(set); };
    saving_ = new WaveformSaving(*this, display_, prompts_, [this](const QString& fileName, const WaveformSave& save) {
        showSaved(fileName, QString::fromStdString(save.Description().Note), save.Described());
    });
    find_ = std::make_unique<FindControls>(FindControls::Controls{this, ui.FindNextAction, ui.FindPreviousAction, ui.LinkStatusBar},
                                           display_, setClock(), tell, showSet);
    events_ = std::make_unique<EventControls>(
        EventControls::Controls{ui.ToolBar1, ui.TriggerJoinSourceBox, ui.SaveEventsAction, ui.EventFolderAction, ui.Events1},
        EventControls::Window{tell, showSet,
                              [this](const QString& file) {
                                  if (askDiscardCapture()) loadWaveformFile(file);
                              }},
        prompts_, session_, display_, *docks_, remembered_, setClock());
}

}  // namespace altrix
