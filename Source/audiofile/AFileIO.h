#pragma once

// The audio file writer: the abstract AFileOut and its RIFF/WAVE implementation.
#include "audiofile/AFileOut.h"
#include "audiofile/WaveNativeFileOut.h"
