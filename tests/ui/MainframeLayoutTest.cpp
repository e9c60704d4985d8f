// The main window as laid out: regions, controls, lists, menus, tool bar, timer and the
// start-up state, checked against the live window.

#include "MainframeFixture.h"

#include "Presets.h"
#include "Readout.h"
#include "Version.h"

#include <QAction>
#include <QActionGroup>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include <string>
#include <vector>

namespace altrix::testing {
namespace {

const QString kTriangle = QString::fromUtf8("\u25b3");

QRect ClientGeometry(const QMainWindow& form, const QWidget& widget) {
    return QRect(widget.mapTo(form.centralWidget(), QPoint(0, 0)), widget.size());
}

QString CaptionOf(const QWidget* widget) {
    if (auto* group = qobject_cast<const QGroupBox*>(widget)) return group->title();
    if (auto* label = qobject_cast<const QLabel*>(widget)) return label->text();
    if (auto* button = qobject_cast<const QAbstractButton*>(widget)) return button->text();
    if (auto* edit = qobject_cast<const QLineEdit*>(widget)) return edit->text();
    return {};
}

QColor ColourAtCentre(QWidget* widget) {
    const QImage image = widget->grab().toImage();
    return image.pixelColor(image.width() / 2, image.height() / 2);
}

struct Region {
    const char* name;
    QRect geometry;
};

TEST_F(MainframeTest, RegionsStandWhereTheLayoutPutsThem) {
    const Region regions[] = {
        {"ToolBar1", {0, 0, 1014, 33}},       {"Label10", {448, 29, 120, 23}},
        {"Chart1", {8, 51, 1000, 360}},       {"GroupBox1", {7, 418, 330, 140}},
        {"GroupBox2", {341, 418, 330, 140}},  {"GroupBox3", {7, 559, 330, 140}},
        {"GroupBox4", {341, 559, 330, 140}},  {"GroupBox5", {675, 418, 218, 140}},
        {"GroupBox6", {675, 559, 218, 140}},  {"Panel1", {896, 421, 111, 279}},
    };
    for (const Region& region : regions) {
        QWidget* widget = find(region.name);
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(ClientGeometry(*form_, *widget), region.geometry) << region.name;
    }
    // Label21 is as wide as its text.
    QLabel* mode = find<QLabel>("Label21");
    EXPECT_EQ(ClientGeometry(*form_, *mode).topLeft(), QPoint(11, 33));
    EXPECT_EQ(mode->height(), 13);
    EXPECT_GE(mode->width(), mode->fontMetrics().horizontalAdvance(mode->text()));
    // The client area is the width of a 1022-pixel window without its frame, and holds every region.
    EXPECT_EQ(form_->centralWidget()->width(), 1014);
    EXPECT_GE(form_->centralWidget()->height(), 700);
}

TEST_F(MainframeTest, TheChartTakesTheWindowsRoomAndRunStaysInView) {
    const QSize defaultClient = form_->centralWidget()->size();
    struct Case {
        QSize window;
        bool panelsScrolled;  // the chart is at its least height and the groups no longer fit
    };
    const Case cases[] = {{{1014, 750}, false}, {{1300, 800}, false}, {{1920, 1050}, false}, {{640, 480}, true}};
    for (const Case& c : cases) {
        form_->resize(c.window);
        QCoreApplication::processEvents();
        // Every extra column and row goes to the chart, down to 120 rows.
        const QSize grown = form_->centralWidget()->size() - defaultClient;
        const QSize expectedChart(1000 + grown.width(), c.panelsScrolled ? 120 : 360 + grown.height());
        EXPECT_EQ(find("ToolBar1")->width(), form_->centralWidget()->width()) << c.window.width();
        EXPECT_EQ(ClientGeometry(*form_, *find("Chart1")), QRect(QPoint(8, 51), expectedChart)) << c.window.width();
        // The groups sit 7 rows below the chart at their own size.
        EXPECT_EQ(ClientGeometry(*form_, *find("GroupBox1")).topLeft(), QPoint(7, 51 + expectedChart.height() + 7))
            << c.window.width();
        const QRect client = form_->centralWidget()->rect();
        for (const char* button : {"Button1", "Button2"})
            EXPECT_TRUE(client.contains(ClientGeometry(*form_, *find(button)))) << button << " " << c.window.width();
        EXPECT_EQ(find<QScrollArea>("PanelArea")->horizontalScrollBar()->isVisible(), c.panelsScrolled) << c.window.width();
    }
}

TEST_F(MainframeTest, WindowCaptionPositionAndIcon) {
    EXPECT_EQ(form_->windowTitle(), QStringLiteral("QUENMAR Co. Inverter oscilloscope for ALTRIX Ver. 1"));
    EXPECT_EQ(form_->objectName(), QStringLiteral("Form1"));
    EXPECT_EQ(form_->pos(), QPoint(-1, -1));
    EXPECT_FALSE(form_->windowIcon().isNull());
    EXPECT_EQ(form_->font().family(), QStringLiteral("MS Sans Serif"));
    EXPECT_EQ(form_->font().pointSize(), 8);
}

struct Control {
    QString name;
    const QMetaObject* kind;
    QString caption;
    bool visible;
};

std::vector<Control> ExpectedControls() {
    const QString chan = QStringLiteral("Channel %1");
    std::vector<Control> controls = {
        {"Label21", &QLabel::staticMetaObject, "Drawing Mode : High precision Mode", true},
        {"Label10", &QLabel::staticMetaObject, "Data error!!", false},
        {"GroupBox5", &QGroupBox::staticMetaObject, "Ref Waveform 1", true},
        {"GroupBox6", &QGroupBox::staticMetaObject, "Ref Waveform 2", true},
        {"Label11", &QLabel::staticMetaObject, "Y-Scale", true},
        {"Label12", &QLabel::staticMetaObject, "Y-Scale", true},
        {"Label22", &QLabel::staticMetaObject, "Data", true},
        {"Label24", &QLabel::staticMetaObject, "Data", true},
        {"Label23", &QLabel::staticMetaObject, kTriangle + "data", true},
        {"Label25", &QLabel::staticMetaObject, kTriangle + "data", true},
        {"LabeledEdit5", &QLineEdit::staticMetaObject, "1", true},
        {"LabeledEdit6", &QLineEdit::staticMetaObject, "1", true},
        {"Label9", &QLabel::staticMetaObject, kTriangle + "Time", true},
        {"Button1", &QPushButton::staticMetaObject, "RUN", true},
        {"Button2", &QPushButton::staticMetaObject, "STOP", true},
        {"BitBtn1", &QPushButton::staticMetaObject, "Type Identify", true},
        {"Image1", &QLabel::staticMetaObject, "", true},
        {"COMSelectBox1", &QComboBox::staticMetaObject, "", true},
    };
    for (int k = 1; k <= 6; ++k) {
        controls.push_back({QStringLiteral("CheckBox%1").arg(k), &QCheckBox::staticMetaObject, "", true});
        controls.push_back({QStringLiteral("Shape%1").arg(k), &QFrame::staticMetaObject, "", true});
    }
    for (int k = 1; k <= 4; ++k) {
        controls.push_back({QStringLiteral("GroupBox%1").arg(k), &QGroupBox::staticMetaObject, chan.arg(k), true});
        controls.push_back({QStringLiteral("ComboBox%1").arg(k), &QComboBox::staticMetaObject, "", true});
        controls.push_back({QStringLiteral("Label%1").arg(k), &QLabel::staticMetaObject, "Mem. Addr.", false});
        controls.push_back({QStringLiteral("Edit%1").arg(k), &QLineEdit::staticMetaObject, "", false});
        controls.push_back({QStringLiteral("ComboBox%1").arg(k + 4), &QComboBox::staticMetaObject, "", true});
        controls.push_back({QStringLiteral("Label%1").arg(k + 16), &QLabel::staticMetaObject, "Y-Scale", true});
        controls.push_back({QStringLiteral("LabeledEdit%1").arg(k), &QLineEdit::staticMetaObject, "1", true});
        controls.push_back({QStringLiteral("Label%1").arg(k + 4), &QLabel::staticMetaObject, "Data", true});
        controls.push_back({QStringLiteral("Label%1").arg(k + 12), &QLabel::staticMetaObject, kTriangle + "data", true});
    }
    return controls;
}

TEST_F(MainframeTest, EveryControlHasItsKindCaptionAndVisibility) {
    for (const Control& control : ExpectedControls()) {
        QWidget* widget = find(control.name);
        ASSERT_NE(widget, nullptr);
        EXPECT_TRUE(widget->inherits(control.kind->className())) << control.name.toStdString();
        EXPECT_EQ(CaptionOf(widget), control.caption) << control.name.toStdString();
        EXPECT_EQ(widget->isVisible(), control.visible) << control.name.toStdString();
    }
}

// Read-only readouts: empty, silver background, black text.
TEST_F(MainframeTest, ReadoutsAreReadOnlySilverEdits) {
    const char* readouts[] = {"Edit5",  "Edit6",  "Edit7",  "Edit8",  "Edit13", "Edit14",
                              "Edit15", "Edit16", "Edit10", "Edit11", "Edit12", "Edit17",
                              "Edit18", "Edit19", "LabeledEdit9", "Edit9"};
    for (const char* name : readouts) {
        auto* edit = find<QLineEdit>(name);
        ASSERT_NE(edit, nullptr);
        EXPECT_TRUE(edit->isReadOnly()) << name;
        EXPECT_TRUE(edit->text().isEmpty()) << name;
        EXPECT_EQ(ColourAtCentre(edit), QColor(0xC0, 0xC0, 0xC0)) << name;
        EXPECT_EQ(edit->palette().color(QPalette::Text), QColor(Qt::black)) << name;
    }
    for (int k = 1; k <= 6; ++k)
        EXPECT_FALSE(find<QLineEdit>(QStringLiteral("LabeledEdit%1").arg(k))->isReadOnly()) << k;
    EXPECT_EQ(find("Edit10")->width(), 170);
    EXPECT_EQ(find("Edit11")->width(), 170);
}

// Each caption stands directly above its control, aligned on the left.
TEST_F(MainframeTest, CaptionsStandAboveTheirControls) {
    std::vector<std::pair<QString, QString>> pairs = {
        {"Label11", "ComboBox9"}, {"Label12", "ComboBox10"}, {"Label22", "Edit12"},
        {"Label24", "Edit18"},    {"Label23", "Edit17"},     {"Label25", "Edit19"},
        {"Label9", "Edit9"}};
    for (int k = 1; k <= 4; ++k) {
        pairs.emplace_back(QStringLiteral("Label%1").arg(k + 16), QStringLiteral("ComboBox%1").arg(k + 4));
        pairs.emplace_back(QStringLiteral("Label%1").arg(k + 4), QStringLiteral("Edit%1").arg(k + 4));
        pairs.emplace_back(QStringLiteral("Label%1").arg(k + 12), QStringLiteral("Edit%1").arg(k + 12));
    }
    auto captionAbove = [](QWidget* control) -> QLabel* {
        for (QLabel* label : control->parentWidget()->findChildren<QLabel*>(Qt::FindDirectChildrenOnly)) {
            const int gap = control->y() - label->geometry().bottom();
            if (label->x() == control->x() && gap > 0 && gap <= 4) return label;
        }
        return nullptr;
    };
    for (const auto& [labelName, controlName] : pairs)
        EXPECT_EQ(captionAbove(find(controlName)), find(labelName)) << controlName.toStdString();
    // The labeled edits: "Gain" and "Time (second)" above the edit.
    for (int k = 1; k <= 6; ++k) {
        QLabel* label = captionAbove(find(QStringLiteral("LabeledEdit%1").arg(k)));
        ASSERT_NE(label, nullptr) << k;
        EXPECT_EQ(label->text(), QStringLiteral("Gain"));
    }
    QLabel* time = captionAbove(find("LabeledEdit9"));
    ASSERT_NE(time, nullptr);
    EXPECT_EQ(time->text(), QStringLiteral("Time (second)"));
}

TEST_F(MainframeTest, ColourBarsRepeatTheSeriesColours) {
    const std::pair<const char*, QColor> bars[] = {
        {"Shape1", QColor(0xFF, 0x00, 0x00)}, {"Shape2", QColor(0x00, 0xFF, 0xFF)},
        {"Shape3", QColor(0xFF, 0xFF, 0x00)}, {"Shape4", QColor(0xFF, 0xFF, 0xFF)},
        {"Shape5", QColor(0x80, 0x80, 0x00)}, {"Shape6", QColor(0x80, 0x00, 0x80)}};
    for (const auto& [name, colour] : bars) {
        QWidget* bar = find(name);
        EXPECT_EQ(bar->size(), QSize(30, 5)) << name;
        EXPECT_EQ(ColourAtCentre(bar), colour) << name;
        EXPECT_LE(bar->y(), 5) << name;  // at the top edge of its group
    }
}

QStringList ItemsOf(const QComboBox* box) {
    QStringList items;
    for (int i = 0; i < box->count(); ++i) items << box->itemText(i);
    return items;
}

TEST_F(MainframeTest, ListsHoldTheirItemsAndDefaults) {
    QStringList presets, yScales, ports;
    for (const QuantityPreset& preset : kQuantityPresets)
        presets << QString::fromUtf8(preset.ItemText.data(), preset.ItemText.size());
    for (std::string_view text : kYScaleTexts) yScales << QString::fromUtf8(text.data(), text.size());
    for (int n = 1; n <= 12; ++n) ports << QStringLiteral("COM%1").arg(n);

    for (int k = 1; k <= 4; ++k) {
        auto* quantity = find<QComboBox>(QStringLiteral("ComboBox%1").arg(k));
        EXPECT_EQ(ItemsOf(quantity), presets) << k;
        EXPECT_EQ(quantity->currentIndex(), -1) << k;
        EXPECT_FALSE(quantity->isEditable()) << k;
        EXPECT_EQ(quantity->width(), 170) << k;
    }
    for (int k = 5; k <= 10; ++k) {
        auto* scale = find<QComboBox>(QStringLiteral("ComboBox%1").arg(k));
        EXPECT_EQ(ItemsOf(scale), yScales) << k;
        EXPECT_EQ(scale->currentIndex(), kDefaultYScaleIndex) << k;
        EXPECT_EQ(scale->currentText(), QStringLiteral("1")) << k;
        EXPECT_FALSE(scale->isEditable()) << k;
    }
    auto* port = find<QComboBox>("COMSelectBox1");
    EXPECT_EQ(ItemsOf(port), ports);
    EXPECT_EQ(port->currentIndex(), 2);
    EXPECT_EQ(port->currentText(), QStringLiteral("COM3"));
}

TEST_F(MainframeTest, PortBoxTakesATypedOrAPickedName) {
    auto* port = find<QComboBox>("COMSelectBox1");
    ASSERT_TRUE(port->isEditable());
    port->lineEdit()->clear();
    QTest::keyClicks(port->lineEdit(), "/dev/ttyUSB0");
    QTest::keyClick(port->lineEdit(), Qt::Key_Return);
    EXPECT_EQ(port->currentText(), QStringLiteral("/dev/ttyUSB0"));
    EXPECT_EQ(port->count(), 12);  // a typed name is not added to the list
    port->setCurrentIndex(5);
    emit port->activated(5);
    EXPECT_EQ(port->currentText(), QStringLiteral("COM6"));
}

TEST_F(MainframeTest, AddressEditsTakeEightCharactersInLowerCase) {
    for (int k = 1; k <= 4; ++k) {
        auto* edit = find<QLineEdit>(QStringLiteral("Edit%1").arg(k));
        edit->show();
        QTest::keyClicks(edit, "9A0Fbc-DE12");
        EXPECT_EQ(edit->text(), QStringLiteral("9a0fbc-d")) << k;
    }
}

// Menus: name, caption, shortcut, checkable, checked at start.
struct MenuItem {
    const char* name;
    const char* caption;
    const char* shortcut;
    bool checkable;
    bool checked;
};

QString ItemName(const QAction* action) {
    return action->menu() ? action->menu()->objectName() : action->objectName();
}

QString ItemCaption(const QAction* action) {
    return action->menu() ? action->menu()->title() : action->text();
}

void ExpectMenu(const QMenu* menu, const std::vector<MenuItem>& items) {
    ASSERT_NE(menu, nullptr);
    const QList<QAction*> actions = menu->actions();
    ASSERT_EQ(actions.size(), static_cast<qsizetype>(items.size())) << menu->objectName().toStdString();
    for (std::size_t i = 0; i < items.size(); ++i) {
        const QAction* action = actions[static_cast<qsizetype>(i)];
        const MenuItem& item = items[i];
        EXPECT_EQ(ItemName(action), QString::fromLatin1(item.name));
        EXPECT_EQ(ItemCaption(action), QString::fromLatin1(item.caption)) << item.name;
        EXPECT_EQ(action->shortcut(), QKeySequence(QString::fromLatin1(item.shortcut))) << item.name;
        EXPECT_EQ(action->isCheckable(), item.checkable) << item.name;
        EXPECT_EQ(action->isChecked(), item.checked) << item.name;
    }
}

TEST_F(MainframeTest, MenuBarHoldsEveryItemInOrder) {
    auto* bar = find<QMenuBar>("MainMenu1");
    ASSERT_NE(bar, nullptr);
    QStringList names, titles;
    for (const QAction* action : bar->actions()) {
        names << ItemName(action);
        titles << ItemCaption(action);
    }
    EXPECT_EQ(names, QStringList({"File1", "DrawingMode1", "View1", "Refwaveform1", "Link1", "Trigger1", "Advancedfunction1", "Analysis1", "Help1"}));
    EXPECT_EQ(titles, QStringList({"File", "Drawing Mode", "View", "Ref waveform", "Link", "Trigger", "Advanced function", "Analysis", "Help"}));
    EXPECT_FALSE(find<QMenu>("Advancedfunction1")->menuAction()->isVisible());
    for (const char* shown : {"File1", "DrawingMode1", "Refwaveform1", "Link1", "Trigger1", "Analysis1", "Help1"})
        EXPECT_TRUE(find<QMenu>(shown)->menuAction()->isVisible()) << shown;

    ExpectMenu(find<QMenu>("File1"), {{"Loadwaveformfile1", "Load Waveform file      ", "Ctrl+O", false, false},
                                      {"OpenRecording1", "Open recording...", "", false, false},
                                      {"N1", "", "", false, false},
                                      {"SaveWaveformFile1", "Save Waveform to File      ", "Ctrl+S", false, false},
                                      {"CaptureNotes1", "Capture notes...", "", false, false},
                                      {"ExportCsv1", "Export CSV...", "Ctrl+E", false, false},
                                      {"ExportData1", "Export data...", "Ctrl+Shift+E", false, false},
                                      {"ExportImage1", "Export image...", "", false, false},
                                      {"CopyImage1", "Copy image", "Ctrl+Shift+C", false, false},
                                      {"Record1", "Record to file...", "", true, false},
                                      {"Exit1", "Exit", "Ctrl+Q", false, false}});
    EXPECT_TRUE(find<QAction>("N1")->isSeparator());
    ExpectMenu(find<QMenu>("View1"), {{"AxesAction", "Axes", "", true, true},
                                      {"LegendAction", "Legend", "", true, true},
                                      {"LanesAction", "Stacked lanes", "Ctrl+Shift+L", true, false},
                                      {"FitAction", "Fit", "F", false, false},
                                      {"FitLaneAction", "Fit the lane under the mouse", "Shift+F", false, false},
                                      {"ZoomBackAction", "Previous view", "Backspace", false, false},
                                      {"YAxisUnits1", "Y axis in units of", "", false, false}});
    ExpectMenu(find<QMenu>("DrawingMode1"),
               {{"SimplifiedModefastestdrawingbutlowprecision1",
                 "Simplified Mode (fastest drawing but low precision)", "", true, false},
                {"FastMode1", "Fast Mode (fast and smooth)", "", true, false},
                {"HighprecisionMode", "High precision Mode(High level hardware is recommended)", "", true, true},
                {"EnvelopeMode1", "Envelope Mode (every peak)", "", true, false}});
    ExpectMenu(find<QMenu>("Refwaveform1"), {{"Ref11", "Ref1", "", false, false}, {"Ref21", "Ref2", "", false, false}});
    ExpectMenu(find<QMenu>("Ref11"), {{"ShowRef1", "Show Ref1      ", "F9", true, false},
                                      {"Ch11", "Save Ch1", "F1", true, false},
                                      {"Ch21", "Save Ch2", "F2", true, false},
                                      {"Ch31", "Save Ch3", "F3", true, false},
                                      {"Ch41", "Save Ch4", "F4", true, false}});
    ExpectMenu(find<QMenu>("Ref21"), {{"ShowRef2", "Show Ref2      ", "F10", true, false},
                                      {"Ch12", "Save Ch1", "F5", true, false},
                                      {"Ch22", "Save Ch2", "F6", true, false},
                                      {"Ch32", "Save Ch3", "F7", true, false},
                                      {"Ch42", "Save Ch4", "F8", true, false}});
    ExpectMenu(find<QMenu>("Link1"), {{"AutoReconnect1", "Reconnect automatically", "", true, false}});
    // F3 stays Ref1's "Save Ch3"; Find takes Ctrl.
    ExpectMenu(find<QMenu>("Trigger1"), {{"SaveEventsAction", "Save every event...", "", true, false},
                                         {"EventFolderAction", "Event folder...", "", false, false},
                                         {"FindNextAction", "Find next", "Ctrl+F3", false, false},
                                         {"FindPreviousAction", "Find previous", "Ctrl+Shift+F3", false, false}});
    ExpectMenu(find<QMenu>("Advancedfunction1"), {{"Base1", "Base value setting", "", false, false}});
    ExpectMenu(find<QMenu>("Analysis1"), {{"Measurements1", "Measurements", "Ctrl+M", false, false},
                                          {"Spectrum1", "Spectrum", "Ctrl+F", false, false},
                                          {"MathTraces1", "Math traces...", "Ctrl+K", false, false},
                                          {"Events1", "Events", "Ctrl+L", false, false}});
    ExpectMenu(find<QMenu>("Help1"), {{"KeyboardShortcuts1", "Keyboard shortcuts", "", false, false},
                                      {"About1", "About", "", false, false}});
}

TEST_F(MainframeTest, AboutNamesTheVersionAndTheLicences) {
    find<QAction>("About1")->trigger();
    ASSERT_EQ(prompts_.Messages.size(), 1u);
    const AskedMessage& about = prompts_.Messages[0];
    EXPECT_EQ(about.Caption, QStringLiteral("About"));
    EXPECT_EQ(about.Buttons, MessageButtons::Ok);
    for (const QString& part : {QStringLiteral("altrix-scope ") + QLatin1String(kProgramVersion),
                                QStringLiteral("GPL-3.0-or-later"),
                                QStringLiteral("QCustomPlot 2.1: GNU General Public License")})
        EXPECT_TRUE(about.Text.contains(part)) << part.toStdString();
}

std::vector<bool> CheckMarks(const std::vector<QAction*>& actions) {
    std::vector<bool> marks;
    for (const QAction* action : actions) marks.push_back(action->isChecked());
    return marks;
}

TEST_F(MainframeTest, SaveChItemsAreOneRadioGroupPerReference) {
    std::vector<QAction*> ref1, ref2;
    for (int c = 1; c <= 4; ++c) {
        ref1.push_back(find<QAction>(QStringLiteral("Ch%1%2").arg(c).arg(1)));
        ref2.push_back(find<QAction>(QStringLiteral("Ch%1%2").arg(c).arg(2)));
    }
    ref1[1]->trigger();
    EXPECT_EQ(CheckMarks(ref1), std::vector<bool>({false, true, false, false}));
    ref1[3]->trigger();
    ref1[3]->trigger();  // choosing the checked item keeps its mark
    EXPECT_EQ(CheckMarks(ref1), std::vector<bool>({false, false, false, true}));
    EXPECT_EQ(CheckMarks(ref2), std::vector<bool>({false, false, false, false}));
    ref2[0]->trigger();
    EXPECT_EQ(CheckMarks(ref2), std::vector<bool>({true, false, false, false}));
    EXPECT_EQ(CheckMarks(ref1), std::vector<bool>({false, false, false, true}));
    EXPECT_FALSE(find<QAction>("ShowRef1")->isChecked());
}

TEST_F(MainframeTest, FunctionKeysReachTheReferenceItems) {
    form_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form_));
    QTest::keyClick(form_, Qt::Key_F3);
    EXPECT_TRUE(find<QAction>("Ch31")->isChecked());
    QTest::keyClick(form_, Qt::Key_F8);
    EXPECT_TRUE(find<QAction>("Ch42")->isChecked());
    // F9 and F10 toggle the show marks on their own.
    QTest::keyClick(form_, Qt::Key_F9);
    EXPECT_TRUE(find<QAction>("ShowRef1")->isChecked());
    QTest::keyClick(form_, Qt::Key_F9);
    EXPECT_FALSE(find<QAction>("ShowRef1")->isChecked());
    QTest::keyClick(form_, Qt::Key_F10);
    EXPECT_TRUE(find<QAction>("ShowRef2")->isChecked());
    EXPECT_TRUE(find<QAction>("Ch31")->isChecked());
}

TEST_F(MainframeTest, ToolBarButtonsLeftToRight) {
    struct Button {
        const char* name;
        const char* hint;
        bool flat;
    };
    const Button buttons[] = {{"SpeedButton2", "Load Waveform", true},
                              {"SpeedButton3", "Save Waveform", true},
                              {"SpeedButton4", "Zoom all", true},
                              {"SpeedButton5", "Zoom in", false},
                              {"SpeedButton6", "Zoom out", false}};
    auto* bar = find<QToolBar>("ToolBar1");
    int lastX = -1;
    for (const Button& button : buttons) {
        auto* tool = find<QToolButton>(button.name);
        ASSERT_NE(tool, nullptr);
        EXPECT_EQ(tool->parentWidget(), bar) << button.name;
        EXPECT_GT(tool->x(), lastX) << button.name;
        lastX = tool->x();
        EXPECT_EQ(tool->size(), QSize(25, 25)) << button.name;
        EXPECT_EQ(tool->toolTip(), QString::fromLatin1(button.hint)) << button.name;
        EXPECT_EQ(tool->autoRaise(), button.flat) << button.name;
        EXPECT_EQ(tool->cursor().shape(), button.flat ? Qt::PointingHandCursor : Qt::ArrowCursor) << button.name;
        EXPECT_FALSE(tool->icon().isNull()) << button.name;
    }
    // The divider sits between the save and the zoom buttons.
    QWidget* divider = find("ToolButton2");
    EXPECT_EQ(divider->width(), 10);
    EXPECT_GT(divider->x(), find("SpeedButton3")->x());
    EXPECT_LT(divider->x(), find("SpeedButton4")->x());
}

TEST_F(MainframeTest, TabOrderFollowsTheRegions) {
    const QStringList regions = {"Chart1",  "GroupBox1", "GroupBox3", "GroupBox2", "GroupBox4",
                                 "Panel1",  "ToolBar1",  "GroupBox5", "GroupBox6"};
    auto regionOf = [&](QWidget* widget) -> QString {
        for (QWidget* w = widget; w; w = w->parentWidget())
            if (regions.contains(w->objectName())) return w->objectName();
        return {};
    };
    QStringList visited;
    QWidget* start = find("CheckBox1");
    QWidget* widget = start;
    do {
        if ((widget->focusPolicy() & Qt::TabFocus) && form_->isAncestorOf(widget)) {
            const QString region = regionOf(widget);
            if (!region.isEmpty() && (visited.isEmpty() || visited.last() != region)) visited << region;
        }
        widget = widget->nextInFocusChain();
    } while (widget != start);
    QStringList expected;
    for (const QString& region : regions)
        if (visited.contains(region)) expected << region;
    EXPECT_EQ(visited, expected);
    EXPECT_EQ(visited.size(), 8);  // the chart takes no focus; the tool bar's trigger controls do
}

TEST_F(MainframeTest, StartUpState) {
    const CaptureRecord& rec = record();
    EXPECT_TRUE(rec.PortName.empty());
    EXPECT_EQ(rec.BaudRate, 625000);
    EXPECT_EQ(view().DrawPointCount, 20000);
    EXPECT_EQ(view().MarkPosition, -1);
    EXPECT_FALSE(view().ReadoutEnabled);
    for (const ReferenceSamples& ref : rec.ReferenceTrace)
        for (std::int16_t value : ref) ASSERT_EQ(value, 0);

    // The zero line spans the whole bottom axis; every other series is empty.
    ASSERT_EQ(chart().pointCount(5), 2);
    EXPECT_EQ(chart().series(5)->data()->at(0)->key, 0);
    EXPECT_EQ(chart().series(5)->data()->at(0)->value, 0);
    EXPECT_EQ(chart().series(5)->data()->at(1)->key, 99999);
    EXPECT_EQ(chart().series(5)->data()->at(1)->value, 0);
    for (int series : {1, 2, 3, 4, 6, 7, 8, 9}) EXPECT_EQ(chart().pointCount(series), 0) << series;

    auto* timer = session_.findChild<QTimer*>("Timer1");
    ASSERT_NE(timer, nullptr);
    EXPECT_EQ(timer->interval(), 50);
    EXPECT_FALSE(timer->isActive());
    EXPECT_TRUE(prompts_.Messages.empty());
}

TEST_F(MainframeTest, ExitClosesAndFreesTheWindow) {
    find<QAction>("Exit1")->trigger();
    EXPECT_FALSE(form_ && form_->isVisible());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(form_.isNull());
}

}  // namespace
}  // namespace altrix::testing
