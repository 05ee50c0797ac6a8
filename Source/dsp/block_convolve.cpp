#include "dsp/fft.h"
