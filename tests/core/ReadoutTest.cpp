#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>

#include "CaptureRecord.h"
#include "Readout.h"

namespace altrix {
namespace {

TEST(CountDataValue, ExactDecimalProductOfValueAndGainText) {
    struct Case { std::int64_t value; const char* gain; const char* text; };
    const Case cases[] = {
        {1024, "0.09765", "99.99360"},
        {-3, "1.5", "-4.5"},
        {0, "0.1", ".0"},
        {37, "0.5", "18.5"},
        {1234, "0.01", "12.34"},
        {-12, "0.01", "-.12"},
        {25, "5.", "125."},
        {5, "5.", "25."},
        {12, "0.01", ".12"},
        {0, "5.", "0."},
        {0, ".", "0."},
        {7, ".", "0."},
        {1, "1", "1"},
        {-32768, "1", "-32768"},
        {5000, "0.01", "50.00"},
        {3100, "0.1", "310.0"},
        {100, "54.61", "5461.00"},
        {0, "1", "0"},
        {0, "0.09765", ".0"},
        {-65535, "0.01", "-655.35"},
        // Shorter than the decimals: shown exactly with a leading point.
        {5, "0.01", ".05"},
        {-5, "0.01", "-.05"},
        {1, "0.09765", ".09765"},
        {-12, "0.001", "-.012"},
        // Beyond 32 bits: exact.
        {65535, "99999999999", "6553499999934465"},
        {-65535, "123456789012345678901234567890", "-8090740667924074066792407406671150"},
        {2, "0.00000000000000000001", ".00000000000000000002"},
        {-65535, "9999999999999999999", "-655349999999999999934465"},
        // Later points are not digits and not decimals.
        {100, "1.2.5", "125.00"},
    };
    for (const Case& c : cases) {
        const ReadoutText r = CountDataValue(c.value, c.gain);
        EXPECT_EQ(r.Text, c.text) << c.value << " x \"" << c.gain << "\"";
        EXPECT_TRUE(IsValidGain(c.gain)) << c.gain;
    }
}

TEST(CountDataValue, EmptyOrInvalidGainCountsAsOne) {
    struct Case { std::int64_t value; const char* gain; bool invalid; const char* text; };
    const Case cases[] = {
        {1024, "", false, "1024"},
        {1024, "12a", true, "1024"},
        {-7, "a0.1", true, "-7"},
        {-7, " 1", true, "-7"},
        {-7, "1,5", true, "-7"},
        {-7, "-1", true, "-7"},
    };
    for (const Case& c : cases) {
        const ReadoutText r = CountDataValue(c.value, c.gain);
        EXPECT_EQ(r.Text, c.text) << "\"" << c.gain << "\"";
        EXPECT_EQ(IsValidGain(c.gain), !c.invalid) << "\"" << c.gain << "\"";
    }
}

TEST(YScaleGain, EveryListTextIsTheNearestFloat) {
    for (std::string_view text : kYScaleTexts) {
        const float expected = std::stof(std::string(text));
        EXPECT_EQ(YScaleGain(text), expected) << text;
    }
    EXPECT_EQ(kYScaleTexts[kDefaultYScaleIndex], "1");
    EXPECT_EQ(kYScaleTexts.size(), 22u);
}

TEST(YScaleGain, ThirtyThreeHundredthsIsTheFloatAbove) {
    const float v = YScaleGain("0.33");
    EXPECT_EQ(v, 0.330000013f);
    EXPECT_GT(static_cast<double>(v), 0.33);
    EXPECT_EQ(YScaleGain(""), 0.0f);
}

TEST(GainFactor, TheValueCountDataValueMultipliesBy) {
    const std::pair<const char*, double> cases[] = {
        {"0.01", 0.01}, {"54.61", 54.61}, {"0.09765", 0.09765}, {"5.", 5}, {".", 0},
        {"1.2.3", 1.23}, {"", 1}, {"12a", 1}, {"007", 7}};
    for (const auto& [gain, factor] : cases) EXPECT_EQ(GainFactor(gain), factor) << gain;
}

TEST(FormatSeconds, GeneralFormatWithTheCallersSeparator) {
    struct Case { int position; char sep; const char* text; };
    const Case cases[] = {
        {0, '.', "0.0002"}, {12345, '.', "2.4692"}, {99999, '.', "20"},
        {4, '.', "0.001"},  {4999, '.', "1"},       {5000, '.', "1.0002"},
        {99998, '.', "19.9998"}, {12345, ',', "2,4692"}, {99999, ',', "20"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FormatSeconds(PositionSeconds(c.position), c.sep), c.text) << c.position;
    EXPECT_EQ(FormatSeconds((999 - 1000) * kSamplePeriodSeconds, '.'), "-0.0002");
}

TEST(WriteSetSeconds, GivesTheTextFormatSecondsGivesForTheSetsTime) {
    const auto expectSame = [](std::int64_t sets, char separator) {
        char buffer[kMaxSetSecondsLength];
        const std::string text(buffer, WriteSetSeconds(buffer, sets, separator));
        const std::string expected = FormatSeconds(static_cast<double>(sets) * kSamplePeriodSeconds, separator);
        if (text == expected) return true;
        ADD_FAILURE() << sets << " sets: " << text << " instead of " << expected;
        return false;
    };
    // Every set of two windows, then a day and more of recording in coarse steps.
    for (std::int64_t sets = 0; sets <= 2 * kWindowPositions; ++sets)
        if (!expectSame(sets, '.')) break;
    for (std::int64_t sets = 2 * kWindowPositions; sets <= 1'000'000'000; sets += 999'983)
        if (!expectSame(sets, ',')) break;
}

}  // namespace
}  // namespace altrix
