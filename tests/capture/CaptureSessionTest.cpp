// CaptureSession against the simulated drive, with no widget: the start exchange's bytes, the
// decoded traces, STOP, Type Identify, and every way the link can refuse a start.

#include "CaptureSession.h"
#include "DriveModel.h"
#include "DriveTestSupport.h"
#include "Readout.h"
#include "WaveformFile.h"
#include "RecordingReader.h"

#include <QSignalSpy>

#include <fcntl.h>
#include <sys/resource.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <array>
#include <thread>

namespace altrix::testing {
namespace {

const ChannelAddresses kChannels{0x9004, 0x1234, 0x9042, 0xabcd};
const Bytes kStreamReset{0x3A, 0x3A};

// Checks that the recording at `path` holds the drive's model set by set; its sets.
std::int64_t ExpectModelSets(const std::string& path) {
    const RecordingReader::Opened opened = RecordingReader::Open(path);
    EXPECT_TRUE(opened.Reader) << opened.Error;
    if (!opened.Reader) return -1;
    EXPECT_TRUE(opened.Reader->Gaps().empty());
    const std::int64_t sets = opened.Reader->Sets();
    std::vector<std::int16_t> got(static_cast<std::size_t>(sets) * kChannelCount);
    EXPECT_TRUE(opened.Reader->ReadSets(0, sets, got));
    for (std::int64_t n = 0; n < sets; ++n)
        for (int c = 0; c < kChannelCount; ++c)
            if (got[static_cast<std::size_t>(n * kChannelCount + c)] != sim::SampleValue(kChannels[c], static_cast<std::uint64_t>(n))) {
                ADD_FAILURE() << "set " << n << " channel " << c + 1;
                return sets;
            }
    return sets;
}

class CaptureSessionTest : public ::testing::Test {
protected:
    void startDrive(sim::DriveOptions options = {}, double speed = 4.0) {
        drive_ = std::make_unique<RunningDrive>(options, speed);
        ASSERT_TRUE(drive_->Started()) << drive_->Error();
    }
    Bytes received() const { return Values(drive_->Drive->Received()); }
    bool tickUntil(int sets) {
        return WaitUntil([&] {
            session_.Tick();
            return session_.record().NextSample >= sets;
        });
    }

    CaptureSession session_;
    std::unique_ptr<RunningDrive> drive_;
};

TEST_F(CaptureSessionTest, RunsACaptureFromStartToStop) {
    startDrive();
    QSignalSpy started(&session_, &CaptureSession::started);
    QSignalSpy ticked(&session_, &CaptureSession::ticked);
    QSignalSpy stopped(&session_, &CaptureSession::stopped);
    // Channel 2 is switched off: its words are consumed but not stored.
    const CaptureSetup setup{kChannels, {true, false, true, true}};
    ASSERT_TRUE(session_.Start(drive_->Link(), setup));
    EXPECT_TRUE(session_.IsRunning());
    EXPECT_TRUE(session_.port().PortOpen);
    EXPECT_EQ(started.count(), 1);
    const Bytes exchange = StartExchange(kChannels);
    ASSERT_TRUE(drive_->Drive->WaitForReceived(exchange.size(), kWaitLimit));
    EXPECT_EQ(received(), exchange);
    ASSERT_TRUE(WaitUntil([&] { return drive_->Drive->Streaming(); }));

    ASSERT_TRUE(tickUntil(2000));
    const CaptureRecord& rec = session_.record();
    int reported = 0;
    for (const QList<QVariant>& tick : ticked) reported += tick[0].toInt();
    EXPECT_EQ(reported, rec.NextSample);
    for (int k = 1; k <= kChannelCount; ++k)
        for (int slot = 0; slot < rec.NextSample; ++slot)
            ASSERT_EQ(rec.ChannelTrace[k - 1][slot],
                      setup.Enabled[k - 1] ? sim::SampleValue(kChannels[k - 1], static_cast<std::uint64_t>(slot)) : 0)
                << "channel " << k << " slot " << slot;
    EXPECT_FALSE(rec.DataError);

    const std::size_t sentBeforeStop = received().size();
    session_.Stop();
    EXPECT_EQ(stopped.count(), 1);
    EXPECT_FALSE(session_.IsRunning());
    EXPECT_FALSE(session_.port().IsOpen());
    EXPECT_FALSE(session_.port().PortOpen);
    ASSERT_TRUE(drive_->Drive->WaitForReceived(sentBeforeStop + 2, kWaitLimit));
    const Bytes all = received();
    EXPECT_EQ(Bytes(all.begin() + static_cast<std::ptrdiff_t>(sentBeforeStop), all.end()), kStreamReset);
}

TEST_F(CaptureSessionTest, IdentifyReportsTheTypeCodeAndClosesThePort) {
    sim::DriveOptions options;
    options.TypeCode = 33;
    startDrive(options);
    QSignalSpy identified(&session_, &CaptureSession::identified);
    session_.Identify(drive_->Link());
    ASSERT_EQ(identified.count(), 1);
    EXPECT_EQ(identified[0][0].toInt(), 33);
    EXPECT_EQ(session_.record().DriveTypeCode, 33);
    EXPECT_FALSE(session_.port().IsOpen());
    EXPECT_FALSE(session_.IsRunning());
}

// A pseudo-terminal whose other side never writes: a drive that has gone quiet.
class QuietTerminal {
public:
    QuietTerminal() {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ >= 0 && ::grantpt(master_) == 0 && ::unlockpt(master_) == 0) path_ = ::ptsname(master_);
    }
    ~QuietTerminal() {
        if (master_ >= 0) ::close(master_);
    }
    const std::string& Path() const { return path_; }

private:
    int master_ = -1;
    std::string path_;
};

TEST_F(CaptureSessionTest, ALinkSilentForASecondEndsTheCaptureAsStopDoes) {
    QuietTerminal quiet;
    ASSERT_FALSE(quiet.Path().empty());
    QSignalSpy stopped(&session_, &CaptureSession::stopped);
    QSignalSpy lost(&session_, &CaptureSession::linkLost);
    ASSERT_TRUE(session_.Start(quiet.Path(), {kChannels, {true, true, true, true}}));
    session_.Tick();
    EXPECT_TRUE(session_.IsRunning()) << "silence shorter than the limit is no loss";
    EXPECT_TRUE(WaitUntil([&] {
        session_.Tick();
        return !session_.IsRunning();
    }));
    EXPECT_EQ(stopped.count(), 1);
    ASSERT_EQ(lost.count(), 1);
    EXPECT_GE(session_.Health().SecondsSinceLastByte, 1.0);
    EXPECT_FALSE(session_.port().IsOpen());
}

// The lines of a text file, without their CR LF ends.
std::vector<std::string> LinesOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

// The recording's line of set n, as the drive's model has it: time (of set `at`, n unless
// given), then the four channels, and 0 under "gap": a set received.
std::string ModelLine(std::uint64_t n, std::uint64_t at = ~0ull) {
    at = at == ~0ull ? n : at;
    std::string line = at == 0 ? "0" : FormatSeconds(static_cast<double>(at) * kSamplePeriodSeconds, '.');
    for (std::uint16_t address : kChannels) line += "," + std::to_string(sim::SampleValue(address, n));
    return line + ",0";
}

TEST_F(CaptureSessionTest, AutoReconnectCarriesOnAfterAReplugWithTheGapFilledAndMarked) {
    sim::PtySettings settings;
    settings.Speed = 1.0;
    settings.UnplugAfter = 500ms;
    settings.ReplugAfter = 1500ms;
    drive_ = std::make_unique<RunningDrive>(settings);
    ASSERT_TRUE(drive_->Started()) << drive_->Error();
    QSignalSpy reconnecting(&session_, &CaptureSession::reconnecting);
    QSignalSpy reconnected(&session_, &CaptureSession::reconnected);
    QSignalSpy lost(&session_, &CaptureSession::linkLost);
    session_.SetAutoReconnect(true);
    const CaptureSetup setup{kChannels, {true, true, true, true}};
    ASSERT_TRUE(session_.Start(drive_->Link(), setup));
    const std::string path = drive_->Folder.PathOf("recording.csv");
    ASSERT_EQ(session_.StartRecording(path, {{"A", "1"}, {"B", "1"}, {"C", "1"}, {"D", "1"}}), "");
    const std::string arec = drive_->Folder.PathOf("recording.arec");
    ASSERT_EQ(session_.StartLongRecording(arec, {}), "");
    ASSERT_TRUE(WaitUntil([&] {
        session_.Tick();
        QCoreApplication::processEvents();
        return reconnected.count() == 1 && session_.record().Health.BlocksDecoded > 200;
    }, 10s));
    EXPECT_EQ(reconnecting.count(), 1);
    EXPECT_EQ(lost.count(), 0);
    EXPECT_TRUE(session_.IsRunning());
    const CaptureRecord& rec = session_.record();
    ASSERT_EQ(rec.GapCount, 1u);
    const TraceGap gap = rec.Gaps[0];
    // About the time without a stream: the unplug, the silence limit and the retries.
    EXPECT_GE(gap.Sets, 5000);
    // Before the gap the first stream, after it the new one from its first set, each in place.
    for (int slot = 0; slot < gap.FirstSlot; ++slot)
        ASSERT_EQ(rec.ChannelTrace[0][slot], sim::SampleValue(kChannels[0], static_cast<std::uint64_t>(slot))) << slot;
    for (int slot = gap.FirstSlot; slot < gap.FirstSlot + gap.Sets; ++slot)
        ASSERT_EQ(rec.ChannelTrace[0][slot], rec.ChannelTrace[0][gap.FirstSlot - 1]) << slot;
    for (int slot = gap.FirstSlot + gap.Sets; slot < rec.NextSample; ++slot)
        ASSERT_EQ(rec.ChannelTrace[0][slot],
                  sim::SampleValue(kChannels[0], static_cast<std::uint64_t>(slot - gap.FirstSlot - gap.Sets)))
            << slot;
    session_.Stop();
    EXPECT_FALSE(session_.IsRunning());
    // The recording holds the window's sets at the window's times, the gap's included.
    const std::vector<std::string> lines = LinesOf(path);
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(rec.NextSample) + 1);
    const int resumed = gap.FirstSlot + gap.Sets;
    EXPECT_EQ(lines[static_cast<std::size_t>(resumed) + 1], ModelLine(0, static_cast<std::uint64_t>(resumed)));
    // The recording file names the gap and the link's loss and return.
    const RecordingReader::Opened opened = RecordingReader::Open(arec);
    ASSERT_TRUE(opened.Reader) << opened.Error;
    ASSERT_EQ(opened.Reader->Sets(), rec.NextSample);
    ASSERT_EQ(opened.Reader->Gaps().size(), 1u);
    EXPECT_EQ(opened.Reader->Gaps()[0].FirstSet, gap.FirstSlot);
    EXPECT_EQ(opened.Reader->Gaps()[0].SetCount, gap.Sets);
    EXPECT_EQ(opened.Reader->Gaps()[0].Reason, "reconnect");
    // The link is lost at the gap's first set and back at the first set after it, in the
    // event list and in the file alike.
    const std::vector<std::pair<std::string, std::int64_t>> expected{{"link lost", gap.FirstSlot},
                                                                     {"reconnected", resumed}};
    std::vector<std::pair<std::string, std::int64_t>> listed, recorded;
    for (const CaptureEvent& e : session_.Events()) listed.emplace_back(e.Kind, e.Set);
    for (const RecordingEvent& e : opened.Reader->Events()) recorded.emplace_back(e.Kind, e.SetIndex);
    EXPECT_EQ(listed, expected);
    EXPECT_EQ(recorded, expected);
}

TEST_F(CaptureSessionTest, AStalledDriveIsNotBackUntilItsStreamArrives) {
    QuietTerminal quiet;  // takes the start exchange every time, never sends a byte
    QSignalSpy reconnecting(&session_, &CaptureSession::reconnecting);
    QSignalSpy reconnected(&session_, &CaptureSession::reconnected);
    session_.SetAutoReconnect(true);
    ASSERT_TRUE(session_.Start(quiet.Path(), {kChannels, {true, true, true, true}}));
    WaitUntil([&] {
        session_.Tick();
        return false;
    }, 4500ms);
    EXPECT_EQ(reconnecting.count(), 1);
    EXPECT_EQ(reconnected.count(), 0);
    EXPECT_TRUE(session_.Reconnecting());
    EXPECT_EQ(session_.record().GapCount, 0u);
    EXPECT_GE(session_.Health().SecondsSinceLastByte, 4.0);
    session_.Stop();
}

// Triggers on the simulated drive's PID reference, which steps up from 40 % to 60 % at 5 s, down
// at 10 s, up at 15 s, ...; with pre-trigger 50 % the first set that may trigger is the step at
// 10 s (set 50000). The drive runs at 10x.
class TriggerSessionTest : public CaptureSessionTest {
protected:
    static constexpr std::uint16_t kPidReference = 0x901a;
    static constexpr std::uint16_t kBusVolts = 0x9042;
    static constexpr std::int32_t kPre = 50000;

    // RUN with the trigger on the PID reference (channel 1) and the DC bus on channel 2.
    void run(TriggerMode mode, TriggerCondition condition, const char* level, int percent = 50) {
        startDrive({}, 10.0);
        CaptureSetup setup{{kPidReference, kBusVolts, 0x9000, 0x9000}, {true, true, false, false}};
        setup.Trigger = {mode, 1, condition, level, 0, percent};
        ASSERT_TRUE(session_.Start(drive_->Link(), setup));
    }
    // The first set from `from` on where the PID reference crosses 50 % (upwards only when
    // `rising`), by the drive's model.
    static std::int64_t StepFrom(std::int64_t from, bool rising = false) {
        const auto above = [](std::int64_t n) { return sim::SampleValue(kPidReference, static_cast<std::uint64_t>(n)) >= 50; };
        while (above(from) == above(from - 1) || (rising && !above(from))) ++from;
        return from;
    }
    // The shown window holds the sets around `trigger`, with `trigger` at position kPre.
    void expectWindowAround(std::int64_t trigger) {
        for (int k = 1; k <= 2; ++k) {
            const ChannelSamples& trace = session_.ShownTrace(k);
            for (int x = 0; x < kWindowPositions; ++x)
                ASSERT_EQ(trace[SlotOfPosition(session_.ShownNextSample(), x)],
                          sim::SampleValue(k == 1 ? kPidReference : kBusVolts, static_cast<std::uint64_t>(trigger - kPre + x)))
                    << "channel " << k << " position " << x;
        }
    }
    template <class Predicate>
    bool tickWhile(Predicate going) {
        return WaitUntil([&] { return !going() || (session_.Tick(), !going()); }, 30s);
    }
};

TEST_F(TriggerSessionTest, SingleStopsWithTheEventAtThePreTriggerPosition) {
    QSignalSpy states(&session_, &CaptureSession::triggerStateChanged);
    QSignalSpy moved(&session_, &CaptureSession::triggerMoved);
    QSignalSpy stopped(&session_, &CaptureSession::stopped);
    run(TriggerMode::Single, TriggerCondition::Rising, "50");
    ASSERT_TRUE(tickWhile([&] { return session_.IsRunning(); }));
    const std::int64_t trigger = StepFrom(kPre, true);  // the step at 15 s; the one at 5 s came while filling

    EXPECT_EQ(stopped.count(), 1);
    EXPECT_FALSE(session_.port().IsOpen());
    EXPECT_TRUE(WaitUntil([&] {
        const Bytes all = received();
        return Bytes(all.end() - 2, all.end()) == kStreamReset;  // after the start exchange's frames
    }));
    EXPECT_EQ(session_.ShownNextSample(), session_.record().NextSample);
    expectWindowAround(trigger);
    // Reported by RUN, two ticks and STOP.
    const std::array phases{TriggerPhase::Filling, TriggerPhase::Armed, TriggerPhase::Triggered, TriggerPhase::Triggered};
    ASSERT_EQ(states.count(), 4);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(states[i][0].value<TriggerPhase>(), phases[i]);
    EXPECT_DOUBLE_EQ(states.back()[1].toDouble(), static_cast<double>(trigger) * kSamplePeriodSeconds);
    // The line follows the trigger set while the window fills, and ends at the pre-trigger position.
    ASSERT_GE(moved.count(), 3);
    EXPECT_EQ(moved.first()[0].toInt(), -1);
    EXPECT_GT(moved[1][0].toInt(), kPre);
    EXPECT_EQ(moved.back()[0].toInt(), kPre);
}

TEST_F(TriggerSessionTest, NormalReplacesItsWindowOnTheNextEventAndStopKeepsIt) {
    QSignalSpy states(&session_, &CaptureSession::triggerStateChanged);
    run(TriggerMode::Normal, TriggerCondition::Either, "50");
    const std::int64_t first = StepFrom(kPre);
    const std::int64_t second = StepFrom(first + kNewestPosition - kPre + 1);
    ASSERT_TRUE(tickWhile([&] { return session_.ShownNextSample() == session_.record().NextSample; }));
    expectWindowAround(first);
    // The capture runs on behind the frozen window until the next event's window is complete.
    const std::int32_t firstShown = session_.ShownNextSample();
    ASSERT_TRUE(tickWhile([&] { return session_.ShownNextSample() == firstShown; }));
    EXPECT_TRUE(session_.IsRunning());
    expectWindowAround(second);

    session_.Stop();
    EXPECT_FALSE(session_.IsRunning());
    EXPECT_EQ(session_.ShownNextSample(), session_.record().NextSample);
    expectWindowAround(second);
    EXPECT_EQ(states.back()[0].value<TriggerPhase>(), TriggerPhase::Triggered);
    EXPECT_DOUBLE_EQ(states.back()[1].toDouble(), static_cast<double>(second) * kSamplePeriodSeconds);
}

TEST_F(TriggerSessionTest, StopWhileArmedEndsTheCaptureWithoutATrigger) {
    QSignalSpy states(&session_, &CaptureSession::triggerStateChanged);
    QSignalSpy moved(&session_, &CaptureSession::triggerMoved);
    run(TriggerMode::Single, TriggerCondition::Either, "70", 0);  // the reference never reaches 70 %
    ASSERT_TRUE(tickUntil(20000));
    EXPECT_EQ(states.back()[0].value<TriggerPhase>(), TriggerPhase::Armed);
    session_.Stop();
    EXPECT_FALSE(session_.IsRunning());
    EXPECT_FALSE(session_.port().IsOpen());
    EXPECT_EQ(states.back()[0].value<TriggerPhase>(), TriggerPhase::Off);
    EXPECT_EQ(moved.count(), 1);  // the line taken away at RUN, never drawn
}

// Saving every event: each window a Normal trigger completes goes to its own file while the
// folder takes it; a limit or a full disk ends the saving, never the capture.
TEST_F(TriggerSessionTest, NormalSavesEachEventsWindowToItsOwnFileUntilALimitOrAFullDisk) {
    const struct {
        const char* name;
        std::int64_t fileLimit;
        rlim_t fileSizeLimit;   // RLIM_INFINITY: the disk never fills
        std::size_t saved;      // of the two events
        const char* endedWith;  // the reason saving ended by itself; "" for none
    } cases[] = {
        {"EveryEventSaved", 1000, RLIM_INFINITY, 2, ""},
        {"TheFileLimit", 1, RLIM_INFINITY, 1, "the limit of 1 files was reached"},
        {"AFullDisk", 1000, 100000, 0, "unable to write "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::filesystem::path folder = std::filesystem::temp_directory_path() / ("altrix-events-" + std::to_string(::getpid()));
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
        QSignalSpy ended(&session_, &CaptureSession::eventSavingEnded);
        run(TriggerMode::Normal, TriggerCondition::Either, "50");
        CaptureDescription description;
        description.Trigger = session_.Setup().Trigger;
        ASSERT_EQ(session_.StartSavingEvents(folder.string(), {c.fileLimit}, description, '.'), "");
        rlimit before{};
        ::getrlimit(RLIMIT_FSIZE, &before);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = before;
        limit.rlim_cur = c.fileSizeLimit;
        ::setrlimit(RLIMIT_FSIZE, &limit);
        const std::int64_t first = StepFrom(kPre);
        const std::int64_t second = StepFrom(first + kNewestPosition - kPre + 1);
        const bool ticked = tickWhile([&] { return session_.EventSaving().Count().Caught < 2; });
        EXPECT_TRUE(session_.IsRunning()) << "the capture goes on";
        session_.Stop();
        ::setrlimit(RLIMIT_FSIZE, &before);
        std::signal(SIGXFSZ, oldHandler);
        ASSERT_TRUE(ticked);

        EXPECT_EQ(session_.EventSaving().Count(), (EventSaver::Counts{2, static_cast<std::int64_t>(c.saved), 2 - static_cast<std::int64_t>(c.saved)}));
        ASSERT_EQ(ended.count(), *c.endedWith ? 1 : 0);
        if (*c.endedWith) EXPECT_TRUE(ended[0][0].toString().startsWith(QLatin1String(c.endedWith))) << ended[0][0].toString().toStdString();
        // The event list names each trigger; a saved one its file, which holds the drive's sets
        // with the event at the pre-trigger position.
        const std::vector<CaptureEvent>& events = session_.Events();
        ASSERT_GE(events.size(), 2u);  // a third may have been found, its window not yet complete
        const std::int64_t triggers[] = {first, second};
        for (std::size_t e = 0; e < 2; ++e) {
            EXPECT_EQ(events[e].Set, triggers[e]);
            EXPECT_EQ(events[e].Source, "ch1 Either");
            ASSERT_EQ(events[e].File.empty(), e >= c.saved);
            if (events[e].File.empty()) continue;
            EXPECT_TRUE(events[e].File.ends_with("_ch1_either.wfd")) << events[e].File;
            const auto read = std::make_unique<CaptureRecord>();
            ASSERT_TRUE(ReadWaveformFile(*read, events[e].File).Ok);
            for (int x = 0; x < kWindowPositions; x += 7)
                ASSERT_EQ(read->ChannelTrace[0][SlotOfPosition(read->NextSample, x)],
                          sim::SampleValue(kPidReference, static_cast<std::uint64_t>(triggers[e] - kPre + x))) << x;
            const SidecarRead sidecar = ReadSidecar(events[e].File);
            ASSERT_EQ(sidecar.Status, SidecarStatus::Read) << sidecar.Problem;
            EXPECT_EQ(sidecar.Description.TriggerPosition, kPre);
        }
        std::filesystem::remove_all(folder);
    }
}

// The DC bus's ripple crosses 312 V many times a tick. With the trigger set before it (100 %)
// and no holdoff, each rising crossing completes its window in the tick it comes: every one is
// an event in the list and is counted as saved or not saved, none dropped.
TEST_F(CaptureSessionTest, EveryRisingCrossingInATickIsAnEventSavedOrCounted) {
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / ("altrix-every-" + std::to_string(::getpid()));
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    constexpr std::uint16_t kBus = 0x9042;
    startDrive({}, 10.0);
    CaptureSetup setup{{0x9004, kBus, 0x9000, 0x9000}, {true, true, false, false}};
    setup.Trigger = {TriggerMode::Normal, 2, TriggerCondition::Rising, "312", 0, 100};
    setup.Gains = {"", "0.1", "", ""};
    ASSERT_TRUE(session_.Start(drive_->Link(), setup));
    CaptureDescription description;
    description.Trigger = setup.Trigger;
    ASSERT_EQ(session_.StartSavingEvents(folder.string(), {2}, description, '.'), "");
    ASSERT_TRUE(tickUntil(160000));
    session_.Stop();
    const std::int64_t sets = static_cast<std::int64_t>(session_.record().SetCount);

    // By the model: sample x 0.1 >= 312 first holds at a set after one where it did not; the
    // first set that may trigger is 99999, the one with all 99999 sets before it.
    std::vector<std::int64_t> crossings;
    const auto above = [](std::int64_t n) { return sim::SampleValue(kBus, static_cast<std::uint64_t>(n)) >= 3120; };
    for (std::int64_t n = kNewestPosition; n < sets; ++n)
        if (above(n) && !above(n - 1)) crossings.push_back(n);
    ASSERT_GT(crossings.size(), 200u) << "several a tick";
    std::vector<std::int64_t> events;
    for (const CaptureEvent& e : session_.Events())
        if (e.Kind == "trigger") events.push_back(e.Set);
    EXPECT_EQ(events, crossings);
    const EventSaver::Counts counts = session_.EventSaving().Count();
    EXPECT_EQ(counts.Caught, static_cast<std::int64_t>(crossings.size()));
    EXPECT_EQ(counts.Saved, 2);
    EXPECT_EQ(counts.Saved + counts.NotSaved, counts.Caught);
    // The saved files hold their own windows: each ends at its trigger.
    for (const CaptureEvent& e : session_.Events()) {
        if (e.File.empty()) continue;
        const auto read = std::make_unique<CaptureRecord>();
        ASSERT_TRUE(ReadWaveformFile(*read, e.File).Ok);
        for (int x = 0; x < kWindowPositions; x += 997)
            ASSERT_EQ(read->ChannelTrace[1][SlotOfPosition(read->NextSample, x)],
                      sim::SampleValue(kBus, static_cast<std::uint64_t>(e.Set - kNewestPosition + x))) << x;
    }
    std::filesystem::remove_all(folder);
}

struct RecordingCase {
    const char* name;
    rlim_t fileSizeLimit;  // RLIM_INFINITY: the disk never fills
    bool deleted;          // the file is deleted once the recording runs
};
void PrintTo(const RecordingCase& c, std::ostream* os) { *os << c.name; }

class RecordingTest : public CaptureSessionTest, public ::testing::WithParamInterface<RecordingCase> {};

TEST_P(RecordingTest, HoldsEverySetInOrderOrEndsOnAWholeLineOrSaysTheFileWentAway) {
    const bool full = GetParam().fileSizeLimit != RLIM_INFINITY, deleted = GetParam().deleted;
    startDrive();
    const std::string path = drive_->Folder.PathOf("recording.csv");
    QSignalSpy ended(&session_, &CaptureSession::recordingEnded);
    ASSERT_TRUE(session_.Start(drive_->Link(), {kChannels, {true, true, true, true}}));
    const std::vector<CsvColumn> columns{{"A", "1"}, {"B", "1"}, {"C", "1"}, {"D", "1"}};
    ASSERT_EQ(session_.StartRecording(path, columns), "");
    if (deleted) std::filesystem::remove(path);
    rlimit before{};
    ::getrlimit(RLIMIT_FSIZE, &before);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);  // a write past the limit fails instead
    rlimit limit = before;
    limit.rlim_cur = GetParam().fileSizeLimit;
    ::setrlimit(RLIMIT_FSIZE, &limit);
    const bool ticked = tickUntil(10000);
    ::setrlimit(RLIMIT_FSIZE, &before);
    std::signal(SIGXFSZ, oldHandler);
    ASSERT_TRUE(ticked);
    EXPECT_TRUE(session_.IsRunning()) << "the capture goes on";
    session_.Stop();

    ASSERT_EQ(ended.count(), 1);
    EXPECT_EQ(ended[0][0].toString().isEmpty(), !full && !deleted);
    if (deleted) return;
    std::ifstream raw(path, std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(raw), {}};
    EXPECT_TRUE(text.ends_with("\r\n")) << "the file ends on a whole line";
    const std::vector<std::string> lines = LinesOf(path);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], "time_s,A,B,C,D,gap");
    const std::size_t sets = lines.size() - 1;
    EXPECT_EQ(session_.Recording().Sets(), sets);
    if (full)
        EXPECT_LE(sets * 20, GetParam().fileSizeLimit) << "ended at the limit";
    else
        EXPECT_EQ(sets, static_cast<std::size_t>(session_.record().NextSample));
    for (std::size_t n = 0; n < sets; ++n) ASSERT_EQ(lines[n + 1], ModelLine(n)) << n;
}

INSTANTIATE_TEST_SUITE_P(Capture, RecordingTest,
                         ::testing::Values(RecordingCase{"DiskNeverFull", RLIM_INFINITY, false},
                                           RecordingCase{"DiskFullAfter64kB", 64 * 1024, false},
                                           RecordingCase{"FileDeleted", RLIM_INFINITY, true}),
                         [](const auto& info) { return std::string(info.param.name); });

class LongRecordingTest : public CaptureSessionTest, public ::testing::WithParamInterface<RecordingCase> {};

TEST_P(LongRecordingTest, HoldsEverySetOfTheDriveAtItsIndexOrEndsCleanlyOnAFullDisk) {
    const bool full = GetParam().fileSizeLimit != RLIM_INFINITY;
    startDrive();
    const std::string path = drive_->Folder.PathOf("recording.arec");
    QSignalSpy ended(&session_, &CaptureSession::recordingEnded);
    ASSERT_TRUE(session_.Start(drive_->Link(), {kChannels, {true, true, true, true}}));
    ASSERT_EQ(session_.StartLongRecording(path, {}), "");
    rlimit before{};
    ::getrlimit(RLIMIT_FSIZE, &before);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = before;
    limit.rlim_cur = GetParam().fileSizeLimit;
    ::setrlimit(RLIMIT_FSIZE, &limit);
    // Three seconds at four times the drive's pace: three commits.
    const bool ticked = tickUntil(60000);
    session_.Stop();
    ::setrlimit(RLIMIT_FSIZE, &before);
    std::signal(SIGXFSZ, oldHandler);
    ASSERT_TRUE(ticked);
    ASSERT_EQ(ended.count(), 1);
    EXPECT_EQ(ended[0][0].toString().isEmpty(), !full) << ended[0][0].toString().toStdString();

    const std::int64_t sets = ExpectModelSets(path);
    EXPECT_EQ(static_cast<std::uint64_t>(sets), session_.LongRecording().Sets());
    if (full)
        EXPECT_LT(sets, session_.record().NextSample) << "ended at the limit";
    else
        EXPECT_EQ(sets, session_.record().NextSample);
}

// The window's thread held for three seconds (a redraw that does not end) while the drive
// streams twelve times its pace: more than the port's queue holds. The reader goes on.
TEST_F(CaptureSessionTest, AWindowHeldForThreeSecondsLosesNoSet) {
    startDrive({}, 12.0);
    const std::string path = drive_->Folder.PathOf("recording.arec");
    ASSERT_TRUE(session_.Start(drive_->Link(), {kChannels, {true, true, true, true}}));
    ASSERT_EQ(session_.StartLongRecording(path, {}), "");
    bool held = false;
    QObject::connect(&session_, &CaptureSession::ticked, [&](int newSets) {
        if (held || newSets == 0) return;
        held = true;
        std::this_thread::sleep_for(3s);
    });
    constexpr std::uint64_t kSets = 250000;  // about four seconds at this pace
    const bool ticked = WaitUntil([&] {
        session_.Tick();
        return session_.record().SetCount >= kSets;
    }, 20s);
    session_.Stop();
    ASSERT_TRUE(held && ticked);
    EXPECT_EQ(session_.Health().BlocksLost, 0u);
    EXPECT_EQ(session_.Health().BytesDiscarded, 0u);
    EXPECT_EQ(session_.record().GapCount, 0u);
    EXPECT_EQ(static_cast<std::uint64_t>(ExpectModelSets(path)), session_.record().SetCount);
}

INSTANTIATE_TEST_SUITE_P(Capture, LongRecordingTest,
                         ::testing::Values(RecordingCase{"DiskNeverFull", RLIM_INFINITY, false},
                                           RecordingCase{"DiskFullAfter300kB", 300 * 1024, false}),
                         [](const auto& info) { return std::string(info.param.name); });

// A pseudo-terminal whose other side never reads, its output queue already full: the port
// opens, but no byte leaves.
class StalledTerminal {
public:
    StalledTerminal() {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) return;
        path_ = ::ptsname(master_);
        filler_ = ::open(path_.c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK);
        // The kernel moves queued bytes on to the other side in the background: the queue is
        // full once it has taken nothing for a while.
        const Bytes chunk(4096, 0x55);
        for (int idle = 0; filler_ >= 0 && idle < 5;) {
            idle = ::write(filler_, chunk.data(), chunk.size()) > 0 ? 0 : idle + 1;
            if (idle > 0) std::this_thread::sleep_for(20ms);
        }
    }
    ~StalledTerminal() {
        if (filler_ >= 0) ::close(filler_);
        if (master_ >= 0) ::close(master_);
    }
    const std::string& Path() const { return path_; }

private:
    int master_ = -1;
    int filler_ = -1;
    std::string path_;
};

enum class Command { Run, Identify };
enum class Link { Missing, RefusedSettings, Stalled };
struct RefusedCase {
    const char* name;
    Command command;
    Link link;
    LinkFailure failure;
};
void PrintTo(const RefusedCase& c, std::ostream* os) { *os << c.name; }

class RefusedLinkTest : public CaptureSessionTest, public ::testing::WithParamInterface<RefusedCase> {};

TEST_P(RefusedLinkTest, ReportsWhyAndLeavesTheCaptureAsItWas) {
    const RefusedCase& c = GetParam();
    startDrive();
    StalledTerminal stalled;
    std::string port = drive_->Link();
    if (c.link == Link::Missing) port = drive_->Folder.PathOf("no-such-device");
    if (c.link == Link::RefusedSettings) session_.record().BaudRate = 0;
    if (c.link == Link::Stalled) port = stalled.Path();
    CaptureRecord& rec = session_.record();
    rec.NextSample = 777;
    for (ChannelSamples& trace : rec.ChannelTrace) trace.fill(7);

    QSignalSpy failed(&session_, &CaptureSession::linkFailed);
    QSignalSpy started(&session_, &CaptureSession::started);
    QSignalSpy identified(&session_, &CaptureSession::identified);
    if (c.command == Command::Run)
        EXPECT_FALSE(session_.Start(port, {kChannels, {true, true, true, true}}));
    else
        session_.Identify(port);

    ASSERT_EQ(failed.count(), 1);
    EXPECT_EQ(failed[0][0].value<LinkFailure>(), c.failure);
    EXPECT_EQ(started.count() + identified.count(), 0);
    EXPECT_FALSE(session_.IsRunning());
    EXPECT_FALSE(session_.port().IsOpen());
    EXPECT_FALSE(session_.port().PortOpen);
    EXPECT_EQ(rec.NextSample, 777);
    for (const ChannelSamples& trace : rec.ChannelTrace)
        EXPECT_TRUE(std::all_of(trace.begin(), trace.end(), [](std::int16_t s) { return s == 7; }));
    if (c.link != Link::Stalled) {
        EXPECT_TRUE(received().empty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Capture, RefusedLinkTest,
    ::testing::Values(RefusedCase{"RunOnAMissingDevice", Command::Run, Link::Missing, LinkFailure::DeviceError},
                      RefusedCase{"RunWithRefusedSettings", Command::Run, Link::RefusedSettings,
                                  LinkFailure::SettingsRefused},
                      RefusedCase{"RunOnAStalledPort", Command::Run, Link::Stalled, LinkFailure::ExchangeStalled},
                      RefusedCase{"IdentifyOnAMissingDevice", Command::Identify, Link::Missing,
                                  LinkFailure::DeviceError},
                      RefusedCase{"IdentifyOnAStalledPort", Command::Identify, Link::Stalled,
                                  LinkFailure::ExchangeStalled}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace altrix::testing
