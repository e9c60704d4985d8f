// Through the window: a capture's settings, trigger line and note back from its description after
// a restart, its trigger setup applied only when asked, a description of other data ignored, the
// question before an unsaved capture is replaced, the notes window and the list of keyboard
// shortcuts.

#include "MainframeFixture.h"

#include "CaptureNotesDialog.h"
#include "ParameterFiles.h"
#include "WaveformFile.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QTemporaryDir>

namespace altrix::testing {
namespace {

class DescribedCaptureTest : public MainframeTest {
protected:
    QString path(const char* name) const { return dir_.filePath(QLatin1String(name)); }
    void trigger(const char* item) { find<QAction>(QLatin1String(item))->trigger(); }
    void save(const QString& file) {
        prompts_.FileNames = {file}, trigger("SaveWaveformFile1");
        ASSERT_TRUE(saveEnded());
    }
    void load(const QString& file) { prompts_.FileNames = {file}, trigger("Loadwaveformfile1"); }
    void run() { QTest::mouseClick(find<QPushButton>(QStringLiteral("Button1")), Qt::LeftButton); }
    QString text(const char* edit) const { return find<QLineEdit>(QLatin1String(edit))->text(); }
    int index(const char* box) const { return find<QComboBox>(QLatin1String(box))->currentIndex(); }
    bool ticked(int k) const { return find<QCheckBox>(QStringLiteral("CheckBox%1").arg(k))->isChecked(); }
    QString status() const { return find<QStatusBar>(QStringLiteral("LinkStatusBar"))->currentMessage(); }
    // RUN goes as far as opening the port, which fails.
    void noPort() { find<QComboBox>(QStringLiteral("COMSelectBox1"))->setEditText(path("no-such-device")); }
    static QByteArray contents(const QString& file) {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
    }

    QTemporaryDir dir_;
};

TEST_F(DescribedCaptureTest, ASavedCaptureComesBackAfterARestartItsTriggerWhenAsked) {
    choose(find<QComboBox>(QStringLiteral("ComboBox1")), 2);  // DC_bus: 9042, gain 0.1
    showChannel(2, QStringLiteral("12ab"));
    find<QLineEdit>(QStringLiteral("LabeledEdit2"))->setText(QStringLiteral("0.5"));
    choose(find<QComboBox>(QStringLiteral("ComboBox6")), 17);  // "10"
    trigger("FastMode1");
    display_->SetTrigger({TriggerMode::Single, 2, TriggerCondition::Falling, "3.5", 0, 25});
    emit session_.triggerMoved(42000);
    emit session_.triggerStateChanged(TriggerPhase::Triggered, 12.3456);
    const QString file = path("motor.wfd");
    display_->SetNote(QStringLiteral("bearing noise\nat 50 Hz"));
    save(file);
    // The waveform file holds the bytes it held before it had a description.
    ASSERT_TRUE(WriteWaveformFile(record(), path("bare.wfd").toStdString(), '.').Ok);
    EXPECT_EQ(contents(file), contents(path("bare.wfd")));

    openWindow();  // a new start: nothing of the capture is known
    // The user's trigger setup: an AND trigger with a holdoff.
    TriggerSettings users{TriggerMode::Normal, 1, TriggerCondition::Rising, "12.5", 0, 40};
    users.HoldoffMs = 250;
    users.Join = TriggerJoin::And;
    users.Second = {3, TriggerCondition::Falling, "-3", "0", 0};
    display_->SetTrigger(users);
    auto* apply = find<QAction>(QStringLiteral("ApplyCaptureTriggerAction"));
    EXPECT_FALSE(apply->isEnabled()) << "no loaded capture";
    load(file);
    EXPECT_EQ(form_->windowTitle(), QString::fromLatin1(kCaptionText) + QStringLiteral("----") + file);
    const std::pair<const char*, const char*> texts[] = {{"Edit1", "9042"}, {"LabeledEdit1", "0.1"}, {"Edit2", "12ab"},
                                                         {"LabeledEdit2", "0.5"}, {"TriggerLevelEdit", "12.5"},
                                                         {"TriggerStateLabel", "Triggered at 8.4002 s"}};  // set 42001 of 0.2 ms
    for (const auto& [name, shown] : texts) EXPECT_EQ(find(QLatin1String(name))->property("text"), QLatin1String(shown));
    const std::pair<const char*, int> indexes[] = {{"ComboBox1", 2}, {"ComboBox2", -1}, {"ComboBox6", 17},
                                                   {"TriggerJoinBox", static_cast<int>(TriggerJoin::And)}};
    for (const auto& [box, shown] : indexes) EXPECT_EQ(index(box), shown) << box;
    for (int k = 1; k <= kChannelCount; ++k) EXPECT_EQ(ticked(k), k <= 2) << k;
    EXPECT_TRUE(find<QAction>(QStringLiteral("FastMode1"))->isChecked());
    EXPECT_EQ(find<QSpinBox>(QStringLiteral("TriggerHoldoffBox"))->value(), 250);
    // The capture's own trigger setup, when asked for.
    ASSERT_TRUE(apply->isEnabled());
    EXPECT_EQ(apply->text(), QStringLiteral("Apply the capture's trigger settings"));
    apply->trigger();
    const std::pair<const char*, int> applied[] = {{"TriggerModeBox", 1}, {"TriggerSourceBox", 1}, {"TriggerSlopeBox", 1},
                                                   {"TriggerJoinBox", 0}};
    for (const auto& [box, shown] : applied) EXPECT_EQ(index(box), shown) << box;
    EXPECT_EQ(find<QSpinBox>(QStringLiteral("PreTriggerBox"))->value(), 25);
    EXPECT_EQ(find<QSpinBox>(QStringLiteral("TriggerHoldoffBox"))->value(), 0);
    EXPECT_EQ(text("TriggerLevelEdit"), QStringLiteral("3.5"));
    const auto* line = qobject_cast<QCPItemStraightLine*>(chart().item(0));  // the trigger line
    EXPECT_TRUE(line && line->visible() && line->point1->coords().x() == 42000);
    EXPECT_EQ(display_->Facts().Note, QStringLiteral("bearing noise\nat 50 Hz"));
    EXPECT_TRUE(status().startsWith(QStringLiteral("Restored from ") + file + QStringLiteral(".ini"))) << status().toStdString();
    // RUN takes the restored addresses: no address is asked for.
    noPort();
    run();
    ASSERT_FALSE(prompts_.Messages.empty());
    EXPECT_EQ(prompts_.Messages[0].Caption, QStringLiteral("Comm Error"));

    // A description of other data leaves the load as for a bare file (the ways a description
    // fails are the core's).
    record().ChannelTrace[0][1999] = 5;
    ASSERT_TRUE(WriteWaveformFile(record(), file.toStdString(), '.').Ok);
    load(file);
    EXPECT_EQ(text("Edit1"), QStringLiteral(" "));
    EXPECT_EQ(index("ComboBox1"), -1);
    for (int k = 1; k <= kChannelCount; ++k) EXPECT_TRUE(ticked(k)) << k;
    EXPECT_FALSE(apply->isEnabled()) << "a bare file names no trigger";
    EXPECT_EQ(status(), QStringLiteral("Quantities, gains, Y-scales and trigger not restored: ") + file +
                            QStringLiteral(".ini was not used: it describes other waveform data than the file holds now"));
}

TEST_F(DescribedCaptureTest, AnUnsavedCaptureIsReplacedOnlyWhenTheUserSaysSo) {
    enum class Action { Run, Load, Close };
    enum class Before { Nothing, Saved, QuestionOff, NoSetTaken };
    struct Case { const char* what; Action action; Before before; MessageAnswer answer; bool asked, goesOn; };
    const Case table[] = {
        {"RUN, Cancel", Action::Run, Before::Nothing, MessageAnswer::Cancel, true, false},
        {"RUN, Discard", Action::Run, Before::Nothing, MessageAnswer::Discard, true, true},
        {"load, Cancel", Action::Load, Before::Nothing, MessageAnswer::Cancel, true, false},
        {"load, Save", Action::Load, Before::Nothing, MessageAnswer::Save, true, true},
        {"close, Cancel", Action::Close, Before::Nothing, MessageAnswer::Cancel, true, false},
        {"load after a save", Action::Load, Before::Saved, MessageAnswer::Cancel, false, true},
        {"RUN with the question off", Action::Run, Before::QuestionOff, MessageAnswer::Cancel, false, true},
        {"close after a capture that took no set", Action::Close, Before::NoSetTaken, MessageAnswer::Cancel, false, true},
    };
    const QString file = path("kept.wfd");
    settingsIniPath_ = path("altrix-scope.INI").toStdString();
    for (const Case& row : table) {
        SCOPED_TRACE(row.what);
        const Setting ask{"Display", "AskBeforeDiscard", row.before == Before::QuestionOff ? "0" : "1"};
        ASSERT_TRUE(WriteSettings(settingsIniPath_, {&ask, 1}));
        QFile::remove(file);
        openWindow();
        noPort();
        emit session_.started();  // a capture taken, without a drive
        record().SetCount = row.before == Before::NoSetTaken ? 0 : 5000;
        emit session_.stopped();
        if (row.before == Before::Saved) save(file);
        prompts_ = ScriptedPrompts{};
        prompts_.MessageAnswers = {row.answer};
        if (row.answer == MessageAnswer::Save) prompts_.FileNames = {file};
        row.action == Action::Run ? run() : row.action == Action::Load ? trigger("Loadwaveformfile1") : (void)form_->close();
        const bool asked = !prompts_.Messages.empty() && prompts_.Messages[0].Caption == QStringLiteral("Unsaved capture");
        ASSERT_EQ(asked, row.asked);
        if (asked) EXPECT_EQ(prompts_.Messages[0].Text, QStringLiteral("Discard the unsaved capture?"));
        if (asked) EXPECT_EQ(prompts_.Messages[0].Buttons, MessageButtons::SaveDiscardCancel);
        EXPECT_EQ(QFile::exists(file), row.before == Before::Saved || row.answer == MessageAnswer::Save);
        const bool wentOn = row.action == Action::Run    ? prompts_.Messages.back().Caption == QStringLiteral("Comm Error")
                            : row.action == Action::Load ? prompts_.OpenDialogs.size() == 1
                                                         : !(form_ && form_->isVisible());
        EXPECT_EQ(wentOn, row.goesOn);
    }
}

TEST_F(DescribedCaptureTest, NotesAndShortcutsHaveTheirPlace) {
    trigger("CaptureNotes1");
    auto* notes = form_->findChild<CaptureNotesDialog*>();
    ASSERT_NE(notes, nullptr);
    notes->findChild<QPlainTextEdit*>(QStringLiteral("NoteEdit"))->setPlainText(QStringLiteral("after the repair"));
    notes->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    save(path("noted.wfd"));
    EXPECT_TRUE(contents(path("noted.wfd.ini")).contains("\r\nNote=after the repair\r\n"));

    trigger("KeyboardShortcuts1");
    ASSERT_EQ(prompts_.Messages.size(), 1u);
    for (const char* line : {"Ctrl+S\tFile > Save Waveform to File", "Ctrl+Q\tFile > Exit", "F9\tRef waveform > Ref1 > Show Ref1"})
        EXPECT_TRUE(prompts_.Messages[0].Text.split(QLatin1Char('\n')).contains(QLatin1String(line))) << line;
}

}  // namespace
}  // namespace altrix::testing
