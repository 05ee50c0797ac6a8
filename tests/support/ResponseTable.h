#pragma once

#include <cstdlib>
#include <vector>

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
