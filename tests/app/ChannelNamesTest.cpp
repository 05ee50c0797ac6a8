#include <gtest/gtest.h>

#include "ChannelNames.h"

namespace
{
TEST (ChannelNames, LabelsPerChannelCount)
{
    struct Case
    {
        int n;
        juce::StringArray labels;
    };
    const Case cases[] = {
        {-5, {}},
        {-1, {}},
        {0, {}},
        {1, {"L"}},
        {2, {"L", "R"}},
        {3, {"0", "1", "2"}},
        {12, {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ (getChannelNames (c.n), c.labels)
            << "n = " << c.n << ": " << getChannelNames (c.n).joinIntoString (",");
}

TEST (ChannelNames, SixteenChannelsAreZeroToFifteenWithoutLeadingZeros)
{
    const auto names = getChannelNames (16);
    ASSERT_EQ (names.size(), 16);
    EXPECT_EQ (names[0], "0");
    EXPECT_EQ (names[9], "9");
    EXPECT_EQ (names[10], "10");
    EXPECT_EQ (names[15], "15");
}
} // namespace
