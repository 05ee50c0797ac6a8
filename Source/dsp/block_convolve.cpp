#include "dsp/block_convolve.h"
#include "dsp/dsp_hooks.h"
#include "dsp/fft.h"
#include "dsp/fft_basis.h"

#include <stdlib.h>
#include <string.h>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

void f_copy (float* dst, const float* src, unsigned long n)
{
    if (n > 0)
        memmove (dst, src, n * sizeof (float));
}

// Bin-wise product of two packed spectra of e bins: DC and Nyquist are real, the rest complex (float arithmetic).
// Each bin is read before it is written, so Y may be B.
static void multiply_spectra_scalar (float* Y, const float* B, const float* H, long first, long e)
{
    for (long k = first; k < e; ++k)
    {
        const float br = B[2 * k], bi = B[2 * k + 1], hr = H[2 * k], hi = H[2 * k + 1];
        Y[2 * k] = br * hr - bi * hi;
        Y[2 * k + 1] = br * hi + bi * hr;
    }
}

#if defined(__x86_64__) || defined(__i386__)
// Four bins at a time, lane by lane the same products and sums as the scalar loop.
__attribute__ ((target ("avx2"))) static void multiply_spectra_avx2 (float* Y, const float* B, const float* H, long e)
{
    long k = 1;
    for (; k + 4 <= e; k += 4)
    {
        const __m256 b = _mm256_loadu_ps (B + 2 * k), h = _mm256_loadu_ps (H + 2 * k);
        const __m256 reTimesH = _mm256_mul_ps (_mm256_moveldup_ps (b), h); // (br hr, br hi)
        const __m256 imTimesSwappedH =
            _mm256_mul_ps (_mm256_movehdup_ps (b), _mm256_permute_ps (h, 0xB1)); // (bi hi, bi hr)
        _mm256_storeu_ps (Y + 2 * k, _mm256_addsub_ps (reTimesH, imTimesSwappedH));
    }
    multiply_spectra_scalar (Y, B, H, k, e);
}
#endif

static void multiply_spectra (float* Y, const float* B, const float* H, long e)
{
    Y[0] = B[0] * H[0];
    Y[1] = B[1] * H[1];
#if defined(__x86_64__) || defined(__i386__)
    static const bool avx2 = __builtin_cpu_supports ("avx2");
    if (avx2 && dsp_scalar_only == 0)
    {
        multiply_spectra_avx2 (Y, B, H, e);
        return;
    }
#endif
    multiply_spectra_scalar (Y, B, H, 1, e);
}

float* f_block_convolve (const float* h, long nh, const float* x, long nx, long* outLen)
{
    const long len = nh + nx - 1;
    *outLen = len;
    if (nh < 1 || nx < 0)
        return nullptr;

    long e = 1;
    while (e < nh)
        e *= 2;
    const long N = 2 * e;

    // At least one float, so that a null result always means that memory ran out.
    float* result = (float*)dsp_calloc ((size_t)(len > 0 ? len : 1), sizeof (float));
    float* block = (float*)dsp_calloc ((size_t)N, sizeof (float));
    float* H = (float*)dsp_calloc ((size_t)N, sizeof (float));
    float* Y0 = (float*)dsp_calloc ((size_t)N, sizeof (float));
    float* Y1 = (float*)dsp_calloc ((size_t)N, sizeof (float));
    if (result == nullptr || block == nullptr || H == nullptr || Y0 == nullptr || Y1 == nullptr)
    {
        free (result);
        free (block);
        free (H);
        free (Y0);
        free (Y1);
        return nullptr;
    }

    memcpy (H, h, (size_t)nh * sizeof (float));
    fft_real_packed_spect (H, N);

    // Y0 and Y1 alternate, so the previous block's tail is still there when the next block is added.
    float* Y = Y0;
    float* last = Y0;
    long blocks = 0, g = 0;
    for (long start = 0; start < nx; start += g, ++blocks)
    {
        g = nx - start < e ? nx - start : e;
        memcpy (block, x + start, (size_t)g * sizeof (float));
        memset (block + g, 0, (size_t)(N - g) * sizeof (float));
        fft_real_packed_spect (block, N);
        multiply_spectra (Y, block, H, e);
        ifft_real_packed_spect (Y, N);

        float* out = result + blocks * e;
        const long u = e < nh - 1 + g ? e : nh - 1 + g;
        memcpy (out, Y, (size_t)u * sizeof (float));
        last = Y;
        Y = Y == Y0 ? Y1 : Y0;
        for (long k = 0; k < nh - 1; ++k)
            out[k] += Y[e + k];
    }

    const long tail = nh + g - e - 1;
    if (tail > 0)
        memcpy (result + blocks * e, last + e, (size_t)tail * sizeof (float));

    free (block);
    free (H);
    free (Y0);
    free (Y1);
    return result;
}

// f_block_convolve's block length: the smallest power of two that is at least nh.
static long block_length (long nh)
{
    long e = 1;
    while (e < nh)
        e *= 2;
    return e;
}

struct block_filter
{
    long nh, e, N;
    float* H; // the spectrum of h zero-padded to N samples
};

block_filter* block_filter_new (const float* h, long nh)
{
    if (nh < 1)
        return nullptr;

    block_filter* filter = (block_filter*)dsp_calloc (1, sizeof (block_filter));
    float* H = filter != nullptr ? (float*)dsp_calloc ((size_t)2 * (size_t)block_length (nh), sizeof (float)) : nullptr;
    if (H == nullptr)
    {
        free (filter);
        return nullptr;
    }

    filter->nh = nh;
    filter->e = block_length (nh);
    filter->N = 2 * filter->e;
    filter->H = H;
    // Built here, so that convolving only looks tables up; the transform below skips size 2, the inverse does not.
    AssignBasisNode (filter->N);
    memcpy (H, h, (size_t)nh * sizeof (float));
    fft_real_packed_spect (H, filter->N);
    return filter;
}

void block_filter_free (block_filter* filter)
{
    if (filter == nullptr)
        return;
    free (filter->H);
    free (filter);
}

long block_filter_scratch_floats (const block_filter* filter)
{
    return 2 * filter->N;
}

// Block by block as f_block_convolve, with its arithmetic: sample o of block j is Y_j[o], plus Y_j-1[e + o] for
// o < nh - 1 (Y_-1 is zeros); after the last block come the rest of its samples, Y_last[e ..].
void block_filter_convolve (const block_filter* filter, const float* x, long nx, long first, long count, float* out,
                            float* scratch)
{
    const long nh = filter->nh, e = filter->e, N = filter->N;
    const long end = first + count;
    if (count > 0)
        memset (out, 0, (size_t)count * sizeof (float));

    float* Y = scratch;
    float* previous = scratch + N;
    // Block j writes samples j e .. j e + e - 1; the block before the first wanted one is needed for its tail.
    long j = first / e > 0 ? first / e - 1 : 0;
    memset (previous + e, 0, (size_t)(nh - 1) * sizeof (float));
    long g = 0;
    for (; j * e < nx && j * e < end; ++j)
    {
        const long start = j * e;
        g = nx - start < e ? nx - start : e;
        memcpy (Y, x + start, (size_t)g * sizeof (float));
        memset (Y + g, 0, (size_t)(N - g) * sizeof (float));
        fft_real_packed_spect (Y, N);
        multiply_spectra (Y, Y, filter->H, e);
        ifft_real_packed_spect (Y, N);

        const long u = e < nh - 1 + g ? e : nh - 1 + g;
        const long from = first > start ? first - start : 0;
        const long to = end - start < u ? end - start : u;
        for (long o = from; o < to; ++o)
            out[start + o - first] = o < nh - 1 ? Y[o] + previous[e + o] : Y[o];

        float* t = previous;
        previous = Y;
        Y = t;
    }

    // Past the last block: its samples beyond e, when the loop reached it.
    if (j * e >= nx && g > 0)
    {
        const long start = j * e, tail = nh + g - e - 1;
        const long from = first > start ? first - start : 0;
        const long to = end - start < tail ? end - start : tail;
        for (long o = from; o < to; ++o)
            out[start + o - first] = previous[e + o];
    }
}
