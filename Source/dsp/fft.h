#pragma once
// Real FFT of power-of-two float arrays with a packed spectrum.
extern "C" {
void fft_real_packed_spect(float* x, long n);
void ifft_real_packed_spect(float* x, long n);
void FreeBasisList(void);
}
