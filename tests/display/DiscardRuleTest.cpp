// When replacing the capture on show loses sets no file holds (the question before RUN, a load
// or closing): the rule over where the capture is kept, and, against the simulated drive, the
// display following the capture's recordings and saved events.

#include "CaptureFactsKeeper.h"

#include "DriveTestSupport.h"
#include "RecordingSwitch.h"
#include "ScopeDisplay.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <optional>

namespace altrix::testing {
namespace {

TEST(DiscardRuleTest, OnlyASetNoFileHoldsMakesTheCaptureWorthAsking) {
    constexpr std::int64_t kRolled = 300000;           // sets taken by a capture whose window rolled on
    constexpr std::int64_t kFirst = kRolled - 100000;  // its window's first set
    const struct {
        const char* name;
        CaptureCopies copies;
        bool onlyOnScreen;
    } rows[] = {
        {"taken, kept nowhere", {true, 5000, -95000, std::nullopt, false}, true},
        {"rolled on, kept nowhere", {true, kRolled, kFirst, std::nullopt, false}, true},
        {"saved to a file, or loaded from one", {false, kRolled, kFirst, std::nullopt, false}, false},
        {"RUN took no set", {true, 0, -100000, std::nullopt, false}, false},
        {"recorded from RUN", {true, 5000, -95000, 0, false}, false},
        {"recorded from RUN, the window rolled on", {true, kRolled, kFirst, 0, false}, false},
        {"recorded from the window's first set", {true, kRolled, kFirst, kFirst, false}, false},
        {"recorded from the set after the window's first", {true, kRolled, kFirst, kFirst + 1, true}, false},
        {"recorded from the set after the window's first, no event", {true, kRolled, kFirst, kFirst + 1, false}, true},
        {"recorded from the second set of a window not yet full", {true, 5000, -95000, 1, false}, true},
        {"the window on show is a saved event's", {true, kRolled, kFirst, std::nullopt, true}, false},
    };
    for (const auto& row : rows) EXPECT_EQ(OnlyOnScreen(row.copies), row.onlyOnScreen) << row.name;
}

// A capture of the DC bus; a Normal trigger on the PID reference, which steps between 40 % and
// 60 % every 5 s, with the trigger set as the window's last, so that each window completes at
// its trigger and the first can come at set 99999.
TEST(DiscardRuleTest, TheDisplayFollowsWhereTheCaptureGoes) {
    enum class Recording { None, AtRun, AfterFirstSets, OffBeforeStop };
    const struct {
        const char* name;
        const char* file;  // recorded to, by its suffix a recording file or CSV
        Recording recording;
        bool triggered;
        bool savingEvents;
        std::int64_t sets;  // taken before STOP
        bool onlyOnScreen;
    } rows[] = {
        {"no set taken", "", Recording::None, false, false, 0, false},
        {"taken, kept nowhere", "", Recording::None, false, false, 5000, true},
        {"recorded to a recording file from RUN to STOP", "run.arec", Recording::AtRun, false, false, 5000, false},
        {"recorded to CSV from RUN to STOP", "run.csv", Recording::AtRun, false, false, 5000, false},
        {"recorded after the first sets", "run.arec", Recording::AfterFirstSets, false, false, 5000, true},
        {"recording switched off before STOP", "run.csv", Recording::OffBeforeStop, false, false, 5000, true},
        {"every event saved, one on show", "", Recording::None, true, true, 130000, false},
        {"events caught, not saved", "", Recording::None, true, false, 130000, true},
    };
    RunningDrive drive({}, 10.0);
    ASSERT_TRUE(drive.Started()) << drive.Error();
    CaptureSession session;
    ScopeDisplay display(session);
    display.SetChannelAddress(1, QStringLiteral("9042"));
    display.SetChannelAddress(2, QStringLiteral("901a"));
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        QTemporaryDir dir;
        display.SetTrigger(row.triggered ? TriggerSettings{TriggerMode::Normal, 2, TriggerCondition::Either, "50", 0, 100}
                                         : TriggerSettings{});
        const ScopeDisplay::RunSetup run = display.CaptureSetupForRun();
        ASSERT_TRUE(run.Setup);
        const auto take = [&](std::int64_t sets) {
            return WaitUntil([&] {
                if (static_cast<std::int64_t>(session.record().SetCount) >= sets) return true;
                session.Tick();
                return false;
            }, std::chrono::seconds(30));
        };
        RecordingSwitch recording;
        recording.Choose(row.recording == Recording::None ? QString() : dir.filePath(QLatin1String(row.file)));
        ASSERT_TRUE(session.Start(drive.Link(), *run.Setup));
        if (row.savingEvents)
            ASSERT_EQ(session.StartSavingEvents(dir.path().toStdString(), {}, display.Describe("1"), '.'), "");
        if (row.recording == Recording::AfterFirstSets) ASSERT_TRUE(take(1));
        ASSERT_EQ(recording.Start(session, display, "1", QDateTime::currentDateTimeUtc()), QString());
        ASSERT_TRUE(take(row.sets / 2));
        if (row.recording == Recording::OffBeforeStop) session.StopRecording();
        ASSERT_TRUE(take(row.sets));
        session.Stop();
        if (row.triggered) ASSERT_GE(display.Facts().TriggerPosition, 0) << "a trigger's window on show";
        EXPECT_EQ(display.CaptureOnlyOnScreen(), row.onlyOnScreen);
        display.MarkSaved();
        EXPECT_FALSE(display.CaptureOnlyOnScreen()) << "saved";
    }
}

}  // namespace
}  // namespace altrix::testing
