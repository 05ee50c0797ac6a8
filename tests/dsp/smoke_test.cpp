#include <gtest/gtest.h>
#include "dsp/fft.h"

TEST (Smoke, Builds) { SUCCEED(); }
