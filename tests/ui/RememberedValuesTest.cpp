// What the window remembers between runs in the settings file: each value comes back after a
// close and a start, the channels too (their math traces drawing nothing while the window holds
// no sets); the file dialogs also start from their last file, or their kind's last folder,
// within a run; the settings file's own sections stay.

#include "MainframeFixture.h"

#include "ParameterFiles.h"
#include "RememberedValues.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDockWidget>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QStatusBar>
#include <QTableWidget>
#include <QTemporaryDir>

#include <functional>
#include <limits>
#include <string>

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
    EXPECT_EQ(prompts_.OpenDialogs[0].FileName, dir_.path() + u'/');  // where the waveform was saved

    // The next dialog of the run, then the first of the next run (both cancelled).
    for (int run = 0; run < 2; ++run) {
        if (run == 1) restart();
        find<QAction>(QStringLiteral("SaveWaveformFile1"))->trigger();
        find<QAction>(QStringLiteral("Loadwaveformfile1"))->trigger();
        EXPECT_EQ(prompts_.SaveDialogs.back().FileName, saved) << run;
        EXPECT_EQ(prompts_.OpenDialogs.back().FileName, saved) << run;
    }
}

// Each channel comes back as the user left it, whether set by its quantity, by a typed address,
// or switched off; the settings file's own sections stay as they were.
TEST_F(RememberedValuesTest, ChannelsComeBackAsTheyWereLeft) {
    const struct {
        int quantity;  // row chosen in the quantity list, -1 for none
        const char* address;  // typed, or nullptr
        const char* gain;     // typed after, or nullptr
        int yScale;           // row chosen in the Y-scale list, -1 to leave it
        bool on;              // the switch as left
        // As it comes back:
        const char* shownAddress;
        const char* shownGain;
        const char* shownYScale;
    } channels[] = {
        {2, nullptr, nullptr, 10, true, "9042", "0.1", "2"},    // DC_bus (Vdc): its preset's address and gain
        {1, nullptr, "0.02", -1, false, "9004", "0.02", "1"},  // Output frequency, its gain typed over, then off
        {-1, "9a0f", "3", 4, true, "9a0f", "3", "0.33"},       // an address typed, no quantity
        {-1, nullptr, nullptr, -1, false, "", "1", "1"},       // untouched
    };
    form_->SetEngineeringControlsVisible(true);
    for (int k = 1; k <= kChannelCount; ++k) {
        const auto& c = channels[k - 1];
        if (c.quantity >= 0) choose(find<QComboBox>(QStringLiteral("ComboBox%1").arg(k)), c.quantity);
        if (c.address) showChannel(k, QLatin1String(c.address));
        if (c.gain) find<QLineEdit>(QStringLiteral("LabeledEdit%1").arg(k))->setText(QLatin1String(c.gain));
        if (c.yScale >= 0) choose(find<QComboBox>(QStringLiteral("ComboBox%1").arg(k + 4)), c.yScale);
        find<QCheckBox>(QStringLiteral("CheckBox%1").arg(k))->setChecked(c.on);
    }
    restart();
    for (int k = 1; k <= kChannelCount; ++k) {
        SCOPED_TRACE(k);
        const auto& c = channels[k - 1];
        EXPECT_EQ(find<QComboBox>(QStringLiteral("ComboBox%1").arg(k))->currentIndex(), c.quantity);
        EXPECT_EQ(find<QLineEdit>(QStringLiteral("Edit%1").arg(k))->text(), QLatin1String(c.shownAddress));
        EXPECT_EQ(find<QLineEdit>(QStringLiteral("LabeledEdit%1").arg(k))->text(), QLatin1String(c.shownGain));
        EXPECT_EQ(find<QComboBox>(QStringLiteral("ComboBox%1").arg(k + 4))->currentText(), QLatin1String(c.shownYScale));
        EXPECT_EQ(find<QCheckBox>(QStringLiteral("CheckBox%1").arg(k))->isChecked(), c.on);
        EXPECT_EQ(form_->display().Channel(k).Enabled, c.on);
        EXPECT_EQ(form_->display().GainFactorOf(k), QString::fromLatin1(c.shownGain).toDouble());
    }
    EXPECT_EQ(ReadListFilePath(settingsIniPath_, "0"), "Parameter list.plf");
    EXPECT_EQ(ReadPortMapping(settingsIniPath_, "COM3"), "/dev/pts/9");
}

// Math traces come back too, but a window nothing was taken into has nothing to compute them
// from: no line is drawn and nothing is measured until it holds sets.
TEST_F(RememberedValuesTest, RememberedMathTracesDrawNothingOnAnEmptyChart) {
    showChannel(1);
    showChannel(2);
    form_->display().SetMath(1, {true, "Power", "W", "ch1*ch2"});
    restart();
    ASSERT_EQ(form_->display().Math().Definition(1).Expression, "ch1*ch2");
    find<QAction>(QStringLiteral("Measurements1"))->trigger();
    QCoreApplication::processEvents();
    const int series = SeriesOfTrace(kFirstMathTrace);
    EXPECT_EQ(chart().pointCount(series), 0);
    EXPECT_FALSE(form_->display().TraceShown(kFirstMathTrace));
    auto* table = find<QTableWidget>(QStringLiteral("MeasureTable"));
    for (int r = 0; r < table->rowCount(); ++r)
        EXPECT_FALSE(table->verticalHeaderItem(r)->text().startsWith(QStringLiteral("Power"))) << r;

    // The window holds sets (as after a capture): the trace is computed and drawn.
    record().SetCount = kWindowPositions;
    form_->display().RedrawShownChannels();
    EXPECT_GT(chart().pointCount(series), 0);
    EXPECT_TRUE(form_->display().TraceShown(kFirstMathTrace));
}

// Every file dialog opens in the folder its kind of file was last chosen in: waveform files
// saved and loaded share one, recordings recorded and opened another, pictures their own; a
// dialog whose own last file lies there starts with it. Kept across a restart.
TEST_F(RememberedValuesTest, FileDialogsOpenInTheLastFolderOfTheirKind) {
    QTemporaryDir waves, recordings, more;
    const QString wave = waves.filePath(QStringLiteral("a.wfd"));
    const QString recording = recordings.filePath(QStringLiteral("none.arec"));
    const QString other = more.filePath(QStringLiteral("b.wfd"));
    const auto folder = [](const QTemporaryDir& dir) { return dir.path() + u'/'; };
    const struct {
        const char* action;
        QString answer;  // empty: cancelled
        QString startsWith;
        bool restartFirst;
    } steps[] = {
        {"SaveWaveformFile1", wave, QString(), false},            // no folder yet
        {"Loadwaveformfile1", QString(), folder(waves), false},   // the waveform folder
        {"OpenRecording1", QString(), QString(), false},          // recordings have none yet
        {"OpenRecording1", recording, QString(), false},          // refused, but its folder chosen
        {"Record1", QString(), folder(recordings), false},        // recording's folder
        {"ExportImage1", QString(), QString(), false},            // pictures have none yet
        {"SaveWaveformFile1", QString(), wave, true},             // its own last file, in the folder
        {"Record1", QString(), folder(recordings), false},
        {"SaveWaveformFile1", other, wave, false},
        {"Loadwaveformfile1", QString(), folder(more), false},    // the kind's newest folder
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(std::string(step.action) + " " + step.answer.toStdString());
        if (step.restartFirst) restart();
        if (!step.answer.isEmpty()) prompts_.FileNames.push_back(step.answer);
        const std::size_t saves = prompts_.SaveDialogs.size(), opens = prompts_.OpenDialogs.size();
        find<QAction>(QLatin1String(step.action))->trigger();
        const bool saved = prompts_.SaveDialogs.size() > saves;
        ASSERT_TRUE(saved || prompts_.OpenDialogs.size() > opens);
        EXPECT_EQ((saved ? prompts_.SaveDialogs : prompts_.OpenDialogs).back().FileName, step.startsWith);
        prompts_.Messages.clear();
    }
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
