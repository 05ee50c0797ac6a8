#include "audiofile/ByteOrder.h"

static_assert (__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__,
               "the writer's byte-order table is filled for little-endian hosts only");

static uint16_t swapShort (uint16_t v)
{
    return static_cast<uint16_t> ((v >> 8) | (v << 8));
}

static uint32_t reverseLong (uint32_t v)
{
    return (v >> 24) | ((v >> 8) & 0x0000ff00u) | ((v << 8) & 0x00ff0000u) | (v << 24);
}

static uint32_t swapHalves (uint32_t v)
{
    return (v >> 16) | (v << 16);
}

extern "C"
{

    int16_t ShortNormToWbr (int16_t value)
    {
        return static_cast<int16_t> (swapShort (static_cast<uint16_t> (value)));
    }

    void ShortPNormToWbr (int16_t* value)
    {
        *value = ShortNormToWbr (*value);
    }

    void ShortBufNormToWbr (int16_t* values, uint64_t count)
    {
        for (uint64_t i = 0; i < count; ++i)
            values[i] = ShortNormToWbr (values[i]);
    }

    void ShortPNone (int16_t*) {}

    int16_t ShortNone (int16_t value)
    {
        return value;
    }

    void ShortBufNone (int16_t*, uint64_t) {}

    uint32_t LongNormToLbr (uint32_t value)
    {
        return reverseLong (value);
    }

    void LongPNormToLbr (uint32_t* value)
    {
        *value = reverseLong (*value);
    }

    void LongBufNormToLbr (uint32_t* values, uint64_t count)
    {
        for (uint64_t i = 0; i < count; ++i)
            values[i] = reverseLong (values[i]);
    }

    uint32_t LongWbrToLbr (uint32_t value)
    {
        return swapHalves (value);
    }

    void LongPWbrToLbr (uint32_t* value)
    {
        *value = swapHalves (*value);
    }

    void LongBufWbrToLbr (uint32_t* values, uint64_t count)
    {
        for (uint64_t i = 0; i < count; ++i)
            values[i] = swapHalves (values[i]);
    }

    void LongPNone (uint32_t*) {}

    uint32_t LongNone (uint32_t value)
    {
        return value;
    }

    void LongBufNone (uint32_t*, uint64_t) {}
}

void FillByteOrderTable (ByteOrderTable* table)
{
    table->directCode = ByteOrderDirect;
    table->ShortPNormToWbr = ShortPNormToWbr;
    table->ShortNormToWbr = ShortNormToWbr;
    table->ShortBufNormToWbr = ShortBufNormToWbr;
    table->ShortPNone = ShortPNone;
    table->ShortNone = ShortNone;
    table->ShortBufNone = ShortBufNone;
    table->LongPNormToLbr = LongPNormToLbr;
    table->LongNormToLbr = LongNormToLbr;
    table->LongBufNormToLbr = LongBufNormToLbr;
    table->LongPWbrToLbr = LongPWbrToLbr;
    table->LongWbrToLbr = LongWbrToLbr;
    table->LongBufWbrToLbr = LongBufWbrToLbr;
    table->LongPNone = LongPNone;
    table->LongNone = LongNone;
    table->LongBufNone = LongBufNone;
}
