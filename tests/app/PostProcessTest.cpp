#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "MeasureMemory.h"
#include "ResponsePostProcess.h"
#include "support/ResponseTable.h"

namespace
{
// A table of responses of one length, zero except for the given samples.
struct Sample
{
    int response;
    int index;
    float value;
};

void fill (ResponseTable& table, int len, const std::vector<Sample>& samples)
{
    for (auto& e : table.entries)
        e = static_cast<float*> (std::calloc ((size_t)len, sizeof (float)));

    for (const auto& s : samples)
        table.entries[(size_t)s.response][s.index] = s.value;
}
} // namespace

TEST (PostProcessNormalize, OneCommonGainForAllResponses)
{
    ResponseTable t (3);
    fill (t, 100, {{0, 10, 0.25f}, {1, 20, -0.5f}, {2, 30, 0.125f}, {2, 31, NAN}});

    const float gain = normalizeResponses (t.data(), 3, 100);
    EXPECT_FLOAT_EQ (gain, 2.0f);
    EXPECT_FLOAT_EQ (t[0][10], 0.5f);
    EXPECT_FLOAT_EQ (t[1][20], -1.0f);
    EXPECT_FLOAT_EQ (t[2][30], 0.25f);
    EXPECT_EQ (normalizationSentence (gain), "Applied 6.0 dB normalization gain. ");
}

TEST (PostProcessNormalize, SilenceKeepsGainOne)
{
    ResponseTable t (2);
    fill (t, 50, {});

    const float gain = normalizeResponses (t.data(), 2, 50);
    EXPECT_EQ (gain, 1.0f);
    EXPECT_EQ (normalizationSentence (gain), "Applied 0.0 dB normalization gain. ");
}

TEST (PostProcessCrop, KeepsFirstToLastSampleAboveTheThreshold)
{
    struct Case
    {
        const char* name;
        int len;
        std::vector<Sample> samples;
        float thrDb;
        CropRange expected;
    };
    const Case cases[] = {
        {"one loud sample", 10, {{0, 5, 1.0f}}, -42.0f, {5, 1}},
        {"only index 0 above", 10, {{0, 0, 1.0f}, {0, 9, 0.001f}}, -42.0f, {0, 1}},
        {"last index above is kept", 10, {{0, 2, 1.0f}, {0, 9, 0.5f}}, -42.0f, {2, 8}},
        {"the stretch spans all responses", 20, {{1, 3, 0.2f}, {0, 8, 1.0f}, {2, 15, -0.15f}}, -20.0f, {3, 13}},
        {"strictly above: a sample at the threshold is not", 10, {{0, 4, 1.0f}, {0, 8, 0.1f}}, -20.0f, {4, 1}},
        {"NaN never counts", 10, {{0, 1, NAN}, {0, 4, 1.0f}, {0, 8, NAN}}, -42.0f, {4, 1}},
        {"silence keeps everything", 10, {}, -42.0f, {0, 10}},
        {"nothing above a threshold at the peak", 10, {{0, 4, 1.0f}}, 0.0f, {0, 10}},
    };

    for (const auto& c : cases)
    {
        ResponseTable t (3);
        fill (t, c.len, c.samples);
        const CropRange r = findCropRange (t.data(), 3, c.len, c.thrDb);
        EXPECT_EQ (r.start, c.expected.start) << c.name;
        EXPECT_EQ (r.length, c.expected.length) << c.name;
    }
}

TEST (PostProcessCrop, CropsEveryResponseAndSaysSo)
{
    ResponseTable t (2);
    fill (t, 48000, {{0, 480, 1.0f}, {1, 24479, 0.5f}, {1, 30000, 0.001f}});

    const CropRange r = findCropRange (t.data(), 2, 48000, -42.0f);
    ASSERT_EQ (r.start, 480);
    ASSERT_EQ (r.length, 24000);
    ASSERT_TRUE (cropResponses (t.data(), 2, r));
    EXPECT_EQ (t[0][0], 1.0f);
    EXPECT_EQ (t[1][23999], 0.5f);
    EXPECT_EQ (cropSentence (r, 48000), "Cropped to 0.500 sec starting at 0.010 sec. ");
}

TEST (PostProcessCrop, FailedAllocationLeavesTheResponses)
{
    for (int n = 0; n < 3; ++n)
    {
        ResponseTable t (2);
        fill (t, 10, {{0, 3, 1.0f}, {1, 6, 1.0f}});
        const float* before[2] = {t[0], t[1]};

        measureFailRequest (n);
        EXPECT_FALSE (cropResponses (t.data(), 2, {3, 4})) << "request " << n;
        measureFailRequest (-1);
        EXPECT_EQ (t[0], before[0]) << "request " << n;
        EXPECT_EQ (t[1], before[1]) << "request " << n;
        EXPECT_EQ (t[1][6], 1.0f) << "request " << n;
    }
}

TEST (PostProcess, BothOptionsInOrder)
{
    struct Case
    {
        const char* name;
        PostProcessOptions options;
        const char* status;
        int responseLen;
    };
    // Peak 0.5 normalised to 1; at -42 dB the threshold is 10^-2.1 = 0.00794
    // of it, so the normalised 0.008 at index 900 counts and 0.0078 at 950 not.
    const Case cases[] = {
        {"neither", {false, false, -42.0f, 1000}, "", 1000},
        {"normalize", {true, false, -42.0f, 1000}, "Applied 6.0 dB normalization gain. ", 1000},
        {"crop", {false, true, -42.0f, 1000}, "Cropped to 0.801 sec starting at 0.100 sec. ", 801},
        {"both",
         {true, true, -42.0f, 1000},
         "Applied 6.0 dB normalization gain. Cropped to 0.801 sec starting at 0.100 sec. ",
         801},
    };

    for (const auto& c : cases)
    {
        ResponseTable t (1);
        fill (t, 1000, {{0, 100, 0.5f}, {0, 900, 0.004f}, {0, 950, 0.0039f}});
        int32_t responseLen = 1000;
        std::string status;

        ASSERT_TRUE (postProcessResponses (t.data(), 1, responseLen, c.options, status)) << c.name;
        EXPECT_EQ (status, c.status) << c.name;
        EXPECT_EQ (responseLen, c.responseLen) << c.name;
    }
}
