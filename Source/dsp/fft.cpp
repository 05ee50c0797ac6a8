#include "dsp/fft.h"
#include "dsp/dsp_hooks.h"
#include "dsp/fft_basis.h"

#include <string.h>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define FFT_HAVE_AVX2_PATH 1
#endif

// The transforms work in place in x and allocate nothing but the cache. Every butterfly, split step and scale
// is the float / double arithmetic of the radix-2 algorithm, stage by stage; only the loop order (two stages
// fused per pass, sub-transforms finished while they are in cache), the vector width and the in-place
// permutation differ, so the results are the same bits whichever path runs.

namespace
{
// p + q and p - q in float; (p - q) * w formed in double (the float products are exact there) and rounded to float.
inline void butterfly (fft_complex* a, fft_complex* b, fft_complex w)
{
    const fft_complex p = *a, q = *b;
    a->re = p.re + q.re;
    a->im = p.im + q.im;
    const float dr = p.re - q.re, di = p.im - q.im;
    b->re = (float)((double)dr * w.re - (double)di * w.im);
    b->im = (float)((double)dr * w.im + (double)di * w.re);
}

// Radix-2 decimation in frequency of W[0 .. m-1], stage after stage, twiddles taken from the table of size n.
void complex_stages_scalar (fft_complex* W, long m, long n, const fft_complex* basis)
{
    for (long span = m; span >= 2; span /= 2)
    {
        const long half = span / 2, stride = n / span;
        for (long base = 0; base < m; base += span)
            for (long j = 0; j < half; ++j)
                butterfly (&W[base + j], &W[base + j + half], basis[j * stride]);
    }
}

// Bin k of the stages' output sits at the bit-reversed index of k. Puts W[0 .. m-1] in natural order, in place,
// negating the imaginary parts on the way when conjugate is set. Large sizes go in 8 x 8 tiles of whole cache
// lines: index (a, b, c) with 3-bit a and c moves to (rev c, rev b, rev a).
void bit_reverse (fft_complex* W, long m, bool conjugate)
{
    int bits = 0;
    while ((1L << bits) < m)
        ++bits;

    if (bits < 6)
    {
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
        if (conjugate)
            for (long i = 0; i < m; ++i)
                W[i].im = -W[i].im;
        return;
    }

    static const int rev3[8] = {0, 4, 2, 6, 1, 5, 3, 7};
    const int shift = bits - 3, middleBits = bits - 6;
    const long middleCount = 1L << middleBits;
    fft_complex tileB[64] = {}, tileR[64] = {};
    long rb = 0; // middleBits-bit reversal of b, advanced with the reversed carry
    for (long b = 0; b < middleCount; ++b)
    {
        if (rb >= b)
        {
            for (int a = 0; a < 8; ++a)
                memcpy (&tileB[8 * a], &W[((long)a << shift) + (b << 3)], 8 * sizeof (fft_complex));
            if (rb != b)
                for (int a = 0; a < 8; ++a)
                    memcpy (&tileR[8 * a], &W[((long)a << shift) + (rb << 3)], 8 * sizeof (fft_complex));
            if (conjugate)
                for (int i = 0; i < 64; ++i)
                {
                    tileB[i].im = -tileB[i].im;
                    tileR[i].im = -tileR[i].im;
                }
            for (int c = 0; c < 8; ++c)
            {
                fft_complex* row = &W[((long)rev3[c] << shift) + (rb << 3)];
                for (int a = 0; a < 8; ++a)
                    row[rev3[a]] = tileB[8 * a + c];
            }
            if (rb != b)
                for (int c = 0; c < 8; ++c)
                {
                    fft_complex* row = &W[((long)rev3[c] << shift) + (b << 3)];
                    for (int a = 0; a < 8; ++a)
                        row[rev3[a]] = tileR[8 * a + c];
                }
        }
        long k = middleCount >> 1;
        while (k > 0 && (rb & k) != 0)
        {
            rb ^= k;
            k >>= 1;
        }
        rb |= k;
    }
}

// The split step's coefficients for bin i: g = (1 + Im w) / 2, h = -sign Re w / 2, l = 1 - g.
struct SplitCoefficients
{
    float g, h, l;
};

inline SplitCoefficients split_coefficients (fft_complex w, int sign)
{
    const float g = (1.0f + w.im) / 2.0f;
    return {g, -sign * w.re / 2.0f, 1.0f - g};
}

// One pair of the split step: A = X[i] and B = X[m - i], both read before either is written.
inline void split_pair (fft_complex* A, fft_complex* B, SplitCoefficients k)
{
    const float g = k.g, h = k.h, l = k.l;
    const float c = A->re, d = A->im, e = B->re, f = B->im;
    A->re = c * g - d * h + e * l - f * h;
    A->im = d * g + c * h - e * h - f * l;
    const float o = e, t = f;
    B->re = o * g + t * h + c * l + d * h;
    B->im = t * g - o * h - d * l + c * h;
}

// The split step's middle bin i = n/4, where both updates address the same element and the second reads the first.
inline void split_middle (fft_complex* A, SplitCoefficients k)
{
    const float g = k.g, h = k.h, l = k.l;
    const float c = A->re, d = A->im, e = c, f = d;
    const float o = c * g - d * h + e * l - f * h;
    const float t = d * g + c * h - e * h - f * l;
    A->re = o * g + t * h + c * l + d * h;
    A->im = t * g - o * h - d * l + c * h;
}

inline void scale_bin (fft_complex* X, float scale)
{
    X->re = X->re * scale;
    X->im = X->im * -scale;
}

void split_pairs_scalar (fft_complex* X, long first, long last, long m, const fft_complex* basis, int sign, float scale,
                         bool scaled)
{
    for (long i = first; i < last; ++i)
    {
        split_pair (&X[i], &X[m - i], split_coefficients (basis[i], sign));
        if (scaled)
        {
            scale_bin (&X[i], scale);
            scale_bin (&X[m - i], scale);
        }
    }
}

#ifdef FFT_HAVE_AVX2_PATH
#define FFT_AVX2 __attribute__ ((target ("avx2,fma")))

// Four twiddles in double, real and imaginary parts each duplicated across their complex lane pair.
struct Twiddles4
{
    __m256d reLo, imLo, reHi, imHi;
};

FFT_AVX2 inline Twiddles4 load_twiddles (const double* w)
{
    const __m256d lo = _mm256_loadu_pd (w), hi = _mm256_loadu_pd (w + 4);
    return {_mm256_movedup_pd (lo), _mm256_permute_pd (lo, 0xF), _mm256_movedup_pd (hi), _mm256_permute_pd (hi, 0xF)};
}

// Two complex products d * w, each formed in double. The float products are exact in double, so the fused
// multiply-subtract rounds exactly what the plain difference of products rounds.
FFT_AVX2 inline __m256d complex_product_pd (__m256d d, __m256d wr, __m256d wi)
{
    const __m256d swapped = _mm256_permute_pd (d, 0x5);
    return _mm256_fmaddsub_pd (d, wr, _mm256_mul_pd (swapped, wi));
}

FFT_AVX2 inline __m256d complex_product_pd (__m256d d, __m256d w)
{
    return complex_product_pd (d, _mm256_movedup_pd (w), _mm256_permute_pd (w, 0xF));
}

// Four complex products d * w formed in double and rounded to float.
FFT_AVX2 inline __m256 twiddle_product (__m256 d, const Twiddles4& w)
{
    const __m256d lo = complex_product_pd (_mm256_cvtps_pd (_mm256_castps256_ps128 (d)), w.reLo, w.imLo);
    const __m256d hi = complex_product_pd (_mm256_cvtps_pd (_mm256_extractf128_ps (d, 1)), w.reHi, w.imHi);
    return _mm256_insertf128_ps (_mm256_castps128_ps256 (_mm256_cvtpd_ps (lo)), _mm256_cvtpd_ps (hi), 1);
}

FFT_AVX2 inline __m256 load4 (const fft_complex* p)
{
    return _mm256_loadu_ps (&p->re);
}
FFT_AVX2 inline void store4 (fft_complex* p, __m256 v)
{
    _mm256_storeu_ps (&p->re, v);
}

// One stage of span s (s >= 8) over W[0 .. len-1].
FFT_AVX2 void radix2_stage_avx2 (fft_complex* W, long len, long s, const double* tw)
{
    const long half = s / 2;
    for (long base = 0; base < len; base += s)
        for (long j = 0; j < half; j += 4)
        {
            fft_complex* a = W + base + j;
            const __m256 p = load4 (a), q = load4 (a + half);
            store4 (a, _mm256_add_ps (p, q));
            store4 (a + half, twiddle_product (_mm256_sub_ps (p, q), load_twiddles (tw + 2 * j)));
        }
}

// Stages of span s and s/2 (s >= 16) in one pass over W[0 .. len-1]; tw and tw2 are their twiddles.
FFT_AVX2 void radix4_pass_avx2 (fft_complex* W, long len, long s, const double* tw, const double* tw2)
{
    const long quarter = s / 4;
    for (long base = 0; base < len; base += s)
        for (long j = 0; j < quarter; j += 4)
        {
            fft_complex* a = W + base + j;
            const Twiddles4 w0 = load_twiddles (tw + 2 * j), w1 = load_twiddles (tw + 2 * (j + quarter)),
                            w2 = load_twiddles (tw2 + 2 * j);
            const __m256 x0 = load4 (a), x1 = load4 (a + quarter), x2 = load4 (a + 2 * quarter),
                         x3 = load4 (a + 3 * quarter);
            const __m256 y0 = _mm256_add_ps (x0, x2);
            const __m256 y2 = twiddle_product (_mm256_sub_ps (x0, x2), w0);
            const __m256 y1 = _mm256_add_ps (x1, x3);
            const __m256 y3 = twiddle_product (_mm256_sub_ps (x1, x3), w1);
            store4 (a, _mm256_add_ps (y0, y1));
            store4 (a + quarter, twiddle_product (_mm256_sub_ps (y0, y1), w2));
            store4 (a + 2 * quarter, _mm256_add_ps (y2, y3));
            store4 (a + 3 * quarter, twiddle_product (_mm256_sub_ps (y2, y3), w2));
        }
}

// The last two stages (spans 4 and 2), two groups of four at a time: span 4 pairs (a0, a2) with w0 and (a1, a3)
// with wq, span 2 pairs (a0, a1) and (a2, a3) with w0. w0 = table[0] = (1, -0), whose products with a float are
// exact in float, so span 2 needs no double: the float result is the double result rounded.
FFT_AVX2 void last_two_stages_avx2 (fft_complex* W, long len, fft_complex w0, fft_complex wq)
{
    const __m256d span4 = _mm256_setr_pd (w0.re, w0.im, wq.re, wq.im);
    const __m256 unitRe = _mm256_set1_ps (w0.re), unitIm = _mm256_set1_ps (w0.im);
    long base = 0;
    for (; base + 8 <= len; base += 8)
    {
        const __m256 v0 = load4 (W + base), v1 = load4 (W + base + 4);
        const __m256 p = _mm256_permute2f128_ps (v0, v1, 0x20), q = _mm256_permute2f128_ps (v0, v1, 0x31);
        const __m256 sums = _mm256_add_ps (p, q), d = _mm256_sub_ps (p, q);
        const __m256d lo = complex_product_pd (_mm256_cvtps_pd (_mm256_castps256_ps128 (d)), span4);
        const __m256d hi = complex_product_pd (_mm256_cvtps_pd (_mm256_extractf128_ps (d, 1)), span4);
        const __m256 products =
            _mm256_insertf128_ps (_mm256_castps128_ps256 (_mm256_cvtpd_ps (lo)), _mm256_cvtpd_ps (hi), 1);

        const __m256 x = _mm256_castpd_ps (_mm256_unpacklo_pd (_mm256_castps_pd (sums), _mm256_castps_pd (products)));
        const __m256 y = _mm256_castpd_ps (_mm256_unpackhi_pd (_mm256_castps_pd (sums), _mm256_castps_pd (products)));
        const __m256 sums2 = _mm256_add_ps (x, y), d2 = _mm256_sub_ps (x, y);
        const __m256 products2 =
            _mm256_addsub_ps (_mm256_mul_ps (d2, unitRe), _mm256_mul_ps (_mm256_permute_ps (d2, 0xB1), unitIm));

        const __m256d first = _mm256_unpacklo_pd (_mm256_castps_pd (sums2), _mm256_castps_pd (products2));
        const __m256d second = _mm256_unpackhi_pd (_mm256_castps_pd (sums2), _mm256_castps_pd (products2));
        store4 (W + base, _mm256_castpd_ps (_mm256_permute2f128_pd (first, second, 0x20)));
        store4 (W + base + 4, _mm256_castpd_ps (_mm256_permute2f128_pd (first, second, 0x31)));
    }
    for (; base < len; base += 4)
    {
        butterfly (&W[base], &W[base + 2], w0);
        butterfly (&W[base + 1], &W[base + 3], wq);
        butterfly (&W[base], &W[base + 1], w0);
        butterfly (&W[base + 2], &W[base + 3], w0);
    }
}

// Every stage from span s down to 2 on W[0 .. s-1], breadth first (the block is in cache).
FFT_AVX2 void block_stages_avx2 (fft_complex* W, long s, long m, const BasisNode* node)
{
    long span = s;
    int vectorStages = 0;
    for (long t = s; t >= 8; t /= 2)
        ++vectorStages;
    if (vectorStages % 2 != 0)
    {
        radix2_stage_avx2 (W, s, span, node->spans + 2 * (m - span));
        span /= 2;
    }
    for (; span >= 16; span /= 4)
        radix4_pass_avx2 (W, s, span, node->spans + 2 * (m - span), node->spans + 2 * (m - span / 2));
    last_two_stages_avx2 (W, s, node->table[0], node->table[node->n / 4]);
}

// Depth first: after the two stages of span s and s/2 the block splits into four independent quarter transforms.
FFT_AVX2 void complex_stages_avx2 (fft_complex* W, long s, long m, const BasisNode* node)
{
    const long inCacheSize = 2048;
    if (s <= inCacheSize)
    {
        block_stages_avx2 (W, s, m, node);
        return;
    }
    radix4_pass_avx2 (W, s, s, node->spans + 2 * (m - s), node->spans + 2 * (m - s / 2));
    for (long q = 0; q < 4; ++q)
        complex_stages_avx2 (W + q * (s / 4), s / 4, m, node);
}

FFT_AVX2 inline __m256 reverse4 (__m256 v)
{
    return _mm256_castpd_ps (_mm256_permute4x64_pd (_mm256_castps_pd (v), 0x1B));
}

// Split pairs i = first .. last-1 four at a time (X[i .. i+3] against X[m-i-3 .. m-i]), the same expressions
// as split_pair lane by lane; a - b is written a + (-b) where the vector form needs it, which is the same value.
FFT_AVX2 void split_pairs_avx2 (fft_complex* X, long first, long last, long m, const fft_complex* basis, int sign,
                                float scale, bool scaled)
{
    const __m256 half = _mm256_set1_ps (0.5f), one = _mm256_set1_ps (1.0f);
    const __m256 minusSign = _mm256_set1_ps ((float)-sign), signBit = _mm256_set1_ps (-0.0f);
    const __m256 scales = _mm256_setr_ps (scale, -scale, scale, -scale, scale, -scale, scale, -scale);
    long i = first;
    for (; i + 4 <= last; i += 4)
    {
        const __m256 w = load4 (basis + i);
        const __m256 g = _mm256_mul_ps (_mm256_add_ps (one, _mm256_movehdup_ps (w)), half);
        const __m256 h = _mm256_mul_ps (_mm256_mul_ps (minusSign, _mm256_moveldup_ps (w)), half);
        const __m256 l = _mm256_sub_ps (one, g);
        const __m256 negH = _mm256_xor_ps (h, signBit), negL = _mm256_xor_ps (l, signBit);

        const __m256 A = load4 (X + i);
        const __m256 B = reverse4 (load4 (X + m - i - 3));
        const __m256 swappedA = _mm256_permute_ps (A, 0xB1), swappedB = _mm256_permute_ps (B, 0xB1);
        const __m256 swappedAh = _mm256_mul_ps (swappedA, h); // (d h, c h)

        __m256 a = _mm256_addsub_ps (_mm256_mul_ps (A, g), swappedAh);
        a = _mm256_add_ps (a, _mm256_mul_ps (_mm256_moveldup_ps (B), _mm256_blend_ps (l, negH, 0xAA)));
        a = _mm256_sub_ps (a, _mm256_mul_ps (_mm256_movehdup_ps (B), _mm256_blend_ps (h, l, 0xAA)));

        __m256 b = _mm256_add_ps (_mm256_mul_ps (B, g), _mm256_mul_ps (swappedB, _mm256_blend_ps (h, negH, 0xAA)));
        b = _mm256_add_ps (b, _mm256_mul_ps (A, _mm256_blend_ps (l, negL, 0xAA)));
        b = _mm256_add_ps (b, swappedAh);

        if (scaled)
        {
            a = _mm256_mul_ps (a, scales);
            b = _mm256_mul_ps (b, scales);
        }
        store4 (X + i, a);
        store4 (X + m - i - 3, reverse4 (b));
    }
    split_pairs_scalar (X, i, last, m, basis, sign, scale, scaled);
}

bool use_avx2()
{
    static const bool available = __builtin_cpu_supports ("avx2") && __builtin_cpu_supports ("fma");
    return available && dsp_scalar_only == 0;
}
#endif

// The stages of the n/2-point complex transform on W, output in bit-reversed order.
void complex_stages (fft_complex* W, long m, const BasisNode* node)
{
#ifdef FFT_HAVE_AVX2_PATH
    if (m >= 4 && use_avx2())
    {
        complex_stages_avx2 (W, m, m, node);
        return;
    }
#endif
    complex_stages_scalar (W, m, node->n, node->table);
}

void split_pairs (fft_complex* X, long m, const fft_complex* basis, int sign, float scale, bool scaled)
{
    const long last = m / 2; // the pairs i = 1 .. n/4 - 1
#ifdef FFT_HAVE_AVX2_PATH
    if (use_avx2())
    {
        split_pairs_avx2 (X, 1, last, m, basis, sign, scale, scaled);
        return;
    }
#endif
    split_pairs_scalar (X, 1, last, m, basis, sign, scale, scaled);
}
} // namespace

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
    if (n < 4)
    {
        x[1] = 0.0f;
        return;
    }
    const long m = n / 2;
    const BasisNode* node = AssignBasisNode (n);
    fft_complex* X = (fft_complex*)x;
    complex_stages (X, m, node);
    bit_reverse (X, m, false);

    // Bin 0 pairs with bin m, a copy of bin 0; only the real part of the new bin m (the Nyquist bin) is kept.
    fft_complex nyquist = X[0];
    split_pair (&X[0], &nyquist, split_coefficients (node->table[0], +1));
    split_pairs (X, m, node->table, +1, 1.0f, false);
    split_middle (&X[m / 2], split_coefficients (node->table[m / 2], +1));
    x[1] = nyquist.re;
}

void ifft_real_packed_spect (float* x, long n)
{
    const BasisNode* node = AssignBasisNode (n);
    if (n < 4)
    {
        x[1] = 0.0f;
        return;
    }
    const long m = n / 2;
    fft_complex* X = (fft_complex*)x;

    // The scale by 2/n is a power of two, so the float product equals the double product rounded to float.
    const float scale = (float)((1.0 / (double)n) * 2.0);
    fft_complex nyquist = {x[1], 0.0f};
    X[0].im = 0.0f;
    split_pair (&X[0], &nyquist, split_coefficients (node->table[0], -1));
    scale_bin (&X[0], scale);
    split_pairs (X, m, node->table, -1, scale, true);
    split_middle (&X[m / 2], split_coefficients (node->table[m / 2], -1));
    scale_bin (&X[m / 2], scale);

    complex_stages (X, m, node);
    bit_reverse (X, m, true);
}
