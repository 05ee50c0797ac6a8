#include "dsp/fft.h"

extern "C" {
void fft_real_packed_spect(float*, long) {}
void ifft_real_packed_spect(float*, long) {}
void FreeBasisList(void) {}
}
