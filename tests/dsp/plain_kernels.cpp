#include "plain_kernels.h"
#include "dsp/fft_basis.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace
{
// The transforms work in a zero-filled buffer of n complex values; without it they cannot go on.
fft_complex* allocate_work (long n)
{
    fft_complex* w = (fft_complex*)calloc ((size_t)n, sizeof (fft_complex));
    if (w == nullptr)
    {
        printf ("fft: can't allocate %ld bytes\n", (long)((size_t)n * sizeof (fft_complex)));
        exit (EXIT_FAILURE);
    }
    return w;
}

// p + q and p - q in float; (p - q) * w formed in double (the float products are exact there) and rounded to float.
void butterfly (fft_complex* a, fft_complex* b, fft_complex w)
{
    const fft_complex p = *a, q = *b;
    a->re = p.re + q.re;
    a->im = p.im + q.im;
    const float dr = p.re - q.re, di = p.im - q.im;
    b->re = (float)((double)dr * w.re - (double)di * w.im);
    b->im = (float)((double)dr * w.im + (double)di * w.re);
}

// Radix-2 decimation-in-frequency FFT of W[0 .. m-1] with the twiddle table of size n = 2m,
// then the bit-reversal permutation that puts the bins in natural order.
void complex_fft (fft_complex* W, long m, long n, const fft_complex* basis)
{
    for (long span = m; span >= 2; span /= 2)
    {
        const long half = span / 2, stride = n / span;
        for (long j = 0; j < half; ++j)
            for (long idx = j; idx < m; idx += span)
                butterfly (&W[idx], &W[idx + half], basis[j * stride]);
    }

    long j = 0;
    for (long i = 0; i < m - 1; ++i)
    {
        if (i < j)
        {
            const fft_complex t = W[i];
            W[i] = W[j];
            W[j] = t;
        }
        long k = m / 2;
        while (j >= k)
        {
            j -= k;
            k /= 2;
        }
        j += k;
    }
}

// Bin-wise product of two packed spectra of e bins: DC and Nyquist are real, the rest complex.
void multiply_spectra (float* Y, const float* B, const float* H, long e)
{
    Y[0] = B[0] * H[0];
    Y[1] = B[1] * H[1];
    for (long k = 1; k < e; ++k)
    {
        Y[2 * k] = B[2 * k] * H[2 * k] - B[2 * k + 1] * H[2 * k + 1];
        Y[2 * k + 1] = B[2 * k] * H[2 * k + 1] + B[2 * k + 1] * H[2 * k];
    }
}

} // namespace

void plain_fft_real_packed_spect (float* x, long n)
{
    fft_complex* W = allocate_work (n);
    memcpy (W, x, (size_t)n * sizeof (float));
    if (n >= 4)
    {
        const fft_complex* basis = AssignBasis (n);
        complex_fft (W, n / 2, n, basis);
        Reals (W, n, +1, basis);
    }
    memcpy (x, W, (size_t)n * sizeof (float));
    x[1] = W[n / 2].re;
    free (W);
}

void plain_ifft_real_packed_spect (float* x, long n)
{
    const long m = n / 2;
    fft_complex* W = allocate_work (n);
    if (n >= 4)
        for (long k = 1; k < m; ++k)
        {
            W[k] = {x[2 * k], x[2 * k + 1]};
            W[n - k] = {x[2 * k], -x[2 * k + 1]};
        }
    W[0].re = x[0];
    W[m].re = x[1];
    const fft_complex* basis = AssignBasis (n);
    if (n >= 4)
    {
        Reals (W, n, -1, basis);
        const double scale = (1.0 / (double)n) * 2.0;
        for (long k = 0; k <= m; ++k)
        {
            W[k].re = (float)((double)W[k].re * scale);
            W[k].im = (float)((double)W[k].im * -scale);
        }
        complex_fft (W, m, n, basis);
        for (long k = 0; k < m; ++k)
            W[k].im = -W[k].im;
    }
    memcpy (x, W, (size_t)n * sizeof (float));
    free (W);
}

float* plain_f_block_convolve (const float* h, long nh, const float* x, long nx, long* outLen)
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
    float* result = (float*)calloc ((size_t)(len > 0 ? len : 1), sizeof (float));
    float* block = (float*)calloc ((size_t)N, sizeof (float));
    float* H = (float*)calloc ((size_t)N, sizeof (float));
    float* Y0 = (float*)calloc ((size_t)N, sizeof (float));
    float* Y1 = (float*)calloc ((size_t)N, sizeof (float));
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
    plain_fft_real_packed_spect (H, N);

    // Y0 and Y1 alternate, so the previous block's tail is still there when the next block is added.
    float* Y = Y0;
    float* last = Y0;
    long blocks = 0, g = 0;
    for (long start = 0; start < nx; start += g, ++blocks)
    {
        g = nx - start < e ? nx - start : e;
        memcpy (block, x + start, (size_t)g * sizeof (float));
        memset (block + g, 0, (size_t)(N - g) * sizeof (float));
        plain_fft_real_packed_spect (block, N);
        multiply_spectra (Y, block, H, e);
        plain_ifft_real_packed_spect (Y, N);

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
