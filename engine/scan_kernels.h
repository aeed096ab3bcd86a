// Internal to the scan: the vector kernels behind ScanBytes, exposed so the
// tests can run each one against the plain definition.
#pragma once
#include <bit>
#include <cstdint>
#include <cstring>
#include "engine/scan.h"

// The pattern and the two positions whose bytes pick candidate offsets.
// Both positions are < length; for a 1-byte pattern both are 0.
struct ScanNeedle {
    const unsigned char* bytes;
    uint32_t length;
    uint32_t first;
    uint32_t second;
};

// Returns the first offset p in [from, to) where the whole pattern matches,
// or to when there is none. The caller guarantees to <= size - length + 1,
// so the kernel reads only data[from, to + length - 1).
using FindKernel = uint64_t (*)(const unsigned char* data, uint64_t from, uint64_t to,
                                const ScanNeedle& needle);

uint64_t FindSse2(const unsigned char* data, uint64_t from, uint64_t to, const ScanNeedle& needle);
// Only on a CPU where CpuHasAvx2() is true.
uint64_t FindAvx2(const unsigned char* data, uint64_t from, uint64_t to, const ScanNeedle& needle);

// Picks the two filter positions: the bytes least likely to occur in files.
ScanNeedle PrepareNeedle(const unsigned char* pattern, uint32_t n);

// ScanBytes with a chosen kernel.
void ScanBytesWith(FindKernel find, const unsigned char* data, uint64_t size,
                   const unsigned char* pattern, uint32_t n, MatchSink sink, void* context);

// Compares the whole pattern at p. Static so each kernel's file gets its own
// copy built for its own instruction set; a shared inline copy could be the
// AVX2 one and fault on an older CPU.
static inline bool PatternAt(const unsigned char* at, const ScanNeedle& needle)
{
    return std::memcmp(at, needle.bytes, needle.length) == 0;
}

// The first candidate of a vector filter's mask (bit i stands for offset
// p + i) where the whole pattern matches, or NO_MATCH.
constexpr uint64_t NO_MATCH = ~static_cast<uint64_t>(0);
static inline uint64_t FirstMatchInMask(const unsigned char* data, uint64_t p, uint64_t mask,
                                        const ScanNeedle& needle)
{
    while (mask != 0) {
        const uint64_t at = p + static_cast<uint64_t>(std::countr_zero(mask));
        if (PatternAt(data + at, needle))
            return at;
        mask &= mask - 1;
    }
    return NO_MATCH;
}

// Scalar search over a few candidate offsets at the end of a range.
static inline uint64_t FindScalar(const unsigned char* data, uint64_t from, uint64_t to,
                                  const ScanNeedle& needle)
{
    const unsigned char b1 = needle.bytes[needle.first];
    const unsigned char b2 = needle.bytes[needle.second];
    for (uint64_t p = from; p < to; ++p) {
        if (data[p + needle.first] == b1 && data[p + needle.second] == b2 && PatternAt(data + p, needle))
            return p;
    }
    return to;
}
