#pragma once

// The block length f_block_convolve uses for a filter of nh taps: the smallest
// power of two that is at least nh (and at least 1).
inline long blockLength (long nh)
{
    long e = 1;
    while (e < nh)
        e *= 2;
    return e;
}
