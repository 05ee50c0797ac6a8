#pragma once
// The plain rendering of the transforms and the block convolution, kept as the oracle that the fast kernels
// must match bit for bit. Same contracts as fft.h and block_convolve.h; uses the library's twiddle cache.

void plain_fft_real_packed_spect (float* x, long n);
void plain_ifft_real_packed_spect (float* x, long n);
float* plain_f_block_convolve (const float* h, long nh, const float* x, long nx, long* outLen);
