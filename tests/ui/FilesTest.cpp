// The save and load commands against real files in a scratch folder: dialogs, the overwrite
// question, the caption, the window's reset after a load, the loads that change nothing
// (cancelled, refused, failed) and the reports of files that cannot be written or read.

#include "MainframeFixture.h"
#include "Watchdog.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QProgressDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>

#include <cmath>
#include <deque>
#include <memory>

#include <sys/stat.h>

namespace altrix::testing {
namespace {

const QString kPlainCaption = QString::fromLatin1(kCaptionText);

std::int16_t Pattern(int channel, int slot) {
    return static_cast<std::int16_t>(slot * 37 + channel * 9973);
}

class FilesTest : public MainframeTest {
protected:
    void SetUp() override {
        MainframeTest::SetUp();
        ASSERT_TRUE(dir_.isValid());
    }
    QString path(const char* name) const { return dir_.filePath(QLatin1String(name)); }
    QString captionNaming(const QString& file) const { return kPlainCaption + QStringLiteral("----") + file; }
    void fillChannels(std::int32_t nextSample) {
        record().NextSample = nextSample;
        for (int c = 0; c < kChannelCount; ++c)
            for (int slot = 0; slot < kTraceSlots; ++slot) record().ChannelTrace[c][slot] = Pattern(c, slot);
    }
    void click(const char* button) { QTest::mouseClick(find<QToolButton>(QLatin1String(button)), Qt::LeftButton); }
    void trigger(const char* item) { find<QAction>(QLatin1String(item))->trigger(); }
    static QByteArray contents(const QString& file) {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
    }
    static void writeFile(const QString& file, const QByteArray& bytes) {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QLineEdit* edit(const QString& name) const { return find<QLineEdit>(name); }

    QTemporaryDir dir_;
};

TEST_F(FilesTest, ASavedCaptureLoadsBackAtItsPositions) {
    fillChannels(54321);
    const auto saved = std::make_unique<CaptureRecord>(record());
    const QString file = path("capture.wfd");
    form_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form_));
    prompts_.FileNames = {file};
    QTest::keyClick(form_, Qt::Key_S, Qt::ControlModifier);
    ASSERT_TRUE(saveEnded());
    ASSERT_EQ(prompts_.SaveDialogs.size(), 1u);
    EXPECT_EQ(prompts_.SaveDialogs[0].Filter, QStringLiteral("WaveForm Data (*.wfd)|*.wfd|All Files (*.*)|*.*"));
    EXPECT_EQ(prompts_.SaveDialogs[0].DefaultExtension, QStringLiteral("*.wfd"));
    EXPECT_TRUE(prompts_.Messages.empty());
    EXPECT_EQ(form_->windowTitle(), captionNaming(file));

    // Another capture, another day; without its description the gain and Y-scale set since stay.
    ASSERT_TRUE(QFile::remove(file + QStringLiteral(".ini")));
    ResetForRun(record());
    form_->setWindowTitle(kPlainCaption);
    edit(QStringLiteral("LabeledEdit2"))->setText(QStringLiteral("0.01"));
    choose(find<QComboBox>(QStringLiteral("ComboBox6")), 10);  // "2"
    prompts_.FileNames = {file};
    QTest::keyClick(form_, Qt::Key_O, Qt::ControlModifier);
    ASSERT_EQ(prompts_.OpenDialogs.size(), 1u);
    EXPECT_EQ(prompts_.OpenDialogs[0].Filter, QStringLiteral("WaveForm Data (*.wfd)|*.wfd|All files (*.*)|*.*"));
    EXPECT_EQ(prompts_.OpenDialogs[0].DefaultExtension, QStringLiteral("*.wfd"));
    EXPECT_TRUE(prompts_.OpenDialogs[0].Resizable);
    EXPECT_EQ(form_->windowTitle(), captionNaming(file));

    ASSERT_EQ(record().NextSample, 100000);
    for (int c = 0; c < kChannelCount; ++c)
        for (int x = 0; x < kWindowPositions; ++x)
            ASSERT_EQ(record().ChannelTrace[c][SlotOfPosition(100000, x)],
                      saved->ChannelTrace[c][SlotOfPosition(54321, x)]) << c << " " << x;
    EXPECT_EQ(edit(QStringLiteral("LabeledEdit2"))->text(), QStringLiteral("0.01"));
    EXPECT_EQ(view().ChannelScale[1], 2.0f);
    EXPECT_EQ(chart().series(2)->data()->at(0)->value, 2.0 * record().ChannelTrace[1][0]);

    // RUN asks for the addresses the file did not carry, and keeps the loaded capture.
    QTest::mouseClick(find<QPushButton>(QStringLiteral("Button1")), Qt::LeftButton);
    EXPECT_EQ(form_->windowTitle(), captionNaming(file));
    EXPECT_EQ(record().NextSample, 100000);
    ASSERT_FALSE(prompts_.Messages.empty());
    EXPECT_EQ(prompts_.Messages.back().Caption, QStringLiteral("Channel 1 memory address error"));
}

TEST_F(FilesTest, AnExistingFileIsReplacedOnlyAfterYes) {
    fillChannels(0);
    const QString file = path("existing.wfd");
    writeFile(file, "keep");
    struct Case {
        std::deque<QString> names;  // empty: the dialog is cancelled
        MessageAnswer answer;
        bool asked, replaced;
    };
    const Case table[] = {{{}, MessageAnswer::Yes, false, false},
                          {{file}, MessageAnswer::No, true, false},
                          {{file}, MessageAnswer::Yes, true, true}};
    for (const Case& row : table) {
        prompts_.Messages.clear();
        prompts_.FileNames = row.names;
        prompts_.MessageAnswers = {row.answer};
        click("SpeedButton3");
        ASSERT_TRUE(saveEnded());
        ASSERT_EQ(prompts_.Messages.size(), row.asked ? 1u : 0u);
        if (row.asked) {
            const AskedMessage& asked = prompts_.Messages[0];
            EXPECT_EQ(asked.Caption, QStringLiteral("Overwrite?"));
            EXPECT_EQ(asked.Text, QStringLiteral("File name is already existed, overwrite it?"));
            EXPECT_EQ(asked.Icon, MessageIcon::Question);
            EXPECT_EQ(asked.Buttons, MessageButtons::YesNo);
        }
        EXPECT_EQ(contents(file).startsWith("0.0002 "), row.replaced);
        EXPECT_EQ(form_->windowTitle(), row.replaced ? captionNaming(file) : kPlainCaption);
    }
}

// A save is written beside the window; its progress dialog waits half a second before it
// shows, and its Cancel leaves no file, or the file and description there before as they were,
// with nothing beside them, and says nothing; the caption names no file. The next save is written.
TEST_F(FilesTest, ACancelledSaveLeavesNoFileAndKeepsAnOlderOne) {
    fillChannels(4321);
    struct Case {
        const char* name;
        bool older;  // a file and its description of that name are there before
    };
    const Case table[] = {{"new.wfd", false}, {"older.wfd", true}};
    for (const Case& row : table) {
        SCOPED_TRACE(row.name);
        const QString file = path(row.name);
        if (row.older) {
            writeFile(file, "0.0002 1 2 3 4\r\n");
            writeFile(file + QStringLiteral(".ini"), "[older]\r\n");
        }
        const QStringList before = QDir(dir_.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
        prompts_.Messages.clear();
        prompts_.FileNames = {file};
        prompts_.MessageAnswers = {MessageAnswer::Yes};
        trigger("SaveWaveformFile1");
        auto* progress = find<QProgressDialog>(QStringLiteral("SaveProgress"));
        ASSERT_NE(progress, nullptr);
        EXPECT_FALSE(progress->isVisible());
        progress->findChild<QPushButton*>()->click();
        ASSERT_TRUE(saveEnded());
        EXPECT_EQ(prompts_.Messages.size(), row.older ? 1u : 0u) << "only the question to overwrite";
        EXPECT_EQ(QDir(dir_.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), before);
        if (row.older) {
            EXPECT_EQ(contents(file), QByteArray("0.0002 1 2 3 4\r\n"));
            EXPECT_EQ(contents(file + QStringLiteral(".ini")), QByteArray("[older]\r\n"));
        }
        EXPECT_EQ(form_->windowTitle(), kPlainCaption);
    }
    prompts_.FileNames = {path("new.wfd")};
    trigger("SaveWaveformFile1");
    ASSERT_TRUE(saveEnded());
    EXPECT_EQ(contents(path("new.wfd")).count('\n'), 100000);
    EXPECT_TRUE(QFile::exists(path("new.wfd.ini")));
    EXPECT_EQ(form_->windowTitle(), captionNaming(path("new.wfd")));
}

TEST_F(FilesTest, TheTimeFieldTakesTheUsersDecimalSeparator) {
    record().NextSample = 123;
    const std::int16_t oldest[] = {-32768, 32767, 0, -1};
    for (int c = 0; c < kChannelCount; ++c) record().ChannelTrace[c][SlotOfPosition(123, 0)] = oldest[c];
    const QLocale saved;
    const std::pair<QLocale::Language, const char*> table[] = {{QLocale::C, "0.0002"}, {QLocale::German, "0,0002"}};
    for (const auto& [language, time] : table) {
        const QString file = path(time);
        QLocale::setDefault(QLocale(language));
        prompts_.FileNames = {file};
        trigger("SaveWaveformFile1");
        QLocale::setDefault(saved);
        ASSERT_TRUE(saveEnded());
        EXPECT_TRUE(contents(file).startsWith(QByteArray(time) + " -32768 32767 0 -1\r\n")) << time;
    }
}

TEST_F(FilesTest, AFileThatCannotBeWrittenIsReported) {
    ASSERT_TRUE(QDir(dir_.path()).mkdir(QStringLiteral("folder.wfd")));
    struct Case {
        QString name;
        bool asked;  // the name is taken
    };
    const Case table[] = {{path("missing/capture.wfd"), false}, {path("folder.wfd"), true}};
    for (const Case& row : table) {
        prompts_.Messages.clear();
        prompts_.FileNames = {row.name};
        prompts_.MessageAnswers = {MessageAnswer::Yes};
        trigger("SaveWaveformFile1");
        ASSERT_TRUE(saveEnded());
        ASSERT_EQ(prompts_.Messages.size(), row.asked ? 2u : 1u) << row.name.toStdString();
        const AskedMessage& report = prompts_.Messages.back();
        EXPECT_EQ(report.Caption, QStringLiteral("Save Error"));
        const QString prefix = QStringLiteral("Unable to write ") + row.name + QStringLiteral(": ");
        EXPECT_TRUE(report.Text.startsWith(prefix) && report.Text.size() > prefix.size()) << report.Text.toStdString();
        EXPECT_EQ(report.Icon, MessageIcon::Error);
        EXPECT_EQ(report.Buttons, MessageButtons::Ok);
        EXPECT_EQ(form_->windowTitle(), kPlainCaption);
    }
    // Nothing is left behind beside the targets.
    EXPECT_EQ(QDir(dir_.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              QStringList{QStringLiteral("folder.wfd")});
}

// The state a load would reset: channel controls, difference readouts, mark, caption.
class LoadTest : public FilesTest {
protected:
    const char* const differences_[6] = {"Edit13", "Edit14", "Edit15", "Edit16", "Edit17", "Edit19"};
    const QString oldCaption_ = captionNaming(QStringLiteral("old"));

    void setUpWindow() {
        fillChannels(54321);
        choose(find<QComboBox>(QStringLiteral("ComboBox5")), 10);  // "2"
        for (int k = 1; k <= kChannelCount; ++k) {
            choose(find<QComboBox>(QStringLiteral("ComboBox%1").arg(k)), 2);
            showChannel(k);  // an address typed after the quantity was chosen
            chart().clearSeries(k);
        }
        find<QCheckBox>(QStringLiteral("CheckBox3"))->setChecked(false);
        edit(QStringLiteral("LabeledEdit1"))->setText(QStringLiteral("0.5"));
        for (const char* name : differences_) edit(QLatin1String(name))->setText(QStringLiteral("7"));
        edit(QStringLiteral("Edit5"))->setText(QStringLiteral("kept"));
        view().MarkPosition = 500;
        chart().clearSeries(7);
        chart().addPoint(7, 500, 0);
        view().ReadoutEnabled = false;
        view().ChannelScale.fill(0.0f);
        form_->setWindowTitle(oldCaption_);
        prompts_.OpenDialogs.clear();
        prompts_.Messages.clear();
    }
};

// A cancelled dialog, a file that cannot be read and a read cancelled on its progress dialog
// leave traces, channel controls, readouts, mark and caption as they were. Pipes and devices
// are refused before they are opened.
TEST_F(LoadTest, ALoadThatDoesNotCompleteChangesNothing) {
    ASSERT_TRUE(QDir(dir_.path()).mkdir(QStringLiteral("folder.wfd")));
    ASSERT_EQ(mkfifo(QFile::encodeName(path("pipe.wfd")).constData(), 0600), 0);
    const QString large = path("large.wfd");
    QByteArray lines;
    for (int line = 0; line < 100000; ++line) lines += "0.0002 1 2 3 4\r\n";
    writeFile(large, lines);  // more than one chunk of the reader
    struct Case {
        const char* what;
        std::deque<QString> names;
        std::size_t dialogs;
        bool cancelRead;
        QString refused;  // the reported file
    };
    const Case table[] = {{"cancel", {}, 1, false, {}},
                          {"missing, then cancel", {path("missing.wfd")}, 2, false, {}},
                          {"a folder", {path("folder.wfd")}, 1, false, path("folder.wfd")},
                          {"a pipe", {path("pipe.wfd")}, 1, false, path("pipe.wfd")},
                          {"a device", {QStringLiteral("/dev/zero")}, 1, false, QStringLiteral("/dev/zero")},
                          {"a read cancelled", {large}, 1, true, {}}};
    for (const Case& row : table) {
        SCOPED_TRACE(row.what);
        setUpWindow();
        prompts_.FileNames = row.names;
        bool progressShown = false;
        if (row.cancelRead) {
            // Runs at the first chance the read gives the window's events.
            QTimer::singleShot(0, form_, [&] {
                auto* progress = form_->findChild<QProgressDialog*>();
                ASSERT_NE(progress, nullptr);
                EXPECT_EQ(progress->windowModality(), Qt::WindowModal);
                progressShown = true;
                progress->cancel();
            });
        }
        {
            const Watchdog watchdog(row.what);
            click("SpeedButton2");
        }
        EXPECT_EQ(progressShown, row.cancelRead);
        EXPECT_EQ(prompts_.OpenDialogs.size(), row.dialogs);
        ASSERT_EQ(prompts_.Messages.size(), row.refused.isEmpty() ? 0u : 1u);
        if (!row.refused.isEmpty()) {
            EXPECT_EQ(prompts_.Messages[0].Caption, QStringLiteral("Load Error"));
            const QString expected = QStringLiteral("Unable to read ") + row.refused + QStringLiteral(": Not a regular file");
            EXPECT_EQ(prompts_.Messages[0].Text, expected);
        }
        EXPECT_EQ(record().NextSample, 54321);
        EXPECT_EQ(record().ChannelTrace[3][2], Pattern(3, 2));
        EXPECT_EQ(record().ChannelTrace[0][150000], Pattern(0, 150000));
        EXPECT_EQ(form_->windowTitle(), oldCaption_);
        for (int k = 1; k <= kChannelCount; ++k) {
            EXPECT_EQ(edit(QStringLiteral("Edit%1").arg(k))->text(), QStringLiteral("9000")) << k;
            EXPECT_EQ(find<QComboBox>(QStringLiteral("ComboBox%1").arg(k))->currentIndex(), 2) << k;
            EXPECT_EQ(find<QCheckBox>(QStringLiteral("CheckBox%1").arg(k))->isChecked(), k != 3) << k;
            EXPECT_EQ(chart().pointCount(k), 0) << k;
        }
        for (const char* name : differences_) EXPECT_EQ(edit(QLatin1String(name))->text(), QStringLiteral("7")) << name;
        EXPECT_EQ(view().MarkPosition, 500);
        EXPECT_EQ(chart().pointCount(7), 1);
        EXPECT_FALSE(view().ReadoutEnabled);
        EXPECT_EQ(view().ChannelScale[0], 0.0f);
    }
}

// A file that was read resets the channel controls, the mark and the difference readouts and
// redraws all four channels; the positions it does not fill read 0, so a save writes zeros
// there, not the previous capture.
TEST_F(LoadTest, AReadFileResetsTheWindowAndLeavesNoOldSamples) {
    const QString good = path("three.wfd");
    writeFile(good, "0.0002 1 2 3 4\r\n0.0004 5 6 7 8\n0.0006 9 10 11 12\r\n");
    setUpWindow();
    prompts_.FileNames = {good};
    click("SpeedButton2");

    EXPECT_EQ(prompts_.OpenDialogs.size(), 1u);
    EXPECT_TRUE(prompts_.Messages.empty());
    EXPECT_EQ(record().NextSample, 3);
    EXPECT_EQ(record().ChannelTrace[3][2], 12);
    for (int c = 0; c < kChannelCount; ++c)
        for (int slot = 3; slot < kTraceSlots; ++slot) ASSERT_EQ(record().ChannelTrace[c][slot], 0) << c << " " << slot;
    EXPECT_EQ(form_->windowTitle(), captionNaming(good));
    for (int k = 1; k <= kChannelCount; ++k) {
        EXPECT_EQ(edit(QStringLiteral("Edit%1").arg(k))->text(), QStringLiteral(" ")) << k;
        const auto* quantity = find<QComboBox>(QStringLiteral("ComboBox%1").arg(k));
        EXPECT_EQ(quantity->currentIndex(), -1) << k;
        EXPECT_EQ(quantity->currentText(), QString()) << k;
        EXPECT_TRUE(find<QCheckBox>(QStringLiteral("CheckBox%1").arg(k))->isChecked()) << k;
        EXPECT_EQ(chart().pointCount(k), view().DrawPointCount + 1) << k;
    }
    for (const char* name : differences_) EXPECT_EQ(edit(QLatin1String(name))->text(), QString()) << name;
    EXPECT_EQ(edit(QStringLiteral("Edit5"))->text(), QStringLiteral("kept"));
    EXPECT_EQ(edit(QStringLiteral("LabeledEdit1"))->text(), QStringLiteral("0.5"));
    EXPECT_EQ(view().MarkPosition, kNoMark);
    EXPECT_EQ(chart().pointCount(7), 0);
    EXPECT_TRUE(view().ReadoutEnabled);
    EXPECT_EQ(view().ChannelScale[0], 2.0f);
    EXPECT_EQ(chart().series(1)->data()->at(0)->value, 0.0);
    EXPECT_EQ(chart().series(1)->data()->at(view().DrawPointCount)->value, 2.0 * 9);

    const QString saved = path("saved.wfd");
    prompts_.FileNames = {saved};
    trigger("SaveWaveformFile1");
    ASSERT_TRUE(saveEnded());
    EXPECT_TRUE(contents(saved).startsWith("0.0002 0 0 0 0\r\n"));
    EXPECT_TRUE(contents(saved).endsWith("19.9996 1 2 3 4\r\n19.9998 5 6 7 8\r\n20 9 10 11 12\r\n"));
}

}  // namespace
}  // namespace altrix::testing
