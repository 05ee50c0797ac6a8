#include "dsp/fft_basis.h"
#include "dsp/dsp_alloc.h"
#include "dsp/fft.h"

#include <math.h>
#include <stdio.h>
#include <stdlib.h>

BasisNode* lroot = nullptr;

// Running out of memory for a table is not recoverable for the caller: report it and end with a failure status.
static void* allocate_or_exit (size_t count, size_t size)
{
    void* p = dsp_calloc (count, size);
    if (p == nullptr)
    {
        printf ("fft: can't allocate %ld bytes\n", (long)(count * size));
        exit (EXIT_FAILURE);
    }
    return p;
}

fft_complex* AssignBasis (long n)
{
    for (BasisNode* node = lroot; node != nullptr; node = node->next)
        if (node->n == n)
            return node->table;

    fft_complex* table = (fft_complex*)allocate_or_exit ((size_t)n, sizeof (fft_complex));
    for (long k = 0; k < n; ++k)
    {
        const double angle = ((double)k * 6.283185307179586) / (double)n;
        table[k].re = (float)cos (angle);
        table[k].im = -(float)sin (angle);
    }

    BasisNode* node = (BasisNode*)allocate_or_exit (1, sizeof (BasisNode));
    node->next = lroot;
    node->n = n;
    node->table = table;
    lroot = node;
    return table;
}

void FreeBasisList (void)
{
    BasisNode* node = lroot;
    while (node != nullptr)
    {
        BasisNode* next = node->next;
        free (node->table);
        free (node);
        node = next;
    }
    lroot = nullptr;
}
