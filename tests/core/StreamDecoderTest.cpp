#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "ScopeProtocol.h"
#include "StreamDecoder.h"

namespace altrix {
namespace {

constexpr ChannelEnables kAllOn{true, true, true, true};

// Value of the word for sample set `set`, channel c (0-based): distinct and signed.
std::int16_t Word(int set, int c) {
    return static_cast<std::int16_t>((set * 4 + c) * 7 - 30000);
}

// `blocks` good StreamBlocks starting with sample set `firstSet`.
std::vector<std::uint8_t> Blocks(int blocks, int firstSet = 0) {
    std::vector<std::uint8_t> bytes;
    int set = firstSet;
    for (int b = 0; b < blocks; ++b) {
        bytes.push_back(0x00);
        bytes.push_back(kGoodBlockMarker);
        for (int s = 0; s < kWordsPerBlock / 4; ++s, ++set) {
            for (int c = 0; c < 4; ++c) {
                const auto w = static_cast<std::uint16_t>(Word(set, c));
                bytes.push_back(static_cast<std::uint8_t>(w & 0xFF));
                bytes.push_back(static_cast<std::uint8_t>(w >> 8));
            }
        }
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

TEST_F(StreamDecoderTest, DataErrorTestsOnlyTheLastBlockOfAPass) {
    auto bad = Blocks(4);
    bad[130 * 2 + 1] = 0xFE;               // third block is bad
    // Pass ends after the bad block: error.
    Feed(std::span(bad).first(130 * 3 + 1));
    EXPECT_TRUE(rec->DataError);

    SetUp();
    // Same bad block followed in the same pass by a good one: no error.
    Feed(std::span(bad).first(130 * 4 + 1));
    EXPECT_FALSE(rec->DataError);

    SetUp();
    // The first block's header is tested by the pass that decodes it.
    auto first = Blocks(2);
    first[1] = 0x00;
    Feed(std::span(first).first(131));
    EXPECT_TRUE(rec->DataError);
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
        const auto bytes = Blocks(kChunkBlocks, b * 16);
        Feed(bytes);
    }
    // The last block waits for one more block start.
    EXPECT_EQ(rec->NextSample, 200000 - 16);
    const auto tail = Blocks(2, 200000);
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
    const auto across = Blocks(8, (kBlocksToEnd - 3) * 16);
    Feed(across);
    EXPECT_LT(rec->RingWritePos, 8 * 130);
    EXPECT_EQ(rec->RingWritePos, (kStreamRingBytes - 3 * 130 + 8 * 130) % kStreamRingBytes);
    EXPECT_EQ(rec->NextSample, (kBlocksToEnd - 3 + 7) * 16);
    ExpectSets(setsBefore, rec->NextSample - setsBefore, setsBefore);
    EXPECT_FALSE(rec->DataError);
}

TEST_F(StreamDecoderTest, NoBytesDecodeNothing) {
    Feed({});
    EXPECT_EQ(rec->NextSample, 0);
    EXPECT_EQ(rec->RingWritePos, 0);
}

TEST_F(StreamDecoderTest, LostByteMisalignsAndRaisesDataError) {
    auto bytes = Blocks(6);
    bytes.erase(bytes.begin() + 200);
    Feed(bytes);
    EXPECT_TRUE(rec->DataError);
}

}  // namespace
}  // namespace altrix
