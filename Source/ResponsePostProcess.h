#pragma once

#include <cstdint>
#include <string>

// Normalisation and auto-crop of a set of responses that share one length,
// and the status sentences that report them. Null entries are skipped.

// Largest |x| over all samples of all responses, starting from 0; a NaN
// sample never raises it.
float responsesPeak (const float* const* responses, int32_t numResponses, int32_t responseLen);

// Scales every response by one common gain, 1 / peak, so that the set's peak
// becomes 1 and the levels between responses are kept. A silent set is left
// as it is with gain 1. Returns the gain.
float normalizeResponses (float* const* responses, int32_t numResponses, int32_t responseLen);

// "Applied %.1f dB normalization gain. " for a gain.
std::string normalizationSentence (float gain);

// The stretch of samples that auto-crop keeps, common to all responses.
struct CropRange
{
    int32_t start = 0;
    int32_t length = 0;
};

// From the first to the last index, both included, at which some response is
// strictly above the threshold thrDb (dB relative to the set's peak). The
// whole length when the set is silent or no sample is above the threshold.
CropRange findCropRange (const float* const* responses, int32_t numResponses, int32_t responseLen, float thrDb);

// Replaces each response by a new array holding its range.length samples
// from range.start on. Returns false, leaving the responses as they were,
// when an allocation fails.
bool cropResponses (float** responses, int32_t numResponses, CropRange range);

// "Cropped to %.3f sec starting at %.3f sec. " for a range at a sample rate.
std::string cropSentence (CropRange range, int32_t sampleRate);

// The post-processing choices of a computation.
struct PostProcessOptions
{
    bool normalize = false;
    bool autoCrop = false;
    float cropThreshDb = -96.0f;
    int32_t sampleRate = 0; // for the crop sentence
};

// Normalises, then auto-crops, as the options say, and appends each one's
// sentence to status in that order; responseLen follows the crop. Returns
// false when the crop could not allocate; the responses are then unchanged
// by the crop.
bool postProcessResponses (float** responses, int32_t numResponses, int32_t& responseLen,
                           const PostProcessOptions& options, std::string& status);
