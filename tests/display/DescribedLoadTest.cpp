// A waveform file with its description loaded into the display: what the file knows comes
// back, the user's trigger setup stays until the capture's own is applied, and a saved copy of
// the loaded capture still names the trigger it was taken with.

#include "ScopeDisplay.h"

#include "Presets.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

#include <string>

namespace altrix::testing {
namespace {

TEST(DescribedLoadTest, TheFileGivesItsCaptureTheUserKeepsTheTriggerSetupUntilApplied) {
    CaptureSession session;
    ScopeDisplay display(session);
    // The user's setup: channel 1 at an address of its own, reference 1 named, a Fast drawing,
    // and an AND trigger with a holdoff.
    display.SetChannelAddress(1, QStringLiteral("1234"));
    display.SetGain(1, QStringLiteral("2"));
    display.SetReferenceSource(1, QStringLiteral("before"));
    display.ChooseDrawingMode(DrawingMode::Fast);
    TriggerSettings users{TriggerMode::Normal, 1, TriggerCondition::Rising, "12.5", 0, 40};
    users.HoldoffMs = 250;
    users.Join = TriggerJoin::And;
    users.Second = {3, TriggerCondition::Falling, "-3", "0", 0};
    display.SetTrigger(users);
    const CaptureDescription before = display.Describe("1");

    CaptureDescription file;
    file.Channels[0] = {true, std::string(kQuantityPresets[2].ItemText), "9042", "0.1", "10"};
    file.Channels[1] = {true, "", "12ab", "0.5", "0.5"};
    file.Channels[2] = {false, "", "9004", "0.01", "1"};
    file.References[0] = {"file's ref", "3", "2"};
    file.DrawingMode = static_cast<int>(DrawingMode::Envelope);
    file.Trigger = {TriggerMode::Single, 2, TriggerCondition::Either, "3.5", 0, 25};
    file.TriggerPosition = 42000;
    file.TriggerSeconds = "8.4002";
    file.DriveTypeCode = 17;
    file.StartUtc = "2026-12-07T16:30:00.125Z";
    file.EndUtc = "2026-12-07T16:30:30.000Z";
    file.ProgramVersion = "1";
    file.Note = "bearing noise";

    QSignalSpy triggerChanged(&display, &ScopeDisplay::triggerChanged);
    display.ShowLoadedTraces();
    display.ShowDescribedCapture(file);
    EXPECT_EQ(display.Trigger(), users) << "the user's trigger setup stays";
    ASSERT_TRUE(display.Facts().Trigger);
    EXPECT_EQ(*display.Facts().Trigger, file.Trigger);
    EXPECT_FALSE(triggerChanged.isEmpty()) << "the command that applies it learns of it";

    // What a save of the loaded capture describes: the file's channels, drawing mode, trigger
    // and facts; the references as the user set them (their traces are not in the file).
    const CaptureDescription after = display.Describe("1");
    for (std::size_t c = 0; c < kChannelCount; ++c) EXPECT_EQ(after.Channels[c], file.Channels[c]) << c;
    EXPECT_EQ(after.References, before.References);
    EXPECT_EQ(after.DrawingMode, file.DrawingMode);
    EXPECT_EQ(display.Mode(), DrawingMode::Envelope);
    EXPECT_EQ(after.Trigger, file.Trigger) << "taken with its own trigger";
    EXPECT_EQ(after.TriggerPosition, file.TriggerPosition);
    EXPECT_EQ(after.TriggerSeconds, file.TriggerSeconds);
    EXPECT_EQ(after.DriveTypeCode, file.DriveTypeCode);
    EXPECT_EQ(after.StartUtc, file.StartUtc);
    EXPECT_EQ(after.EndUtc, file.EndUtc);
    EXPECT_EQ(after.Note, file.Note);

    // Applied when asked; a bare file then names no trigger to apply.
    triggerChanged.clear();
    EXPECT_TRUE(display.ApplyCapturedTrigger());
    EXPECT_EQ(display.Trigger(), file.Trigger);
    EXPECT_EQ(triggerChanged.size(), 1);
    display.SetTrigger(users);
    display.ShowLoadedTraces();
    EXPECT_FALSE(display.Facts().Trigger);
    EXPECT_FALSE(display.ApplyCapturedTrigger());
    EXPECT_EQ(display.Trigger(), users);
    EXPECT_EQ(display.Describe("1").Trigger, users) << "a bare file's capture: the setup on show";
}

}  // namespace
}  // namespace altrix::testing
