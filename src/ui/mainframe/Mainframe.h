#pragma once
// The main window: the chart, four channel groups, two reference groups, the control panel,
// the tool bar, the main menu and the descriptions of the file dialogs. Mainframe.ui lays the
// controls out; this class binds them to the display model: a control's event writes a value
// into the ScopeDisplay, a display signal updates the controls; no control is read as the truth
// while the traces are drawn. Handlers carry the names of the controls and events that raise
// them and are split by concern over the files of this folder: Mainframe.cpp (construction,
// close, engineering mode), display.cpp (drawing modes, zoom, cursor and mark, the readouts),
// channels.cpp (channel and reference controls), capture.cpp (RUN, STOP, the capture tick,
// Type Identify), linkhealth.cpp (the link's status bar and its loss), files.cpp (waveform file
// save and load with their descriptions), unsaved.cpp (the discard question and the capture's
// note), analysis.cpp (the measurements and spectrum docks), layout.cpp (the client area's
// layout), recording.cpp (the recording switch); the trigger controls are a TriggerBar, the
// exports ExportCommands. The values it remembers between runs are kept in the settings file through
// remembered_.

#include "CaptureRecord.h"
#include "CaptureSession.h"
#include "ExportCommands.h"
#include "Passwordform.h"
#include "Prompts.h"
#include "RecordingSearch.h"
#include "RememberedValues.h"
#include "ScopeChart.h"
#include "ScopeDisplay.h"
#include "TriggerBar.h"

#include <QDateTime>
#include <QHash>
#include <QMainWindow>
#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class QAction;
class QCheckBox;
class QComboBox;
class QDockWidget;
class QLabel;
class QLineEdit;
class QScrollArea;
class QShortcut;
class QTimer;

namespace Ui {
class TForm1;
}

namespace altrix {

class EventsForm;
struct EventRow;
class LinkStatus;

inline constexpr char kCaptionText[] = "QUENMAR Co. Inverter oscilloscope for ALTRIX Ver. 1";

// The controls of one channel group, gathered once so that every handler family is written
// once for channel k.
struct ChannelControls {
    QCheckBox* enable;
    QLabel* addressLabel;  // "Mem. Addr."
    QLineEdit* address;
    QComboBox* quantity;
    QComboBox* yScale;
    QLineEdit* gain;
    QLineEdit* data;
    QLineEdit* diff;
};

// The controls of one reference group.
struct RefControls {
    QCheckBox* show;
    QLineEdit* source;
    QComboBox* yScale;
    QLineEdit* gain;
    QLineEdit* data;
    QLineEdit* diff;
};

class TForm1 : public QMainWindow, public EngineeringModeHost {
    Q_OBJECT
public:
    // `prompts` shows every message box and file dialog; `session` runs the captures over the
    // program's one link to the drive; `display` is what the window shows. All must outlive the
    // window. `settingsIniPath` is the program's settings file: the base value dialog reads it,
    // and the window restores its remembered values from it and writes them back when it
    // closes (empty: no settings file).
    TForm1(Prompts& prompts, CaptureSession& session, ScopeDisplay& display, std::string settingsIniPath = {},
           QWidget* parent = nullptr);
    ~TForm1() override;

    CaptureRecord& record() { return session_.record(); }
    ScopeDisplay& display() { return display_; }
    ScopeChart& chart() const;

    // RUN's first step: shifts the view sideways, keeping its width, so that its right edge
    // shows position 99999. A view narrower than one sample is left as it is.
    void AlignViewToNewest();

    // Handlers.
    void Chart1BeforeDrawSeries();
    void SimplifiedModefastestdrawingbutlowprecision1Click();
    void FastMode1Click();
    void HighprecisionModeClick();
    void EnvelopeMode1Click();
    void SpeedButton4Click();
    void SpeedButton5Click();
    void SpeedButton6Click();
    // Cursor readout and difference mark; X is the pixel column within the chart.
    void Chart1MouseMove(double X);
    void Chart1DblClick();
    // View menu (chartview.cpp): the graticule, the legend, stacked lanes, Fit (the lanes, or
    // the vertical axis to the shown traces), the previous view of the zoom history, the trace
    // the vertical axis is labelled in; the trigger level line dragged on the chart.
    void AxesActionClick(bool on);
    void LegendActionClick(bool on);
    void LanesActionClick(bool on);
    void FitLaneActionClick();
    void FitActionClick();
    void ZoomBackActionClick();
    void YAxisUnitsClick(int t);
    void LevelLineDragged(double y);
    // Handler families, each one function of channel k (1..4) or trace t (1..4 the channels,
    // 5 and 6 Ref1 and Ref2), named after their controls without the number.
    void EditChange(int k);         // address edits Edit1..4
    void EditClick(int k);
    void CheckBoxClick(int k);      // CheckBox1..4
    void QuantityBoxChange(int k);  // ComboBox1..4
    void YScaleBoxChange(int k);    // ComboBox5..8
    void LabeledEditChange(int t);  // gain edits LabeledEdit1..6; an invalid gain shows red
    void Exit1Click();
    // Help menu: the program's version and licences; the keyboard shortcuts of the menus.
    void About1Click();
    void KeyboardShortcuts1Click();
    // File menu: the note kept with the capture on show, in a small window of its own.
    void CaptureNotes1Click();
    // Engineering mode: the password dialog (only while no capture runs) and the base value
    // setting dialog; the main window stays disabled while either is open.
    void Image1DblClick();
    void Base1Click();
    void SetEngineeringControlsVisible(bool visible) override;
    void ClearReferenceSourceNames() override;
    // Close event: the window is freed once closed.
    void FormClose(QCloseEvent* event);
    // Capture control: RUN, STOP and the 50 ms tick that drains the port while a capture runs
    // (the session's timer ticks it; tests may call Timer1Timer instead).
    void Button1Click();
    void Button2Click();
    void Timer1Timer();
    // Type Identify: asks the drive for its type code and shows its model label on BitBtn1.
    void BitBtn1Click();
    void ParameterRequest();
    // Waveform files: File menu items and tool buttons SpeedButton3 (save), SpeedButton2 (load).
    void SaveWaveformFile1Click();
    void Loadwaveformfile1Click();
    // References r (1, 2): the "Save Ch" items Ch11..Ch42 copy channel c (1..4) into r; the
    // show items ShowRef1/2, the show switches CheckBox5/6 and the Y-scale lists ComboBox9/10.
    // Their gain fields are LabeledEditChange(5) and (6).
    void ChClick(int r, int c);
    void ShowRefClick(int r);
    void RefCheckBoxClick(int r);
    void RefYScaleBoxChange(int r);
    // Analysis menu: opens or raises the measurements and the spectrum dock.
    void Measurements1Click();
    void Spectrum1Click();
    // Analysis menu (math.cpp): opens or raises the math traces window.
    void MathTraces1Click();
    // events.cpp: Trigger > "Save every event..." switches saving each Normal trigger's window
    // on and off (asking for the folder the first time); "Event folder..." picks another;
    // Analysis > "Events" opens the event list.
    void SaveEventsActionClick(bool on);
    void EventFolderActionClick();
    void Events1Click();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The menu item of each drawing mode, in the order of DrawingMode.
    std::array<QAction*, 4> modeItems() const;
    // Registers the values kept between runs (and so restores them).
    void rememberValues();
    // Asks through prompts_ (`ask` is its save or open question), starting from the file the
    // dialog chose last; a chosen name becomes the dialog's last one, in the settings file too.
    QString askFileName(FileDialogSpec& dialog, const std::function<QString(const FileDialogSpec&)>& ask);
    // Section of the settings file that keeps the file dialogs' last file names.
    static constexpr char kDialogsSection[] = "Dialogs";
    // The chart's bottom axis handed to the display.
    void takeChartView();

    // What the window shows of the display: a channel's or reference's controls, the drawing
    // mode, the readouts.
    void showChannel(int k);
    void showReference(int r);
    void showDrawingMode(DrawingMode mode);
    void showReadouts(std::uint32_t written);
    void connectChannelHandlers();
    void connectCaptureHandlers();
    void connectReferenceHandlers();
    void connectFileHandlers();
    void connectAnalysisHandlers();
    void connectDisplayHandlers();
    void connectChartViewHandlers();
    // The graticule, legend and level line as the display lays them out, before each replot.
    void showChartDecorations();
    void showYAxisUnits();
    // The math traces: their menu item, chart colours and [Math] settings.
    void connectMathHandlers();
    // events.cpp: the event saving switch and its [Events] settings, the event list.
    void connectEventHandlers();
    void startSavingEvents();
    void showEventSavingEnded(const QString& why);
    void showEventList();
    void showEvent(const EventRow& event);
    // Reads a waveform file into the capture, as Load does once the name is chosen.
    void loadWaveformFile(const QString& fileName);
    // Caption text, "----" and the file's name.
    void showFileName(const QString& fileName);
    // The name of a file to write, through askFileName, asking before an existing file is
    // replaced; empty when cancelled. The waveform save and the exports share it; the save
    // passes the capture's `note`, which its dialog shows and edits.
    QString askFileToWrite(FileDialogSpec& dialog, QString* note = nullptr);
    // The save command: true when the waveform file was written (with its description when
    // that could be written too).
    bool saveCapture();
    // After a load: the file's description put back, or the status bar says why not.
    void restoreDescription(const QString& fileName);
    // What a save or load could not keep or restore, in the status bar for a minute.
    void showFileStatus(const QString& text);
    static constexpr int kFileStatusMs = 60000;
    // Before RUN, a load or closing replace a capture that no file holds: true when they may
    // go on (nothing unsaved, the question turned off, Discard, or Save that wrote the file).
    bool askDiscardCapture();
    bool askBeforeDiscard_ = true;  // [Display] AskBeforeDiscard
    // Locks (RUN) or unlocks (STOP) the channel controls, RUN, Type Identify, the file and
    // mode commands and the readouts that follow the mouse. STOP stays enabled.
    void lockForCapture(bool locked);
    // The port named in COMSelectBox1.
    std::string chosenPortName() const;
    // What the window shows of the session's reports.
    void showCaptureStarted();
    void showCaptureStopped();
    void showCaptureTick();
    void showDriveType(std::int32_t typeCode);
    void showLinkFailure(LinkFailure why);
    // The link's health figures in the status bar, and the box when a capture's link is lost.
    void buildLinkStatus();
    void showLinkLost(const QDateTime& lastByteAt);
    // Recording: Record1 and RecordButton are one switch; on, it asks for the file, and the
    // session records while a capture runs (from the next RUN when none does).
    void Record1Click(bool on);
    void connectRecordingHandlers();
    void setRecordSwitch(bool on);
    void startRecording();
    void showRecordingEnded(const QString& error);
    void showRecording();
    // The analysis docks: made and shown, or raised; the names of those open, and those reopened
    // at start.
    void showDock(QDockWidget*& dock, const QString& name, Qt::DockWidgetArea area,
                  const std::function<QWidget*()>& makeForm);
    QStringList openDocks() const;
    void reopenDocks(const QStringList& names);
    // The client area's layout (layout.cpp): the panels in a scroll area, the chart in the rest.
    void buildClientLayout();
    void layOutClient();
    // recordingfile.cpp: File > "Open recording..." shows a recording file through the
    // display's recording source; a .wfd saved meanwhile holds 100000 sets of it.
    void connectRecordingFileHandlers();
    void OpenRecording1Click();
    // The 100000 sets from the analysed stretch's first as a window, or none (the user told
    // why) when the stretch is longer.
    std::unique_ptr<CaptureRecord> recordingWindow();
    // Shows set `set` of the recording on show in the chart: where the trigger's pre-trigger
    // share would put it, in a view as wide as the one on show, at most 100000 sets.
    void showRecordingSet(std::int64_t set);
    // search.cpp: Trigger > "Find next" / "Find previous" through the recording on show, in
    // slices of the event loop with the progress in the status bar; Esc or another press stops.
    void connectSearchHandlers();
    void findEvent(SearchDirection direction);
    void searchSlice();
    void stopSearch();
    // Set `set`'s time of day (its time into the recording when the start is not known).
    QString recordingClock(std::int64_t set) const;
    std::unique_ptr<RecordingSearch> search_;
    QTimer* searchTimer_ = nullptr;
    QShortcut* searchStop_ = nullptr;  // Esc, while a search runs
    std::int64_t searchFound_ = -1;    // the set found last in the recording on show; -1: none
    // The channel (1..4) whose address edit `event` clicks, or 0.
    int clickedAddressEdit(const QObject* watched, const QEvent& event) const;
    Prompts& prompts_;
    CaptureSession& session_;
    ScopeDisplay& display_;
    std::unique_ptr<Ui::TForm1> ui_;
    std::array<ChannelControls, kChannelCount> channels_{};
    std::array<RefControls, kReferenceCount> refs_{};
    LinkStatus* linkStatus_ = nullptr;
    QScrollArea* panelArea_ = nullptr;  // PanelArea
    int defaultWindowHeight_ = 0;  // as the form description sizes the window
    QLabel* recordLabel_ = nullptr;    // RecordLabel
    QString recordPath_;               // the recording's file; empty when the switch is off
    // Made when first opened; children of the window.
    QDockWidget* measureDock_ = nullptr;   // MeasurementsDock
    QDockWidget* spectrumDock_ = nullptr;  // SpectrumDock
    QDockWidget* mathDock_ = nullptr;      // MathDock
    QDockWidget* eventsDock_ = nullptr;    // EventsDock
    EventsForm* eventsForm_ = nullptr;
    QString eventFolder_;                  // where every event is saved; empty until chosen
    EventSaver::Limits eventLimits_;
    RememberedValues remembered_;
    std::unique_ptr<TriggerBar> triggerBar_;
    ExportCommands* exports_ = nullptr;  // the File menu's exports, a child of the window
    std::array<QAction*, kTraceCount> yAxisItems_{};  // "Y axis in units of", by trace

    // File dialogs, as the load, save and export commands show them through prompts_; each
    // keeps the file name chosen last.
    FileDialogSpec SaveDialog1{QStringLiteral("WaveForm Data (*.wfd)|*.wfd|All Files (*.*)|*.*"),
                               QStringLiteral("*.wfd"), false, QStringLiteral("SaveDialog1"), {}};
    FileDialogSpec OpenDialog1{QStringLiteral("WaveForm Data (*.wfd)|*.wfd|All files (*.*)|*.*"),
                               QStringLiteral("*.wfd"), true, QStringLiteral("OpenDialog1"), {}};
    FileDialogSpec OpenRecordingDialog{QStringLiteral("Recording (*.arec)|*.arec|All files (*.*)|*.*"),
                                       QStringLiteral("*.arec"), true, QStringLiteral("OpenRecordingDialog"), {}};
    FileDialogSpec RecordDialog{QStringLiteral("Recording (*.arec)|*.arec|CSV (*.csv)|*.csv|All Files (*.*)|*.*"), QStringLiteral("arec"),
                                true, QStringLiteral("RecordDialog"), {}};
    const FileDialogSpec OpenDialog2{QStringLiteral("Parameter List File (*.plf)|*.plf"), QString(),
                                     false, QStringLiteral("OpenDialog2"), {}};
};

}  // namespace altrix
