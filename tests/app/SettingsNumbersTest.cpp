#include <gtest/gtest.h>

#include "SettingsNumbers.h"

#include <climits>

namespace
{
TEST (SettingsNumbers, TextsReadAsTheStoreReadsThemAndHugeNumbersStopAtTheIntLimits)
{
    struct Case
    {
        const char* text;
        int value;
    };
    const Case cases[] = {
        {"", 0},
        {"abc", 0},
        {"+5", 0},
        {"07", 7},
        {"  12", 12},
        {"12abc", 12},
        {"-3", -3},
        {"-", 0},
        {"2147483647", INT_MAX},
        {"-2147483648", INT_MIN},
        // Beyond 32 bits: these used to wrap around into small, valid-looking values.
        {"2147483648", INT_MAX},
        {"4294967296", INT_MAX},
        {"4294967297", INT_MAX},
        {"4294967299", INT_MAX},
        {"99999999999", INT_MAX},
        {"000000000000000000000000000000016", 16},
        {"123456789012345678901234567890", INT_MAX},
        {"-2147483649", INT_MIN},
        {"-4294967295", INT_MIN},
        {"-99999999999999999999", INT_MIN},
    };
    for (const auto& c : cases)
        EXPECT_EQ (settingsIntOf (c.text), c.value) << "\"" << c.text << "\"";
}

TEST (SettingsNumbers, AbsentKeysTakeTheFallbackAndFlagsAreAnyNonZeroInteger)
{
    juce::PropertySet settings (true);
    settings.setValue ("count", "4294967299");
    settings.setValue ("on", "4294967296");
    settings.setValue ("off", "0");
    settings.setValue ("word", "yes");

    EXPECT_EQ (getSettingsInt (settings, "COUNT", 0), INT_MAX);
    EXPECT_EQ (getSettingsInt (settings, "missing", 2), 2);
    EXPECT_TRUE (getSettingsFlag (settings, "on"));
    EXPECT_FALSE (getSettingsFlag (settings, "off", true));
    EXPECT_FALSE (getSettingsFlag (settings, "word", true));
    EXPECT_TRUE (getSettingsFlag (settings, "missing", true));
    EXPECT_FALSE (getSettingsFlag (settings, "missing"));
}
} // namespace
