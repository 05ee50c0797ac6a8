#include "OutputFiles.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

namespace
{
juce::StringArray namesOf (const std::vector<OutputFilePlan>& plans)
{
    juce::StringArray names;
    for (const auto& p : plans)
        names.add (p.name);
    return names;
}

juce::StringArray split (const char* list)
{
    return juce::StringArray::fromTokens (list, " ", "");
}
} // namespace

TEST (OutputNames, EveryOrganisationForTheChannelCounts)
{
    const struct
    {
        int p, r;
        const char* single;
        const char* perOutput;
        const char* perResponse;
    } cases[] = {
        {1, 1, "impulse.wav", "impulse_L.wav", "impulse_LL.wav"},
        {2, 2, "impulse.wav", "impulse_L.wav impulse_R.wav",
         "impulse_LL.wav impulse_LR.wav impulse_RL.wav impulse_RR.wav"},
        {1, 4, "impulse.wav", "impulse_L.wav", "impulse_L0.wav impulse_L1.wav impulse_L2.wav impulse_L3.wav"},
        {4, 2, "impulse.wav", "impulse_0.wav impulse_1.wav impulse_2.wav impulse_3.wav",
         "impulse_0L.wav impulse_0R.wav impulse_1L.wav impulse_1R.wav impulse_2L.wav impulse_2R.wav "
         "impulse_3L.wav impulse_3R.wav"},
        {3, 2, "impulse.wav", "impulse_0.wav impulse_1.wav impulse_2.wav",
         "impulse_0L.wav impulse_0R.wav impulse_1L.wav impulse_1R.wav impulse_2L.wav impulse_2R.wav"},
        {3, 3, "impulse.wav", "impulse_0.wav impulse_1.wav impulse_2.wav",
         "impulse_0_0.wav impulse_0_1.wav impulse_0_2.wav impulse_1_0.wav impulse_1_1.wav impulse_1_2.wav "
         "impulse_2_0.wav impulse_2_1.wav impulse_2_2.wav"},
    };

    for (const auto& c : cases)
    {
        const auto label = std::to_string (c.p) + " x " + std::to_string (c.r);
        const int m = c.p * c.r;

        const auto single = planOutputFiles ("impulse", "wav", kOutputSingleFile, c.p, c.r, 0);
        EXPECT_EQ (namesOf (single), split (c.single)) << label;
        ASSERT_EQ (single.size(), 1u) << label;
        ASSERT_EQ ((int)single[0].responses.size(), m) << label;
        for (int i = 0; i < m; ++i)
            EXPECT_EQ (single[0].responses[(size_t)i], i) << label;

        const auto perOutput = planOutputFiles ("impulse", "wav", kOutputPerOutput, c.p, c.r, 0);
        EXPECT_EQ (namesOf (perOutput), split (c.perOutput)) << label;
        for (int p = 0; p < (int)perOutput.size(); ++p)
        {
            ASSERT_EQ ((int)perOutput[(size_t)p].responses.size(), c.r) << label;
            for (int r = 0; r < c.r; ++r)
                EXPECT_EQ (perOutput[(size_t)p].responses[(size_t)r], p * c.r + r) << label;
        }

        const auto perResponse = planOutputFiles ("impulse", "wav", kOutputPerResponse, c.p, c.r, 0);
        EXPECT_EQ (namesOf (perResponse), split (c.perResponse)) << label;
        for (int i = 0; i < (int)perResponse.size(); ++i)
            EXPECT_EQ (perResponse[(size_t)i].responses, std::vector<int>{i}) << label;
    }
}

TEST (OutputNames, EmptyBaseNameAndTextExtension)
{
    EXPECT_EQ (namesOf (planOutputFiles ("", "wav", kOutputSingleFile, 2, 1, 0)), split (".wav"));
    EXPECT_EQ (namesOf (planOutputFiles ("", "wav", kOutputPerOutput, 2, 1, 0)), split ("_L.wav _R.wav"));
    EXPECT_EQ (namesOf (planOutputFiles ("", "txt", kOutputPerResponse, 1, 2, 0)), split ("_LL.txt _LR.txt"));
}

TEST (OutputNames, TrueStereoOrderOnlyForATwoByTwoSingleFile)
{
    const struct
    {
        int tsFmtIndex;
        std::vector<int> order;
    } cases[] = {
        {0, {0, 1, 2, 3}}, {1, {0, 3, 1, 2}}, {2, {0, 1, 3, 2}}, {-1, {0, 1, 2, 3}}, {7, {0, 1, 2, 3}},
    };
    for (const auto& c : cases)
        EXPECT_EQ (planOutputFiles ("ir", "wav", kOutputSingleFile, 2, 2, c.tsFmtIndex)[0].responses, c.order)
            << "tsFmt index " << c.tsFmtIndex;

    // Other counts and organisations ignore the choice.
    EXPECT_EQ (planOutputFiles ("ir", "wav", kOutputSingleFile, 1, 4, 1)[0].responses, (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ (planOutputFiles ("ir", "wav", kOutputSingleFile, 4, 1, 1)[0].responses, (std::vector<int>{0, 1, 2, 3}));
    const auto perOutput = planOutputFiles ("ir", "wav", kOutputPerOutput, 2, 2, 1);
    EXPECT_EQ (perOutput[0].responses, (std::vector<int>{0, 1}));
    EXPECT_EQ (perOutput[1].responses, (std::vector<int>{2, 3}));
    const auto perResponse = planOutputFiles ("ir", "wav", kOutputPerResponse, 2, 2, 2);
    EXPECT_EQ (perResponse[3].responses, std::vector<int>{3});
}

TEST (OutputNames, UnknownOrganisationFallsBackToTheSingleFile)
{
    for (int v : {-1, 3, 5, 100})
        EXPECT_EQ (effectiveOrganisation (v), kOutputSingleFile) << v;
    for (int v : {0, 1, 2})
        EXPECT_EQ (effectiveOrganisation (v), v);
}

TEST (OutputNames, StatusSentences)
{
    EXPECT_EQ (outputFilesSentence (kOutputSingleFile, 1, 1, split ("impulse.wav")),
               "Wrote a single 1-channel impulse response file: impulse.wav");
    EXPECT_EQ (outputFilesSentence (kOutputPerOutput, 2, 1, split ("impulse_L.wav impulse_R.wav")),
               "Wrote 2 1-channel impulse response files: impulse_L.wav, impulse_R.wav");
    EXPECT_EQ (outputFilesSentence (kOutputPerResponse, 2, 2,
                                    split ("impulse_LL.wav impulse_LR.wav impulse_RL.wav impulse_RR.wav")),
               "Wrote 4 mono impulse response files: impulse_LL.wav, impulse_LR.wav, impulse_RL.wav, impulse_RR.wav");
}

TEST (OutputDirectory, FallsBackToTheWorkingDirectory)
{
    const auto cwd = juce::File::getCurrentWorkingDirectory();
    const auto tmp = juce::File::createTempFile ("");
    ASSERT_TRUE (tmp.createDirectory());
    const auto regular = tmp.getChildFile ("plain.txt");
    ASSERT_TRUE (regular.replaceWithText ("x"));

    const struct
    {
        juce::String text;
        juce::File expected;
    } cases[] = {
        {"", cwd},
        {tmp.getChildFile ("missing").getFullPathName(), cwd},
        {regular.getFullPathName(), cwd},
        {tmp.getFullPathName(), tmp},
        {tmp.getFullPathName() + "/", tmp},
    };
    for (const auto& c : cases)
        EXPECT_EQ (resolveOutputDirectory (c.text), c.expected) << c.text;

    EXPECT_FALSE (tmp.getChildFile ("missing").exists()) << "the directory is never created";
    tmp.deleteRecursively();
}

TEST (OutputSizeLimits, WavFilesStayBelowTwoGiB)
{
    const int64_t limit = int64_t (1) << 31;
    const struct
    {
        int64_t frames, channels;
        int bits;
        bool fits;
    } cases[] = {
        {48000, 2, 16, true},
        {(limit - 44) / 2 - 1, 1, 16, true}, // one frame below the limit
        {(limit - 44) / 2, 1, 16, false},    // exactly 2 GiB
        {(limit - 44) / 4 - 1, 1, 32, true},
        {(limit - 44) / 4, 1, 32, false},
        {(limit - 44) / 3, 1, 24, false},
        {(limit - 44) / 3 - 1, 1, 24, true}, // odd data size, with its pad byte
        {480000 * 16, 256, 16, false},       // 16 x 16 responses of a long sweep in one file
        {int64_t (1) << 30, 2, 16, false},   // 2^31 samples: beyond the interleave buffer too
        {100, 0, 16, false},                 // nothing to write a frame of
    };
    for (const auto& c : cases)
        EXPECT_EQ (wavSizeLimitError (c.frames, c.channels, c.bits).isEmpty(), c.fits)
            << c.frames << " frames x " << c.channels << " channels at " << c.bits << " bits";
}
