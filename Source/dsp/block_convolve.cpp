#include "dsp/block_convolve.h"
#include "dsp/dsp_hooks.h"
#include "dsp/fft.h"

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
static void multiply_spectra_scalar (float* Y, const float* B, const float* H, long first, long e)
{
    for (long k = first; k < e; ++k)
    {
        Y[2 * k] = B[2 * k] * H[2 * k] - B[2 * k + 1] * H[2 * k + 1];
        Y[2 * k + 1] = B[2 * k] * H[2 * k + 1] + B[2 * k + 1] * H[2 * k];
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
