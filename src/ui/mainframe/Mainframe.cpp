// TForm1: construction with the start-up defaults and the remembered values, closing,
// engineering mode and the About box; the client area's layout is in layout.cpp.

#include "Mainframe.h"

#include "About.h"
#include "AnalysisDocks.h"
#include "ChartViewControls.h"
#include "EventControls.h"
#include "FindControls.h"
#include "RecordingControls.h"
#include "RecordingFileControls.h"
#include "KeyboardShortcuts.h"
#include "LinkStatus.h"
#include "ParameterFiles.h"
#include "ScopeChart.h"
#include "Setbase.h"
#include "WindowStyle.h"
#include "ui_Mainframe.h"

#include <QByteArray>
#include <QCloseEvent>
#include <QStatusBar>

// The icons live in a static library; their registration must be pulled in by name, and
// Q_INIT_RESOURCE only works outside a namespace.
static void InitIconResources() {
    Q_INIT_RESOURCE(icons);
}

namespace altrix {

TForm1::TForm1(Prompts& prompts, CaptureSession& session, ScopeDisplay& display, std::string settingsIniPath,
               QWidget* parent)
    : QMainWindow(parent),
      prompts_(prompts),
      session_(session),
      display_(display),
      ui_(std::make_unique<Ui::TForm1>()),
      remembered_(std::move(settingsIniPath)) {
    InitIconResources();
    InstallFontSubstitutes();
    ui_->setupUi(this);
    Ui::TForm1& ui = *ui_;

    // What the form description cannot say.
    ui.N1->setSeparator(true);
    // A tool bar makes every button it takes flat; the zoom in and out buttons stay raised.
    ui.SpeedButton5->setAutoRaise(false);
    ui.SpeedButton6->setAutoRaise(false);
    ui.Advancedfunction1->menuAction()->setVisible(false);
    auto* lowerCase = new LowerCaseValidator(this);
    channels_ = {{
        {ui.CheckBox1, ui.Label1, ui.Edit1, ui.ComboBox1, ui.ComboBox5, ui.LabeledEdit1, ui.Edit5, ui.Edit13},
        {ui.CheckBox2, ui.Label2, ui.Edit2, ui.ComboBox2, ui.ComboBox6, ui.LabeledEdit2, ui.Edit6, ui.Edit14},
        {ui.CheckBox3, ui.Label3, ui.Edit3, ui.ComboBox3, ui.ComboBox7, ui.LabeledEdit3, ui.Edit7, ui.Edit15},
        {ui.CheckBox4, ui.Label4, ui.Edit4, ui.ComboBox4, ui.ComboBox8, ui.LabeledEdit4, ui.Edit8, ui.Edit16},
    }};
    for (const ChannelControls& channel : channels_)
        channel.address->setValidator(lowerCase);
    refs_ = {{
        {ui.CheckBox5, ui.Edit10, ui.ComboBox9, ui.LabeledEdit5, ui.Edit12, ui.Edit17},
        {ui.CheckBox6, ui.Edit11, ui.ComboBox10, ui.LabeledEdit6, ui.Edit18, ui.Edit19},
    }};

    buildClientLayout();
    display_.SetSink(ui.Chart1);
    connectDisplayHandlers();
    connectChannelHandlers();
    connectCaptureHandlers();
    connectReferenceHandlers();
    connectFileHandlers();
    exports_ = new ExportCommands(*this, {ui.ExportCsv1, ui.ExportData1, ui.ExportImage1, ui.CopyImage1}, display_, session_,
                                  *ui.Chart1, prompts_, [this](FileDialogSpec& files) { return askFileToWrite(files); },
                                  [this] { return windowTitle(); }, [this] { return shownSource(); });
    // The link's health in the status bar, and the word to the user when the link fails.
    new LinkStatus(*ui.LinkStatusBar, session_, display_, prompts_,
                   [this] { return QString::fromStdString(chosenPortName()); }, this);
    connect(ui.AutoReconnect1, &QAction::toggled, &session_, &CaptureSession::SetAutoReconnect);
    triggerBar_ = std::make_unique<TriggerBar>(
        TriggerBar::Controls{ui.ToolBar1, ui.TriggerModeBox,
                             {ui.TriggerSourceBox, ui.TriggerSlopeBox, ui.TriggerLevelEdit, ui.TriggerLevel2Edit, ui.TriggerBitBox},
                             ui.TriggerJoinBox,
                             {ui.TriggerJoinSourceBox, ui.TriggerJoinSlopeBox, ui.TriggerJoinLevelEdit,
                              ui.TriggerJoinLevel2Edit, ui.TriggerJoinBitBox},
                             ui.PreTriggerBox, ui.TriggerHoldoffBox, ui.TriggerStateLabel, ui.ApplyCaptureTriggerAction},
        *ui.Chart1, display_, session_);
    buildBinders();
    connect(ui.Exit1, &QAction::triggered, this, &TForm1::Exit1Click);
    connect(ui.Base1, &QAction::triggered, this, &TForm1::Base1Click);
    connect(ui.About1, &QAction::triggered, this, &TForm1::About1Click);
    connect(ui.KeyboardShortcuts1, &QAction::triggered, this, &TForm1::KeyboardShortcuts1Click);
    connect(ui.CaptureNotes1, &QAction::triggered, this, &TForm1::CaptureNotes1Click);
    ui.Image1->installEventFilter(this);
    // The controls show what the display holds.
    for (int k = 1; k <= kChannelCount; ++k) showChannel(k);
    for (int r = 1; r <= kReferenceCount; ++r) showReference(r);
    showDrawingMode(display_.Mode());

    // Start-up. The new record and display hold their start values: no port name, 625000 baud,
    // 20000 points per trace, no mark, zeroed references, the High precision mode.
    setWindowTitle(QString::fromLatin1(kCaptionText));
    ui.Chart1->addPoint(5, 0, 0);
    ui.Chart1->addPoint(5, kNewestPosition, 0);
    move(-1, -1);
    rememberValues();
    // Said once: the settings file that cannot be kept, and why (for a minute, over the link figures).
    ui.LinkStatusBar->showMessage(remembered_.settingsProblem(), 60000);
}

void TForm1::rememberValues() {
    remembered_.add("Link", "PortName", ui_->COMSelectBox1);
    remembered_.add(
        "Link", "AutoReconnect",
        [this](const QString& stored) { ui_->AutoReconnect1->setChecked(stored == QLatin1String("1")); },
        [this] { return QString::number(ui_->AutoReconnect1->isChecked() ? 1 : 0); });
    remembered_.add(
        "Display", "DrawingMode",
        [this](const QString& stored) {
            const std::array<QAction*, 4> items = modeItems();
            for (std::size_t m = 0; m < items.size(); ++m)
                if (items[m]->objectName() == stored) display_.ShowDrawingMode(static_cast<DrawingMode>(m));
        },
        [this] { return modeItems()[static_cast<std::size_t>(display_.Mode())]->objectName(); });
    remembered_.add(
        "Display", "AskBeforeDiscard", [this](const QString& stored) { askBeforeDiscard_ = stored != QLatin1String("0"); },
        [this] { return QString::number(askBeforeDiscard_ ? 1 : 0); });
    remembered_.add(
        "Display", "WindowGeometry",
        [this](const QString& stored) { RestoreGeometryOnScreens(*this, QByteArray::fromBase64(stored.toLatin1())); },
        [this] { return QString::fromLatin1(saveGeometry().toBase64()); });
    remembered_.add(
        "Display", "WindowState", [this](const QString& stored) { restoreState(QByteArray::fromBase64(stored.toLatin1())); },
        [this] { return QString::fromLatin1(saveState().toBase64()); });
    rememberChannels();
    docks_->remember(remembered_);
    std::vector<FileDialogSpec*> dialogs{&SaveDialog1, &OpenDialog1, &OpenRecordingDialog, &RecordDialog};
    for (FileDialogSpec* exportDialog : exports_->Dialogs()) dialogs.push_back(exportDialog);
    for (FileDialogSpec* dialog : dialogs) {
        remembered_.add(
            kDialogsSection, dialog->Name.toStdString(),
            [dialog](const QString& stored) { dialog->FileName = stored; },
            [dialog] { return dialog->FileName; });
    }
    for (const QString& kind : FileFolders::Kinds())
        remembered_.add(
            kDialogsSection, (kind + QStringLiteral("Folder")).toStdString(),
            [this, kind](const QString& stored) { Folders.SetFolder(kind, stored); }, [this, kind] { return Folders.Folder(kind); });
}

TForm1::~TForm1() {
    display_.SetSink(nullptr);
}

ScopeChart& TForm1::chart() const {
    return *ui_->Chart1;
}

void TForm1::Exit1Click() {
    close();
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ui_->ClientArea && event->type() == QEvent::Resize) layOutClient();
    if (watched == ui_->Image1 && event->type() == QEvent::MouseButtonDblClick) {
        Image1DblClick();
        return true;
    }
    if (const int k = clickedAddressEdit(watched, *event)) EditClick(k);
    return QMainWindow::eventFilter(watched, event);
}

void TForm1::Image1DblClick() {
    if (session_.IsRunning()) return;
    TForm2::Open(this, *this);
    setEnabled(false);
}

void TForm1::Base1Click() {
    // The dialog enables the window again whenever it closes, also while it is being opened.
    setEnabled(false);
    TForm3::Open(this, prompts_, remembered_.settingsIniPath());
}

void TForm1::About1Click() {
    prompts_.showMessage(QStringLiteral("About"), AboutText(), MessageIcon::Information,
                         MessageButtons::Ok);
}

void TForm1::KeyboardShortcuts1Click() {
    prompts_.showMessage(QStringLiteral("Keyboard shortcuts"), KeyboardShortcutsText(*ui_->MainMenu1),
                         MessageIcon::Information, MessageButtons::Ok);
}

void TForm1::SetEngineeringControlsVisible(bool visible) {
    display_.SetEngineering(visible);
    for (const ChannelControls& channel : channels_) {
        channel.addressLabel->setVisible(visible);
        channel.address->setVisible(visible);
    }
    ui_->Advancedfunction1->menuAction()->setVisible(visible);
}

void TForm1::ClearReferenceSourceNames() {
    for (int r = 1; r <= kReferenceCount; ++r) display_.SetReferenceSource(r, QString());
}

void TForm1::FormClose(QCloseEvent* event) {
    // A capture still running ends: the drive stops streaming and the port is let go of.
    session_.Shutdown();
    remembered_.storeAll();
    // The window is freed once closed.
    setAttribute(Qt::WA_DeleteOnClose);
    event->accept();
}

void TForm1::closeEvent(QCloseEvent* event) {
    // Cancel keeps the window, and the capture on show, open.
    if (!askDiscardCapture()) {
        event->ignore();
        return;
    }
    FormClose(event);
}

}  // namespace altrix
