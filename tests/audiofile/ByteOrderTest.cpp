#include "audiofile/ByteOrder.h"

#include <gtest/gtest.h>

TEST (ByteOrder, ShortConvertersSwapOrKeepBytes)
{
    EXPECT_EQ (uint16_t (ShortNormToWbr (int16_t (0x1234))), 0x3412);
    EXPECT_EQ (uint16_t (ShortNormToWbr (int16_t (0x80ff))), 0xff80);
    EXPECT_EQ (ShortNone (-2), -2);

    int16_t one = 0x0102;
    ShortPNormToWbr (&one);
    EXPECT_EQ (one, 0x0201);
    ShortPNone (&one);
    EXPECT_EQ (one, 0x0201);

    int16_t buf[] = {0x0102, 0x0304, 0x0506};
    ShortBufNormToWbr (buf, 2);
    EXPECT_EQ (buf[0], 0x0201);
    EXPECT_EQ (buf[1], 0x0403);
    EXPECT_EQ (buf[2], 0x0506);
    ShortBufNormToWbr (buf, 0);
    ShortBufNone (buf, 3);
    EXPECT_EQ (buf[0], 0x0201);
}

TEST (ByteOrder, LongConvertersReverseSwapHalvesOrKeepBytes)
{
    EXPECT_EQ (LongNormToLbr (0x01020304u), 0x04030201u);
    EXPECT_EQ (LongWbrToLbr (0x01020304u), 0x03040102u);
    EXPECT_EQ (LongNone (0xdeadbeefu), 0xdeadbeefu);

    uint32_t one = 0x01020304u;
    LongPNormToLbr (&one);
    EXPECT_EQ (one, 0x04030201u);
    LongPWbrToLbr (&one);
    EXPECT_EQ (one, 0x02010403u);
    LongPNone (&one);
    EXPECT_EQ (one, 0x02010403u);

    uint32_t buf[] = {0x01020304u, 0xa0b0c0d0u, 0x11223344u};
    LongBufNormToLbr (buf, 2);
    EXPECT_EQ (buf[0], 0x04030201u);
    EXPECT_EQ (buf[1], 0xd0c0b0a0u);
    EXPECT_EQ (buf[2], 0x11223344u);
    LongBufWbrToLbr (buf, 3);
    EXPECT_EQ (buf[0], 0x02010403u);
    EXPECT_EQ (buf[2], 0x33441122u);
    LongBufWbrToLbr (buf, 0);
    LongBufNone (buf, 3);
    EXPECT_EQ (buf[0], 0x02010403u);
}

TEST (ByteOrder, TableHoldsTheConvertersInOrder)
{
    ByteOrderTable t = {};
    FillByteOrderTable (&t);
    EXPECT_EQ (t.directCode, ByteOrderDirect);
    EXPECT_EQ (t.ShortPNormToWbr, &ShortPNormToWbr);
    EXPECT_EQ (t.ShortNormToWbr, &ShortNormToWbr);
    EXPECT_EQ (t.ShortBufNormToWbr, &ShortBufNormToWbr);
    EXPECT_EQ (t.ShortPNone, &ShortPNone);
    EXPECT_EQ (t.ShortNone, &ShortNone);
    EXPECT_EQ (t.ShortBufNone, &ShortBufNone);
    EXPECT_EQ (t.LongPNormToLbr, &LongPNormToLbr);
    EXPECT_EQ (t.LongNormToLbr, &LongNormToLbr);
    EXPECT_EQ (t.LongBufNormToLbr, &LongBufNormToLbr);
    EXPECT_EQ (t.LongPWbrToLbr, &LongPWbrToLbr);
    EXPECT_EQ (t.LongWbrToLbr, &LongWbrToLbr);
    EXPECT_EQ (t.LongBufWbrToLbr, &LongBufWbrToLbr);
    EXPECT_EQ (t.LongPNone, &LongPNone);
    EXPECT_EQ (t.LongNone, &LongNone);
    EXPECT_EQ (t.LongBufNone, &LongBufNone);
}
