// The AVX2 scan kernel: the SSE2 kernel's filter on 32 bytes at a time.
// This file alone is built with AVX2 enabled; it runs only when
// CpuHasAvx2() says so.
#include "engine/scan_kernels.h"

#include <bit>
#include <immintrin.h>

uint64_t FindAvx2(const unsigned char* data, uint64_t from, uint64_t to, const ScanNeedle& needle)
{
    const __m256i v1 = _mm256_set1_epi8(static_cast<char>(needle.bytes[needle.first]));
    const __m256i v2 = _mm256_set1_epi8(static_cast<char>(needle.bytes[needle.second]));
    const unsigned char* a = data + needle.first;
    const unsigned char* b = data + needle.second;
    uint64_t p = from;
    // Two blocks per round; every load stays below to - 1 + the filter position.
    while (to - p >= 64) {
        const __m256i m0 = _mm256_and_si256(
            _mm256_cmpeq_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(a + p)), v1),
            _mm256_cmpeq_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(b + p)), v2));
        const __m256i m1 = _mm256_and_si256(
            _mm256_cmpeq_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(a + p + 32)), v1),
            _mm256_cmpeq_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(b + p + 32)), v2));
        const __m256i any = _mm256_or_si256(m0, m1);
        if (!_mm256_testz_si256(any, any)) {
            const uint64_t mask = static_cast<uint64_t>(static_cast<uint32_t>(_mm256_movemask_epi8(m0))) |
                            static_cast<uint64_t>(static_cast<uint32_t>(_mm256_movemask_epi8(m1))) << 32;
            const uint64_t at = FirstMatchInMask(data, p, mask, needle);
            if (at != NO_MATCH)
                return at;
        }
        p += 64;
    }
    while (to - p >= 32) {
        const __m256i m = _mm256_and_si256(
            _mm256_cmpeq_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(a + p)), v1),
            _mm256_cmpeq_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(b + p)), v2));
        const uint32_t mask = static_cast<uint32_t>(_mm256_movemask_epi8(m));
        const uint64_t at = FirstMatchInMask(data, p, mask, needle);
        if (at != NO_MATCH)
            return at;
        p += 32;
    }
    return FindScalar(data, p, to, needle);
}
