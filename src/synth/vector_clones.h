#pragma once
// On x86-64 ELF systems the hot loops are built twice, for the baseline
// instruction set and for AVX2, and the loader picks the one the processor
// supports. Both perform the same integer operations and the same IEEE
// double operations (no fused multiply-add: contraction is off), so both
// give the same samples; AVX2 only brings wider and three-operand vectors.
// Defining TQ_NO_VECTOR_CLONES builds the baseline loops only.
#if defined(__x86_64__) && defined(__ELF__) && defined(__has_attribute) && \
    !defined(TQ_NO_VECTOR_CLONES)
#if __has_attribute(target_clones)
#define TQ_VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#endif
#endif
#ifndef TQ_VECTOR_CLONES
#define TQ_VECTOR_CLONES
#endif
