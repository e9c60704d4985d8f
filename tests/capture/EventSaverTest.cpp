// The event saver apart from a capture: a name that is taken gets a number, never a file
// replaced; windows that come faster than the disk takes them are counted, never lost silently.

#include "EventSaver.h"
#include "WaveformFile.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <memory>
#include <thread>

namespace altrix::testing {
namespace {

TEST(EventSaverTest, ATakenNameGetsANumberAndEveryEventIsCountedAsSavedOrNot) {
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / ("altrix-saver-" + std::to_string(::getpid()));
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    auto traces = std::make_unique<ChannelTraces>();
    for (int slot = 0; slot < kTraceSlots; ++slot) (*traces)[1][slot] = static_cast<std::int16_t>(slot);
    CaptureDescription description;
    description.Trigger.Source = 2;
    EventSaver saver;
    const auto runAt = std::chrono::system_clock::now();
    ASSERT_EQ(saver.Start(folder.string(), {}, description, '.', runAt, 50000), "");
    // The same event twice, the second once the first is written.
    for (std::int64_t saved = 1; saved <= 2; ++saved) {
        saver.Save(*traces, 120000, 70000);
        while (saver.Count().Saved + saver.Count().NotSaved < saved) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    const std::vector<EventSaver::SavedEvent> files = saver.TakeSaved();
    ASSERT_EQ(files.size(), 2u);
    const std::string name = EventSaver::FileNameOf(runAt + std::chrono::milliseconds(14000), description.Trigger);
    EXPECT_EQ(files[0].Path, (folder / name).string());
    EXPECT_EQ(files[1].Path, (folder / (name.substr(0, name.size() - 4) + "-2.wfd")).string());
    // Slot 20000 of 120000's window shows at position 0.
    const auto read = std::make_unique<CaptureRecord>();
    ASSERT_TRUE(ReadWaveformFile(*read, files[1].Path).Ok);
    EXPECT_EQ(read->ChannelTrace[1][SlotOfPosition(read->NextSample, 0)], 20000);

    for (int e = 0; e < 20; ++e) saver.Save(*traces, 120000, 80000 + e);
    saver.Stop();
    const EventSaver::Counts counts = saver.Count();
    EXPECT_EQ(counts.Caught, 22);
    EXPECT_EQ(counts.Saved + counts.NotSaved, counts.Caught);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 2 * counts.Saved) << "a description each";
    std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace altrix::testing
