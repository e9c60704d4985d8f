// RUN, STOP, the capture tick and closing the window, end to end against the simulated drive:
// channels switched on by typing their addresses, buttons clicked, Timer1's ticks called
// directly, and every sample checked against the drive's signal model.

#include "LiveDriveFixture.h"

#include "DriveModel.h"
#include "TestRecording.h"
#include "WaveformFile.h"

#include <QAction>
#include <QDialogButtonBox>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QToolButton>

#include <algorithm>
#include <array>
#include <memory>
#include <string>

namespace altrix::testing {
namespace {

// Channel addresses as typed; nullptr leaves the channel switched off.
using Typed = std::array<const char*, kChannelCount>;

std::uint16_t DriveAddress(const char* typed) {
    return typed ? static_cast<std::uint16_t>(std::stoul(typed, nullptr, 16)) : kUnusedChannelAddress;
}

const Bytes kStreamReset{0x3A, 0x3A};

class CaptureTest : public LiveDriveTest {
protected:
    void typeAll(const Typed& typed) {
        for (int k = 1; k <= kChannelCount; ++k)
            if (typed[k - 1]) typeAddress(k, QString::fromLatin1(typed[k - 1]));
    }
    // RUN on the drive; true once the drive streams.
    bool run() {
        click("Button1");
        return WaitUntil([&] { return sim_->Drive->Streaming(); });
    }
    Bytes received() const { return Values(sim_->Drive->Received()); }
    // What the drive received after its first `count` bytes.
    Bytes receivedAfter(std::size_t count) const {
        const Bytes all = received();
        return Bytes(all.begin() + static_cast<std::ptrdiff_t>(std::min(count, all.size())), all.end());
    }

    // Slots fromSlot .. toSlot - 1 hold the capture's sample sets from firstSet on, as the
    // drive's model has them; a channel switched off holds 0.
    void expectSlotsHoldSets(const Typed& typed, int fromSlot, int toSlot, std::uint64_t firstSet) {
        for (int k = 1; k <= kChannelCount; ++k) {
            const ChannelSamples& trace = record().ChannelTrace[k - 1];
            for (int slot = fromSlot; slot < toSlot; ++slot) {
                const std::uint64_t set = firstSet + static_cast<std::uint64_t>(slot - fromSlot);
                const std::int16_t expected = typed[k - 1] ? sim::SampleValue(DriveAddress(typed[k - 1]), set) : 0;
                ASSERT_EQ(trace[slot], expected) << "channel " << k << " slot " << slot;
            }
        }
    }
    // The capture runs on for 5000 sets after `fromSet`, then STOP: nothing was lost on the way,
    // and every slot holds the set the drive sent.
    void expectCaptureWholeAfter(const Typed& typed, int fromSet) {
        ASSERT_TRUE(tickUntil([&] { return record().NextSample >= fromSet + 5000; }));
        click("Button2");
        EXPECT_EQ(session_.Health().BlocksLost, 0u);
        EXPECT_EQ(sim_->Drive->Stats().BytesDropped, 0u);
        EXPECT_FALSE(dataErrorShown());
        expectSlotsHoldSets(typed, 0, record().NextSample, 0);
        EXPECT_TRUE(prompts_.Messages.empty());
    }
    void expectNewestValuesShown(const Typed& typed, std::uint64_t newestSet) {
        for (int k = 1; k <= kChannelCount; ++k) {
            const std::int16_t expected = typed[k - 1] ? sim::SampleValue(DriveAddress(typed[k - 1]), newestSet) : 0;
            EXPECT_EQ(find<QLineEdit>(QStringLiteral("Edit%1").arg(k + 4))->text(), QString::number(expected))
                << "channel " << k;
        }
    }
    // The controls that RUN locks and STOP unlocks; STOP itself stays enabled throughout.
    // (The readouts that follow the mouse go with them, but start switched off.)
    void expectLocked(bool locked) {
        for (int k = 1; k <= kChannelCount; ++k) {
            for (const QString& name : {QStringLiteral("CheckBox%1"), QStringLiteral("ComboBox%1"), QStringLiteral("Edit%1")})
                EXPECT_EQ(find(name.arg(k))->isEnabled(), !locked) << name.arg(k).toStdString();
        }
        for (const char* name : {"Button1", "BitBtn1", "SpeedButton2", "SpeedButton3"})
            EXPECT_EQ(find(QLatin1String(name))->isEnabled(), !locked) << name;
        for (const char* name : {"File1", "DrawingMode1", "Refwaveform1"})
            EXPECT_EQ(find<QMenu>(QLatin1String(name))->menuAction()->isEnabled(), !locked) << name;
        EXPECT_TRUE(find(QStringLiteral("Button2"))->isEnabled());
    }
    bool dataErrorShown() const { return !find<QLabel>(QStringLiteral("Label10"))->isHidden(); }
};

struct StreamCase {
    const char* name;
    const char* mode;       // the drawing mode's menu item, which sets the tick density
    std::int32_t points;
    Typed typed;
};
void PrintTo(const StreamCase& c, std::ostream* os) { *os << c.name; }

class StreamTest : public CaptureTest, public ::testing::WithParamInterface<StreamCase> {};

TEST_P(StreamTest, TracesHoldTheDrivesSamplesAtTheirSlots) {
    const Typed& typed = GetParam().typed;
    startDrive({}, 4.0);
    find<QAction>(QLatin1String(GetParam().mode))->trigger();
    typeAll(typed);
    ASSERT_TRUE(run());
    EXPECT_EQ(sim_->Drive->StreamChannels(),
              (sim::ChannelAddresses{DriveAddress(typed[0]), DriveAddress(typed[1]),
                                     DriveAddress(typed[2]), DriveAddress(typed[3])}));
    ASSERT_TRUE(tickUntil([&] { return record().NextSample >= 2000; }));

    const int next = record().NextSample;
    expectSlotsHoldSets(typed, 0, next, 0);
    for (const ChannelSamples& trace : record().ChannelTrace)
        EXPECT_TRUE(std::all_of(trace.begin() + next, trace.end(), [](std::int16_t s) { return s == 0; }));
    expectNewestValuesShown(typed, static_cast<std::uint64_t>(next - 1));
    EXPECT_EQ(view().DrawPointCount, GetParam().points);
    for (int k = 1; k <= kChannelCount; ++k)  // the newest sample closes each trace
        EXPECT_EQ(chart().pointCount(k), typed[k - 1] ? GetParam().points + 1 : 0) << "channel " << k;
    EXPECT_FALSE(dataErrorShown());
}

INSTANTIATE_TEST_SUITE_P(Capture, StreamTest,
                         ::testing::Values(StreamCase{"FourChannels", "HighprecisionMode", 10000,
                                                      {"9004", "1234", "9042", "abcd"}},
                                           // Its words are consumed; channel 3 still gets its own.
                                           StreamCase{"Channel2Off", "FastMode1", 5000,
                                                      {"9004", nullptr, "1234", "abcd"}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(CaptureTest, NextSampleWrapsAndTheReadoutsFollow) {
    const Typed typed{"1234", "9042", "abcd", "0777"};
    startDrive({}, 16.0);
    find<QAction>(QStringLiteral("SimplifiedModefastestdrawingbutlowprecision1"))->trigger();
    typeAll(typed);
    ASSERT_TRUE(run());
    int previous = 0;
    bool wrapped = false;
    ASSERT_TRUE(tickUntil([&] {
        wrapped = wrapped || record().NextSample < previous;
        previous = record().NextSample;
        return wrapped && record().NextSample >= 1000;
    }, std::chrono::seconds(20)));
    ASSERT_EQ(sim_->Drive->Stats().BytesDropped, 0u) << "the ticks kept pace";

    EXPECT_EQ(view().DrawPointCount, 2000);
    const int next = record().NextSample;
    expectSlotsHoldSets(typed, 0, next, kTraceSlots);
    expectSlotsHoldSets(typed, next, kTraceSlots, static_cast<std::uint64_t>(next));
    expectNewestValuesShown(typed, static_cast<std::uint64_t>(kTraceSlots + next - 1));
}

TEST_F(CaptureTest, ADroppedByteShowsTheDataErrorUntilTheNextRun) {
    sim::DriveOptions options;
    options.DropByteAfter = 1000;
    startDrive(options, 4.0);
    typeAddress(1, QStringLiteral("1234"));
    ASSERT_TRUE(run());
    EXPECT_FALSE(dataErrorShown());
    ASSERT_TRUE(tickUntil([&] { return record().NextSample >= 500; }));
    EXPECT_TRUE(dataErrorShown());

    click("Button2");
    EXPECT_TRUE(dataErrorShown()) << "STOP leaves it";
    ASSERT_TRUE(run());
    EXPECT_FALSE(dataErrorShown());
}

// An export of a whole recording is written beside the window: RUN while it is written, and
// the capture's ticks go on, so that every set reaches its slot as the drive sent it, no block
// is lost and the drive never had to drop a byte; the export ends whole meanwhile.
TEST_F(CaptureTest, ACaptureLosesNothingWhileALongExportIsWritten) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string recording = dir.filePath(QStringLiteral("long.arec")).toStdString();
    ASSERT_EQ(WriteTestRecording(recording, 4'000'000), "");
    startDrive();
    prompts_.FileNames = {QString::fromStdString(recording)};
    find<QAction>(QStringLiteral("OpenRecording1"))->trigger();
    ASSERT_TRUE(prompts_.Messages.empty());
    const Typed typed{"9004", "1234", "abcd", "0777"};
    typeAll(typed);

    const QString exported = dir.filePath(QStringLiteral("whole.h5"));
    prompts_.FileNames = {exported};
    find<QAction>(QStringLiteral("ExportData1"))->trigger();
    find<QRadioButton>(QStringLiteral("ExportWholeButton"))->setChecked(true);
    QTest::mouseClick(find<QDialogButtonBox>(QStringLiteral("ExportButtons"))->button(QDialogButtonBox::Ok), Qt::LeftButton);
    ASSERT_FALSE(find<QAction>(QStringLiteral("ExportData1"))->isEnabled()) << "the export is written beside the window";
    ASSERT_TRUE(run());
    // The export's end comes as a queued call.
    ASSERT_TRUE(tickUntil([&] {
        QCoreApplication::sendPostedEvents();
        return find<QAction>(QStringLiteral("ExportData1"))->isEnabled();
    }, std::chrono::seconds(60)));
    const int duringExport = record().NextSample;
    EXPECT_GT(duringExport, 0) << "the capture ran while the export was written";
    expectCaptureWholeAfter(typed, duringExport);
    EXPECT_TRUE(QFile::exists(exported));
}

// A waveform save is written beside the window: RUN right after it started asks nothing (the
// capture is being saved), and the new capture's ticks go on while the file is written, so
// that every set reaches its slot as the drive sent it and no block is lost; the file holds the
// window as it was when saved.
TEST_F(CaptureTest, ACaptureLosesNothingWhileASaveIsWritten) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    startDrive();
    const Typed typed{"9004", "1234", "abcd", "0777"};
    typeAll(typed);
    ASSERT_TRUE(run());
    ASSERT_TRUE(tickUntil([&] { return record().NextSample >= 5000; }));
    click("Button2");
    const auto saved = std::make_unique<CaptureRecord>(record());

    const QString file = dir.filePath(QStringLiteral("saved.wfd"));
    prompts_.FileNames = {file};
    find<QAction>(QStringLiteral("SaveWaveformFile1"))->trigger();
    ASSERT_TRUE(run());
    EXPECT_TRUE(prompts_.Messages.empty()) << "no question: the capture is being saved";
    ASSERT_TRUE(tickUntil([&] {
        QCoreApplication::sendPostedEvents();
        return saveEnded(std::chrono::milliseconds(1));
    }, std::chrono::seconds(60)));
    const int duringSave = record().NextSample;
    expectCaptureWholeAfter(typed, duringSave);
    const auto loaded = std::make_unique<CaptureRecord>();
    ASSERT_TRUE(ReadWaveformFile(*loaded, file.toStdString()).Ok);
    for (int k = 0; k < kChannelCount; ++k)
        for (int x = 0; x < kWindowPositions; ++x)
            ASSERT_EQ(loaded->ChannelTrace[k][SlotOfPosition(loaded->NextSample, x)],
                      saved->ChannelTrace[k][SlotOfPosition(saved->NextSample, x)])
                << "channel " << k + 1 << " position " << x;
}

TEST_F(CaptureTest, RunLocksAndStopUnlocks) {
    // Readouts that RUN empties: time, a value, time difference, value differences.
    const char* const readouts[] = {"LabeledEdit9", "Edit5", "Edit9", "Edit13", "Edit16", "Edit17", "Edit19"};
    startDrive({}, 4.0);
    typeAddress(1, QStringLiteral("1234"));
    for (const char* readout : readouts) find<QLineEdit>(QLatin1String(readout))->setText(QStringLiteral("7"));
    ASSERT_TRUE(run());
    expectLocked(true);
    // The locked menus take their items' shortcuts with them.
    form_->activateWindow();
    QSignalSpy loads(find<QAction>(QStringLiteral("Loadwaveformfile1")), &QAction::triggered);
    QTest::keyClick(form_, Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(loads.count(), 0);
    EXPECT_FALSE(view().ReadoutEnabled);
    EXPECT_TRUE(timerActive());
    EXPECT_TRUE(port_.PortOpen);
    for (const char* readout : readouts)
        EXPECT_TRUE(find<QLineEdit>(QLatin1String(readout))->text().isEmpty()) << readout;
    ASSERT_TRUE(tickUntil([&] { return record().NextSample >= 200; }));
    const auto idle = [this] { return find<QLabel>(QStringLiteral("LinkIdleLabel"))->text(); };
    EXPECT_TRUE(idle().startsWith(QStringLiteral("Last byte 0"))) << idle().toStdString();

    const std::size_t sentBeforeStop = received().size();
    click("Button2");
    EXPECT_EQ(idle(), QStringLiteral("Last byte -"));  // no longer counting
    expectLocked(false);
    EXPECT_TRUE(view().ReadoutEnabled);
    EXPECT_FALSE(timerActive());
    EXPECT_FALSE(port_.IsOpen());
    EXPECT_FALSE(port_.PortOpen);
    ASSERT_TRUE(sim_->Drive->WaitForReceived(sentBeforeStop + 2, kWaitLimit));
    EXPECT_EQ(receivedAfter(sentBeforeStop), kStreamReset);
    EXPECT_TRUE(WaitUntil([&] { return !sim_->Drive->Streaming(); }));
    EXPECT_GT(chart().pointCount(1), 0) << "the final trace is drawn";
}

struct FailedOpenCase {
    const char* name;
    bool settingsRefused;  // else the device is missing
    std::vector<std::pair<QString, QString>> boxes;
};
void PrintTo(const FailedOpenCase& c, std::ostream* os) { *os << c.name; }

const std::pair<QString, QString> kSetError{QStringLiteral("Set Error"), QStringLiteral("通訊埠設定錯誤!!!")};
const std::pair<QString, QString> kCommError{QStringLiteral("Comm Error"), QStringLiteral("開啟通訊埠錯誤！！")};

class FailedOpenTest : public CaptureTest, public ::testing::WithParamInterface<FailedOpenCase> {
protected:
    void SetUp() override {
        CaptureTest::SetUp();
        startDrive();
        if (GetParam().settingsRefused)
            record().BaudRate = 0;
        else
            choosePort(QString::fromStdString(sim_->Folder.PathOf("no-such-device")));
    }
    // The original's text, then a line naming the port and the reason.
    void expectBoxes() {
        ASSERT_EQ(prompts_.Messages.size(), GetParam().boxes.size());
        const QString port = find<QComboBox>(QStringLiteral("COMSelectBox1"))->currentText();
        for (std::size_t i = 0; i < GetParam().boxes.size(); ++i) {
            const QStringList lines = prompts_.Messages[i].Text.split(QLatin1Char('\n'));
            EXPECT_EQ(prompts_.Messages[i].Caption, GetParam().boxes[i].first);
            ASSERT_EQ(lines.size(), 2);
            EXPECT_EQ(lines[0], GetParam().boxes[i].second);
            EXPECT_TRUE(lines[1].startsWith(port + QLatin1Char(':')) || lines[1].startsWith(port + QStringLiteral(" (")))
                << lines[1].toStdString();
            EXPECT_GT(lines[1].size(), port.size() + 3) << "a reason follows";
            EXPECT_EQ(prompts_.Messages[i].Buttons, MessageButtons::Ok);
        }
    }
};

TEST_P(FailedOpenTest, RunThatDoesNotStartLeavesEverythingAsItWas) {
    record().ChannelTrace[0].fill(7);
    showChannel(1, QStringLiteral("1234"));
    const Points drawn = PointsOf(chart(), 1);
    find<QLineEdit>(QStringLiteral("Edit5"))->setText(QStringLiteral("7"));
    form_->setWindowTitle(QStringLiteral("loaded"));
    click("Button1");
    expectBoxes();
    expectLocked(false);
    EXPECT_FALSE(timerActive());
    EXPECT_FALSE(port_.IsOpen());
    EXPECT_TRUE(received().empty());
    EXPECT_EQ(record().ChannelTrace[0][12345], 7);
    EXPECT_EQ(PointsOf(chart(), 1), drawn);
    EXPECT_EQ(find<QLineEdit>(QStringLiteral("Edit5"))->text(), QStringLiteral("7"));
    EXPECT_EQ(form_->windowTitle(), QStringLiteral("loaded"));

    click("Button2");
    expectLocked(false);
    EXPECT_TRUE(received().empty()) << "the reset went nowhere";
}

TEST_P(FailedOpenTest, TypeIdentifyKeepsItsCaption) {
    QPushButton* button = find<QPushButton>(QStringLiteral("BitBtn1"));
    const QColor colour = button->palette().color(QPalette::ButtonText);
    click("BitBtn1");
    expectBoxes();
    EXPECT_EQ(button->text(), QStringLiteral("Type Identify"));
    EXPECT_EQ(button->palette().color(QPalette::ButtonText), colour);
    EXPECT_TRUE(received().empty());
}

INSTANTIATE_TEST_SUITE_P(Capture, FailedOpenTest,
                         ::testing::Values(FailedOpenCase{"MissingDevice", false, {kCommError}},
                                           FailedOpenCase{"RefusedSettings", true, {kSetError, kCommError}}),
                         [](const auto& info) { return std::string(info.param.name); });

struct AddressCase {
    const char* name;
    Typed typed;                  // typed into the edits
    Typed set;                    // set by the program, as loading a file does
    int badChannel;               // 0: the capture starts
    sim::ChannelAddresses sent;   // the drive's channels when it starts
};
void PrintTo(const AddressCase& c, std::ostream* os) { *os << c.name; }

class AddressTest : public CaptureTest, public ::testing::WithParamInterface<AddressCase> {};

TEST_P(AddressTest, RunValidatesTheAddressesOfTickedChannels) {
    const AddressCase& c = GetParam();
    startDrive();
    typeAll(c.typed);
    for (int k = 1; k <= kChannelCount; ++k)
        if (c.set[k - 1]) find<QLineEdit>(QStringLiteral("Edit%1").arg(k))->setText(QString::fromLatin1(c.set[k - 1]));
    for (ChannelSamples& trace : record().ChannelTrace) trace.fill(7);

    click("Button1");
    // Only a capture that starts empties the traces.
    const std::int16_t left = c.badChannel == 0 ? 0 : 7;
    for (const ChannelSamples& trace : record().ChannelTrace)
        EXPECT_TRUE(std::all_of(trace.begin(), trace.end(), [&](std::int16_t s) { return s == left; }));
    if (c.badChannel == 0) {
        EXPECT_TRUE(prompts_.Messages.empty());
        ASSERT_TRUE(WaitUntil([&] { return sim_->Drive->Streaming(); }));
        EXPECT_EQ(sim_->Drive->StreamChannels(), c.sent);
        EXPECT_TRUE(timerActive());
        click("Button2");
        return;
    }
    ASSERT_EQ(prompts_.Messages.size(), 1u);
    EXPECT_EQ(prompts_.Messages[0].Caption, QStringLiteral("Channel %1 memory address error").arg(c.badChannel));
    EXPECT_EQ(prompts_.Messages[0].Text, QStringLiteral("Please input 4 hexadecimal numbers"));
    EXPECT_EQ(prompts_.Messages[0].Icon, MessageIcon::Warning);
    EXPECT_EQ(prompts_.Messages[0].Buttons, MessageButtons::Ok);
    expectLocked(false);
    EXPECT_FALSE(timerActive());
    EXPECT_TRUE(received().empty());
}

constexpr std::uint16_t kUnused = kUnusedChannelAddress;
constexpr Typed kNone{};

INSTANTIATE_TEST_SUITE_P(
    Capture, AddressTest,
    ::testing::Values(
        AddressCase{"LowerCaseHex", {"902e", nullptr, nullptr, nullptr}, kNone, 0, {0x902e, kUnused, kUnused, kUnused}},
        AddressCase{"TypedCapitalsTurnLowerCase", {nullptr, "ABCD", nullptr, nullptr}, kNone, 0,
                    {kUnused, 0xabcd, kUnused, kUnused}},
        AddressCase{"ThreeCharacters", {nullptr, nullptr, nullptr, "abc"}, kNone, 4, {}},
        AddressCase{"FiveCharacters", {nullptr, "9000a", nullptr, nullptr}, kNone, 2, {}},
        AddressCase{"LowestBadChannelOnly", {"90g0", "9000", "12", nullptr}, kNone, 1, {}},
        AddressCase{"SpaceLeftByALoad", {"9000", nullptr, nullptr, nullptr}, {nullptr, nullptr, " ", nullptr}, 3, {}},
        AddressCase{"AllChannelsOff", kNone, kNone, 0, {kUnused, kUnused, kUnused, kUnused}}),
    [](const auto& info) { return std::string(info.param.name); });

class CloseTest : public CaptureTest, public ::testing::WithParamInterface<bool> {};

TEST_P(CloseTest, ClosingTheWindowEndsARunningCaptureOnly) {
    const bool capturing = GetParam();
    startDrive();
    typeAddress(1, QStringLiteral("1234"));
    if (capturing) {
        ASSERT_TRUE(run());
    }
    const std::size_t sentBeforeClose = received().size();
    form_->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(form_.isNull()) << "the window is freed";
    EXPECT_FALSE(port_.IsOpen());
    EXPECT_FALSE(port_.PortOpen);
    if (capturing) {
        ASSERT_TRUE(sim_->Drive->WaitForReceived(sentBeforeClose + 2, kWaitLimit));
    }
    EXPECT_EQ(receivedAfter(sentBeforeClose), capturing ? kStreamReset : Bytes{});
}

INSTANTIATE_TEST_SUITE_P(Capture, CloseTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "DuringACapture" : "WithoutACapture"; });

TEST_F(CaptureTest, AnUnpluggedDriveEndsTheCaptureKeepsTheTracesAndSaysSo) {
    const Typed typed{"1234", nullptr, nullptr, nullptr};
    startDrive({}, 4.0);
    typeAll(typed);
    ASSERT_TRUE(run());
    ASSERT_TRUE(tickUntil([&] { return record().NextSample >= 500; }));
    const std::string link = sim_->Link();
    sim_->Drive->Stop();  // the adapter is pulled out

    // Ticks go on, with the event loop running between them, until the link counts as lost.
    ASSERT_TRUE(tickUntil([&] {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        return !timerActive();
    }));
    ASSERT_EQ(prompts_.Messages.size(), 1u);
    EXPECT_EQ(prompts_.Messages[0].Caption, QStringLiteral("Link lost"));
    EXPECT_TRUE(prompts_.Messages[0].Text.contains(QStringLiteral("The capture up to then is kept.")));
    expectLocked(false);
    EXPECT_FALSE(port_.IsOpen());
    const int kept = record().NextSample;
    expectSlotsHoldSets(typed, 0, kept, 0);
    EXPECT_GT(chart().pointCount(1), 0);

    // The drive comes back on the same link.
    sim::PtyDrive again(LinkedTo(link, 4.0));
    std::string error;
    ASSERT_TRUE(again.Start(error)) << error;
    ASSERT_TRUE(run());
    ASSERT_TRUE(tickUntil([&] { return record().NextSample >= 200; }));
    expectSlotsHoldSets(typed, 0, record().NextSample, 0);
    click("Button2");
}

// The link's figures are a capture's of this run: a waveform file or a recording on show
// clears them, and the next RUN counts again.
TEST_F(CaptureTest, TheLinkFiguresAreClearedWhileAFileOrARecordingIsShown) {
    QTemporaryDir dir;
    const QString wave = dir.filePath(QStringLiteral("capture.wfd"));
    const QString recording = dir.filePath(QStringLiteral("capture.arec"));
    ASSERT_EQ(WriteTestRecording(recording.toStdString(), 20000), "");
    const auto figures = [this] {
        QStringList texts;
        for (const char* name : {"LinkRateLabel", "LinkLostLabel", "LinkResyncLabel", "LinkIdleLabel"})
            texts << find<QLabel>(QLatin1String(name))->text();
        return texts;
    };
    const QStringList cleared{QStringLiteral("- sets/s"), QStringLiteral("Blocks lost: -"), QStringLiteral("Resyncs: -"),
                              QStringLiteral("Last byte -")};
    startDrive({}, 4.0);
    typeAll({"9004", nullptr, nullptr, nullptr});
    ASSERT_TRUE(run());
    ASSERT_TRUE(tickUntil([&] { return session_.Health().SetsPerSecond > 0; }));
    click("Button2");
    EXPECT_TRUE(figures()[0].endsWith(QStringLiteral(" of 5000 sets/s"))) << figures()[0].toStdString();
    EXPECT_EQ(figures()[1], QStringLiteral("Blocks lost: 0"));
    prompts_.FileNames = {wave};
    find<QAction>(QStringLiteral("SaveWaveformFile1"))->trigger();
    ASSERT_TRUE(saveEnded());
    ASSERT_TRUE(QFile::exists(wave));

    const struct {
        const char* action;
        QString file;
    } shown[] = {{"OpenRecording1", recording}, {"Loadwaveformfile1", wave}};  // the file's channels for the next RUN
    for (const auto& s : shown) {
        SCOPED_TRACE(s.action);
        prompts_.FileNames = {s.file};
        find<QAction>(QLatin1String(s.action))->trigger();
        ASSERT_TRUE(form_->display().ShowsFile());
        EXPECT_EQ(figures(), cleared);
    }
    ASSERT_TRUE(run());
    ASSERT_TRUE(tickUntil([&] { return session_.Health().SetsPerSecond > 0; }));
    EXPECT_NE(figures()[0], cleared[0]);
    EXPECT_EQ(figures()[1], QStringLiteral("Blocks lost: 0"));
    click("Button2");
}

TEST_F(CaptureTest, TheRecordSwitchRecordsFromRunUntilStop) {
    startDrive({}, 4.0);
    typeAddress(1, QStringLiteral("1234"));
    ScratchFolder folder;
    const QString file = QString::fromStdString(folder.PathOf("run.csv"));
    prompts_.FileNames = {file};
    find<QAction>(QStringLiteral("Record1"))->trigger();
    auto* button = find<QToolButton>(QStringLiteral("RecordButton"));
    EXPECT_TRUE(button->isChecked()) << "the tool bar mirrors the menu";
    ASSERT_TRUE(run());
    EXPECT_TRUE(button->isEnabled()) << "usable while the File menu is locked";
    ASSERT_TRUE(tickUntil([&] { return record().NextSample >= 1000; }));
    EXPECT_TRUE(find<QLabel>(QStringLiteral("RecordLabel"))->text().startsWith(QStringLiteral("Recording run.csv")));
    click("Button2");
    EXPECT_FALSE(button->isChecked()) << "STOP ends the recording";
    EXPECT_FALSE(find<QAction>(QStringLiteral("Record1"))->isChecked());
    QFile recorded(file);
    ASSERT_TRUE(recorded.open(QIODevice::ReadOnly));
    EXPECT_EQ(recorded.readAll().count('\n'), record().NextSample + 1) << "the header and every set";
}

}  // namespace
}  // namespace altrix::testing
