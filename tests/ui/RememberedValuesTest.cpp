// What the window remembers between runs in the settings file: each value comes back after a
// close and a start; the file dialogs also start from their last file within a run; the
// settings file's own sections stay, and the channels start as always.

#include "MainframeFixture.h"

#include "ParameterFiles.h"
#include "RememberedValues.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDockWidget>
#include <QFile>
#include <QLabel>
#include <QStatusBar>
#include <QTemporaryDir>

#include <functional>
#include <limits>

namespace altrix::testing {
namespace {

class RememberedValuesTest : public MainframeTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        settingsIniPath_ = dir_.filePath(QStringLiteral("altrix-scope.INI")).toStdString();
        QFile settings(QString::fromStdString(settingsIniPath_));
        ASSERT_TRUE(settings.open(QIODevice::WriteOnly));
        settings.write("[Parameter]\nListFilePath=Parameter list.plf\n[Ports]\nCOM3=/dev/pts/9\n");
        settings.close();
        MainframeTest::SetUp();
    }
    // Closes the window as the user does, and starts the next one over the same settings file.
    void restart() {
        form_->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        ASSERT_TRUE(form_.isNull());
        openWindow();
    }
    QComboBox* portBox() const { return find<QComboBox>(QStringLiteral("COMSelectBox1")); }

    QTemporaryDir dir_;
};

TEST_F(RememberedValuesTest, PortNameComesBackTypedOrPicked) {
    struct Case { QString name; int index; };
    const Case cases[] = {{QStringLiteral("/dev/ttyUSB7"), 2}, {QStringLiteral("COM5"), 4}};
    for (const Case& c : cases) {
        portBox()->setEditText(c.name);
        restart();
        EXPECT_EQ(portBox()->currentText(), c.name);
        EXPECT_EQ(portBox()->currentIndex(), c.index) << c.name.toStdString();
    }
}

TEST_F(RememberedValuesTest, DrawingModeAndWindowPositionComeBack) {
    find<QAction>(QStringLiteral("FastMode1"))->trigger();
    form_->move(140, 70);
    restart();
    EXPECT_TRUE(find<QAction>(QStringLiteral("FastMode1"))->isChecked());
    EXPECT_FALSE(find<QAction>(QStringLiteral("HighprecisionMode"))->isChecked());
    EXPECT_EQ(find<QLabel>(QStringLiteral("Label21"))->text(), QStringLiteral("Drawing Mode : Fast Mode"));
    EXPECT_EQ(form_->pos(), QPoint(140, 70));
}

// The graticule, legend and lanes are the display's: the menu shows them, and they come back.
TEST_F(RememberedValuesTest, GraticuleLegendAndLanesComeBackAsTheDisplayHoldsThem) {
    const struct {
        const char* action;
        std::function<bool(const ScopeDisplay&)> shown;
        std::function<void(ScopeDisplay&, bool)> show;
        bool atStart;
    } views[] = {
        {"AxesAction", &ScopeDisplay::AxesShown, &ScopeDisplay::ShowAxes, true},
        {"LegendAction", &ScopeDisplay::LegendShown, &ScopeDisplay::ShowLegend, true},
        {"LanesAction", &ScopeDisplay::LanesShown, &ScopeDisplay::ShowLanes, false},
    };
    for (const auto& v : views) {
        SCOPED_TRACE(v.action);
        auto* item = find<QAction>(QLatin1String(v.action));
        EXPECT_EQ(v.shown(form_->display()), v.atStart);
        item->trigger();  // the menu item writes the display
        EXPECT_EQ(v.shown(form_->display()), !v.atStart);
        v.show(form_->display(), v.atStart);  // the display's change shows in the menu
        EXPECT_EQ(item->isChecked(), v.atStart);
        v.show(form_->display(), !v.atStart);
        restart();
        EXPECT_EQ(v.shown(form_->display()), !v.atStart);
        EXPECT_EQ(find<QAction>(QLatin1String(v.action))->isChecked(), !v.atStart);
    }
}

TEST_F(RememberedValuesTest, FileDialogsStartFromTheirLastFile) {
    const QString saved = dir_.filePath(QStringLiteral("saved.wfd"));
    prompts_.FileNames = {saved, saved};
    find<QAction>(QStringLiteral("SaveWaveformFile1"))->trigger();
    find<QAction>(QStringLiteral("Loadwaveformfile1"))->trigger();
    ASSERT_TRUE(QFile::exists(saved));
    // Written when chosen, not only at the close.
    EXPECT_EQ(ReadSetting(settingsIniPath_, "Dialogs", "SaveDialog1"), saved.toStdString());
    EXPECT_EQ(ReadSetting(settingsIniPath_, "Dialogs", "OpenDialog1"), saved.toStdString());
    EXPECT_TRUE(prompts_.SaveDialogs[0].FileName.isEmpty());
    EXPECT_TRUE(prompts_.OpenDialogs[0].FileName.isEmpty());

    // The next dialog of the run, then the first of the next run (both cancelled).
    for (int run = 0; run < 2; ++run) {
        if (run == 1) restart();
        find<QAction>(QStringLiteral("SaveWaveformFile1"))->trigger();
        find<QAction>(QStringLiteral("Loadwaveformfile1"))->trigger();
        EXPECT_EQ(prompts_.SaveDialogs.back().FileName, saved) << run;
        EXPECT_EQ(prompts_.OpenDialogs.back().FileName, saved) << run;
    }
}

TEST_F(RememberedValuesTest, SettingsSectionsAndChannelsStartAsBefore) {
    auto* quantity = find<QComboBox>(QStringLiteral("ComboBox1"));
    quantity->setCurrentIndex(3);
    emit quantity->activated(3);
    restart();
    EXPECT_EQ(find<QComboBox>(QStringLiteral("ComboBox1"))->currentIndex(), -1);
    EXPECT_FALSE(find<QCheckBox>(QStringLiteral("CheckBox1"))->isChecked());
    EXPECT_EQ(ReadListFilePath(settingsIniPath_, "0"), "Parameter list.plf");
    EXPECT_EQ(ReadPortMapping(settingsIniPath_, "COM3"), "/dev/pts/9");
}

// A settings file the program cannot read is said once in the status bar and kept as it was.
TEST_F(RememberedValuesTest, UnreadableSettingsFileIsToldAndKept) {
    static constexpr char kBytes[] = "[Ports]\nCOM3=/dev/pts/9\0\n[Link]\nPortName=COM1\n";
    const QByteArray bytes(kBytes, sizeof kBytes - 1);
    QFile settings(QString::fromStdString(settingsIniPath_));
    ASSERT_TRUE(settings.open(QIODevice::WriteOnly) && settings.write(bytes) == bytes.size());
    settings.close();
    restart();
    EXPECT_TRUE(find<QStatusBar>(QStringLiteral("LinkStatusBar"))->currentMessage().contains(
        QStringLiteral("was not read (it holds a NUL byte (byte 24))")));
    portBox()->setEditText(QStringLiteral("COM5"));
    restart();
    ASSERT_TRUE(settings.open(QIODevice::ReadOnly));
    EXPECT_EQ(settings.readAll(), bytes);
}

// A remembered geometry is moved onto the screens there are (1920 x 1080, and 1280 x 1024
// right of it), or dropped when larger than its screen: the window keeps its own size.
TEST_F(RememberedValuesTest, RememberedGeometryFitsTheScreensOrIsDropped) {
    struct Case { QRect saved; QRect shown; };  // shown empty: dropped
    const Case cases[] = {
        {{1800, 500, 1014, 750}, {1920, 274, 1014, 750}},  // mostly on the right screen
        {{0, 0, 32767, 32767}, {}},
        {{2000, 100, 1300, 900}, {}},  // wider than the right screen
    };
    for (const Case& c : cases) {
        form_->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QWidget saved;
        saved.setGeometry(c.saved);
        const Setting geometry{"Display", "WindowGeometry", saved.saveGeometry().toBase64().toStdString()};
        ASSERT_TRUE(WriteSettings(settingsIniPath_, {&geometry, 1}));
        openWindow();
        EXPECT_EQ(form_->geometry(), c.shown.isEmpty() ? QRect(form_->geometry().topLeft(), QSize(1014, 750)) : c.shown);
    }
}

TEST_F(RememberedValuesTest, AnalysisDocksComeBackWhereTheyWereLeft) {
    const auto dock = [this](const char* name) { return form_->findChild<QDockWidget*>(QLatin1String(name)); };
    // First opened: Measurements below the chart, Spectrum beside it.
    find<QAction>(QStringLiteral("Measurements1"))->trigger();
    find<QAction>(QStringLiteral("Spectrum1"))->trigger();
    EXPECT_EQ(form_->dockWidgetArea(dock("MeasurementsDock")), Qt::BottomDockWidgetArea);
    EXPECT_EQ(form_->dockWidgetArea(dock("SpectrumDock")), Qt::RightDockWidgetArea);
    // Measurements moved to the left and Spectrum closed: so after a restart.
    form_->addDockWidget(Qt::LeftDockWidgetArea, dock("MeasurementsDock"));
    dock("SpectrumDock")->close();
    restart();
    ASSERT_NE(dock("MeasurementsDock"), nullptr);
    EXPECT_TRUE(dock("MeasurementsDock")->isVisible());
    EXPECT_EQ(form_->dockWidgetArea(dock("MeasurementsDock")), Qt::LeftDockWidgetArea);
    EXPECT_EQ(dock("SpectrumDock"), nullptr);
    // Spectrum opened again goes where it was; both come back.
    find<QAction>(QStringLiteral("Spectrum1"))->trigger();
    restart();
    ASSERT_NE(dock("SpectrumDock"), nullptr);
    EXPECT_TRUE(dock("SpectrumDock")->isVisible());
    EXPECT_EQ(form_->dockWidgetArea(dock("SpectrumDock")), Qt::RightDockWidgetArea);
    EXPECT_EQ(form_->dockWidgetArea(dock("MeasurementsDock")), Qt::LeftDockWidgetArea);
}

// A number from the settings file is taken only within its range; any other text is refused
// with a sentence, the value keeps its own, and the file keeps the text until the value changes.
TEST(RememberedNumberTest, IsTakenInItsRangeElseRefusedAndLeftInTheFile) {
    constexpr std::int64_t kHigh = std::numeric_limits<std::int64_t>::max() / (1024 * 1024);  // no wrap in bytes
    const struct {
        const char* stored;
        std::int64_t restored;  // 1024: the value's own
        bool refused;
        std::int64_t changedTo;  // 0: left as it is
        const char* written;     // the key's text in the file after storing
    } cases[] = {
        {"2048", 2048, false, 0, "2048"},
        {"8796093022207", kHigh, false, 0, "8796093022207"},
        {"8796093022208", 1024, true, 0, "8796093022208"},
        {"9000000000000", 1024, true, 0, "9000000000000"},
        {"-5", 1024, true, 0, "-5"},
        {"0", 1024, true, 0, "0"},
        {"12x", 1024, true, 0, "12x"},
        {"", 1024, true, 0, ""},
        {"9000000000000", 1024, true, 500, "500"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored);
        QTemporaryDir dir;
        const std::string path = dir.filePath(QStringLiteral("s.INI")).toStdString();
        const Setting stored{"Events", "MaxMegabytes", c.stored};
        ASSERT_TRUE(WriteSettings(path, {&stored, 1}));
        RememberedValues values(path);
        std::int64_t value = 1024;
        values.addNumber("Events", "MaxMegabytes", 1, kHigh, [&](std::int64_t v) { value = v; }, [&] { return value; });
        EXPECT_EQ(value, c.restored);
        EXPECT_EQ(values.settingsProblem().isEmpty(), !c.refused) << values.settingsProblem().toStdString();
        if (c.refused)
            EXPECT_TRUE(values.settingsProblem().startsWith(QStringLiteral("[Events] MaxMegabytes=%1 in the settings file is not a "
                                                                          "whole number from 1 to 8796093022207: 1024 is used")
                                                               .arg(QLatin1String(c.stored))))
                << values.settingsProblem().toStdString();
        if (c.changedTo) value = c.changedTo;
        values.storeAll();
        EXPECT_EQ(ReadSetting(path, "Events", "MaxMegabytes"), c.written);
    }
}

// The window says a refused limit of saved events in the status bar, once, and keeps it.
TEST_F(RememberedValuesTest, AnOutOfRangeEventLimitIsToldAndNotWrittenBack) {
    form_->close();  // the window writes its values as it closes
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    const Setting huge{"Events", "MaxMegabytes", "9000000000000"};
    ASSERT_TRUE(WriteSettings(settingsIniPath_, {&huge, 1}));
    openWindow();
    EXPECT_TRUE(find<QStatusBar>(QStringLiteral("LinkStatusBar"))->currentMessage().contains(
        QStringLiteral("[Events] MaxMegabytes=9000000000000 in the settings file is not a whole number")));
    restart();
    EXPECT_EQ(ReadSetting(settingsIniPath_, "Events", "MaxMegabytes"), "9000000000000");
}

}  // namespace
}  // namespace altrix::testing
