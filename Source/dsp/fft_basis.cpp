#include "dsp/fft_basis.h"
#include "dsp/dsp_hooks.h"
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

static BasisNode* find_or_build_node (long n)
{
    for (BasisNode* node = lroot; node != nullptr; node = node->next)
        if (node->n == n)
            return node;

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
    node->spans = nullptr;
    lroot = node;
    return node;
}

fft_complex* AssignBasis (long n)
{
    return find_or_build_node (n)->table;
}

const BasisNode* AssignBasisNode (long n)
{
    BasisNode* node = find_or_build_node (n);
    const long m = n / 2;
    if (node->spans == nullptr && m >= 8)
    {
        double* spans = (double*)allocate_or_exit ((size_t)(m - 4), 2 * sizeof (double));
        for (long s = m; s >= 8; s /= 2)
            for (long j = 0; j < s / 2; ++j)
            {
                spans[2 * (m - s + j)] = node->table[j * (n / s)].re;
                spans[2 * (m - s + j) + 1] = node->table[j * (n / s)].im;
            }
        node->spans = spans;
    }
    return node;
}

void FreeBasisList (void)
{
    BasisNode* node = lroot;
    while (node != nullptr)
    {
        BasisNode* next = node->next;
        free (node->table);
        free (node->spans);
        free (node);
        node = next;
    }
    lroot = nullptr;
}
