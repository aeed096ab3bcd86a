// Scanning one mapped byte range: the plain definition and the fast scan
// that must report exactly the same offsets. The fast scan filters candidate
// offsets with vector compares on two bytes of the pattern, then compares the
// whole pattern at each candidate.
#include "engine/scan.h"
#include "engine/cpu.h"
#include "engine/scan_kernels.h"
#include "engine/search.h"

#include <bit>
#include <emmintrin.h>

void ScanBytesSimple(const unsigned char* data, uint64_t size, const unsigned char* pattern,
                     uint32_t n, MatchSink sink, void* context)
{
    if (n == 0 || size < n)
        return;
    const uint64_t last = size - n + 1;  // one past the last offset a match can start at
    for (uint64_t pos = 0; pos < last; ++pos) {
        uint32_t i = 0;
        while (i < n && data[pos + i] == pattern[i])
            ++i;
        if (i == n) {
            if (!sink(context, pos))
                return;
            pos += n - 1;
        }
        if (!IsSearchRunning())
            return;
    }
}

namespace {

// Offsets scanned between two reads of SearchRunning. With the pattern's own
// length added, a Stop is noticed within 64 KiB of bytes read.
constexpr uint64_t STOP_CHECK_SPAN = 32 * 1024;

// How often a byte turns up in typical files (executables, text, UTF-16
// text): higher is more common. Only the order matters.
int Commonness(unsigned char c)
{
    static const char lowerByFrequency[] = "etaoinsrhldcumfpgwybvkxjqz";
    if (c == 0x00)
        return 1000;
    if (c == 0xFF)
        return 900;
    if (c == ' ')
        return 850;
    if (c >= 'a' && c <= 'z') {
        for (int i = 0; lowerByFrequency[i]; ++i) {
            if (lowerByFrequency[i] == static_cast<char>(c))
                return 800 - 10 * i;
        }
    }
    if (c == '\n' || c == '\r' || c == '\t' || c == 0x01 || c == 0x02 || c == 0x04 || c == 0x08 || c == 0x10 ||
        c == 0x20 || c == 0x40 || c == 0x80)
        return 500;
    if (c >= '0' && c <= '9')
        return 450;
    if (c >= 'A' && c <= 'Z')
        return 400;
    if (c < 0x80)
        return 300;  // punctuation and remaining control bytes
    return 200;      // high bytes
}

}  // namespace

ScanNeedle PrepareNeedle(const unsigned char* pattern, uint32_t n)
{
    ScanNeedle needle = {pattern, n, 0, 0};
    if (n < 2)
        return needle;
    // Rarest byte; on a tie the later position, so that for a pattern of
    // equal bytes the two filter bytes end up far apart.
    uint32_t second = n - 1;
    for (uint32_t i = n - 1; i-- > 0;) {
        if (Commonness(pattern[i]) < Commonness(pattern[second]))
            second = i;
    }
    // The rarest position holding a different byte value, else the first.
    uint32_t first = n;
    for (uint32_t i = 0; i < n; ++i) {
        if (pattern[i] == pattern[second])
            continue;
        if (first == n || Commonness(pattern[i]) < Commonness(pattern[first]))
            first = i;
    }
    if (first == n)
        first = second == 0 ? n - 1 : 0;
    needle.first = first;
    needle.second = second;
    return needle;
}

uint64_t FindSse2(const unsigned char* data, uint64_t from, uint64_t to, const ScanNeedle& needle)
{
    const __m128i v1 = _mm_set1_epi8(static_cast<char>(needle.bytes[needle.first]));
    const __m128i v2 = _mm_set1_epi8(static_cast<char>(needle.bytes[needle.second]));
    const unsigned char* a = data + needle.first;
    const unsigned char* b = data + needle.second;
    uint64_t p = from;
    // Four blocks per round; every load stays below to - 1 + the filter position.
    while (to - p >= 64) {
        const __m128i m0 = _mm_and_si128(_mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(a + p)), v1),
                                         _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(b + p)), v2));
        const __m128i m1 = _mm_and_si128(_mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(a + p + 16)), v1),
                                         _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(b + p + 16)), v2));
        const __m128i m2 = _mm_and_si128(_mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(a + p + 32)), v1),
                                         _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(b + p + 32)), v2));
        const __m128i m3 = _mm_and_si128(_mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(a + p + 48)), v1),
                                         _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(b + p + 48)), v2));
        const __m128i any = _mm_or_si128(_mm_or_si128(m0, m1), _mm_or_si128(m2, m3));
        if (_mm_movemask_epi8(any) != 0) {
            const uint64_t mask = static_cast<uint64_t>(static_cast<uint32_t>(_mm_movemask_epi8(m0))) |
                            static_cast<uint64_t>(static_cast<uint32_t>(_mm_movemask_epi8(m1))) << 16 |
                            static_cast<uint64_t>(static_cast<uint32_t>(_mm_movemask_epi8(m2))) << 32 |
                            static_cast<uint64_t>(static_cast<uint32_t>(_mm_movemask_epi8(m3))) << 48;
            const uint64_t at = FirstMatchInMask(data, p, mask, needle);
            if (at != NO_MATCH)
                return at;
        }
        p += 64;
    }
    while (to - p >= 16) {
        const __m128i m = _mm_and_si128(_mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(a + p)), v1),
                                        _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(b + p)), v2));
        const uint32_t mask = static_cast<uint32_t>(_mm_movemask_epi8(m));
        const uint64_t at = FirstMatchInMask(data, p, mask, needle);
        if (at != NO_MATCH)
            return at;
        p += 16;
    }
    return FindScalar(data, p, to, needle);
}

void ScanBytesWith(FindKernel find, const unsigned char* data, uint64_t size,
                   const unsigned char* pattern, uint32_t n, MatchSink sink, void* context)
{
    if (n == 0 || size < n)
        return;
    const uint64_t last = size - n + 1;  // one past the last offset a match can start at
    const ScanNeedle needle = PrepareNeedle(pattern, n);
    uint64_t pos = 0;
    while (pos < last) {
        const uint64_t end = last - pos > STOP_CHECK_SPAN ? pos + STOP_CHECK_SPAN : last;
        const uint64_t hit = find(data, pos, end, needle);
        if (hit < end) {
            if (!sink(context, hit))
                return;
            pos = hit + n;  // matches do not overlap
        } else {
            pos = end;
        }
        if (!IsSearchRunning())
            return;
    }
}

void ScanBytes(const unsigned char* data, uint64_t size, const unsigned char* pattern,
               uint32_t n, MatchSink sink, void* context)
{
    static const FindKernel find = CpuHasAvx2() ? FindAvx2 : FindSse2;
    ScanBytesWith(find, data, size, pattern, n, sink, context);
}
