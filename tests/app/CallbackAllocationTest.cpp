// Proves that the audio callback's work allocates nothing: every heap
// allocation of this test program is seen by the counter below, which counts
// only on a thread that has switched counting on. Without a sanitizer the
// malloc family is replaced here; AddressSanitizer and ThreadSanitizer bring
// allocators of their own, which such definitions would bypass (and a free
// of the other allocator's memory crashes), so there the counter is their
// allocation hook instead.
#include "MeasureComponentTest.h"
#include "RunBlock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <vector>

namespace
{
thread_local bool tCountAllocations = false;
std::atomic<int> gAllocations{0};

void noteAllocation()
{
    if (tCountAllocations)
        gAllocations.fetch_add (1, std::memory_order_relaxed);
}
} // namespace

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
extern "C" int __sanitizer_install_malloc_and_free_hooks (void (*mallocHook) (const volatile void*, size_t),
                                                          void (*freeHook) (const volatile void*));

namespace
{
void onSanitizerMalloc (const volatile void*, size_t)
{
    noteAllocation();
}

void onSanitizerFree (const volatile void*) {}

// The sanitizer takes a few hooks at most; 0 means this one was refused.
const bool counterInstalled = __sanitizer_install_malloc_and_free_hooks (onSanitizerMalloc, onSanitizerFree) != 0;
} // namespace
#else
const bool counterInstalled = true;

extern "C"
{
    void* __libc_malloc (size_t size);
    void* __libc_calloc (size_t count, size_t size);
    void* __libc_realloc (void* ptr, size_t size);
    void* __libc_memalign (size_t alignment, size_t size);
}

// operator new and everything else in the process ends up in these.
extern "C"
{
    void* malloc (size_t size) noexcept
    {
        noteAllocation();
        return __libc_malloc (size);
    }

    void* calloc (size_t count, size_t size) noexcept
    {
        noteAllocation();
        return __libc_calloc (count, size);
    }

    void* realloc (void* ptr, size_t size) noexcept
    {
        noteAllocation();
        return __libc_realloc (ptr, size);
    }

    void* memalign (size_t alignment, size_t size) noexcept
    {
        noteAllocation();
        return __libc_memalign (alignment, size);
    }

    void* aligned_alloc (size_t alignment, size_t size) noexcept
    {
        noteAllocation();
        return __libc_memalign (alignment, size);
    }

    int posix_memalign (void** out, size_t alignment, size_t size) noexcept
    {
        noteAllocation();
        *out = __libc_memalign (alignment, size);
        return *out != nullptr ? 0 : ENOMEM;
    }
}
#endif

namespace
{
// Counts the allocations that fn makes on this thread.
template <typename Fn> int allocationsDuring (Fn&& fn)
{
    gAllocations = 0;
    tCountAllocations = true;
    fn();
    tCountAllocations = false;
    return gAllocations.load();
}

} // namespace

TEST (CallbackAllocation, TheCounterSeesAllocations)
{
    ASSERT_TRUE (counterInstalled);
    void* (*volatile allocate) (size_t) = malloc;
    void* p = nullptr;
    EXPECT_EQ (allocationsDuring ([&] { p = allocate (16); }), 1);
    free (p);
    EXPECT_GE (allocationsDuring (
                   []
                   {
                       std::vector<int>* volatile v = new std::vector<int> (1000);
                       delete v;
                   }),
               2);
}

TEST (CallbackAllocation, RunBlockAllocatesNothing)
{
    const int chans = 18, frames = 4096, block = 512;
    std::vector<int16_t> play ((size_t)(chans * frames), 1000), record ((size_t)(chans * frames));
    const RunBuffers run{play.data(), chans, record.data(), chans, (uint64_t)frames - 100};
    std::vector<std::vector<float>> in ((size_t)chans, std::vector<float> (block, 0.5f)),
        out ((size_t)chans, std::vector<float> (block));
    std::vector<const float*> inPtrs;
    std::vector<float*> outPtrs;
    for (int c = 0; c < chans; ++c)
    {
        inPtrs.push_back (in[(size_t)c].data());
        outPtrs.push_back (out[(size_t)c].data());
    }

    int32_t playPos = 0;
    RunBlockPeaks peaks;
    int blocks = 0;
    const int made = allocationsDuring (
        [&]
        {
            while (runBlock (run, playPos, inPtrs.data(), chans, outPtrs.data(), chans, block, peaks) !=
                   RunBlockEnd::pastEnd)
                ++blocks;
        });
    EXPECT_EQ (made, 0);
    EXPECT_EQ (blocks, 8);
}

namespace
{
class CallbackAllocationOfARun : public MeasureComponentTest
{
};
} // namespace

TEST_F (CallbackAllocationOfARun, TheComponentsCallbackAllocatesNothing)
{
    build ({{"numPlayChan", "2"},
            {"numRecChan", "2"},
            {"type", "Sweep"},
            {"sweepTime", "0.1"},
            {"gapDelay", "0.05"},
            {"initDelay", "0"},
            {"file", "impulse"}});
    ASSERT_NE (useDevice ({2, 2, 48000.0, 256}), nullptr);
    ASSERT_TRUE (clickStart().empty());
    ASSERT_TRUE (deviceCallsComponent());

    // The device's arrays, made before counting starts.
    const int block = 256;
    std::vector<std::vector<float>> in (2, std::vector<float> (block, 0.5f)), out (2, std::vector<float> (block));
    const float* inPtrs[] = {in[0].data(), in[1].data()};
    float* outPtrs[] = {out[0].data(), out[1].data()};
    const juce::AudioIODeviceCallbackContext context{};

    // Now and then a block with an input fewer than announced: noticing it allocates nothing either.
    int blocks = 0, made = 0;
    while (!peer().state().runDone && blocks < 1000)
    {
        const int ins = blocks % 3 == 1 ? 1 : 2;
        made += allocationsDuring (
            [&] { component->audioDeviceIOCallbackWithContext (inPtrs, ins, outPtrs, 2, block, context); });
        ++blocks;
    }
    EXPECT_EQ (made, 0);
    const int runBlocks = (int)((peer().state().totalLen + block - 1) / block);
    EXPECT_EQ (blocks, runBlocks + 1) << "every block of the run, then the one past its end";
}
