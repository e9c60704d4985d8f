// The main window as a user meets it: where its controls stand at the default size and as the
// window grows, the tab order, what is shown and enabled at start, the lists the code reads by
// row, the keys, the About box and Exit. What a capture locks and engineering mode shows are
// tested with them (CaptureTest.cpp, EngineeringModeTest.cpp).

#include "MainframeFixture.h"

#include "Presets.h"
#include "Version.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <QToolBar>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

namespace altrix::testing {
namespace {

QRect ClientGeometry(const QMainWindow& form, const QWidget& widget) {
    return QRect(widget.mapTo(form.centralWidget(), QPoint(0, 0)), widget.size());
}

// At the default size (a client area 1014 wide) every region lies inside the client area and
// apart from the others, every control of a panel inside its panel and apart from its
// neighbours (the engineering controls, hidden at start, too), and the tool bar shows its last
// control, Record, instead of moving it into its overflow menu.
TEST_F(MainframeTest, AtTheDefaultSizeEveryControlIsInViewAndNothingOverlaps) {
    const char* const regions[] = {"ToolBar1",  "Label21",   "Chart1",    "GroupBox1", "GroupBox2",
                                   "GroupBox3", "GroupBox4", "GroupBox5", "GroupBox6", "Panel1"};
    const QRect client = form_->centralWidget()->rect();
    EXPECT_EQ(client.width(), 1014);
    for (std::size_t i = 0; i < std::size(regions); ++i) {
        const QRect geometry = ClientGeometry(*form_, *find(regions[i]));
        EXPECT_TRUE(client.contains(geometry)) << regions[i];
        for (std::size_t j = 0; j < i; ++j)
            EXPECT_FALSE(geometry.intersects(ClientGeometry(*form_, *find(regions[j])))) << regions[i] << ", " << regions[j];
        if (i < 3) continue;  // the panels from here on
        const QList<QWidget*> controls = find(regions[i])->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
        for (qsizetype c = 0; c < controls.size(); ++c) {
            const QRect control = controls[c]->geometry();
            EXPECT_TRUE(find(regions[i])->rect().contains(control)) << controls[c]->objectName().toStdString();
            for (qsizetype d = 0; d < c; ++d)
                EXPECT_FALSE(control.intersects(controls[d]->geometry()))
                    << controls[c]->objectName().toStdString() << ", " << controls[d]->objectName().toStdString();
        }
    }
    const QWidget* record = find("RecordButton");
    EXPECT_TRUE(record->isVisible());
    EXPECT_TRUE(find("ToolBar1")->rect().contains(record->geometry()));
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

// However small the window is made, with or without the Measurements dock, RUN and STOP lie
// whole inside the window and inside every widget around them: the window keeps a least size,
// and a dock gives way before the client area does. The least window with the dock open fits a
// 1920 x 1080 screen at a scale factor of 2 (960 x 540).
TEST_F(MainframeTest, RunAndStopStayWholeInViewAtTheLeastSizeAndBesideADock) {
    const struct {
        const char* name;
        bool measurements;
        QSize asked;
    } rows[] = {
        {"500 x 400", false, {500, 400}},
        {"as small as it goes", false, {1, 1}},
        {"Measurements open, the default size", true, {1014, 750}},
        {"Measurements open, 500 x 400", true, {500, 400}},
        {"Measurements open, as small as it goes", true, {1, 1}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        if (row.measurements) find<QAction>(QStringLiteral("Measurements1"))->trigger();
        form_->resize(row.asked);
        QCoreApplication::processEvents();
        for (const char* name : {"Button1", "Button2"}) {
            const QWidget* button = find(QLatin1String(name));
            ASSERT_TRUE(button->isVisible()) << name;
            for (const QWidget* around = button->parentWidget(); around; around = around->parentWidget())
                EXPECT_TRUE(around->rect().contains(QRect(button->mapTo(around, QPoint(0, 0)), button->size())))
                    << name << " in " << around->objectName().toStdString();
        }
        if (!row.measurements) continue;
        const QWidget* dock = find(QStringLiteral("MeasurementsDock"));
        EXPECT_TRUE(dock->isVisible());
        EXPECT_FALSE(dock->geometry().intersects(form_->centralWidget()->geometry()));
        EXPECT_LE(form_->minimumSizeHint().width(), 960);
        EXPECT_LE(form_->minimumSizeHint().height(), 540);
    }
}

// Every control of the panels can be used at start; the data error label and the engineering
// controls and menu are hidden until they are needed (the trigger bar's controls follow its
// condition: TriggerTest.cpp). The readouts are empty and written by the program only; the
// gains read 1 and are typed.
TEST_F(MainframeTest, AtStartEveryControlIsEnabledAndOnlyTheHiddenOnesHidden) {
    const QWidget* toolBar = find("ToolBar1");
    std::vector<std::string> hidden;
    for (const QWidget* widget : form_->centralWidget()->findChildren<QWidget*>()) {
        if (widget->objectName().isEmpty() || widget->objectName().startsWith(QLatin1String("qt_")) ||
            toolBar->isAncestorOf(widget))
            continue;
        EXPECT_TRUE(widget->isEnabled()) << widget->objectName().toStdString();
        if (!widget->isVisibleTo(form_)) hidden.push_back(widget->objectName().toStdString());
    }
    std::sort(hidden.begin(), hidden.end());
    EXPECT_EQ(hidden, (std::vector<std::string>{"Edit1", "Edit2", "Edit3", "Edit4", "Label1", "Label10", "Label2",
                                                 "Label3", "Label4"}));
    for (const QAction* menu : find<QMenuBar>("MainMenu1")->actions()) {
        const bool engineering = menu->menu()->objectName() == QLatin1String("Advancedfunction1");
        EXPECT_EQ(menu->isEnabled(), !engineering) << menu->text().toStdString();
        EXPECT_EQ(menu->isVisible(), !engineering) << menu->text().toStdString();
    }
    for (const char* name : {"Edit5", "Edit6", "Edit7", "Edit8", "Edit13", "Edit14", "Edit15", "Edit16", "Edit10",
                             "Edit11", "Edit12", "Edit17", "Edit18", "Edit19", "LabeledEdit9", "Edit9"}) {
        EXPECT_TRUE(find<QLineEdit>(name)->isReadOnly()) << name;
        EXPECT_TRUE(find<QLineEdit>(name)->text().isEmpty()) << name;
    }
    for (int t = 1; t <= 6; ++t) {
        EXPECT_FALSE(find<QLineEdit>(QStringLiteral("LabeledEdit%1").arg(t))->isReadOnly()) << t;
        EXPECT_EQ(find<QLineEdit>(QStringLiteral("LabeledEdit%1").arg(t))->text(), QStringLiteral("1")) << t;
    }
}

// Each group's colour bar is its trace's colour on the chart.
TEST_F(MainframeTest, ColourBarsRepeatTheSeriesColours) {
    for (int t = 1; t <= 6; ++t) {
        QWidget* bar = find(QStringLiteral("Shape%1").arg(t));
        const QImage image = bar->grab().toImage();
        EXPECT_EQ(image.pixelColor(image.width() / 2, image.height() / 2),
                  chart().series(SeriesOfTrace(t))->pen().color()) << t;
    }
}

// The channels' lists are read by row: the quantity presets and the Y-scales in their order,
// no quantity and Y-scale "1" at start, nothing typed into them.
TEST_F(MainframeTest, ListsHoldTheRowsTheCodeReads) {
    QStringList presets, yScales;
    for (const QuantityPreset& preset : kQuantityPresets)
        presets << QString::fromUtf8(preset.ItemText.data(), static_cast<qsizetype>(preset.ItemText.size()));
    for (std::string_view text : kYScaleTexts) yScales << QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    const auto itemsOf = [](const QComboBox* box) {
        QStringList items;
        for (int i = 0; i < box->count(); ++i) items << box->itemText(i);
        return items;
    };
    for (int k = 1; k <= 10; ++k) {
        const bool quantity = k <= 4;
        auto* list = find<QComboBox>(QStringLiteral("ComboBox%1").arg(k));
        EXPECT_EQ(itemsOf(list), quantity ? presets : yScales) << k;
        EXPECT_EQ(list->currentIndex(), quantity ? -1 : kDefaultYScaleIndex) << k;
        EXPECT_FALSE(list->isEditable()) << k;
    }
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

// No two commands answer the same key (F3 stays Ref1's "Save Ch3"; Find takes Ctrl+F3).
TEST_F(MainframeTest, EveryShortcutIsOneCommands) {
    std::map<QString, QString> owners;
    for (const QAction* action : form_->findChildren<QAction*>()) {
        for (const QKeySequence& key : action->shortcuts()) {
            const auto [it, added] = owners.emplace(key.toString(), action->objectName());
            EXPECT_TRUE(added) << key.toString().toStdString() << ": " << it->second.toStdString() << " and "
                               << action->objectName().toStdString();
        }
    }
    EXPECT_EQ(owners[QStringLiteral("F3")], QStringLiteral("Ch31"));
    EXPECT_EQ(owners[QStringLiteral("Ctrl+F3")], QStringLiteral("FindNextAction"));
}

TEST_F(MainframeTest, AboutNamesTheVersionAndTheLicences) {
    find<QAction>("About1")->trigger();
    ASSERT_EQ(prompts_.Messages.size(), 1u);
    const AskedMessage& about = prompts_.Messages[0];
    EXPECT_EQ(about.Caption, QStringLiteral("About"));
    EXPECT_EQ(about.Buttons, MessageButtons::Ok);
    for (const QString& part : {QStringLiteral("altrix-scope ") + QLatin1String(kProgramVersion),
                                QStringLiteral("GPL-3.0-or-later"),
                                QStringLiteral("QCustomPlot 2.1: GNU General Public License"),
                                // Each library with the major version of its Debian 12 package.
                                QStringLiteral("SQLite 3."), QStringLiteral("muParser 2."),
                                QStringLiteral("matio 1."), QStringLiteral("HDF5 1.")})
        EXPECT_TRUE(about.Text.contains(part)) << part.toStdString();
}

// Each reference's "Save Ch" items are a radio group of their own: choosing one, also again,
// checks it alone and leaves the other group and the show item as they are.
TEST_F(MainframeTest, SaveChItemsAreOneRadioGroupPerReference) {
    const auto marks = [this](int r) {
        std::vector<bool> checked;
        for (int c = 1; c <= 4; ++c) checked.push_back(find<QAction>(QStringLiteral("Ch%1%2").arg(c).arg(r))->isChecked());
        return checked;
    };
    const bool o = false, x = true;
    const struct {
        int r, c;
        std::vector<bool> ref1, ref2;
    } steps[] = {{1, 2, {o, x, o, o}, {o, o, o, o}},
                 {1, 4, {o, o, o, x}, {o, o, o, o}},
                 {1, 4, {o, o, o, x}, {o, o, o, o}},
                 {2, 1, {o, o, o, x}, {x, o, o, o}}};
    for (const auto& step : steps) {
        find<QAction>(QStringLiteral("Ch%1%2").arg(step.c).arg(step.r))->trigger();
        EXPECT_EQ(marks(1), step.ref1) << "Ch" << step.c << step.r;
        EXPECT_EQ(marks(2), step.ref2) << "Ch" << step.c << step.r;
    }
    EXPECT_FALSE(find<QAction>("ShowRef1")->isChecked());
}

// F1 .. F8 choose the "Save Ch" items; F9 and F10 toggle the show items on their own.
TEST_F(MainframeTest, FunctionKeysReachTheReferenceItems) {
    form_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form_));
    const struct {
        Qt::Key key;
        const char* item;
        bool checked;
    } presses[] = {{Qt::Key_F3, "Ch31", true},      {Qt::Key_F8, "Ch42", true},       {Qt::Key_F9, "ShowRef1", true},
                   {Qt::Key_F9, "ShowRef1", false}, {Qt::Key_F10, "ShowRef2", true}};
    for (const auto& press : presses) {
        QTest::keyClick(form_, press.key);
        EXPECT_EQ(find<QAction>(press.item)->isChecked(), press.checked) << press.item;
    }
    EXPECT_TRUE(find<QAction>("Ch31")->isChecked());
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
    EXPECT_EQ(PointsOf(chart(), 5), (Points{{0, 0}, {99999, 0}}));
    for (int series : {1, 2, 3, 4, 6, 7, 8, 9}) EXPECT_EQ(chart().pointCount(series), 0) << series;
    // The display's mode, named and checked.
    EXPECT_EQ(form_->display().Mode(), DrawingMode::HighPrecision);
    EXPECT_TRUE(find<QAction>("HighprecisionMode")->isChecked());
    EXPECT_EQ(find<QLabel>("Label21")->text(), QStringLiteral("Drawing Mode : High precision Mode"));

    EXPECT_EQ(session_.findChild<QTimer*>("Timer1")->interval(), 50);
    EXPECT_FALSE(session_.IsRunning());
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
