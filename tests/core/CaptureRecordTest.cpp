#include <gtest/gtest.h>

#include <memory>

#include "CaptureRecord.h"

namespace altrix {
namespace {

TEST(CaptureRecord, StartValues) {
    auto rec = std::make_unique<CaptureRecord>();
    EXPECT_EQ(rec->BaudRate, 625000);
    EXPECT_EQ(rec->NextSample, 0);
    EXPECT_EQ(rec->ChannelPhase, 0);
    EXPECT_FALSE(rec->DataError);
    EXPECT_EQ(rec->ReferenceTrace[1][99999], 0);
}

TEST(CaptureRecord, SlotOfPositionFollowsTheWindowRule) {
    struct Case { int nextSample, position, slot; };
    const Case cases[] = {
        {0, 0, 100000},        // before any sample: far end of the ring
        {0, 99999, 199999},
        {100000, 0, 0},
        {100000, 99999, 99999},
        {250, 99999, 249},     // newest slot is NextSample - 1
        {250, 99750, 0},
        {250, 99749, 199999},  // wraps below zero
        {199999, 0, 99999},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SlotOfPosition(c.nextSample, c.position), c.slot)
            << "NextSample " << c.nextSample << " position " << c.position;
    }
}

TEST(CaptureRecord, NewestSlotWrapsAtZero) {
    EXPECT_EQ(NewestSlot(0), 199999);
    EXPECT_EQ(NewestSlot(1), 0);
    EXPECT_EQ(NewestSlot(150000), 149999);
    EXPECT_EQ(NewestSlot(0), SlotOfPosition(0, kNewestPosition));
}

TEST(CaptureRecord, ResetForRunClearsStreamAndTracesButKeepsReferencesAndRingTail) {
    auto rec = std::make_unique<CaptureRecord>();
    rec->DataError = true;
    rec->RingWritePos = 1234;
    rec->LastBlockStart = 1170;
    rec->DecodedUpTo = 1040;
    rec->NextSample = 777;
    rec->ChannelPhase = 3;
    rec->NextBlockCounter = 9;
    rec->Resynchronising = true;
    rec->Health.BlocksLost = 4;
    rec->GapCount = 2;
    rec->ChannelTrace[2][199999] = 42;
    rec->ChannelTrace[0][0] = -1;
    rec->StreamRing[259999] = 9;
    rec->StreamRing[260000] = 7;
    rec->ReferenceTrace[0][10] = 11;

    ResetForRun(*rec);

    EXPECT_FALSE(rec->DataError);
    EXPECT_EQ(rec->RingWritePos, 0);
    EXPECT_EQ(rec->LastBlockStart, 0);
    EXPECT_EQ(rec->DecodedUpTo, 0);
    EXPECT_EQ(rec->NextSample, 0);
    EXPECT_EQ(rec->ChannelPhase, 1);
    EXPECT_EQ(rec->NextBlockCounter, 0);
    EXPECT_FALSE(rec->Resynchronising);
    EXPECT_EQ(rec->Health.BlocksLost, 0u);
    EXPECT_EQ(rec->GapCount, 0u);
    EXPECT_EQ(rec->ChannelTrace[2][199999], 0);
    EXPECT_EQ(rec->ChannelTrace[0][0], 0);
    EXPECT_EQ(rec->StreamRing[259999], 0);
    EXPECT_EQ(rec->StreamRing[260000], 7);
    EXPECT_EQ(rec->ReferenceTrace[0][10], 11);
}

}  // namespace
}  // namespace altrix
