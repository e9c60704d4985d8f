// A waveform file saved while a recording is on show: the 100000 sets from the analysed
// stretch's first, slot by slot, zeros past the recording's end; a longer stretch refused.

#include "RecordingWindow.h"

#include "CaptureSession.h"
#include "RecordingSource.h"
#include "RecordingWriter.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace altrix::testing {
namespace {

// Set n of the recording on channel c.
std::int16_t Value(std::size_t c, std::int64_t n) {
    return static_cast<std::int16_t>((n * (c + 1)) % 30011);
}

TEST(RecordingWindowTest, SlotXHoldsTheSetAtTheStretchsFirstPlusXAndZerosPastTheEnd) {
    constexpr std::int64_t kSets = 150'000;
    QTemporaryDir dir;
    const std::string path = dir.filePath(QStringLiteral("w.arec")).toStdString();
    RecordingWriter writer;
    ASSERT_EQ(writer.Create(path, {"2026-12-07T03:00:00.000Z", "test", "", {}}), "");
    std::vector<std::int16_t> sets;
    for (std::int64_t n = 0; n < kSets; ++n)
        for (std::size_t c = 0; c < std::size_t{kRecordingChannels}; ++c) sets.push_back(Value(c, n));
    ASSERT_TRUE(writer.Write(sets));
    writer.Close();
    RecordingReader::Opened opened = RecordingReader::Open(path);
    ASSERT_TRUE(opened.Reader) << opened.Error;
    CaptureSession session;
    const RecordingSource source(std::move(opened.Reader), session.record(), path);

    const struct { PositionStretch stretch; std::int64_t tooLong; std::int64_t setsHeld; } cases[] = {
        {{10, 20}, 0, kWindowPositions},
        {{0, kWindowPositions - 1}, 0, kWindowPositions},
        {{120'000, 149'999}, 0, 30'000},
        {{0, kWindowPositions}, kWindowPositions + 1, 0},
    };
    for (const auto& c : cases) {
        const RecordingWindow made = WindowOfStretch(source, c.stretch);
        EXPECT_EQ(made.TooLong, c.tooLong) << c.stretch.First;
        ASSERT_EQ(made.Window != nullptr, c.tooLong == 0) << c.stretch.First;
        if (!made.Window) continue;
        EXPECT_EQ(made.Window->NextSample, kWindowPositions);
        for (std::size_t ch = 0; ch < std::size_t{kChannelCount}; ++ch)
            for (std::int64_t x : {std::int64_t{0}, c.setsHeld / 2, c.setsHeld - 1, c.setsHeld, std::int64_t{kNewestPosition}}) {
                if (x >= kWindowPositions) continue;
                const std::int16_t expected = x < c.setsHeld ? Value(ch, c.stretch.First + x) : 0;
                EXPECT_EQ(made.Window->ChannelTrace[ch][static_cast<std::size_t>(x)], expected) << c.stretch.First << " slot " << x;
            }
    }
}

}  // namespace
}  // namespace altrix::testing
