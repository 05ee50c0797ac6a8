#include "MeasurementTables.h"

const int gMlsBits[kNumMlsBits] = { 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20 };

const float gAmps[kNumAmps] = { 0.0f, -6.0f, -12.0f, -18.0f, -24.0f };

const float gCropThresh[kNumCropThresh] = { -6.0f,  -12.0f, -18.0f, -24.0f, -30.0f, -36.0f, -42.0f, -48.0f,
                                            -54.0f, -60.0f, -66.0f, -72.0f, -78.0f, -84.0f, -90.0f, -96.0f };

const float gInitDelayTimes[kNumInitDelayTimes] = { 0.0f, 0.5f, 1.0f, 2.0f, 5.0f, 10.0f, 20.0f };

const char* const gMeasurementTypes[kNumMeasurementTypes] = { "Sweep", "MLS" };

const char* const gFmts[kNumFmts] = { "txt (ASCII floats)", "WAV 16-bit", "WAV 24-bit", "WAV 32-bit float" };

const char* const gExts[kNumFmts] = { "txt", "wav", "wav", "wav" };

const char* const gTsFmts[kNumTsFmts] = { "LL, LR, RL, RR", "LL, RR, LR, RL", "LL, LR, RR, RL" };

const int32_t mask_tab[kNumMaskTab] = { 0x1, 0x3,  0x3, 0x3,    0x5, 0x3, 0x3,  0x63, 0x11, 0x9,
                                        0x5, 0x99, 0x1B, 0x1803, 0x3, 0x2D, 0x9, 0x81, 0x63, 0x9 };
