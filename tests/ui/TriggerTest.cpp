// The trigger controls of the main window: a Single capture on the simulated drive with its lock,
// state and line, the line kept on a saved file, and the settings remembered in the settings file.

#include "LiveDriveFixture.h"

#include "ParameterFiles.h"
#include "WaveformFile.h"

#include <QComboBox>
#include <QSpinBox>
#include <QTemporaryDir>

namespace altrix::testing {
namespace {

const char* const kTriggerControls[] = {"TriggerModeBox", "TriggerSourceBox", "TriggerSlopeBox",
                                        "TriggerLevelEdit", "TriggerBitBox",   "PreTriggerBox"};

class TriggerWindowTest : public LiveDriveTest {
protected:
    void choose(TForm1& form, const char* box, int index) {
        auto* list = form.findChild<QComboBox*>(QLatin1String(box));
        list->setCurrentIndex(index);
        emit list->activated(index);
    }
    // The line at the trigger position: its x, or -1 when hidden.
    double triggerLine() const {
        for (int i = 0; i < chart().itemCount(); ++i)
            if (auto* line = qobject_cast<QCPItemStraightLine*>(chart().item(i)))
                return line->visible() ? line->point1->coords().x() : -1;
        return -2;
    }
    QString state() const { return find<QLabel>(QStringLiteral("TriggerStateLabel"))->text(); }
    void load(const QString& file) {
        prompts_.FileNames = {file};
        find<QAction>(QStringLiteral("Loadwaveformfile1"))->trigger();
    }
};

TEST_F(TriggerWindowTest, SingleCaptureLocksTheControlsAndItsLineStaysOnItsFile) {
    // The PID reference on channel 2 with gain 0.1 reads 4 or 6 and steps up at 5 s (while the
    // window fills) and at 15 s, which is the trigger.
    startDrive({}, 10.0);
    typeAddress(2, QStringLiteral("901a"));
    find<QLineEdit>(QStringLiteral("LabeledEdit2"))->setText(QStringLiteral("0.1"));
    choose(*form_, "TriggerModeBox", 1);
    choose(*form_, "TriggerSourceBox", 1);
    auto* level = find<QLineEdit>(QStringLiteral("TriggerLevelEdit"));
    level->clear();
    QTest::keyClicks(level, QStringLiteral("5x"));  // the x is refused
    EXPECT_EQ(level->text(), QStringLiteral("5"));
    click("Button1");
    for (const char* name : kTriggerControls) EXPECT_FALSE(find(QLatin1String(name))->isEnabled()) << name;
    EXPECT_EQ(state(), QStringLiteral("Filling"));
    EXPECT_EQ(triggerLine(), -1);

    ASSERT_TRUE(tickUntil([&] { return !timerActive(); }, 30s));
    for (const char* name : kTriggerControls) EXPECT_TRUE(find(QLatin1String(name))->isEnabled()) << name;
    EXPECT_EQ(triggerLine(), 50000);
    // The state gives what the cursor reads on the line, then the wall-clock time 15 s after RUN.
    form_->Chart1MouseMove(chart().xAxis->coordToPixel(triggerLine()));
    const QString wallClock = display_->Facts().Start.addSecs(15).toLocalTime().toString(QStringLiteral("HH:mm:ss.zzz"));
    EXPECT_EQ(state(), QStringLiteral("Triggered at %1 s, %2").arg(find<QLineEdit>(QStringLiteral("LabeledEdit9"))->text(), wallClock));

    // Saved and loaded back, the capture keeps its line; another file has none.
    QTemporaryDir dir;
    const QString saved = dir.filePath(QStringLiteral("triggered.wfd"));
    const QString other = dir.filePath(QStringLiteral("other.wfd"));
    prompts_.FileNames = {saved};
    find<QAction>(QStringLiteral("SaveWaveformFile1"))->trigger();
    ASSERT_TRUE(WriteWaveformFile(record(), other.toStdString(), '.').Ok);
    load(other);
    EXPECT_EQ(triggerLine(), -1);
    load(saved);
    EXPECT_EQ(triggerLine(), 50000);
}

// "Save every event..." asks for its folder the first time only; a folder that cannot take
// files is said at RUN, and the capture runs on without saving.
TEST_F(TriggerWindowTest, SavingEveryEventAsksForItsFolderOnceAndSaysWhyItCannotSave) {
    startDrive({}, 10.0);
    typeAddress(1, QStringLiteral("901a"));
    choose(*form_, "TriggerModeBox", 2);
    auto* save = find<QAction>(QStringLiteral("SaveEventsAction"));
    prompts_.FileNames = {QStringLiteral("/proc/self")};
    save->trigger();
    ASSERT_EQ(prompts_.FolderDialogs.size(), 1u);
    EXPECT_TRUE(save->isChecked());
    click("Button1");
    ASSERT_EQ(prompts_.Messages.size(), 1u);
    EXPECT_TRUE(prompts_.Messages[0].Text.startsWith(QStringLiteral("Unable to save events to /proc/self: ")))
        << prompts_.Messages[0].Text.toStdString();
    EXPECT_FALSE(save->isChecked());
    EXPECT_TRUE(timerActive());
    click("Button2");

    QTemporaryDir dir;
    prompts_.FileNames = {dir.path()};
    find<QAction>(QStringLiteral("EventFolderAction"))->trigger();
    save->trigger();
    EXPECT_EQ(prompts_.FolderDialogs.size(), 2u) << "the folder is not asked for again";
    click("Button1");
    EXPECT_TRUE(session_.EventSaving().Active());
    click("Button2");
    EXPECT_FALSE(session_.EventSaving().Active());
    // At most the question before the first capture is replaced (when it took sets).
    for (std::size_t m = 1; m < prompts_.Messages.size(); ++m)
        EXPECT_EQ(prompts_.Messages[m].Caption, QStringLiteral("Unsaved capture")) << "no further error";
}

TEST_F(TriggerWindowTest, SettingsAreRememberedAndTheBitTakesTheLevelsPlace) {
    QTemporaryDir dir;
    const std::string ini = dir.filePath(QStringLiteral("scope.INI")).toStdString();
    // The tool bar lays out its widgets on the next pass of the event loop.
    const auto bitShown = [](const TForm1& form) {
        QCoreApplication::processEvents();
        return !form.findChild<QSpinBox*>(QStringLiteral("TriggerBitBox"))->isHidden() &&
               form.findChild<QLineEdit*>(QStringLiteral("TriggerLevelEdit"))->isHidden();
    };
    {
        CaptureSession session(ini);
        ScopeDisplay display(session);
        TForm1 form(prompts_, session, display);
        form.show();
        EXPECT_FALSE(bitShown(form));
        choose(form, "TriggerModeBox", 2);
        choose(form, "TriggerSlopeBox", 4);
        EXPECT_TRUE(bitShown(form));
        form.findChild<QSpinBox*>(QStringLiteral("TriggerBitBox"))->setValue(12);
        form.findChild<QSpinBox*>(QStringLiteral("PreTriggerBox"))->setValue(30);
        form.findChild<QSpinBox*>(QStringLiteral("TriggerHoldoffBox"))->setValue(250);
        // A band takes a second level, shown beside the first.
        const auto level2Shown = [&form] {
            QCoreApplication::processEvents();
            return !form.findChild<QLineEdit*>(QStringLiteral("TriggerLevel2Edit"))->isHidden();
        };
        EXPECT_FALSE(level2Shown());
        choose(form, "TriggerSlopeBox", 5);
        EXPECT_TRUE(level2Shown());
        EXPECT_FALSE(bitShown(form));
        choose(form, "TriggerSlopeBox", 4);
        EXPECT_FALSE(level2Shown());
        // A join shows the second condition's controls.
        const auto secondShown = [&form] {
            QCoreApplication::processEvents();
            return !form.findChild<QComboBox*>(QStringLiteral("TriggerJoinSlopeBox"))->isHidden();
        };
        EXPECT_FALSE(secondShown());
        form.resize(1920, form.height());  // a narrow tool bar folds the second condition away
        choose(form, "TriggerJoinBox", 2);
        EXPECT_TRUE(secondShown());
        choose(form, "TriggerJoinSourceBox", 3);
    }
    EXPECT_EQ(ReadTriggerSettings(ini), (TriggerSettings{TriggerMode::Normal, 1, TriggerCondition::BitCleared, "0", 12, 30,
                                                         "0", 250, TriggerJoin::Or, {4}}));
    CaptureSession session(ini);
    ScopeDisplay display(session);
    TForm1 form(prompts_, session, display);
    form.show();
    EXPECT_EQ(form.findChild<QComboBox*>(QStringLiteral("TriggerSlopeBox"))->currentText(), QStringLiteral("Bit cleared"));
    EXPECT_EQ(form.findChild<QSpinBox*>(QStringLiteral("TriggerBitBox"))->value(), 12);
    EXPECT_TRUE(bitShown(form));
}

}  // namespace
}  // namespace altrix::testing
