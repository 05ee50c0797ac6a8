#include "audiofile/SampleConvert.h"

#include "audiofile/ByteOrder.h"

#include <cmath>
#include <cstring>

// Single-precision scale factors of the integer-to-float conversions.
static const float kShortToFloat = 1.0f / 32767.0f;
static const float kLongToFloat = 1.0f / 2147483648.0f;

// Right shifts of negative values are arithmetic here (GCC and Clang), so
// x >> n is x / 2^n rounded toward minus infinity: the top bytes of x.
static int32_t topBits (int32_t x, int shift)
{
    return x >> shift;
}

static uint32_t floatBits (float x)
{
    uint32_t bits;
    std::memcpy (&bits, &x, 4);
    return bits;
}

// The low sampSize bytes of value, least significant first.
static void storeSample (unsigned char* out, uint32_t value, int sampSize)
{
    for (int i = 0; i < sampSize; ++i)
        out[i] = static_cast<unsigned char> (value >> (8 * i));
}

static uint32_t encodeShort (int16_t x, int sampSize, bool isFloat)
{
    switch (sampSize)
    {
    case 1:
        return static_cast<uint32_t> (topBits (x, 8) + 128);
    case 2:
        return static_cast<uint16_t> (x);
    case 3:
        return static_cast<uint32_t> (x * 256);
    default:
        if (isFloat)
            return floatBits (static_cast<float> (x) * kShortToFloat);
        return static_cast<uint32_t> (x * 65536);
    }
}

static uint32_t encodeLong (int32_t x, int sampSize, bool isFloat)
{
    switch (sampSize)
    {
    case 1:
        return static_cast<uint32_t> (topBits (x, 24) + 128);
    case 2:
        return static_cast<uint32_t> (topBits (x, 16));
    case 3:
        return static_cast<uint32_t> (topBits (x, 8));
    default:
        if (isFloat)
            return floatBits (static_cast<float> (x) * kLongToFloat);
        return static_cast<uint32_t> (x);
    }
}

static uint32_t encodeFloat (float x, int sampSize, bool isFloat)
{
    switch (sampSize)
    {
    case 1:
        return static_cast<uint32_t> (FloatToScaled (x, 127) + 128);
    case 2:
        return static_cast<uint32_t> (FloatToScaled (x, 32767));
    case 3:
        return static_cast<uint32_t> (topBits (FloatToLong (x), 8));
    default:
        if (isFloat)
            return LongNone (floatBits (x));
        return static_cast<uint32_t> (FloatToLong (x));
    }
}

int32_t FloatToScaled (float x, int32_t m)
{
    if (std::isnan (x))
        return 0;
    const float v = x * static_cast<float> (m);
    if (v >= 0.0f)
        return v >= static_cast<float> (m) ? m : static_cast<int32_t> (static_cast<double> (v) + 0.5);
    return v <= -static_cast<float> (m) ? -m : static_cast<int32_t> (static_cast<double> (v) - 0.5);
}

int32_t FloatToLong (float x)
{
    if (std::isnan (x))
        return 0;
    const float v = x * 2147483648.0f;
    if (v >= 0.0f)
        return v >= 2147483648.0f ? 2147483647
                                  : static_cast<int32_t> (static_cast<int64_t> (static_cast<double> (v) + 0.5));
    return v <= -2147483648.0f ? -2147483647
                               : static_cast<int32_t> (static_cast<int64_t> (static_cast<double> (v) - 0.5));
}

void ConvertShortSamples (const int16_t* in, int64_t count, int sampSize, bool isFloat, unsigned char* out)
{
    for (int64_t i = 0; i < count; ++i)
        storeSample (out + i * sampSize, encodeShort (in[i], sampSize, isFloat), sampSize);
}

void ConvertLongSamples (const int32_t* in, int64_t count, int sampSize, bool isFloat, unsigned char* out)
{
    for (int64_t i = 0; i < count; ++i)
        storeSample (out + i * sampSize, encodeLong (in[i], sampSize, isFloat), sampSize);
}

void ConvertFloatSamples (const float* in, int64_t count, int sampSize, bool isFloat, unsigned char* out)
{
    for (int64_t i = 0; i < count; ++i)
        storeSample (out + i * sampSize, encodeFloat (in[i], sampSize, isFloat), sampSize);
}
