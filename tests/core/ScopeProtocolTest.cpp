#include <gtest/gtest.h>

#include <vector>

#include "ScopeProtocol.h"

namespace altrix {
namespace {

TEST(ScopeProtocol, FramesAndChecksums) {
    struct Case { std::uint8_t command; std::uint16_t address; ScopeFrame bytes; };
    const Case cases[] = {
        {0x01, 0x9000, {0x3A, 0x01, 0x90, 0x00, 0x6F}},
        {0x00, 0x9000, {0x3A, 0x00, 0x90, 0x00, 0x70}},
        {0x00, 0x0000, {0x3A, 0x00, 0x00, 0x00, 0x00}},
        {0x01, 0x00FF, {0x3A, 0x01, 0x00, 0xFF, 0x00}},
        {0x01, 0x902E, {0x3A, 0x01, 0x90, 0x2E, 0x41}},
        {0x00, 0xFFFF, {0x3A, 0x00, 0xFF, 0xFF, 0x02}},
    };
    for (const Case& c : cases) {
        const ScopeFrame frame = MakeScopeFrame(c.command, c.address);
        EXPECT_EQ(frame, c.bytes) << "command " << int(c.command) << " address " << c.address;
        EXPECT_EQ((frame[1] + frame[2] + frame[3] + frame[4]) % 256, 0);
    }
}

TEST(ScopeProtocol, IdentifyReplyDecodesLowByteFirstAndZeroFillsMissingBytes) {
    struct Case { std::vector<std::uint8_t> bytes; std::int16_t code; std::int16_t word2; };
    const Case cases[] = {
        {{0, 0, 0x04, 0x00, 1, 0, 2, 0, 3, 0}, 4, 1},
        {{0, 0, 0x1C, 0x00}, 28, 0},                 // only 4 bytes arrived
        {{0, 0, 0x21, 0x00, 0xFF, 0xFF}, 33, -1},
        {{0, 0, 0x00, 0x04}, 1024, 0},              // high byte second
        {{0, 0, 0x00, 0x80}, -32768, 0},            // signed
        {{}, 0, 0},                                  // no reply at all
        {{0, 0, 5, 0, 0, 0, 0, 0, 0, 0, 0x77, 0x77}, 5, 0},  // extra bytes ignored
    };
    for (const Case& c : cases) {
        const IdentifyReply reply = DecodeIdentifyReply(c.bytes);
        EXPECT_EQ(reply.TypeCode, c.code);
        EXPECT_EQ(reply.OtherWords[0], c.word2);
    }
}

TEST(ScopeProtocol, ChannelAddressAcceptsExactlyFourLowerCaseHexDigits) {
    struct Case { const char* text; std::optional<std::uint16_t> value; };
    const Case cases[] = {
        {"902e", 0x902E}, {"9000", 0x9000}, {"0000", 0}, {"ffff", 0xFFFF}, {"00ff", 0x00FF},
        {"902E", std::nullopt},   // upper case
        {"900", std::nullopt},    // three characters
        {"90000", std::nullopt},  // five characters
        {" ", std::nullopt},      // what a load leaves in the field
        {"", std::nullopt},
        {"90 0", std::nullopt}, {"+900", std::nullopt}, {"900g", std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(ParseChannelAddress(c.text), c.value) << c.text;
}

}  // namespace
}  // namespace altrix
