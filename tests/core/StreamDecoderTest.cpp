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

// A block is decoded once the next block's header has arrived, both bytes; the header of
// counter 0xFF (two marker bytes) only with the header after it.
TEST_F(StreamDecoderTest, ABlockWaitsForTheNextHeaderInPlace) {
    const auto bytes = Blocks(258);
    const struct {
        std::size_t fed;
        int blocks;
    } cases[] = {
        {130, 0}, {131, 0}, {132, 1}, {261, 1}, {262, 2},
        {254 * 130 + 1, 253}, {254 * 130 + 2, 254},  // block 253 is followed by counter 0xFE
        {255 * 130 + 2, 254}, {256 * 130 + 1, 254},  // block 254 by 0xFF: it waits for 0x00
        {256 * 130 + 2, 256},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.fed << " bytes");
        SetUp();
        Feed(std::span(bytes).first(c.fed));
        EXPECT_EQ(rec->NextSample, c.blocks * 16);
        EXPECT_EQ(rec->DecodedUpTo, c.blocks * 130);
        EXPECT_EQ(rec->LastBlockStart, c.blocks * 130);
        EXPECT_EQ(rec->RingWritePos, static_cast<int>(c.fed));
        ExpectSets(0, c.blocks * 16);
        EXPECT_FALSE(rec->DataError);
    }
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
    Feed(std::span(bytes).subspan(197, 65));   // ends at 262: block 2's header has arrived
    EXPECT_EQ(rec->NextSample, 32);
    Feed(std::span(bytes).subspan(262));
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
    // The last block waits for the next header.
    EXPECT_EQ(rec->NextSample, 200000 - 16);
    const auto tail = Blocks(2, 12500);
    Feed(std::span(tail).first(2));
    EXPECT_EQ(rec->NextSample, 0);
    EXPECT_EQ(NewestSlot(rec->NextSample), 199999);
    EXPECT_EQ(rec->ChannelTrace[3][199999], Word(199999, 3));
    Feed(std::span(tail).subspan(2, 130));
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
    // A byte lost at each offset of block 4: losing a byte of its header also leaves block 3
    // unconfirmed, since its follower's header is not in place.
    for (int offset = 0; offset < kBlockBytes; ++offset) {
        const int firstLost = offset < kBlockHeaderBytes ? 3 : 4;
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

// Sample sets a test's drive sends, four words each, and the stream of blocks that carries
// them (block b with counter b mod 256).
using Sets = std::vector<std::array<std::int16_t, kChannelCount>>;

// Values that differ from set to set and channel to channel, so a shifted word shows.
Sets PlainSets(int blocks) {
    Sets sets(static_cast<std::size_t>(blocks * kSetsPerBlock));
    for (std::size_t n = 0; n < sets.size(); ++n)
        for (int c = 0; c < kChannelCount; ++c)
            sets[n][static_cast<std::size_t>(c)] = static_cast<std::int16_t>((n * 97 + c * 5003) % 20011 - 10000);
    return sets;
}

Bytes StreamOf(const Sets& sets) {
    Bytes bytes;
    for (std::size_t n = 0; n < sets.size(); ++n) {
        if (n % kSetsPerBlock == 0) {
            bytes.push_back(static_cast<std::uint8_t>(n / kSetsPerBlock));
            bytes.push_back(0xFF);
        }
        for (const std::int16_t word : sets[n]) {
            bytes.push_back(static_cast<std::uint8_t>(word & 0xFF));
            bytes.push_back(static_cast<std::uint8_t>(static_cast<std::uint16_t>(word) >> 8));
        }
    }
    return bytes;
}

std::size_t ByteOf(int block, int offset) { return static_cast<std::size_t>(block * 130 + offset); }

// The word whose low byte is `low` and high byte `high`.
std::int16_t WordOf(int low, int high) { return static_cast<std::int16_t>(static_cast<std::uint16_t>(high << 8 | low)); }

// A damaged stream of known sets and exactly what the decoder keeps of it: the sets of the
// blocks in `lost` lie in its gaps, every other set of the first `storedBlocks` blocks is the
// one sent, at its index.
struct KnownDamage {
    const char* name;
    std::function<void(Sets&)> shape;  // samples chosen so that the damage mimics a header
    std::function<void(Bytes&)> damage;
    std::vector<int> lost;
    int storedBlocks;
};

void ExpectKept(const CaptureRecord& rec, const Sets& sent, const KnownDamage& k) {
    ASSERT_EQ(rec.SetCount, static_cast<std::uint64_t>(k.storedBlocks * kSetsPerBlock));
    ASSERT_LE(rec.GapCount, static_cast<std::uint64_t>(kGapRingSize));
    std::vector<bool> inGap(static_cast<std::size_t>(k.storedBlocks * kSetsPerBlock));
    for (std::uint64_t g = 0; g < rec.GapCount; ++g)
        for (int n = rec.Gaps[g].FirstSlot; n < rec.Gaps[g].FirstSlot + rec.Gaps[g].Sets; ++n)
            inGap[static_cast<std::size_t>(n)] = true;
    for (int n = 0; n < k.storedBlocks * kSetsPerBlock; ++n) {
        const bool lost = std::find(k.lost.begin(), k.lost.end(), n / kSetsPerBlock) != k.lost.end();
        ASSERT_EQ(inGap[static_cast<std::size_t>(n)], lost) << "set " << n;
        for (int c = 0; c < kChannelCount && !lost; ++c)
            ASSERT_EQ(rec.ChannelTrace[c][n], sent[static_cast<std::size_t>(n)][static_cast<std::size_t>(c)])
                << "set " << n << " channel " << c + 1;
    }
    EXPECT_EQ(rec.Health.BlocksLost, k.lost.size());
}

// A block that lost or gained a byte is never taken whole, also where the bytes that moved
// into its follower's header look like that header: beside counter 0xFF, whose header is two
// marker bytes, or where a sample byte equals the next counter. 300 blocks: the last waits.
TEST_F(StreamDecoderTest, ABlockThatLostOrGainedAByteIsNeverTakenWhole) {
    const auto drop = [](std::size_t at) { return [at](Bytes& s) { s.erase(s.begin() + static_cast<std::ptrdiff_t>(at)); }; };
    const auto gain = [](std::size_t at) { return [at](Bytes& s) { s.insert(s.begin() + static_cast<std::ptrdiff_t>(at), 0x5A); }; };
    const auto set = [](int n, int c, std::int16_t word) { return [=](Sets& s) { s[static_cast<std::size_t>(n)][static_cast<std::size_t>(c)] = word; }; };
    const auto none = [](Sets&) {};
    const KnownDamage cases[] = {
        {"byte lost in block 254 (counter 0xFE)", none, drop(ByteOf(254, 30)), {254}, 299},
        // Block 255's header then stands a byte either side of a marker: which of the two blocks
        // lost the byte nothing tells.
        {"byte lost in block 254, block 255's first byte 0xFF", set(255 * 16, 0, WordOf(0xFF, 0x12)),
         drop(ByteOf(254, 30)), {254, 255}, 299},
        {"byte lost at the end of block 254, block 255's first byte 0xFF", set(255 * 16, 0, WordOf(0xFF, 0x12)),
         drop(ByteOf(254, 129)), {254, 255}, 299},
        {"byte gained in block 254, its last byte 0xFF", set(254 * 16 + 15, 3, WordOf(0x12, 0xFF)),
         gain(ByteOf(254, 60)), {254, 255}, 299},
        {"byte gained in block 100, its last byte the next counter", set(100 * 16 + 15, 3, WordOf(0x12, 101)),
         gain(ByteOf(100, 60)), {100}, 299},
        {"byte gained in block 253, its last byte 0xFE and block 254's 0xFF",
         [](Sets& s) { s[253 * 16 + 15][3] = WordOf(0x12, 0xFE); s[254 * 16 + 15][3] = WordOf(0x34, 0xFF); },
         gain(ByteOf(253, 60)), {253}, 299},
        // Block 255's header, two marker bytes, is in place only with block 256's: block 254 is lost too.
        {"byte lost in block 255 (counter 0xFF)", none, drop(ByteOf(255, 40)), {254, 255}, 299},
        {"byte gained in block 255, its last byte 0x00", set(255 * 16 + 15, 3, WordOf(0x12, 0x00)),
         gain(ByteOf(255, 60)), {254, 255}, 299},
    };
    for (const KnownDamage& k : cases) {
        for (const std::size_t tick : {std::size_t{100000}, std::size_t{131}, std::size_t{1}}) {
            SCOPED_TRACE(::testing::Message() << k.name << ", ticks of " << tick << " bytes");
            SetUp();
            Sets sent = PlainSets(300);
            k.shape(sent);
            Bytes stream = StreamOf(sent);
            k.damage(stream);
            for (std::size_t at = 0; at < stream.size(); at += tick)
                Feed(std::span(stream).subspan(at, std::min(tick, stream.size() - at)));
            EXPECT_TRUE(rec->DataError);
            ExpectKept(*rec, sent, k);
        }
    }
}

// A channel whose every sample looks like a header (the block counter in its low byte under
// 0xFF) does not end the capture at a damaged header or a byte lost or gained: the header a
// byte off the grid of the blocks lost is taken when it is the only one. A byte lost while
// that channel is channel 1 leaves two, a byte either side: nothing tells them apart and the
// hunt goes on. 500 blocks, damaged at block 300 (counter 44) or 254 (0xFE); the last waits.
TEST_F(StreamDecoderTest, AHeaderLookalikeChannelDoesNotEndTheCaptureAtASmallLoss) {
    const auto counterIn = [](int channel) {
        return [channel](Sets& s) {
            for (std::size_t n = 0; n < s.size(); ++n)
                s[n][static_cast<std::size_t>(channel)] = WordOf(static_cast<int>(n / kSetsPerBlock & 0xFF), 0xFF);
        };
    };
    const auto drop = [](std::size_t at) { return [at](Bytes& s) { s.erase(s.begin() + static_cast<std::ptrdiff_t>(at)); }; };
    const auto gain = [](std::size_t at) { return [at](Bytes& s) { s.insert(s.begin() + static_cast<std::ptrdiff_t>(at), 0x5A); }; };
    const auto flip = [](std::size_t at, std::uint8_t bits) { return [=](Bytes& s) { s[at] ^= bits; }; };
    const KnownDamage cases[] = {
        {"channel 4, bad marker", counterIn(3), flip(ByteOf(300, 1), 0x01), {300}, 499},
        {"channel 4, bad counter", counterIn(3), flip(ByteOf(300, 0), 0x10), {299, 300}, 499},
        {"channel 4, byte lost", counterIn(3), drop(ByteOf(300, 50)), {300}, 499},
        {"channel 4, byte gained", counterIn(3), gain(ByteOf(300, 50)), {300}, 499},
        {"channel 4, byte lost in block 254", counterIn(3), drop(ByteOf(254, 30)), {254}, 499},
        {"channel 4, byte gained at the end of block 254", counterIn(3), gain(ByteOf(254, 129)), {254, 255}, 499},
        {"channel 1, bad marker", counterIn(0), flip(ByteOf(300, 1), 0x01), {300}, 499},
        {"channel 1, byte gained", counterIn(0), gain(ByteOf(300, 50)), {300}, 499},
        {"channel 1, byte lost", counterIn(0), drop(ByteOf(300, 50)), {}, 300},
    };
    for (const KnownDamage& k : cases) {
        for (const std::size_t tick : {std::size_t{100000}, std::size_t{2031}, std::size_t{7}}) {
            SCOPED_TRACE(::testing::Message() << k.name << ", ticks of " << tick << " bytes");
            SetUp();
            Sets sent = PlainSets(500);
            k.shape(sent);
            Bytes stream = StreamOf(sent);
            k.damage(stream);
            for (std::size_t at = 0; at < stream.size(); at += tick)
                Feed(std::span(stream).subspan(at, std::min(tick, stream.size() - at)));
            EXPECT_EQ(rec->Health.Resyncs, 1u);
            ExpectKept(*rec, sent, k);
        }
    }
}

// Captures of the simulated drive, damaged, fed a tick at a time: every set stored is the one
// the drive sent at its index (give or take the bit a noise flip changed) or lies in a gap,
// and the blocks lost stay within what the damage explains.
struct DriveCapture {
    const char* name;
    sim::ChannelAddresses quantities;
    sim::DriveOptions options;
    bool counterChannel;  // channel 1 counts the blocks in its low byte under 0xFF, as headers do
    std::function<void(Bytes&)> damage;
    std::uint64_t lostAtMost;  // 0: twice the headers the noise changed
    bool resumes;              // the decoder is back in step at the end
};

TEST_F(StreamDecoderTest, DriveCapturesKeepEverySampleInItsPlaceOrInAGap) {
    const sim::ChannelAddresses drive{0x9042, 0x902c, 0x9018, 0x9010};      // DC bus, AUI, torque, current
    const sim::ChannelAddresses positions{0x901c, 0x9042, 0x902c, 0x9020};  // PG1 position, DC bus, AUI, PG2 position
    const auto faults = [](std::optional<std::uint64_t> badHeader, double noise) {
        sim::DriveOptions o;
        o.BadHeaderBlock = badHeader;
        o.NoiseRate = noise;
        return o;
    };
    sim::DriveOptions dropAfter33050;  // a byte lost in block 254, counter 0xFE
    dropAfter33050.DropByteAfter = 33050;
    const auto garble = [](std::size_t from, std::size_t count) {
        return [=](Bytes& s) { const Bytes g = Garbage(count); std::copy(g.begin(), g.end(), s.begin() + from); };
    };
    const DriveCapture cases[] = {
        {"bad header in block 20000", drive, faults(20000, 0), false, {}, 1, true},
        {"noise 5 a second", drive, faults({}, 5), false, {}, 0, true},
        {"300 blocks garbled", drive, {}, false, garble(1000 * 130 + 7, 300 * 130), 301, true},
        {"byte 33051 lost", positions, dropAfter33050, false, {}, 1, true},
        {"counter channel, bad marker", drive, {}, true, [](Bytes& s) { s[5000 * 130 + 1] = 0xFE; }, 1, true},
        {"counter channel, byte lost", drive, {}, true, [](Bytes& s) { s.erase(s.begin() + 3000 * 130 + 50); }, 1u << 30, false},
    };
    for (const DriveCapture& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        sim::SimulatedDrive drive(c.options), clean;
        Bytes start{0x3A, 0x3A}, sent, model;
        for (int k = 0; k < 4; ++k) {
            const ScopeFrame f = MakeScopeFrame(k == 0 ? kFirstChannelCommand : kFurtherChannelCommand, c.quantities[k]);
            start.insert(start.end(), f.begin(), f.end());
        }
        drive.Receive(start, {});
        clean.Receive(start, {});
        drive.Transmit(std::chrono::seconds(70), sent);
        clean.Transmit(std::chrono::seconds(70), model);
        const std::uint64_t sets = model.size() / 130 * 16;
        const auto want = [&](int k, std::uint64_t n) {
            return c.counterChannel && k == 0 ? static_cast<std::int16_t>(0xFF00 | (n / 16 & 0xFF))
                                              : sim::SampleValue(c.quantities[k], n);
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
    // Every sixth block has a bad marker (a resync needs four headers in line, and a fifth
    // after counter 0xFF): one gap of one block each time.
    constexpr int kGaps = kGapRingSize + 10;
    Bytes stream = Blocks(6 * kGaps + 6);
    for (int g = 0; g < kGaps; ++g) stream[static_cast<std::size_t>((6 * g + 1) * 130 + 1)] = sim::kBadBlockMarker;
    Feed(stream, {true, true, false, true});
    ASSERT_EQ(rec->GapCount, static_cast<std::uint64_t>(kGaps));
    EXPECT_EQ(rec->Health.BlocksLost, static_cast<std::uint64_t>(kGaps));
    for (int g = kGaps - kGapRingSize; g < kGaps; ++g) {
        const TraceGap& gap = rec->Gaps[static_cast<std::size_t>(g % kGapRingSize)];
        EXPECT_EQ(gap.FirstSlot, (6 * g + 1) * 16) << "gap " << g;
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
