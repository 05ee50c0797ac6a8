#pragma once

#include <cstdint>

// Byte-order converters. P forms convert one value in place, value forms return
// the converted value, Buf forms convert count consecutive values in place.
extern "C"
{
    void ShortPNormToWbr (int16_t* value);
    int16_t ShortNormToWbr (int16_t value);
    void ShortBufNormToWbr (int16_t* values, uint64_t count);
    void ShortPNone (int16_t* value);
    int16_t ShortNone (int16_t value);
    void ShortBufNone (int16_t* values, uint64_t count);
    void LongPNormToLbr (uint32_t* value);
    uint32_t LongNormToLbr (uint32_t value);
    void LongBufNormToLbr (uint32_t* values, uint64_t count);
    void LongPWbrToLbr (uint32_t* value);
    uint32_t LongWbrToLbr (uint32_t value);
    void LongBufWbrToLbr (uint32_t* values, uint64_t count);
    void LongPNone (uint32_t* value);
    uint32_t LongNone (uint32_t value);
    void LongBufNone (uint32_t* values, uint64_t count);
}

// The converters a file's header and samples go through. Frames are written
// without conversion only while directCode is ByteOrderDirect.
struct ByteOrderTable
{
    int directCode;
    void (*ShortPNormToWbr) (int16_t*);
    int16_t (*ShortNormToWbr) (int16_t);
    void (*ShortBufNormToWbr) (int16_t*, uint64_t);
    void (*ShortPNone) (int16_t*);
    int16_t (*ShortNone) (int16_t);
    void (*ShortBufNone) (int16_t*, uint64_t);
    void (*LongPNormToLbr) (uint32_t*);
    uint32_t (*LongNormToLbr) (uint32_t);
    void (*LongBufNormToLbr) (uint32_t*, uint64_t);
    void (*LongPWbrToLbr) (uint32_t*);
    uint32_t (*LongWbrToLbr) (uint32_t);
    void (*LongBufWbrToLbr) (uint32_t*, uint64_t);
    void (*LongPNone) (uint32_t*);
    uint32_t (*LongNone) (uint32_t);
    void (*LongBufNone) (uint32_t*, uint64_t);
};

enum : int
{
    ByteOrderDirect = 3
};

// Fills the table for a little-endian host, where the file's order is memory order.
void FillByteOrderTable (ByteOrderTable* table);
