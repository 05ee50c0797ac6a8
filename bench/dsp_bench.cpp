// The kernels side by side with their plain rendering and with FFTW3f, and the response computation on one thread
// against every core, in one run:
//   build/bench/dsp_bench --benchmark_counters_tabular=true
#include "MlsCorrelation.h"
#include "ResponseWorkers.h"
#include "Stimulus.h"
#include "SweepDeconvolution.h"
#include "support/SequentialResponses.h"
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

// The impulse responses of P x P output/input pairs from a recording of noise, as the application computes them:
// "sequential" is one loop over the pairs with f_block_convolve for each (the computation before it ran on every
// core), "parallel" the application's own sweepComputeResponses / mlsComputeResponses on every core.
// Sweep: a 10 s sweep at 48 kHz from 20 Hz to 24 kHz with a 5 s gap, a 480000-tap inverse filter over 720000
// samples per pair. MLS: order 16 (L = 65535) with 4 averages after the lead-in period.
enum class Method
{
    sweep,
    mls
};

enum class Path
{
    sequential,
    parallel
};

constexpr long sweepLen = 480000, sweepResponseLen = 720000;
constexpr int mlsBits = 16, mlsAverages = 4;
constexpr long mlsLen = (1L << mlsBits) - 1;
const SweepParams sweepParams = {48000.0, 20.0, 24000.0, 10.0, 0.0, 0.5};

// A recording of P segments (one per output) with P interleaved channels, as the run buffers hold it.
struct Recording
{
    std::vector<int16_t> frames;
    std::vector<int16_t> mlsSeq;
    RecordedRun run;

    Recording (Method method, int channels)
    {
        const bool mls = method == Method::mls;
        RunLayout& layout = run.layout;
        layout.sweepLen = mls ? 0 : (uint64_t)sweepLen;
        layout.gapLen = mls ? 0 : (uint64_t)(sweepResponseLen - sweepLen);
        layout.mlsLen = mls ? mlsLen : 0;
        layout.segmentLen = mls ? (uint64_t)((mlsAverages + 1) * mlsLen) : (uint64_t)sweepResponseLen;
        layout.totalLen = layout.segmentLen * (uint64_t)channels;

        frames.resize (layout.totalLen * (uint64_t)channels);
        std::mt19937 gen (4);
        std::uniform_int_distribution<int> dist (-20000, 20000);
        for (int16_t& s : frames)
            s = (int16_t)dist (gen);

        mlsSeq.resize ((size_t)mlsLen);
        generateMls (mlsBits, 16384, mlsSeq.data(), mlsLen);

        run.recordBuffer = frames.data();
        run.recordFrames = layout.totalLen;
        run.recChans = channels;
        run.numPlayChan = channels;
        run.numRecChan = channels;
    }

    uint64_t responseLen() const { return run.layout.mlsLen > 0 ? (uint64_t)mlsLen : (uint64_t)sweepResponseLen; }

    bool compute (Path path, float** responses) const
    {
        if (run.layout.mlsLen > 0)
            return path == Path::sequential ? sequentialMlsResponses (mlsSeq.data(), mlsAverages, run, responses)
                                            : mlsComputeResponses (mlsSeq.data(), mlsAverages, run, responses);
        return path == Path::sequential ? sequentialSweepResponses (sweepParams, run, responses)
                                        : sweepComputeResponses (sweepParams, run, responses);
    }
};

uint64_t hashResponses (const std::vector<float*>& responses, uint64_t count)
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

// Bits of the sequential run's responses per method and channel count, for the parallel run to compare with.
uint64_t sequentialHash[2][17];

void responseComputation (benchmark::State& state, Method method, Path path)
{
    const int channels = (int)state.range (0);
    const Recording rec (method, channels);

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
        const bool ok = rec.compute (path, responses.data());
        peak = memoryMiB ("VmHWM");
        state.PauseTiming();
        hash = ok ? hashResponses (responses, rec.responseLen()) : 0;
        for (float* r : responses)
            free (r);
        state.ResumeTiming();
    }
    // The process's resident memory before the computation (the recording and what earlier benchmarks kept) and
    // at its peak; the difference is what the computation itself needs.
    state.counters["start_MiB"] = start;
    state.counters["peak_MiB"] = peak;
    state.counters["threads"] = path == Path::sequential ? 1 : responseWorkerCount ((int64_t)channels * channels);
    uint64_t& reference = sequentialHash[(int)method][channels];
    if (path == Path::sequential)
        reference = hash;
    else if (reference != 0)
        state.counters["same_bits"] = hash == reference ? 1.0 : 0.0;
}

// Sixteen signals convolved with one filter on one thread: f_block_convolve for each, against one block filter
// for all (its transform counted once), each result in a new array.
enum class ManySignals
{
    repeated,
    blockFilter
};

void manySignals (benchmark::State& state, ManySignals mode)
{
    const long nh = (long)state.range (0), nx = (long)state.range (1);
    const int signals = 16;
    const std::vector<float> h = randomSignal (nh, 2);
    std::vector<std::vector<float>> x;
    for (int i = 0; i < signals; ++i)
        x.push_back (randomSignal (nx, 10 + (unsigned)i));
    const long len = nh + nx - 1;

    bool same = true;
    for (auto _ : state)
    {
        if (mode == ManySignals::repeated)
        {
            for (int i = 0; i < signals; ++i)
            {
                long outLen = 0;
                float* y = f_block_convolve (h.data(), nh, x[(size_t)i].data(), nx, &outLen);
                benchmark::DoNotOptimize (y);
                free (y);
            }
            continue;
        }
        block_filter* filter = block_filter_new (h.data(), nh);
        float* scratch = (float*)malloc ((size_t)block_filter_scratch_floats (filter) * sizeof (float));
        for (int i = 0; i < signals; ++i)
        {
            float* y = (float*)malloc ((size_t)len * sizeof (float));
            block_filter_convolve (filter, x[(size_t)i].data(), nx, 0, len, y, scratch);
            benchmark::DoNotOptimize (y);
            if (i == signals - 1)
            {
                state.PauseTiming();
                long outLen = 0;
                float* expected = f_block_convolve (h.data(), nh, x[(size_t)i].data(), nx, &outLen);
                same = same && std::memcmp (y, expected, (size_t)len * sizeof (float)) == 0;
                free (expected);
                state.ResumeTiming();
            }
            free (y);
        }
        free (scratch);
        block_filter_free (filter);
    }
    if (mode == ManySignals::blockFilter)
        state.counters["same_bits"] = same ? 1.0 : 0.0;
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

BENCHMARK_CAPTURE (manySignals, repeated, ManySignals::repeated)
    ->Args ({480000, 720000})
    ->Args ({65535, 131070})
    ->Unit (benchmark::kMillisecond);
BENCHMARK_CAPTURE (manySignals, blockFilter, ManySignals::blockFilter)
    ->Args ({480000, 720000})
    ->Args ({65535, 131070})
    ->Unit (benchmark::kMillisecond);

// Sequential first, so that the parallel runs can compare their responses with it.
BENCHMARK_CAPTURE (responseComputation, sweep_sequential, Method::sweep, Path::sequential)
    ->Arg (2)
    ->Arg (16)
    ->Iterations (1)
    ->Unit (benchmark::kSecond);
BENCHMARK_CAPTURE (responseComputation, sweep_parallel, Method::sweep, Path::parallel)
    ->Arg (2)
    ->Arg (16)
    ->Iterations (1)
    ->Unit (benchmark::kSecond);
BENCHMARK_CAPTURE (responseComputation, mls_sequential, Method::mls, Path::sequential)
    ->Arg (16)
    ->Iterations (1)
    ->Unit (benchmark::kSecond);
BENCHMARK_CAPTURE (responseComputation, mls_parallel, Method::mls, Path::parallel)
    ->Arg (16)
    ->Iterations (1)
    ->Unit (benchmark::kSecond);

BENCHMARK_MAIN();
