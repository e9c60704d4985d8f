#pragma once
// The main window: the chart, four channel groups, two reference groups, the control panel,
// the tool bar, the main menu, the descriptions of the file dialogs and the capture timer.
// Mainframe.ui lays the controls out; this class wires and acts. Handlers carry the names of
// the controls and events that raise them and are split by concern over the files of this
// folder: Mainframe.cpp (construction, close), display.cpp (drawing, drawing modes, zoom).

#include "CaptureRecord.h"
#include "Passwordform.h"
#include "Prompts.h"

#include <QColor>
#include <QMainWindow>
#include <QString>

#include <array>
#include <cstdint>
#include <memory>

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QTimer;

namespace Ui {
class TForm1;
}

namespace altrix {

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
    // `prompts` shows every message box and file dialog; it must outlive the window.
    explicit TForm1(Prompts& prompts, QWidget* parent = nullptr);
    ~TForm1() override;

    CaptureRecord& record() { return *record_; }

    // Shared display operations. None of them replots: the handler that calls them replots
    // once at its end.
    void DrawWaveform(int series, std::int32_t pointCount, float scale, int channel);
    void checkzoom_andredraw();
    void DrawRef();
    // RUN's first step: shifts the view sideways, keeping its width, so that its right edge
    // shows position 99999. A view narrower than one sample is left as it is.
    void AlignViewToNewest();

    // Handlers.
    void Chart1BeforeDrawSeries();
    void SimplifiedModefastestdrawingbutlowprecision1Click();
    void FastMode1Click();
    void HighprecisionModeClick();
    void SpeedButton4Click();
    void SpeedButton5Click();
    void SpeedButton6Click();
    void Exit1Click();
    // Engineering mode: the password dialog (only while no capture runs) and the base value
    // setting dialog; the main window stays disabled while either is open.
    void Image1DblClick();
    void Base1Click();
    void SetEngineeringControlsVisible(bool visible) override;
    void ClearReferenceSourceNames() override;
    // Close event: the window is freed once closed.
    void FormClose(QCloseEvent* event);

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // A drawing mode: its menu item, the point counts it asks for and its Label21 text.
    struct DrawingMode {
        QAction* item;
        std::int32_t menuPointCount;
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

    Prompts& prompts_;
    std::unique_ptr<Ui::TForm1> ui_;
    std::unique_ptr<CaptureRecord> record_;
    std::array<ChannelControls, kChannelCount> channels_{};
    std::array<RefControls, kReferenceCount> refs_{};
    std::array<DrawingMode, 3> drawingModes_{};
    QTimer* Timer1 = nullptr;

    // File dialogs, as the load and save commands show them through prompts_.
    const FileDialogSpec SaveDialog1{QStringLiteral("WaveForm Data (*.wfd)|*.wfd|All Files (*.*)|*.*"),
                                     QStringLiteral("*.wfd"), false};
    const FileDialogSpec OpenDialog1{QStringLiteral("WaveForm Data (*.wfd)|*.wfd|All files (*.*)|*.*"),
                                     QStringLiteral("*.wfd"), true};
    const FileDialogSpec OpenDialog2{QStringLiteral("Parameter List File (*.plf)|*.plf"), QString(),
                                     false};
};

}  // namespace altrix
