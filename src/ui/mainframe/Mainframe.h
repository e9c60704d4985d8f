#pragma once
// The main window: the chart, four channel groups, two reference groups, the control panel,
// the tool bar, the main menu, the descriptions of the file dialogs and the capture timer.
// Mainframe.ui lays the controls out; this class wires and acts. Handlers carry the names of
// the controls and events that raise them and are split by concern over the files of this
// folder: Mainframe.cpp (construction, close), display.cpp (drawing, drawing modes, zoom,
// cursor and mark readouts), channels.cpp (channel controls, quantity presets), capture.cpp
// (RUN, STOP, the capture tick, Type Identify), references.cpp (the reference waveforms),
// files.cpp (waveform file save and load), trigger.cpp (the trigger controls and line).

#include "CaptureRecord.h"
#include "CaptureSession.h"
#include "Passwordform.h"
#include "Prompts.h"

#include <QColor>
#include <QDateTime>
#include <QHash>
#include <QMainWindow>
#include <QString>

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

class QAction;
class QCPItemStraightLine;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;

namespace Ui {
class TForm1;
}

namespace altrix {

inline constexpr char kCaptionText[] = "QUENMAR Co. Inverter oscilloscope for ALTRIX Ver. 1";

// Seconds as the time readouts show them: up to 15 significant digits, the decimal separator of
// the default locale.
QString TimeText(double seconds);

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
    int series;  // chart series number of the trace
};

// The controls of one reference group.
struct RefControls {
    QCheckBox* show;
    QLineEdit* source;
    QComboBox* yScale;
    QLineEdit* gain;
    QLineEdit* data;
    QLineEdit* diff;
    int series;
};

class TForm1 : public QMainWindow, public EngineeringModeHost {
    Q_OBJECT
public:
    // `prompts` shows every message box and file dialog; `session` runs the captures over the
    // program's one link to the drive and holds the capture record. Both must outlive the window.
    TForm1(Prompts& prompts, CaptureSession& session, QWidget* parent = nullptr);
    ~TForm1() override;

    CaptureRecord& record() { return session_.record(); }
    const CaptureRecord& record() const { return session_.record(); }

    // Shared display operations. None of them replots: the handler that calls them replots
    // once at its end.
    void DrawWaveform(int series, std::int32_t pointCount, float scale, int channel);
    void checkzoom_andredraw();
    void DrawRef();
    // RUN's first step: shifts the view sideways, keeping its width, so that its right edge
    // shows position 99999. A view narrower than one sample is left as it is.
    void AlignViewToNewest();
    // Writes the exact decimal text of value x the gain text of `gainField` into `readout`,
    // always with "." as the point. A gain text holding anything but digits and "." is erased
    // first, which raises the gain field's change handler, and then counts as gain 1.
    void CountDataValue(std::int32_t value, QLineEdit* gainField, QLineEdit* readout);

    // Handlers.
    void Chart1BeforeDrawSeries();
    void SimplifiedModefastestdrawingbutlowprecision1Click();
    void FastMode1Click();
    void HighprecisionModeClick();
    void SpeedButton4Click();
    void SpeedButton5Click();
    void SpeedButton6Click();
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
    void LabeledEditChange(int t);  // gain edits LabeledEdit1..6
    void Exit1Click();
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
    void RefYScaleBoxChange();
    // Trigger: any trigger control changed by the user; the choice is remembered in the
    // settings file.
    void TriggerControlChange();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // A drawing mode: its menu item, the point counts it asks for and its Label21 text.
    struct DrawingMode {
        QAction* item;
        std::int32_t menuPointCount;
        std::int32_t capturePointCount;  // every capture tick
        // Stopped state, by visible fraction r: r > 0.45, 0.3 <= r <= 0.45, r < 0.3.
        std::array<std::int32_t, 3> stoppedPointCounts;
        QString caption;  // Label21
        QColor colour;
    };

    // Channel k (1..4) is shown when its box is ticked and its address is not empty.
    bool channelShown(int k) const;
    // Draws every shown channel with DrawPointCount and clears the series of the others.
    void redrawShownChannels();
    void chooseDrawingMode(const DrawingMode& mode);

    // Chart series of the cursor line and the mark line.
    static constexpr int kCursorSeries = 6;
    static constexpr int kMarkSeries = 7;

    // The readout controls of trace t, numbered as for LabeledEditChange.
    static constexpr int kTraceCount = kChannelCount + kReferenceCount;
    struct ReadoutRow {
        QCheckBox* shown;
        QLineEdit* gain;
        QLineEdit* data;
        QLineEdit* diff;
    };
    ReadoutRow readoutRow(int t) const;
    // Raw value of trace t under the cursor: a channel's at CursorSample, a reference's at
    // CursorPosition, 0 for a reference outside the window. valueAtMark is its stored mark value.
    std::int16_t valueAtCursor(int t) const;
    std::int16_t& valueAtMark(int t);
    // The "Data" and "△data" readouts of trace t.
    void showValue(int t);
    void showDifference(int t);
    void connectChannelHandlers();
    void connectCaptureHandlers();
    void connectReferenceHandlers();
    void connectFileHandlers();
    // ChannelScale of channel k (1..4) from its Y-scale list.
    void takeChannelScale(int k);
    // After a load, or its cancel: clears the addresses, quantities and mark, ticks and
    // redraws all four channels.
    void resetForLoadedTraces();
    // Caption text, "----" and the file's name.
    void showFileName(const QString& fileName);
    // Locks (RUN) or unlocks (STOP) the channel controls, RUN, Type Identify, the file and
    // mode commands and the readouts that follow the mouse. STOP stays enabled.
    void lockForCapture(bool locked);
    // The port named in COMSelectBox1.
    std::string chosenPortName() const;
    // The addresses and enables of the channels for RUN; none, after telling the user, when a
    // ticked channel's address is not four lowercase hexadecimal digits.
    std::optional<CaptureSetup> captureSetupFromControls();
    // What the window shows of the session's reports.
    void showCaptureStarted();
    void showCaptureStopped();
    void showCaptureTick();
    void showDriveType(std::int32_t typeCode);
    void showLinkFailure(LinkFailure why);
    // The channel (1..4) whose address edit `event` clicks, or 0.
    int clickedAddressEdit(const QObject* watched, const QEvent& event) const;
    // Trigger (trigger.cpp): the controls, their settings, the state label, the line at the
    // trigger position, and the positions of the triggered captures saved to files.
    void connectTriggerHandlers();
    TriggerSettings triggerSettingsFromControls() const;
    void showTriggerSettings(const TriggerSettings& settings);
    // RUN's trigger: the settings and the gain text of the source channel.
    void takeTriggerSetup(CaptureSetup& setup) const;
    // The trigger controls follow the capture lock; the level or the bit, by the condition.
    void showTriggerControls();
    void showTriggerState(TriggerPhase phase, double seconds);
    // Moves or hides the line; the capture start or tick, or the load, that it belongs to
    // replots.
    void showTriggerPosition(int position);
    // After a save the file's trigger position is remembered; a load shows it again while the
    // file is as it was saved.
    void rememberTriggerOfFile(const QString& fileName);
    void recallTriggerOfFile(const QString& fileName);

    Prompts& prompts_;
    CaptureSession& session_;
    std::unique_ptr<Ui::TForm1> ui_;
    std::array<ChannelControls, kChannelCount> channels_{};
    std::array<RefControls, kReferenceCount> refs_{};
    std::array<DrawingMode, 3> drawingModes_{};
    QCPItemStraightLine* triggerLine_ = nullptr;
    int triggerPosition_ = -1;  // of the line on show, -1 when hidden
    struct SavedTrigger {
        QDateTime modified;
        qint64 size;
        int position;
    };
    QHash<QString, SavedTrigger> savedTriggers_;  // by canonical file path

    // File dialogs, as the load and save commands show them through prompts_.
    const FileDialogSpec SaveDialog1{QStringLiteral("WaveForm Data (*.wfd)|*.wfd|All Files (*.*)|*.*"),
                                     QStringLiteral("*.wfd"), false};
    const FileDialogSpec OpenDialog1{QStringLiteral("WaveForm Data (*.wfd)|*.wfd|All files (*.*)|*.*"),
                                     QStringLiteral("*.wfd"), true};
    const FileDialogSpec OpenDialog2{QStringLiteral("Parameter List File (*.plf)|*.plf"), QString(),
                                     false};
};

}  // namespace altrix
