// The readouts the display computes: the cursor's time and line, the mark and the differences
// from it, what stays while the cursor is outside the window or the readouts are off, and the
// gains as typed (invalid ones counted as 1, the user's decimal separator taken).

#include "ScopeDisplay.h"

#include "RecordingSink.h"

#include <gtest/gtest.h>

#include <QLocale>
#include <QSignalSpy>

#include <functional>
#include <utility>
#include <vector>

namespace altrix::testing {
namespace {

std::vector<Point> VerticalLineAt(double x) { return {{x, 32767}, {x, -32768}}; }

// The default locale set for a scope.
class LocaleScope {
public:
    explicit LocaleScope(QLocale::Language language) { QLocale::setDefault(QLocale(language)); }
    ~LocaleScope() { QLocale::setDefault(saved_); }

private:
    QLocale saved_;
};

class ReadoutTest : public ::testing::Test {
protected:
    void SetUp() override {
        display_.SetSink(&sink_);
        display_.SetReadoutEnabled(true);  // as after STOP
    }
    const QString& text(int readout) const { return display_.ReadoutTexts()[static_cast<std::size_t>(readout)]; }
    void showChannel(int k) { display_.SetChannelAddress(k, QStringLiteral("9000")); }
    // Channel samples by window position, with NextSample = 50000.
    std::int16_t& sampleAt(int channel, int position) {
        session_.record().NextSample = 50000;
        return session_.record().ChannelTrace[channel - 1][SlotOfPosition(50000, position)];
    }
    ReferenceSamples& ref(int r) { return session_.record().ReferenceTrace[r - 1]; }

    CaptureSession session_;
    ScopeDisplay display_{session_};
    RecordingSink sink_;
};

// A set's time is (position + 1) x 0.2 ms.
TEST_F(ReadoutTest, TimeAndCursorLineFollowTheCursor) {
    const std::pair<int, const char*> table[] = {
        {0, "0.0002"}, {12345, "2.4692"}, {99999, "20"}, {-1, "Over range"}, {100000, "Over range"}};
    for (const auto& [position, time] : table) {
        display_.MoveCursor(position);
        EXPECT_EQ(display_.View().CursorPosition, position);
        EXPECT_EQ(text(kTimeReadout), QString::fromLatin1(time)) << position;
        EXPECT_EQ(sink_.series[kCursorSeries], VerticalLineAt(position)) << position;
    }
}

// The mark keeps every trace's value at it; a cursor move then writes the readouts of the
// ticked traces (Ref 1 read by position) and no others.
TEST_F(ReadoutTest, MarkAndDifferencesOfTickedTraces) {
    showChannel(1);
    showChannel(2);
    display_.SetReferenceShown(1, true);  // channels 3 and 4, Ref 2 stay unticked
    display_.SetGain(2, QStringLiteral("0.01"));
    sampleAt(1, 1000) = 120, sampleAt(1, 999) = 100;
    sampleAt(2, 1000) = -32768, sampleAt(2, 999) = 32767;
    sampleAt(3, 1000) = 7;
    ref(1)[1000] = 50, ref(1)[999] = -50;
    ref(2)[1000] = 9;

    display_.MoveCursor(1000);
    QSignalSpy written(&display_, &ScopeDisplay::readoutsChanged);
    display_.SetMark();
    EXPECT_EQ(display_.View().MarkPosition, 1000);
    EXPECT_EQ(display_.View().MarkValues, (std::array<std::int16_t, 4>{120, -32768, 7, 0}));
    EXPECT_EQ(display_.View().MarkRefValues, (std::array<std::int16_t, 2>{50, 9}));
    EXPECT_EQ(sink_.series[kMarkSeries], VerticalLineAt(1000));
    EXPECT_EQ(written.count(), 0);  // the mark writes no readout
    EXPECT_EQ(text(kMarkTimeReadout), QString());

    display_.MoveCursor(999);
    ASSERT_EQ(written.count(), 1);
    const auto bits = written[0][0].value<std::uint32_t>();
    EXPECT_EQ(text(kMarkTimeReadout), QStringLiteral("-0.0002"));
    const struct {
        int trace;
        const char* data;  // nullptr: not written
        const char* diff;
    } readouts[] = {
        {1, "100", "-20"},        // gain 1
        {2, "327.67", "655.35"},  // a 32-bit difference of 65535
        {5, "-50", "-100"},       // Ref 1, by position
        {3, nullptr, nullptr},  {4, nullptr, nullptr}, {6, nullptr, nullptr},
    };
    EXPECT_TRUE(bits & (1u << kTimeReadout));
    EXPECT_TRUE(bits & (1u << kMarkTimeReadout));
    for (const auto& row : readouts) {
        SCOPED_TRACE(row.trace);
        EXPECT_EQ(bool(bits & (1u << DataReadout(row.trace))), row.data != nullptr);
        EXPECT_EQ(bool(bits & (1u << DiffReadout(row.trace))), row.diff != nullptr);
        EXPECT_EQ(text(DataReadout(row.trace)), QString::fromLatin1(row.data));
        EXPECT_EQ(text(DiffReadout(row.trace)), QString::fromLatin1(row.diff));
    }
}

// Beside the time from the mark, the frequency whose period it is: 5000 Hz over one set either
// way, "-" on the mark itself, written with the time each time; outside the window both keep
// what they showed, and a capture empties both.
TEST_F(ReadoutTest, TheTimeFromTheMarkAndItsFrequency) {
    display_.MoveCursor(1000);
    display_.SetMark();
    const struct {
        int cursor;
        const char* time;
        const char* rate;
    } table[] = {
        {1001, "0.0002", "5000 Hz"},       {999, "-0.0002", "5000 Hz"},       {1003, "0.0006", "1666.67 Hz"},
        {993, "-0.0014", "714.286 Hz"},    {1100, "0.02", "50 Hz"},           {1000, "0", "-"},
        {13345, "2.469", "0.405022 Hz"},   {-5, "2.469", "0.405022 Hz"},      {99999, "19.7998", "0.0505056 Hz"},
    };
    QSignalSpy written(&display_, &ScopeDisplay::readoutsChanged);
    for (const auto& row : table) {
        SCOPED_TRACE(row.cursor);
        display_.MoveCursor(row.cursor);
        const auto bits = written.takeLast()[0].value<std::uint32_t>();
        const bool inWindow = row.cursor >= 0;
        EXPECT_EQ(bool(bits & (1u << kMarkTimeReadout)), inWindow);
        EXPECT_EQ(bool(bits & (1u << kMarkRateReadout)), inWindow);
        EXPECT_EQ(text(kMarkTimeReadout), QString::fromLatin1(row.time));
        EXPECT_EQ(text(kMarkRateReadout), QString::fromLatin1(row.rate));
    }
    {
        const LocaleScope locale(QLocale::German);
        display_.MoveCursor(13345);
        EXPECT_EQ(text(kMarkRateReadout), QStringLiteral("0,405022 Hz"));
    }
    display_.ShowCaptureStarted();
    EXPECT_EQ(text(kMarkTimeReadout), QString());
    EXPECT_EQ(text(kMarkRateReadout), QString());
}

// Each trace's readouts are in the unit its name gives: a channel's from its quantity, a
// reference's from the channel it was copied from or the name it was given.
TEST_F(ReadoutTest, ReadoutUnitsFollowTheTracesNames) {
    const struct {
        const char* step;
        std::function<void(ScopeDisplay&)> act;
        int trace;
        const char* unit;
    } table[] = {
        {"no quantity", [](ScopeDisplay&) {}, 1, ""},
        {"DC bus", [](ScopeDisplay& d) { d.ChooseQuantity(1, 2); }, 1, "Vdc"},
        {"output current", [](ScopeDisplay& d) { d.ChooseQuantity(1, 4); }, 1, "A rms"},
        {"a quantity without unit", [](ScopeDisplay& d) { d.ChooseQuantity(1, 9); }, 1, ""},
        {"torque on channel 3", [](ScopeDisplay& d) { d.ChooseQuantity(3, 6); }, 3, "%"},
        {"an address typed", [](ScopeDisplay& d) { d.ClearQuantity(3); }, 3, ""},
        {"Ref 1 before a copy", [](ScopeDisplay&) {}, 5, ""},
        {"channel 1 copied into Ref 1", [](ScopeDisplay& d) { d.ChooseQuantity(1, 5); d.SaveChannelToReference(1, 1); }, 5, "rpm"},
        {"Ref 2 named", [](ScopeDisplay& d) { d.SetReferenceSource(2, QStringLiteral("Output voltage (Vac)")); }, 6, "Vac"},
    };
    for (const auto& row : table) {
        row.act(display_);
        EXPECT_EQ(display_.ReadoutUnit(row.trace), QString::fromUtf8(row.unit)) << row.step;
    }
}

// Outside the window the time is "Over range" and every value "N/A"; the cursor's slot, the
// differences and the time from the mark keep what they showed.
TEST_F(ReadoutTest, OutsideTheWindow) {
    showChannel(1);
    display_.SetReferenceShown(2, true);
    ref(2).fill(-8);
    sampleAt(1, 500) = 11, sampleAt(1, 400) = 5;
    display_.MoveCursor(400);
    display_.SetMark();
    display_.MoveCursor(500);
    const int cursorSample = display_.View().CursorSample;

    for (const int position : {-1, -9999, 100000, 109878}) {
        SCOPED_TRACE(position);
        display_.MoveCursor(position);
        EXPECT_EQ(text(kTimeReadout), QStringLiteral("Over range"));
        for (int t = 1; t <= kTraceCount; ++t) EXPECT_EQ(text(DataReadout(t)), QStringLiteral("N/A")) << t;
        EXPECT_EQ(sink_.series[kCursorSeries], VerticalLineAt(position));
        EXPECT_EQ(display_.View().CursorSample, cursorSample);
        EXPECT_EQ(text(kMarkTimeReadout), QStringLiteral("0.02"));
        EXPECT_EQ(text(DiffReadout(1)), QStringLiteral("6"));
        EXPECT_EQ(text(DiffReadout(6)), QStringLiteral("0"));
    }

    // A mark outside the window keeps the last in-window channel values; the references,
    // which hold nothing there, read 0.
    display_.SetMark();
    EXPECT_EQ(display_.View().MarkPosition, 109878);
    EXPECT_EQ(display_.View().MarkValues[0], 11);
    EXPECT_EQ(display_.View().MarkRefValues, (std::array<std::int16_t, 2>{0, 0}));
    display_.MoveCursor(400);
    EXPECT_EQ(text(DiffReadout(1)), QStringLiteral("-6"));
    EXPECT_EQ(text(DiffReadout(6)), QStringLiteral("-8"));
}

TEST_F(ReadoutTest, OnlyTheTimeFollowsWhileReadoutsAreOff) {
    showChannel(1);
    sampleAt(1, 300) = 42;
    display_.MoveCursor(300);
    display_.SetMark();
    display_.SetReadoutEnabled(false);  // a capture runs
    display_.MoveCursor(200);
    EXPECT_EQ(text(kTimeReadout), QStringLiteral("0.0402"));
    EXPECT_EQ(text(DataReadout(1)), QStringLiteral("42"));
    EXPECT_EQ(text(kMarkTimeReadout), QString());
    EXPECT_EQ(sink_.series[kCursorSeries], VerticalLineAt(300));
    display_.SetMark();  // clears the mark line, sets no mark
    EXPECT_TRUE(sink_.series[kMarkSeries].empty());
    EXPECT_EQ(display_.View().MarkPosition, 300);
}

// A gain recomputes its trace's readout, shown or not. Before any cursor move the cursor is at
// position 0 and a channel reads slot 0.
TEST_F(ReadoutTest, GainsRecomputeTheirTraceReadouts) {
    const struct {
        const char* gain;
        std::int16_t value;
        const char* readout;
    } table[] = {{"0.09765", 1024, "99.99360"}, {"1.5", -3, "-4.5"}, {"0.1", 0, ".0"},
                 {"0.5", 37, "18.5"},           {"", -37, "-37"},    {"12a", 37, "37"}};
    session_.record().NextSample = 5000;  // position 0 shows slot 105000, not the cursor's slot 0
    session_.record().ChannelTrace[0][105000] = 1;
    for (const auto& row : table) {
        session_.record().ChannelTrace[0][0] = row.value;
        ref(2)[0] = row.value;
        for (const int t : {1, 6}) {
            SCOPED_TRACE(::testing::Message() << row.gain << " of " << t);
            display_.SetGain(t, QString::fromLatin1(row.gain));
            EXPECT_EQ(text(DataReadout(t)), QString::fromLatin1(row.readout));
            EXPECT_EQ(display_.Gain(t).Typed, QString::fromLatin1(row.gain));
        }
    }
    display_.View().MarkPosition = 0;
    display_.View().MarkValues[0] = 40;
    display_.SetGain(1, QStringLiteral("2"));
    EXPECT_EQ(text(DiffReadout(1)), QStringLiteral("-6"));  // (37 - 40) x 2
}

// A gain that is no number yet is kept as typed and counts as 1; "," is a decimal point where
// the user's locale has it.
TEST_F(ReadoutTest, AnInvalidGainIsKeptAndCountsAsOne) {
    const struct {
        QLocale::Language language;
        const char* typed;
        bool valid;
        const char* data;  // with 37 under the cursor
        const char* diff;  // 37 - 25
    } table[] = {{QLocale::C, "-", false, "37", "12"},          {QLocale::C, "0.5 ", false, "37", "12"},
                 {QLocale::C, "0,01", false, "37", "12"},       {QLocale::German, "0,01", true, ".37", ".12"},
                 {QLocale::German, "0.5", true, "18.5", "6.0"}, {QLocale::C, "1.5", true, "55.5", "18.0"}};
    showChannel(1);
    sampleAt(1, 10) = 25, sampleAt(1, 20) = 37;
    display_.MoveCursor(10);
    display_.SetMark();
    for (const auto& row : table) {
        SCOPED_TRACE(row.typed);
        const LocaleScope locale(row.language);
        display_.MoveCursor(-5);
        display_.SetGain(1, QString());  // as the edit is cleared before typing
        display_.SetGain(1, QString::fromLatin1(row.typed));  // outside the window: "N/A", still marked
        EXPECT_EQ(display_.Gain(1).Typed, QString::fromLatin1(row.typed));
        EXPECT_EQ(display_.Gain(1).Valid, row.valid);
        EXPECT_EQ(text(DataReadout(1)), QStringLiteral("N/A"));
        display_.MoveCursor(20);
        EXPECT_EQ(text(DataReadout(1)), QString::fromLatin1(row.data));
        EXPECT_EQ(text(DiffReadout(1)), QString::fromLatin1(row.diff));
    }
}

TEST_F(ReadoutTest, TimesTakeTheLocaleSeparatorAndDataTheirPoint) {
    const LocaleScope locale(QLocale::German);
    showChannel(1);
    display_.SetGain(1, QStringLiteral("0.5"));
    sampleAt(1, 12345) = 37;
    display_.MoveCursor(1000);
    display_.SetMark();
    display_.MoveCursor(12345);
    EXPECT_EQ(text(kTimeReadout), QStringLiteral("2,4692"));
    EXPECT_EQ(text(kMarkTimeReadout), QStringLiteral("2,269"));  // 11345 sets
    EXPECT_EQ(text(DataReadout(1)), QStringLiteral("18.5"));
}

}  // namespace
}  // namespace altrix::testing
