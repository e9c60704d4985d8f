// Type Identify against the simulated drive: the label and its colour on BitBtn1 for known and
// unknown type codes, a missing and a late reply, and the port left closed.

#include "LiveDriveFixture.h"

#include <QPalette>

#include <chrono>
#include <string>

namespace altrix::testing {
namespace {

const QColor kGreen(0x00, 0x80, 0x00);
const QColor kRed(0xFF, 0x00, 0x00);

struct IdentifyCase {
    const char* name;
    sim::DriveOptions drive;
    const char* label;
    QColor colour;
    std::int32_t code;
};
void PrintTo(const IdentifyCase& c, std::ostream* os) { *os << c.name; }

sim::DriveOptions Drive(std::int16_t typeCode, bool answers = true, int delayMs = 0) {
    sim::DriveOptions options;
    options.TypeCode = typeCode;
    options.AnswerIdentify = answers;
    options.IdentifyDelay = std::chrono::milliseconds(delayMs);
    return options;
}

class TypeIdentifyTest : public LiveDriveTest, public ::testing::WithParamInterface<IdentifyCase> {
protected:
    QPushButton& button() const { return *find<QPushButton>(QStringLiteral("BitBtn1")); }
};

TEST_P(TypeIdentifyTest, ShowsTheModelLabel) {
    const IdentifyCase& c = GetParam();
    startDrive(c.drive);
    click("BitBtn1");
    EXPECT_EQ(button().text(), QString::fromLatin1(c.label));
    EXPECT_EQ(button().palette().color(QPalette::Active, QPalette::ButtonText), c.colour);
    // Disabled during a capture, the label greys like every other disabled control.
    EXPECT_NE(button().palette().color(QPalette::Disabled, QPalette::ButtonText), c.colour);
    EXPECT_EQ(record().DriveTypeCode, c.code);
    EXPECT_TRUE(prompts_.Messages.empty());
    EXPECT_FALSE(port_.IsOpen());
    EXPECT_FALSE(port_.PortOpen);
}

INSTANTIATE_TEST_SUITE_P(
    Identify, TypeIdentifyTest,
    ::testing::Values(IdentifyCase{"Code4", Drive(4), "ALTRIX 007-23", kGreen, 4},
                      IdentifyCase{"Code28NotInTheTable", Drive(28), "Error", kRed, 28},
                      IdentifyCase{"Code33", Drive(33), "ALTRIX 750-43", kGreen, 33},
                      IdentifyCase{"NegativeCode", Drive(-4), "Error", kRed, -4},
                      IdentifyCase{"NoReply", Drive(4, false), "Error", kRed, 0},
                      // Waited for: a drive on a USB adapter often answers this late.
                      IdentifyCase{"ReplyAfter100ms", Drive(21, true, 100), "ALTRIX 185-43", kGreen, 21}),
    [](const auto& info) { return std::string(info.param.name); });

class RepeatedIdentifyTest : public LiveDriveTest {};

TEST_F(RepeatedIdentifyTest, TwiceInARowOpensAndClosesTwice) {
    startDrive(Drive(29));
    click("BitBtn1");
    click("BitBtn1");
    EXPECT_EQ(find<QPushButton>(QStringLiteral("BitBtn1"))->text(), QStringLiteral("ALTRIX 450-43"));
    EXPECT_FALSE(port_.IsOpen());
    EXPECT_FALSE(port_.PortOpen);
    // Each request went out whole: the prelude, then four frames.
    const Bytes request{0x3B, 0x3B, 0x3A, 0x01, 0x90, 0x00, 0x6F, 0x3A, 0x01, 0x90, 0x00, 0x6F,
                        0x3A, 0x01, 0x90, 0x00, 0x6F, 0x3A, 0x01, 0x90, 0x00, 0x6F};
    Bytes twice = request;
    twice.insert(twice.end(), request.begin(), request.end());
    ASSERT_TRUE(sim_->Drive->WaitForReceived(twice.size(), kWaitLimit));
    EXPECT_EQ(Values(sim_->Drive->Received()), twice);
}

}  // namespace
}  // namespace altrix::testing
