#pragma once

// The swept-sine parameters, filled at every Start and read by the sweep
// generator and the sweep deconvolution. Field order is fixed.
struct SweepParams
{
    double sampleRate; // Hz
    double f1;         // start frequency, Hz
    double f2;         // end frequency, Hz
    double T;          // duration, s
    double reserved;   // never read
    double amplitude;  // linear
};
