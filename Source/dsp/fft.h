#pragma once
// Real FFT of power-of-two float arrays with a packed spectrum.
// Packed layout of the n floats: x[0] = DC, x[1] = Nyquist, then x[2k], x[2k+1] = Re, Im of bin k for k = 1 .. n/2-1.
// Sizes are powers of two n >= 2 (not checked); n = 2 is not transformed (x[0] kept, x[1] set to 0).
// The twiddle cache is shared without a lock: once the tables of size n are built (AssignBasisNode (n), fft_basis.h),
// transforms of size n only read it and may run on several threads at once; whatever builds or frees tables runs alone.

// In-place forward transform of the n real samples in x into the packed spectrum; no scaling.
extern "C" void fft_real_packed_spect (float* x, long n);

// In-place inverse: x holds a packed spectrum on entry and the n real samples (divided by n) on return.
extern "C" void ifft_real_packed_spect (float* x, long n);

// Frees every cached twiddle table; a later transform rebuilds what it needs.
extern "C" void FreeBasisList (void);
