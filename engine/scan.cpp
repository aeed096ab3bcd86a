// The plain byte-by-byte scan: the definition every faster scan must match.
#include "engine/scan.h"
#include "engine/search.h"

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

void ScanBytes(const unsigned char* data, uint64_t size, const unsigned char* pattern,
               uint32_t n, MatchSink sink, void* context)
{
    ScanBytesSimple(data, size, pattern, n, sink, context);
}
