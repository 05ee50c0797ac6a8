#pragma once
// The twiddle-table cache behind the transforms of fft.h, and the real split step.
// An allocation failure in the cache prints "fft: can't allocate N bytes" on stdout and exits with status 1.

typedef struct fft_complex
{
    float re;
    float im;
} fft_complex;

// One cached table: entry k of table is (cos(2 pi k / n), -sin(2 pi k / n)), computed in double, stored as float.
// spans holds the same values regrouped per stage and widened to double for the fast core: for each stage span
// s = n/2, n/4, .., 8 the s/2 twiddles table[j * n / s] as (re, im) at spans[2 (n/2 - s + j)]. Null until a
// transform of size n >= 16 first needs it.
typedef struct BasisNode
{
    struct BasisNode* next;
    long n;
    fft_complex* table;
    double* spans;
} BasisNode;

// Head of the cache list, newest first; null when empty. Owned by the cache, freed by FreeBasisList (fft.h).
extern "C" BasisNode* lroot;

// Twiddle table of n entries for size n, built on first use; borrowed, valid until FreeBasisList.
extern "C" fft_complex* AssignBasis (long n);

// The node for size n with its table and, for n >= 16, its per-stage twiddles; built on first use, borrowed.
extern "C" const BasisNode* AssignBasisNode (long n);

// Split step between an n/2-point complex FFT and the spectrum of n real samples; sign +1 forward, -1 inverse.
// X holds n complex values; bins n/2+1 .. n-1 receive the conjugate mirror. n >= 4. The transforms use an in-place
// form of it with the same arithmetic; this one is the reference that the tests compare with.
extern "C" void Reals (fft_complex* X, long n, int sign, const fft_complex* basis);
