#include "dsp/fft.h"
#include "dsp/dsp_alloc.h"
#include "dsp/fft_basis.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

// The transforms work in a zero-filled buffer of n complex values; without it they cannot go on.
static fft_complex* allocate_work (long n)
{
    fft_complex* w = (fft_complex*)dsp_calloc ((size_t)n, sizeof (fft_complex));
    if (w == nullptr)
    {
        printf ("fft: can't allocate %ld bytes\n", (long)((size_t)n * sizeof (fft_complex)));
        exit (EXIT_FAILURE);
    }
    return w;
}

// p + q and p - q in float; (p - q) * w formed in double (the float products are exact there) and rounded to float.
static void butterfly (fft_complex* a, fft_complex* b, fft_complex w)
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
static void complex_fft (fft_complex* W, long m, long n, const fft_complex* basis)
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

void Reals (fft_complex* X, long n, int sign, const fft_complex* basis)
{
    const long m = n / 2;
    if (sign == 1)
        X[m] = X[0];
    for (long i = 0; i <= n / 4; ++i)
    {
        const float g = (1.0f + basis[i].im) / 2.0f;
        const float h = -sign * basis[i].re / 2.0f;
        const float l = 1.0f - g;
        const float c = X[i].re, d = X[i].im, e = X[m - i].re, f = X[m - i].im;
        X[i].re = c * g - d * h + e * l - f * h;
        X[i].im = d * g + c * h - e * h - f * l;
        if (i > 0)
            X[n - i] = {X[i].re, -X[i].im};
        // At i = n/4 this reads the value written just above: both updates address the same bin.
        const float o = X[m - i].re, t = X[m - i].im;
        X[m - i].re = o * g + t * h + c * l + d * h;
        X[m - i].im = t * g - o * h - d * l + c * h;
        if (i > 0)
            X[m + i] = {X[m - i].re, -X[m - i].im};
    }
}

void fft_real_packed_spect (float* x, long n)
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

void ifft_real_packed_spect (float* x, long n)
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
