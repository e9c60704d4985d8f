#pragma once
// The main window: the chart, four channel groups, two reference groups, the control panel,
// the tool bar, the main menu and its file dialogs (FileDialogs.h), laid out by Mainframe.ui.
// It binds them to the display model: a control's event writes a value into the ScopeDisplay,
// a display signal updates the controls; no control is read as the truth while the traces are
// drawn. Handlers carry the names of the controls and events that raise them, split by concern
// over this folder's files (see ../README.md); the trigger bar, the exports (ExportCommands), the analysis
// docks, the recording switch, recording files, Find and the event controls are binders of their own in
// src/ui. The values it remembers between runs are kept in the settings file (remembered_).

#include "CaptureRecord.h"
#include "CaptureSession.h"
#include "ExportCommands.h"
#include "FileDialogs.h"
#include "Passwordform.h"
#include "Prompts.h"
#include "RememberedValues.h"
#include "ScopeChart.h"
#include "ScopeDisplay.h"
#include "SetClock.h"
#include "TriggerBar.h"

#include <QDateTime>
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
class QLabel;
class QLineEdit;
class QScrollArea;

namespace Ui {
class TForm1;
}

namespace altrix {

class AnalysisDocks;
class ChartViewControls;
class EventControls;
class FindControls;
class RecordingControls;
class RecordingFileControls;
class WaveformSaving;

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

class TForm1 : public QMainWindow, public EngineeringModeHost, private MainFileDialogs {
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
    ChartViewControls& chartView() const { return *chartView_; }

    // Handlers.
    void Chart1BeforeDrawSeries();
    void SimplifiedModefastestdrawingbutlowprecision1Click();
    void FastMode1Click();
    void HighprecisionModeClick();
    void EnvelopeMode1Click();
    // Cursor readout and difference mark; X is the pixel column within the chart.
    void Chart1MouseMove(double X);
    void Chart1DblClick();
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

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The menu item of each drawing mode, in the order of DrawingMode.
    std::array<QAction*, 4> modeItems() const;
    // Registers the values kept between runs (and so restores them).
    void rememberValues();
    // The channels' settings kept in [Channels] between runs (channels.cpp).
    void rememberChannels();
    // Asks through prompts_ (`ask` is its save or open question), starting from the file the
    // dialog chose last, or in the folder of its kind's last file when that is elsewhere; a
    // chosen name becomes the dialog's last one and its folder its kind's, in the settings file too.
    QString askFileName(FileDialogSpec& dialog, const std::function<QString(const FileDialogSpec&)>& ask);
    // Section of the settings file that keeps the file dialogs' last file names.
    static constexpr char kDialogsSection[] = "Dialogs";

    // What the window shows of the display: a channel's or reference's controls, the drawing
    // mode (the readouts: ReadoutFields).
    void showChannel(int k);
    void showReference(int r);
    void showDrawingMode(DrawingMode mode);
    void connectChannelHandlers();
    void connectCaptureHandlers();
    void connectReferenceHandlers();
    void connectFileHandlers();
    // The feature binders, made once the window is built.
    void buildBinders();
    void connectDisplayHandlers();
    // Reads a waveform file into the capture, as Load does once the name is chosen.
    void loadWaveformFile(const QString& fileName);
    // Caption text, "----" and the file's name.
    void showFileName(const QString& fileName);
    // Where the traces on show come from, for an exported picture: the port of this run's
    // capture (and the file it was saved to), or the file or recording shown.
    QString shownSource() const;
    QString shownFile_;  // the file the caption names; empty while it names none
    // The name of a file to write, through askFileName, asking before an existing file is
    // replaced; empty when cancelled. The waveform save and the exports share it; the save
    // passes the capture's `note`, which its dialog shows and edits.
    QString askFileToWrite(FileDialogSpec& dialog, QString* note = nullptr);
    // The save command: starts writing the waveform file and its description (WaveformSaving);
    // with `wait`, waits for it and is true when the file was written, else true when it started.
    bool saveCapture(bool wait);
    // What the window shows of a capture saved to `fileName` with `note`; `described` is the
    // description's write.
    void showSaved(const QString& fileName, const QString& note, const FileResult& described);
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
    // The client area's layout (layout.cpp): the panels in a scroll area, the chart in the rest.
    void buildClientLayout();
    void layOutClient();
    // The channel (1..4) whose address edit `event` clicks, or 0.
    int clickedAddressEdit(const QObject* watched, const QEvent& event) const;
    Prompts& prompts_;
    CaptureSession& session_;
    ScopeDisplay& display_;
    std::unique_ptr<Ui::TForm1> ui_;
    std::array<ChannelControls, kChannelCount> channels_{};
    std::array<RefControls, kReferenceCount> refs_{};
    QScrollArea* panelArea_ = nullptr;  // PanelArea
    int defaultWindowHeight_ = 0;  // as the form description sizes the window
    // The feature binders (src/ui), and the one clock of a set's time that they write.
    SetClock setClock() const;
    std::unique_ptr<ChartViewControls> chartView_;
    std::unique_ptr<AnalysisDocks> docks_;
    std::unique_ptr<RecordingControls> recording_;
    std::unique_ptr<RecordingFileControls> recordingFile_;
    std::unique_ptr<FindControls> find_;
    std::unique_ptr<EventControls> events_;
    RememberedValues remembered_;
    std::unique_ptr<TriggerBar> triggerBar_;
    ExportCommands* exports_ = nullptr;  // the File menu's exports, a child of the window
    WaveformSaving* saving_ = nullptr;   // the waveform save being written, a child of the window
};

}  // namespace altrix
