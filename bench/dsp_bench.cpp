// The kernels side by side with their plain rendering and with FFTW3f, in one run:
//   build/bench/dsp_bench --benchmark_counters_tabular=true
#include "SweepDeconvolution.h"
#include "dsp/block_convolve.h"
#include "dsp/fft.h"
#include "plain_kernels.h"
#include "block_length.h"
#include "random_signal.h"

#include <benchmark/benchmark.h>
#include <fftw3.h>
#include <malloc.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

namespace
{
struct Kernels
{
    void (*forward) (float*, long);
    void (*inverse) (float*, long);
    float* (*convolve) (const float*, long, const float*, long, long*);
};

const Kernels fastKernels = {fft_real_packed_spect, ifft_real_packed_spect, f_block_convolve};
const Kernels plainKernels = {plain_fft_real_packed_spect, plain_ifft_real_packed_spect, plain_f_block_convolve};

void transforms (benchmark::State& state, const Kernels& k)
{
    const long n = (long)state.range (0);
    std::vector<float> x = randomSignal (n, 1);
    for (auto _ : state)
    {
        k.forward (x.data(), n);
        k.inverse (x.data(), n);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed (state.iterations() * n);
}

void fftwTransforms (benchmark::State& state)
{
    const long n = (long)state.range (0);
    float* in = fftwf_alloc_real ((size_t)n);
    fftwf_complex* spectrum = fftwf_alloc_complex ((size_t)n / 2 + 1);
    const fftwf_plan forward = fftwf_plan_dft_r2c_1d ((int)n, in, spectrum, FFTW_MEASURE);
    const fftwf_plan inverse = fftwf_plan_dft_c2r_1d ((int)n, spectrum, in, FFTW_MEASURE);
    const std::vector<float> x = randomSignal (n, 1);
    std::memcpy (in, x.data(), (size_t)n * sizeof (float));
    for (auto _ : state)
    {
        fftwf_execute (forward);
        fftwf_execute (inverse);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed (state.iterations() * n);
    fftwf_destroy_plan (forward);
    fftwf_destroy_plan (inverse);
    fftwf_free (in);
    fftwf_free (spectrum);
}

// Overlap-add with FFTW's r2c/c2r and the same block length e (transform size 2e) as f_block_convolve.
float* fftwBlockConvolve (long nh, const float* x, long nx, fftwf_plan forward, fftwf_plan inverse, float* block,
                          fftwf_complex* blockSpectrum, const fftwf_complex* H, long e)
{
    const long N = 2 * e, bins = e + 1;
    float* result = (float*)calloc ((size_t)(nh + nx - 1), sizeof (float));
    const float scale = 1.0f / (float)N;
    for (long start = 0; start < nx; start += e)
    {
        const long g = nx - start < e ? nx - start : e;
        std::memcpy (block, x + start, (size_t)g * sizeof (float));
        std::memset (block + g, 0, (size_t)(N - g) * sizeof (float));
        fftwf_execute_dft_r2c (forward, block, blockSpectrum);
        for (long k = 0; k < bins; ++k)
        {
            const float re = blockSpectrum[k][0] * H[k][0] - blockSpectrum[k][1] * H[k][1];
            const float im = blockSpectrum[k][0] * H[k][1] + blockSpectrum[k][1] * H[k][0];
            blockSpectrum[k][0] = re;
            blockSpectrum[k][1] = im;
        }
        fftwf_execute_dft_c2r (inverse, blockSpectrum, block);
        const long produced = g + nh - 1;
        for (long i = 0; i < produced; ++i)
            result[start + i] += block[i] * scale;
    }
    return result;
}

void convolution (benchmark::State& state, const Kernels& k)
{
    const long nh = (long)state.range (0), nx = (long)state.range (1);
    const std::vector<float> h = randomSignal (nh, 2), x = randomSignal (nx, 3);
    for (auto _ : state)
    {
        long len = 0;
        float* y = k.convolve (h.data(), nh, x.data(), nx, &len);
        benchmark::DoNotOptimize (y);
        free (y);
    }
}

void fftwConvolution (benchmark::State& state)
{
    const long nh = (long)state.range (0), nx = (long)state.range (1);
    const long e = blockLength (nh), N = 2 * e;
    const std::vector<float> h = randomSignal (nh, 2), x = randomSignal (nx, 3);
    float* block = fftwf_alloc_real ((size_t)N);
    fftwf_complex* blockSpectrum = fftwf_alloc_complex ((size_t)e + 1);
    fftwf_complex* H = fftwf_alloc_complex ((size_t)e + 1);
    const fftwf_plan forward = fftwf_plan_dft_r2c_1d ((int)N, block, blockSpectrum, FFTW_MEASURE);
    const fftwf_plan inverse = fftwf_plan_dft_c2r_1d ((int)N, blockSpectrum, block, FFTW_MEASURE);
    for (auto _ : state)
    {
        // The filter's transform is part of each call, as in f_block_convolve.
        std::memset (block, 0, (size_t)N * sizeof (float));
        std::memcpy (block, h.data(), (size_t)nh * sizeof (float));
        fftwf_execute_dft_r2c (forward, block, H);
        float* y = fftwBlockConvolve (nh, x.data(), nx, forward, inverse, block, blockSpectrum, H, e);
        benchmark::DoNotOptimize (y);
        free (y);
    }
    fftwf_destroy_plan (forward);
    fftwf_destroy_plan (inverse);
    fftwf_free (block);
    fftwf_free (blockSpectrum);
    fftwf_free (H);
}

// Resets the process's peak resident memory (VmHWM) to what it holds now.
void resetPeakMemory()
{
    if (FILE* f = std::fopen ("/proc/self/clear_refs", "w"))
    {
        std::fputs ("5", f);
        std::fclose (f);
    }
}

// A memory figure of the process from /proc/self/status: "VmHWM" (peak) or "VmRSS" (now), in MiB.
double memoryMiB (const char* field)
{
    double kib = 0.0;
    if (FILE* f = std::fopen ("/proc/self/status", "r"))
    {
        char line[256];
        const size_t len = std::strlen (field);
        while (std::fgets (line, sizeof line, f) != nullptr)
            if (std::strncmp (line, field, len) == 0 && line[len] == ':')
            {
                std::sscanf (line + len + 1, "%lf", &kib);
                break;
            }
        std::fclose (f);
    }
    return kib / 1024.0;
}

// The sweep deconvolution of every output/input pair, step for step as the application's sweepComputeResponses
// does it but with the kernels to compare: a 10 s sweep at 48 kHz from 20 Hz to 24 kHz, its exponentially weighted
// time-reversed inverse filter, and for each pair the recorded sweep plus 5 s gap scaled from 16 bits, convolved,
// sliced from lag 0 and normalised.
struct SweepWorkload
{
    static constexpr double fs = 48000.0, T = 10.0, f1 = 20.0, f2 = 24000.0, amplitude = 0.5;
    static constexpr long sweepLen = 480000, count = 720000;
    std::vector<float> inverseFilter;
    float norm = 0.0f;

    SweepWorkload()
    {
        const double ln = std::log (f2 / f1), K = ((f1 * 6.283185307179586) * T) / ln;
        std::vector<double> x ((size_t)sweepLen);
        double E = 0.0;
        for (long n = 0; n < sweepLen; ++n)
        {
            x[(size_t)n] = amplitude * std::sin (K * (std::exp ((((double)n / fs) * ln) / T) - 1.0));
            E += x[(size_t)n] * x[(size_t)n] / std::exp (((((double)(sweepLen - 1 - n)) / fs) * ln) / T);
        }
        norm = (float)E;
        inverseFilter.resize ((size_t)sweepLen);
        for (long k = 0; k < sweepLen; ++k)
            inverseFilter[(size_t)k] = (float)(x[(size_t)(sweepLen - 1 - k)] / std::exp ((((double)k / fs) * ln) / T));
    }
};

const SweepWorkload& sweepWorkload()
{
    static const SweepWorkload w;
    return w;
}

float* sweepResponse (const Kernels& k, const SweepWorkload& w, const int16_t* rec, long count)
{
    const long nh = SweepWorkload::sweepLen;
    float* buf = (float*)malloc ((size_t)count * sizeof (float));
    for (long i = 0; i < count; ++i)
        buf[i] = rec[i] / 32767.0f;
    long convLen = 0;
    float* conv = k.convolve (w.inverseFilter.data(), nh, buf, count, &convLen);
    float* result = (float*)malloc ((size_t)count * sizeof (float));
    f_copy (result, conv + nh - 1, (unsigned long)count);
    const float g = 1.0f / w.norm;
    for (long i = 0; i < count; ++i)
        result[i] *= g;
    free (conv);
    free (buf);
    return result;
}

uint64_t hashResponses (const std::vector<float*>& responses, long count)
{
    uint64_t hash = 1469598103934665603ull;
    for (const float* r : responses)
    {
        if (r == nullptr)
            return 0;
        const unsigned char* bytes = (const unsigned char*)r;
        for (size_t i = 0; i < (size_t)count * sizeof (float); ++i)
            hash = (hash ^ bytes[i]) * 1099511628211ull;
    }
    return hash;
}

// A recording of P segments of sweep + gap with R interleaved channels, as the run buffers hold it.
struct Recording
{
    int channels;
    std::vector<int16_t> frames;

    explicit Recording (int n) : channels (n), frames ((size_t)SweepWorkload::count * n * n)
    {
        std::mt19937 gen (4);
        std::uniform_int_distribution<int> dist (-20000, 20000);
        for (int16_t& s : frames)
            s = (int16_t)dist (gen);
    }
};

enum class SweepPath
{
    plain,
    fast,
    application
};

void computeWithKernels (const Kernels& k, const Recording& rec, std::vector<float*>& responses)
{
    const SweepWorkload& w = sweepWorkload();
    const long count = SweepWorkload::count;
    const int channels = rec.channels;
    std::vector<int16_t> window ((size_t)count);
    for (int p = 0; p < channels; ++p)
        for (int r = 0; r < channels; ++r)
        {
            for (long i = 0; i < count; ++i)
                window[(size_t)i] = rec.frames[((size_t)p * count + (size_t)i) * channels + r];
            responses[(size_t)(p * channels + r)] = sweepResponse (k, w, window.data(), count);
        }
}

void computeWithApplication (const Recording& rec, std::vector<float*>& responses)
{
    const SweepParams params = {SweepWorkload::fs,       SweepWorkload::f1, SweepWorkload::f2, SweepWorkload::T, 0.0,
                                SweepWorkload::amplitude};
    RecordedRun run;
    run.recordBuffer = rec.frames.data();
    run.recordFrames = (uint64_t)SweepWorkload::count * rec.channels;
    run.recChans = rec.channels;
    run.numPlayChan = rec.channels;
    run.numRecChan = rec.channels;
    run.layout.sweepLen = SweepWorkload::sweepLen;
    run.layout.gapLen = SweepWorkload::count - SweepWorkload::sweepLen;
    run.layout.segmentLen = SweepWorkload::count;
    run.layout.totalLen = run.recordFrames;
    sweepComputeResponses (params, run, responses.data());
}

// Bits of the plain run's responses per pair count, so that the later runs can say whether theirs are the same.
uint64_t plainResponsesHash[17];

void sweepComputation (benchmark::State& state, SweepPath path)
{
    const int channels = (int)state.range (0);
    const Recording rec (channels);
    const long count = SweepWorkload::count;
    sweepWorkload();

    uint64_t hash = 0;
    double peak = 0.0, start = 0.0;
    for (auto _ : state)
    {
        // Count only this computation: drop the twiddle tables and freed memory that earlier benchmarks left.
        state.PauseTiming();
        FreeBasisList();
        malloc_trim (0);
        resetPeakMemory();
        start = memoryMiB ("VmRSS");
        state.ResumeTiming();
        std::vector<float*> responses ((size_t)channels * channels, nullptr);
        if (path == SweepPath::application)
            computeWithApplication (rec, responses);
        else
            computeWithKernels (path == SweepPath::plain ? plainKernels : fastKernels, rec, responses);
        peak = memoryMiB ("VmHWM");
        state.PauseTiming();
        hash = hashResponses (responses, count);
        for (float* r : responses)
            free (r);
        state.ResumeTiming();
    }
    // The process's resident memory before the computation (the recording and what earlier benchmarks kept) and
    // at its peak; the difference is what the computation itself needs.
    state.counters["start_MiB"] = start;
    state.counters["peak_MiB"] = peak;
    if (path == SweepPath::plain)
        plainResponsesHash[channels] = hash;
    else if (plainResponsesHash[channels] != 0)
        state.counters["same_as_plain"] = hash == plainResponsesHash[channels] ? 1.0 : 0.0;
}
} // namespace

BENCHMARK_CAPTURE (transforms, fast, fastKernels)->RangeMultiplier (2)->Range (1 << 10, 1 << 22);
BENCHMARK_CAPTURE (transforms, plain, plainKernels)->RangeMultiplier (2)->Range (1 << 10, 1 << 22);
BENCHMARK (fftwTransforms)->RangeMultiplier (2)->Range (1 << 10, 1 << 22);

BENCHMARK_CAPTURE (convolution, fast, fastKernels)
    ->Args ({480000, 720000})
    ->Args ({32767, 65534})
    ->Unit (benchmark::kMillisecond);
BENCHMARK_CAPTURE (convolution, plain, plainKernels)
    ->Args ({480000, 720000})
    ->Args ({32767, 65534})
    ->Unit (benchmark::kMillisecond);
BENCHMARK (fftwConvolution)->Args ({480000, 720000})->Args ({32767, 65534})->Unit (benchmark::kMillisecond);

// Plain first, so that the later runs can compare their responses with the plain run's. "application" is the
// program's own sweepComputeResponses, which runs the fast kernels.
BENCHMARK_CAPTURE (sweepComputation, plain, SweepPath::plain)
    ->Arg (2)
    ->Arg (16)
    ->Iterations (1)
    ->Unit (benchmark::kSecond);
BENCHMARK_CAPTURE (sweepComputation, fast, SweepPath::fast)
    ->Arg (2)
    ->Arg (16)
    ->Iterations (1)
    ->Unit (benchmark::kSecond);
BENCHMARK_CAPTURE (sweepComputation, application, SweepPath::application)
    ->Arg (2)
    ->Arg (16)
    ->Iterations (1)
    ->Unit (benchmark::kSecond);

BENCHMARK_MAIN();
