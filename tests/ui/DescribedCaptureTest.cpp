// The description saved beside a waveform file, through the window: a capture's settings,
// trigger line and note back after a restart; the loads whose description cannot be used go
// on as for a bare file and say why; the question before an unsaved capture is replaced; the
// notes window and the list of keyboard shortcuts.

#include "MainframeFixture.h"

#include "CaptureNotesDialog.h"
#include "WaveformFile.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QTemporaryDir>

#include <functional>

namespace altrix::testing {
namespace {

class DescribedCaptureTest : public MainframeTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        MainframeTest::SetUp();
    }
    QString path(const char* name) const { return dir_.filePath(QLatin1String(name)); }
    void trigger(const char* item) { find<QAction>(QLatin1String(item))->trigger(); }
    void save(const QString& file) {
        prompts_.FileNames = {file};
        trigger("SaveWaveformFile1");
    }
    void load(const QString& file) {
        prompts_.FileNames = {file};
        trigger("Loadwaveformfile1");
    }
    QString text(const char* edit) const { return find<QLineEdit>(QLatin1String(edit))->text(); }
    int index(const char* box) const { return find<QComboBox>(QLatin1String(box))->currentIndex(); }
    bool ticked(int k) const { return find<QCheckBox>(QStringLiteral("CheckBox%1").arg(k))->isChecked(); }
    QString status() const { return find<QStatusBar>(QStringLiteral("LinkStatusBar"))->currentMessage(); }
    double triggerLine() const {
        for (int i = 0; i < chart().itemCount(); ++i)
            if (auto* line = qobject_cast<QCPItemStraightLine*>(chart().item(i)))
                return line->visible() ? line->point1->coords().x() : -1;
        return -2;
    }
    // A capture taken as RUN and STOP report it, without a drive.
    void takeCapture() {
        emit session_.started();
        emit session_.stopped();
    }
    // RUN goes as far as opening the port, which fails.
    void noPort() { find<QComboBox>(QStringLiteral("COMSelectBox1"))->setEditText(path("no-such-device")); }
    static QByteArray contents(const QString& file) {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
    }

    QTemporaryDir dir_;
};

TEST_F(DescribedCaptureTest, ASavedCaptureComesBackAfterARestart) {
    for (int slot = 0; slot < kTraceSlots; ++slot) record().ChannelTrace[1][slot] = static_cast<std::int16_t>(slot % 977);
    record().NextSample = 31337;
    choose(find<QComboBox>(QStringLiteral("ComboBox1")), 2);  // DC_bus: 9042, gain 0.1
    showChannel(2, QStringLiteral("12ab"));
    find<QLineEdit>(QStringLiteral("LabeledEdit2"))->setText(QStringLiteral("0.5"));
    choose(find<QComboBox>(QStringLiteral("ComboBox6")), 17);  // "10"
    trigger("FastMode1");
    display_->SetTrigger({TriggerMode::Single, 2, TriggerCondition::Falling, "3.5", 0, 25});
    emit session_.triggerMoved(42000);
    emit session_.triggerStateChanged(TriggerPhase::Triggered, 12.3456);
    const QString file = path("motor.wfd");
    prompts_.Notes = {QStringLiteral("bearing noise\nat 50 Hz")};
    save(file);
    ASSERT_TRUE(prompts_.Messages.empty());
    // The waveform file holds the bytes it held before it had a description.
    ASSERT_TRUE(WriteWaveformFile(record(), path("bare.wfd").toStdString(), '.').Ok);
    EXPECT_EQ(contents(file), contents(path("bare.wfd")));
    EXPECT_TRUE(QFile::exists(file + QStringLiteral(".ini")));

    openWindow();  // a new start: nothing of the capture is known
    load(file);
    EXPECT_TRUE(prompts_.Messages.empty());
    EXPECT_EQ(form_->windowTitle(), QString::fromLatin1(kCaptionText) + QStringLiteral("----") + file);
    EXPECT_EQ(text("Edit1"), QStringLiteral("9042"));
    EXPECT_EQ(index("ComboBox1"), 2);
    EXPECT_EQ(text("LabeledEdit1"), QStringLiteral("0.1"));
    EXPECT_EQ(text("Edit2"), QStringLiteral("12ab"));
    EXPECT_EQ(index("ComboBox2"), -1);
    EXPECT_EQ(text("LabeledEdit2"), QStringLiteral("0.5"));
    EXPECT_EQ(index("ComboBox6"), 17);
    for (int k = 1; k <= kChannelCount; ++k) EXPECT_EQ(ticked(k), k <= 2) << k;
    EXPECT_TRUE(find<QAction>(QStringLiteral("FastMode1"))->isChecked());
    EXPECT_EQ(index("TriggerModeBox"), 1);
    EXPECT_EQ(index("TriggerSourceBox"), 1);
    EXPECT_EQ(index("TriggerSlopeBox"), 1);
    EXPECT_EQ(text("TriggerLevelEdit"), QStringLiteral("3.5"));
    EXPECT_EQ(find<QSpinBox>(QStringLiteral("PreTriggerBox"))->value(), 25);
    EXPECT_EQ(triggerLine(), 42000);
    EXPECT_EQ(find<QLabel>(QStringLiteral("TriggerStateLabel"))->text(), QStringLiteral("Triggered at 12.3456 s"));
    EXPECT_EQ(display_->Facts().Note, QStringLiteral("bearing noise\nat 50 Hz"));
    EXPECT_TRUE(status().startsWith(QStringLiteral("Restored from ") + file + QStringLiteral(".ini"))) << status().toStdString();
    EXPECT_EQ(view().ChannelScale[1], 10.0f);
    // RUN takes the restored addresses: no address is asked for.
    noPort();
    QTest::mouseClick(find<QPushButton>(QStringLiteral("Button1")), Qt::LeftButton);
    ASSERT_FALSE(prompts_.Messages.empty());
    EXPECT_EQ(prompts_.Messages[0].Caption, QStringLiteral("Comm Error"));
}

TEST_F(DescribedCaptureTest, ADescriptionThatCannotBeUsedLeavesTheLoadAsForABareFile) {
    const QString file = path("capture.wfd");
    struct Case {
        const char* what;
        std::function<void()> spoil;
        QString told;
    };
    const QString sidecar = file + QStringLiteral(".ini");
    const auto replace = [sidecar](const QByteArray& from, const QByteArray& to) {
        QByteArray text = contents(sidecar);
        text.replace(from, to);
        QFile out(sidecar);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        out.write(text);
    };
    const Case table[] = {
        {"none", [&] { QFile::remove(sidecar); }, QStringLiteral("there is no ") + sidecar},
        {"damaged", [&] { replace("YScale=1\r\n", "YScale=1.1\r\n"); }, QStringLiteral("it is damaged: [Channel1] YScale")},
        {"newer", [&] { replace("Format=1", "Format=9"); }, QStringLiteral("it is of format 9, newer than")},
        {"another capture's",
         [&] {
             record().ChannelTrace[0][1999] = 5;
             ASSERT_TRUE(WriteWaveformFile(record(), file.toStdString(), '.').Ok);
         },
         QStringLiteral("other waveform data")},
    };
    for (const Case& row : table) {
        SCOPED_TRACE(row.what);
        QFile::remove(file);
        record().NextSample = 1000;
        choose(find<QComboBox>(QStringLiteral("ComboBox1")), 2);
        save(file);
        record().NextSample = 2000;
        row.spoil();
        load(file);
        EXPECT_TRUE(prompts_.Messages.empty());
        EXPECT_EQ(text("Edit1"), QStringLiteral(" "));
        EXPECT_EQ(index("ComboBox1"), -1);
        for (int k = 1; k <= kChannelCount; ++k) EXPECT_TRUE(ticked(k)) << k;
        EXPECT_TRUE(status().startsWith(QStringLiteral("Quantities, gains, Y-scales and trigger not restored: ")));
        EXPECT_TRUE(status().contains(row.told)) << status().toStdString();
    }
}

TEST_F(DescribedCaptureTest, AnUnsavedCaptureIsReplacedOnlyWhenTheUserSaysSo) {
    enum class Action { Run, Load, Close };
    struct Case {
        const char* what;
        Action action;
        bool savedFirst;
        bool askSetting;  // [Display] AskBeforeDiscard
        MessageAnswer answer;
        bool asked, goesOn;
    };
    const Case table[] = {
        {"RUN, Cancel", Action::Run, false, true, MessageAnswer::Cancel, true, false},
        {"RUN, Discard", Action::Run, false, true, MessageAnswer::Discard, true, true},
        {"load, Cancel", Action::Load, false, true, MessageAnswer::Cancel, true, false},
        {"load, Save", Action::Load, false, true, MessageAnswer::Save, true, true},
        {"close, Cancel", Action::Close, false, true, MessageAnswer::Cancel, true, false},
        {"close, Discard", Action::Close, false, true, MessageAnswer::Discard, true, true},
        {"load after a save", Action::Load, true, true, MessageAnswer::Cancel, false, true},
        {"RUN with the question off", Action::Run, false, false, MessageAnswer::Cancel, false, true},
    };
    const QString file = path("kept.wfd");
    for (const Case& row : table) {
        SCOPED_TRACE(row.what);
        settingsIniPath_ = path("altrix-scope.INI").toStdString();
        QFile settings(QString::fromStdString(settingsIniPath_));
        ASSERT_TRUE(settings.open(QIODevice::WriteOnly | QIODevice::Truncate));
        settings.write(row.askSetting ? "" : "[Display]\nAskBeforeDiscard=0\n");
        settings.close();
        QFile::remove(file);
        openWindow();
        noPort();
        takeCapture();
        if (row.savedFirst) save(file);
        prompts_ = ScriptedPrompts{};
        prompts_.MessageAnswers = {row.answer};
        if (row.answer == MessageAnswer::Save) prompts_.FileNames = {file};
        switch (row.action) {
        case Action::Run: QTest::mouseClick(find<QPushButton>(QStringLiteral("Button1")), Qt::LeftButton); break;
        case Action::Load: trigger("Loadwaveformfile1"); break;
        case Action::Close: form_->close(); break;
        }
        const bool asked = !prompts_.Messages.empty() && prompts_.Messages[0].Caption == QStringLiteral("Unsaved capture");
        ASSERT_EQ(asked, row.asked);
        if (asked) {
            EXPECT_EQ(prompts_.Messages[0].Text, QStringLiteral("Discard the unsaved capture?"));
            EXPECT_EQ(prompts_.Messages[0].Buttons, MessageButtons::SaveDiscardCancel);
        }
        EXPECT_EQ(QFile::exists(file), row.savedFirst || row.answer == MessageAnswer::Save);
        switch (row.action) {
        case Action::Run: EXPECT_EQ(prompts_.Messages.back().Caption == QStringLiteral("Comm Error"), row.goesOn); break;
        case Action::Load: EXPECT_EQ(prompts_.OpenDialogs.size(), row.goesOn ? 1u : 0u); break;
        case Action::Close: EXPECT_EQ(form_ && form_->isVisible(), !row.goesOn); break;
        }
    }
}

TEST_F(DescribedCaptureTest, NotesAndShortcutsHaveTheirPlace) {
    trigger("CaptureNotes1");
    auto* notes = form_->findChild<CaptureNotesDialog*>();
    ASSERT_NE(notes, nullptr);
    notes->findChild<QPlainTextEdit*>(QStringLiteral("NoteEdit"))->setPlainText(QStringLiteral("after the repair"));
    notes->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    save(path("noted.wfd"));
    ASSERT_EQ(prompts_.NotesShown.size(), 1u);
    EXPECT_EQ(prompts_.NotesShown[0], QStringLiteral("after the repair"));
    EXPECT_TRUE(contents(path("noted.wfd.ini")).contains("\r\nNote=after the repair\r\n"));

    trigger("KeyboardShortcuts1");
    ASSERT_EQ(prompts_.Messages.size(), 1u);
    EXPECT_EQ(prompts_.Messages[0].Caption, QStringLiteral("Keyboard shortcuts"));
    for (const char* line : {"Ctrl+O\tFile > Load Waveform file", "Ctrl+S\tFile > Save Waveform to File",
                             "Ctrl+Q\tFile > Exit", "F9\tRef waveform > Ref1 > Show Ref1", "Ctrl+M\tAnalysis > Measurements"})
        EXPECT_TRUE(prompts_.Messages[0].Text.split(QLatin1Char('\n')).contains(QLatin1String(line))) << line;
}

}  // namespace
}  // namespace altrix::testing
