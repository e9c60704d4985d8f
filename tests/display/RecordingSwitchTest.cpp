// Recording a capture: the header a recording file keeps, taken from the display's description;
// what the label says; the switch's file, what starting into a file that cannot be written says
// and what ending says.

#include "RecordingSwitch.h"

#include "CaptureSession.h"
#include "ScopeDisplay.h"

#include <QLocale>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace altrix::testing {
namespace {

TEST(RecordingSwitchTest, TheHeaderIsTheDescribedCaptureWithAnAddressOnlyForAnEnabledChannel) {
    CaptureDescription d;
    d.Channels[0] = {true, "Output frequency", " 9004 ", "0.01", "1"};
    d.Channels[1] = {false, "DC bus voltage", "9006", "0.1", "1"};
    d.Channels[2] = {true, "", "1234", "1", "2"};
    d.DriveTypeCode = 17;
    d.ProgramVersion = "1.2.3";
    d.StartUtc = "2020-01-01T00:00:00.000Z";  // RUN, not the recording's start
    std::array<MathDefinition, kMathCount> math{};
    math[1] = {true, "Power", "kW", "ch1*ch3"};
    const QDateTime started = QDateTime::fromString(QStringLiteral("2026-12-07T03:00:00.125Z"), Qt::ISODateWithMs);
    const RecordingHeader header = RecordingHeaderOf(d, {"Hz", "V", "", ""}, math, started.toLocalTime());
    EXPECT_EQ(header.StartedUtc, "2026-12-07T03:00:00.125Z");
    EXPECT_EQ(header.ProgramVersion, "1.2.3");
    EXPECT_EQ(header.DriveTypeCode, "17");
    const struct { const char* address; const char* name; const char* gain; const char* unit; } channels[] = {
        {"9004", "Output frequency", "0.01", "Hz"},
        {"", "DC bus voltage", "0.1", "V"},
        {"1234", "", "1", ""},
        {"", "", "1", ""},
    };
    for (std::size_t c = 0; c < kChannelCount; ++c) {
        EXPECT_EQ(header.Channels[c].Address, channels[c].address) << c;
        EXPECT_EQ(header.Channels[c].Name, channels[c].name) << c;
        EXPECT_EQ(header.Channels[c].Gain, channels[c].gain) << c;
        EXPECT_EQ(header.Channels[c].Unit, channels[c].unit) << c;
    }
    ASSERT_TRUE(header.Math);
    EXPECT_EQ((*header.Math)[1].Expression, "ch1*ch3");
    EXPECT_FALSE((*header.Math)[0].Enabled);
}

TEST(RecordingSwitchTest, TheLabelSaysWhatIsRecordedArmedOrNothing) {
    const QLocale l;
    const struct { const char* file; bool active; std::uint64_t bytes, sets; QString text; } cases[] = {
        {"run.arec", true, 2048, 5000, QStringLiteral("Recording run.arec: %1 kB, %2 s").arg(l.toString(2.0, 'f', 0), l.toString(1.0, 'f', 1))},
        {"run.csv", true, 1535, 12'345, QStringLiteral("Recording run.csv: %1 kB, %2 s").arg(l.toString(1.0, 'f', 0), l.toString(2.5, 'f', 1))},
        {"run.arec", false, 0, 0, QStringLiteral("Recording at RUN to run.arec")},
        {"", false, 0, 0, QString()},
    };
    for (const auto& c : cases) EXPECT_EQ(RecordingLabel(QLatin1String(c.file), c.active, c.bytes, c.sets), c.text) << c.file;
}

TEST(RecordingSwitchTest, TheSwitchIsOnWithAFileAndOffAfterAFailedStartOrAnEnd) {
    QTemporaryDir dir;
    CaptureSession session;
    ScopeDisplay display(session);
    RecordingSwitch recording;
    EXPECT_FALSE(recording.Choose(QString()));
    EXPECT_EQ(recording.Label(session), QString());
    EXPECT_EQ(recording.Start(session, display, "1", QDateTime::currentDateTimeUtc()), QString()) << "nothing while off";

    const QString unwritable = dir.filePath(QStringLiteral("no/such/folder/run.arec"));
    ASSERT_TRUE(recording.Choose(unwritable));
    EXPECT_EQ(recording.Label(session), QStringLiteral("Recording at RUN to run.arec"));
    const QString told = recording.Start(session, display, "1", QDateTime::currentDateTimeUtc());
    EXPECT_TRUE(told.startsWith(QStringLiteral("Unable to write %1: ").arg(unwritable))) << told.toStdString();
    EXPECT_FALSE(recording.On());

    const QString csv = dir.filePath(QStringLiteral("run.csv"));
    ASSERT_TRUE(recording.Choose(csv));
    EXPECT_EQ(recording.Start(session, display, "1", QDateTime::currentDateTimeUtc()), QString());
    EXPECT_TRUE(session.Recording().Active());
    EXPECT_TRUE(recording.Label(session).startsWith(QStringLiteral("Recording run.csv: ")));
    session.StopRecording();
    EXPECT_EQ(recording.Ended(QStringLiteral("disk full")),
              QStringLiteral("Recording to %1 stopped: disk full. What was recorded before is kept.").arg(csv));
    EXPECT_FALSE(recording.On());
    ASSERT_TRUE(recording.Choose(csv));
    EXPECT_EQ(recording.Ended(QString()), QString()) << "STOP ends it without a word";
    EXPECT_FALSE(recording.On());
}

}  // namespace
}  // namespace altrix::testing
