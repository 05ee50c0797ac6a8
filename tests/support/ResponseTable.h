#pragma once

#include <cstdlib>
#include <functional>
#include <vector>

#include <gtest/gtest.h>

#include "MeasureMemory.h"

// A table of malloc'd responses for a test; frees every entry when it goes.
struct ResponseTable
{
    explicit ResponseTable (int numResponses) : entries ((size_t)numResponses, nullptr) {}
    ~ResponseTable() { clear(); }

    ResponseTable (const ResponseTable&) = delete;
    ResponseTable& operator= (const ResponseTable&) = delete;

    void clear()
    {
        for (auto& e : entries)
        {
            std::free (e);
            e = nullptr;
        }
    }

    float** data() { return entries.data(); }
    float* operator[] (int m) const { return entries[(size_t)m]; }

    std::vector<float*> entries;
};

// Makes each allocation of a computation fail in turn, from the first on,
// until one run needs no more. Every failed run must report failure; the
// run that completes must report success. Returns the number of failures.
inline int countReportedAllocationFailures (int numResponses, const std::function<bool (float**)>& compute)
{
    int failures = 0;
    for (int n = 0; n < 100; ++n)
    {
        ResponseTable responses (numResponses);
        measureFailRequest (n);
        const bool ok = compute (responses.data());
        const bool failed = !measureFailPending();
        measureFailRequest (-1);

        if (!failed)
        {
            EXPECT_TRUE (ok);
            break;
        }

        EXPECT_FALSE (ok) << "request " << n;
        ++failures;
    }
    return failures;
}
