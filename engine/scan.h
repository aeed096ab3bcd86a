// Scanning one mapped byte range for the search pattern.
#pragma once
#include <cstdint>
#include <cstddef>

// Called for every match, in increasing offset order. Returning false stops the scan.
using MatchSink = bool (*)(void* context, uint64_t offset);

// Reports every non-overlapping occurrence of pattern[0..n) in data[0..size):
// each offset is compared in full, a match at p is reported and the next
// comparison is at p + n. Stops early when SearchRunning is cleared.
void ScanBytes(const unsigned char* data, uint64_t size, const unsigned char* pattern,
               uint32_t n, MatchSink sink, void* context);

// The plain definition of the same scan, one offset at a time; the reference
// the fast scan is checked against.
void ScanBytesSimple(const unsigned char* data, uint64_t size, const unsigned char* pattern,
                     uint32_t n, MatchSink sink, void* context);
