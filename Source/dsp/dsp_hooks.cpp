#include "dsp/dsp_hooks.h"

#include <stdlib.h>

void* (*dsp_calloc_hook) (size_t count, size_t size) = nullptr;
int dsp_scalar_only = 0;

void* dsp_calloc (size_t count, size_t size)
{
    if (dsp_calloc_hook != nullptr)
        return dsp_calloc_hook (count, size);
    return calloc (count, size);
}
