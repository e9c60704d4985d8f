#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "Presets.h"
#include "SimulatedDrive.h"
#include "ScopeProtocol.h"
#include "StreamDecoder.h"

namespace altrix {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr ChannelEnables kAllOn{true, true, true, true};
// Two sawtooth waves, a triangle wave and the DC bus voltage with its noise: values that
// change from set to set, so a shifted set shows.
const sim::ChannelAddresses kChannels{0x1230, 0x1231, 0x2340, 0x9004};

// The simulated drive's value for sample set `set` of channel c (0-based).
std::int16_t Word(std::int64_t set, int c) {
    return sim::SampleValue(kChannels[c], static_cast<std::uint64_t>(set));
}

// `blocks` good StreamBlocks starting with block `firstBlock` of a capture.
Bytes Blocks(int blocks, int firstBlock = 0) {
    Bytes bytes;
    for (int b = firstBlock; b < firstBlock + blocks; ++b) {
        const sim::StreamBlock block = sim::MakeStreamBlock(kChannels, static_cast<std::uint64_t>(b));
        bytes.insert(bytes.end(), block.begin(), block.end());
    }
    return bytes;
}

class StreamDecoderTest : public ::testing::Test {
protected:
    void SetUp() override {
        rec = std::make_unique<CaptureRecord>();
        ResetForRun(*rec);
    }
    void Feed(std::span<const std::uint8_t> bytes, const ChannelEnables& on = kAllOn) {
        StoreAndDecode(*rec, bytes, on);
    }
    void ExpectSets(int firstSet, int count, int firstSlot = 0) {
        for (int i = 0; i < count; ++i)
            for (int c = 0; c < 4; ++c)
                ASSERT_EQ(rec->ChannelTrace[c][(firstSlot + i) % kTraceSlots], Word(firstSet + i, c))
                    << "set " << firstSet + i << " channel " << c + 1;
    }
    std::unique_ptr<CaptureRecord> rec;
};

TEST_F(StreamDecoderTest, ExactlyOneBlockWaitsForTheNextBlockStart) {
    const auto bytes = Blocks(2);
    Feed(std::span(bytes).first(130));
    EXPECT_EQ(rec->NextSample, 0);
    EXPECT_EQ(rec->DecodedUpTo, 0);
    EXPECT_EQ(rec->LastBlockStart, 0);
    EXPECT_EQ(rec->RingWritePos, 130);

    Feed(std::span(bytes).subspan(130, 1));
    EXPECT_EQ(rec->NextSample, 16);
    EXPECT_EQ(rec->DecodedUpTo, 130);
    ExpectSets(0, 16);
}

TEST_F(StreamDecoderTest, ThousandBytesDecodeSevenBlocks) {
    const auto bytes = Blocks(8);
    Feed(std::span(bytes).first(1000));
    EXPECT_EQ(rec->NextSample, 112);
    EXPECT_EQ(rec->DecodedUpTo, 910);
    EXPECT_EQ(rec->LastBlockStart, 910);
    EXPECT_EQ(rec->ChannelPhase, 1);
    EXPECT_EQ(rec->Health.BlocksDecoded, 7u);
    ExpectSets(0, 112);
    EXPECT_FALSE(rec->DataError);
}

TEST_F(StreamDecoderTest, BlockSplitAcrossTicksDecodesInOnePiece) {
    const auto bytes = Blocks(4);
    // Cuts inside a word, inside a header and right after a block start.
    Feed(std::span(bytes).first(197));
    EXPECT_EQ(rec->NextSample, 16);
    Feed(std::span(bytes).subspan(197, 64));   // ends at 261: block 2 has begun
    EXPECT_EQ(rec->NextSample, 32);
    Feed(std::span(bytes).subspan(261));
    EXPECT_EQ(rec->NextSample, 48);            // the fourth block waits for a fifth start
    ExpectSets(0, 48);
}

TEST_F(StreamDecoderTest, DisabledChannelConsumesItsWordsWithoutStoringThem) {
    const auto bytes = Blocks(3);
    Feed(bytes, {true, false, true, true});
    ASSERT_EQ(rec->NextSample, 32);
    for (int set = 0; set < 32; ++set) {
        EXPECT_EQ(rec->ChannelTrace[0][set], Word(set, 0));
        EXPECT_EQ(rec->ChannelTrace[1][set], 0);
        EXPECT_EQ(rec->ChannelTrace[2][set], Word(set, 2));
        EXPECT_EQ(rec->ChannelTrace[3][set], Word(set, 3));
    }
}

TEST_F(StreamDecoderTest, NextSampleWrapsAfter200000Sets) {
    // 12500 blocks carry exactly 200000 sets; the ring wraps several times on the way.
    constexpr int kChunkBlocks = 500;
    for (int b = 0; b < 12500; b += kChunkBlocks) {
        const auto bytes = Blocks(kChunkBlocks, b);
        Feed(bytes);
    }
    // The last block waits for one more block start.
    EXPECT_EQ(rec->NextSample, 200000 - 16);
    const auto tail = Blocks(2, 12500);
    Feed(std::span(tail).first(1));
    EXPECT_EQ(rec->NextSample, 0);
    EXPECT_EQ(NewestSlot(rec->NextSample), 199999);
    EXPECT_EQ(rec->ChannelTrace[3][199999], Word(199999, 3));
    Feed(std::span(tail).subspan(1, 130));
    EXPECT_EQ(rec->NextSample, 16);
    ExpectSets(200000, 16, 0);  // overwrote the oldest slots
    EXPECT_FALSE(rec->DataError);
}

TEST_F(StreamDecoderTest, RingWrapsInTheMiddleOfATickWithoutLosingAByte) {
    // Bring the write position close to the ring's end, then feed across it.
    constexpr int kBlocksToEnd = kStreamRingBytes / kBlockBytes;  // 3000
    const auto lead = Blocks(kBlocksToEnd - 3);
    Feed(std::span(lead).first(1500 * 130));
    Feed(std::span(lead).subspan(1500 * 130));
    const int setsBefore = rec->NextSample;
    const auto across = Blocks(8, kBlocksToEnd - 3);
    Feed(across);
    EXPECT_LT(rec->RingWritePos, 8 * 130);
    EXPECT_EQ(rec->RingWritePos, (kStreamRingBytes - 3 * 130 + 8 * 130) % kStreamRingBytes);
    EXPECT_EQ(rec->NextSample, (kBlocksToEnd - 3 + 7) * 16);
    ExpectSets(setsBefore, rec->NextSample - setsBefore, setsBefore);
    EXPECT_FALSE(rec->DataError);
}

TEST_F(StreamDecoderTest, ResyncAcrossTheRingEndLeavesBlocksThatStraddleIt) {
    // Block 2999 loses a byte: the hunt for block 3000 and that block cross the ring's end.
    Bytes stream = Blocks(3010);
    stream.erase(stream.begin() + 2999 * 130 + 5);
    for (std::size_t at = 0; at < stream.size(); at += 2031)
        Feed(std::span(stream).subspan(at, std::min<std::size_t>(2031, stream.size() - at)));
    EXPECT_EQ(rec->Health.BlocksLost, 1u);
    ASSERT_EQ(rec->NextSample, 3009 * 16);
    ExpectSets(0, 2999 * 16);
    ExpectSets(3000 * 16, 9 * 16, 3000 * 16);
}

TEST_F(StreamDecoderTest, NoBytesDecodeNothing) {
    Feed({});
    EXPECT_EQ(rec->NextSample, 0);
    EXPECT_EQ(rec->RingWritePos, 0);
}

// A damaged stream of 16 blocks and what the decoder must make of it: blocks
// firstLost .. firstLost + lost - 1 are gone, the 16th block waits for a 17th.
struct Damage {
    const char* name;
    std::function<void(Bytes&)> apply;
    int firstLost;
    int lost;
    std::uint64_t discarded;
};

Bytes Garbage(std::size_t count) {
    Bytes bytes(count);
    for (std::size_t i = 0; i < count; ++i) bytes[i] = static_cast<std::uint8_t>((i * 73 + 11) % 251);
    return bytes;
}

std::vector<Damage> DamageCases() {
    std::vector<Damage> cases;
    // A byte lost at each offset of block 4: losing its counter byte also leaves block 3
    // unconfirmed, since its follower's counter is gone.
    for (int offset = 0; offset < kBlockBytes; ++offset) {
        const int firstLost = offset == 0 ? 3 : 4;
        const int lost = 5 - firstLost;
        cases.push_back({"byte lost in block 4",
                         [offset](Bytes& s) { s.erase(s.begin() + 4 * 130 + offset); },
                         firstLost, lost, static_cast<std::uint64_t>(lost * 130 - 1)});
    }
    cases.push_back({"first byte of the capture lost", [](Bytes& s) { s.erase(s.begin()); }, 0, 1, 129});
    cases.push_back({"extra byte in block 4",
                     [](Bytes& s) { s.insert(s.begin() + 4 * 130 + 77, 0x42); }, 4, 1, 131});
    cases.push_back({"bad marker in block 5", [](Bytes& s) { s[5 * 130 + 1] = sim::kBadBlockMarker; }, 5, 1, 130});
    cases.push_back({"bad counter in block 5", [](Bytes& s) { s[5 * 130] = 0x77; }, 4, 2, 260});
    cases.push_back({"garbage burst before block 5",
                     [g = Garbage(300)](Bytes& s) { s.insert(s.begin() + 5 * 130, g.begin(), g.end()); }, 4, 1, 430});
    cases.push_back({"garbage over blocks 6 and 7",
                     [g = Garbage(200)](Bytes& s) { std::copy(g.begin(), g.end(), s.begin() + 6 * 130 + 40); }, 6, 2, 260});
    cases.push_back({"drive skipped blocks 5 to 7",
                     [](Bytes& s) { s.erase(s.begin() + 5 * 130, s.begin() + 8 * 130); }, 5, 3, 0});
    return cases;
}

// Every case fed whole, in ticks that cut blocks and words, and a byte at a time.
TEST_F(StreamDecoderTest, DamagedStreamsResynchroniseWithEveryLaterSetInItsSlot) {
    for (const Damage& damage : DamageCases()) {
        for (const std::size_t tick : {std::size_t{100000}, std::size_t{131}, std::size_t{61}, std::size_t{1}}) {
            SCOPED_TRACE(::testing::Message() << damage.name << ", first lost " << damage.firstLost
                                              << ", ticks of " << tick << " bytes");
            SetUp();
            Bytes stream = Blocks(16);
            damage.apply(stream);
            for (std::size_t at = 0; at < stream.size(); at += tick)
                Feed(std::span(stream).subspan(at, std::min(tick, stream.size() - at)));

            EXPECT_TRUE(rec->DataError);
            EXPECT_EQ(rec->Health.Resyncs, 1u);
            EXPECT_EQ(rec->Health.BytesDiscarded, damage.discarded);
            EXPECT_EQ(rec->Health.BlocksLost, static_cast<std::uint64_t>(damage.lost));
            EXPECT_EQ(rec->Health.BlocksDecoded, static_cast<std::uint64_t>(15 - damage.lost));
            ASSERT_EQ(rec->NextSample, 15 * 16);
            ASSERT_EQ(rec->GapCount, 1u);
            EXPECT_EQ(rec->Gaps[0].FirstSlot, damage.firstLost * 16);
            EXPECT_EQ(rec->Gaps[0].Sets, damage.lost * 16);

            const int gapEnd = (damage.firstLost + damage.lost) * 16;
            ExpectSets(0, damage.firstLost * 16);
            ExpectSets(gapEnd, 15 * 16 - gapEnd, gapEnd);
            for (int set = damage.firstLost * 16; set < gapEnd; ++set)
                for (int c = 0; c < 4; ++c)
                    ASSERT_EQ(rec->ChannelTrace[c][set], set < 16 ? 0 : Word(damage.firstLost * 16 - 1, c))
                        << "gap set " << set << " holds the last good value";
        }
    }
}

// Captures of the simulated drive, damaged, fed a tick at a time: every set stored is the one
// the drive sent at its index (give or take the bit a noise flip changed) or lies in a gap,
// and the blocks lost stay within what the damage explains.
struct DriveCapture {
    const char* name;
    sim::DriveOptions options;
    bool counterChannel;  // channel 1 counts the blocks in its low byte under 0xFF, as headers do
    std::function<void(Bytes&)> damage;
    std::uint64_t lostAtMost;  // 0: twice the headers the noise changed
    bool resumes;              // the decoder is back in step at the end
};

TEST_F(StreamDecoderTest, DriveCapturesKeepEverySampleInItsPlaceOrInAGap) {
    const sim::ChannelAddresses quantities{0x9042, 0x902c, 0x9018, 0x9010};  // DC bus, AUI, torque, current
    const auto faults = [](std::optional<std::uint64_t> badHeader, double noise) {
        sim::DriveOptions o;
        o.BadHeaderBlock = badHeader;
        o.NoiseRate = noise;
        return o;
    };
    const auto garble = [](std::size_t from, std::size_t count) {
        return [=](Bytes& s) { const Bytes g = Garbage(count); std::copy(g.begin(), g.end(), s.begin() + from); };
    };
    const DriveCapture cases[] = {
        {"bad header in block 20000", faults(20000, 0), false, {}, 1, true},
        {"noise 5 a second", faults({}, 5), false, {}, 0, true},
        {"300 blocks garbled", {}, false, garble(1000 * 130 + 7, 300 * 130), 301, true},
        {"counter channel, bad marker", {}, true, [](Bytes& s) { s[5000 * 130 + 1] = 0xFE; }, 1u << 30, false},
        {"counter channel, byte lost", {}, true, [](Bytes& s) { s.erase(s.begin() + 3000 * 130 + 50); }, 1u << 30, false},
    };
    for (const DriveCapture& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        sim::SimulatedDrive drive(c.options), clean;
        Bytes start{0x3A, 0x3A}, sent, model;
        for (int k = 0; k < 4; ++k) {
            const ScopeFrame f = MakeScopeFrame(k == 0 ? kFirstChannelCommand : kFurtherChannelCommand, quantities[k]);
            start.insert(start.end(), f.begin(), f.end());
        }
        drive.Receive(start, {});
        clean.Receive(start, {});
        drive.Transmit(std::chrono::seconds(70), sent);
        clean.Transmit(std::chrono::seconds(70), model);
        const std::uint64_t sets = model.size() / 130 * 16;
        const auto want = [&](int k, std::uint64_t n) {
            return c.counterChannel && k == 0 ? static_cast<std::int16_t>(0xFF00 | (n / 16 & 0xFF))
                                              : sim::SampleValue(quantities[k], n);
        };
        std::uint64_t headersChanged = 0;
        for (std::size_t i = 0; i < sent.size(); i += 130) headersChanged += sent[i] != model[i] || sent[i + 1] != model[i + 1];
        for (std::uint64_t n = 0; c.counterChannel && n < sets; ++n) {
            sent[n / 16 * 130 + 2 + n % 16 * 8] = static_cast<std::uint8_t>(n / 16);
            sent[n / 16 * 130 + 3 + n % 16 * 8] = 0xFF;
        }
        if (c.damage) c.damage(sent);
        for (std::size_t at = 0; at < sent.size(); at += 2031) {
            const std::uint64_t firstSet = rec->SetCount, firstGap = std::max<std::uint64_t>(rec->GapCount, 1) - 1;
            const int firstSlot = rec->NextSample;
            Feed(std::span(sent).subspan(at, std::min<std::size_t>(2031, sent.size() - at)));
            for (std::uint64_t n = firstSet; n < rec->SetCount; ++n) {
                const int slot = static_cast<int>((firstSlot + n - firstSet) % kTraceSlots);
                bool gap = false;
                for (std::uint64_t g = firstGap; g < rec->GapCount; ++g) {
                    const TraceGap& r = rec->Gaps[g % kGapRingSize];
                    gap = gap || (slot - r.FirstSlot + kTraceSlots) % kTraceSlots < r.Sets;
                }
                for (int k = 0; k < 4 && !gap; ++k) {
                    ASSERT_LE(std::popcount(static_cast<std::uint16_t>(rec->ChannelTrace[k][slot] ^ want(k, n))),
                              c.options.NoiseRate > 0 ? 1 : 0) << "set " << n << " channel " << k + 1;
                }
            }
        }
        EXPECT_LE(rec->Health.BlocksLost, c.lostAtMost ? c.lostAtMost : 2 * headersChanged);
        if (c.resumes) {
            EXPECT_EQ(rec->SetCount, sets - 16) << "every set keeps its time";
        }
        EXPECT_LE(rec->SetCount, sets);
    }
}

TEST_F(StreamDecoderTest, GapRingKeepsTheNewestGaps) {
    // Every fifth block has a bad marker (a resync needs four headers in line): one gap of one
    // block each time.
    constexpr int kGaps = kGapRingSize + 10;
    Bytes stream = Blocks(5 * kGaps + 5);
    for (int g = 0; g < kGaps; ++g) stream[static_cast<std::size_t>((5 * g + 1) * 130 + 1)] = sim::kBadBlockMarker;
    Feed(stream, {true, true, false, true});
    ASSERT_EQ(rec->GapCount, static_cast<std::uint64_t>(kGaps));
    EXPECT_EQ(rec->Health.BlocksLost, static_cast<std::uint64_t>(kGaps));
    for (int g = kGaps - kGapRingSize; g < kGaps; ++g) {
        const TraceGap& gap = rec->Gaps[static_cast<std::size_t>(g % kGapRingSize)];
        EXPECT_EQ(gap.FirstSlot, (5 * g + 1) * 16) << "gap " << g;
        EXPECT_EQ(gap.Sets, 16);
    }
    EXPECT_EQ(rec->ChannelTrace[2][30], 0) << "a filled gap leaves a switched-off channel alone";
}

TEST_F(StreamDecoderTest, RestartedStreamCarriesOnAfterTheMissedSets) {
    const Bytes first = Blocks(6);
    Feed(std::span(first).first(5 * 130 + 40));  // a partial block is pending
    ASSERT_EQ(rec->NextSample, 5 * 16);
    RestartStream(*rec, 3000, kAllOn);
    EXPECT_EQ(rec->Health.BytesDiscarded, 40u);
    ASSERT_EQ(rec->GapCount, 1u);
    EXPECT_EQ(rec->Gaps[0].FirstSlot, 80);
    EXPECT_EQ(rec->Gaps[0].Sets, 3000);
    EXPECT_EQ(rec->ChannelTrace[1][80 + 2999], Word(79, 1));

    const Bytes second = Blocks(4);  // the drive numbers its new stream from block 0
    Feed(second);
    EXPECT_FALSE(rec->DataError);
    EXPECT_EQ(rec->Health.Resyncs, 0u);
    EXPECT_EQ(rec->NextSample, 80 + 3000 + 3 * 16);
    ExpectSets(0, 3 * 16, 80 + 3000);
}

}  // namespace
}  // namespace altrix
