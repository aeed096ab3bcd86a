// The fast scan kernels against the plain definition, on random and
// adversarial inputs. Every buffer sits against an inaccessible page on the
// side being tested, so a read past either end faults.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "engine/cpu.h"
#include "engine/scan.h"
#include "engine/scan_kernels.h"
#include "engine/search.h"

namespace {

using Offsets = std::vector<uint64_t>;
using Bytes = std::vector<unsigned char>;

bool Collect(void* context, uint64_t offset)
{
    static_cast<Offsets*>(context)->push_back(offset);
    return true;
}

// [no access][committed][no access]: data placed flush with either end.
class GuardedBuffer {
public:
    explicit GuardedBuffer(size_t capacity)
    {
        SYSTEM_INFO info;
        GetSystemInfo(&info);
        page_ = info.dwPageSize;
        committed_ = (capacity + page_ - 1) / page_ * page_;
        if (committed_ == 0)
            committed_ = page_;
        base_ = static_cast<unsigned char*>(
            VirtualAlloc(nullptr, committed_ + 2 * page_, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
        DWORD old = 0;
        if (base_ == nullptr || !VirtualProtect(base_, page_, PAGE_NOACCESS, &old) ||
            !VirtualProtect(base_ + page_ + committed_, page_, PAGE_NOACCESS, &old))
            ADD_FAILURE() << "could not set up guard pages";
    }
    ~GuardedBuffer()
    {
        if (base_ != nullptr)
            VirtualFree(base_, 0, MEM_RELEASE);
    }
    GuardedBuffer(const GuardedBuffer&) = delete;
    GuardedBuffer& operator=(const GuardedBuffer&) = delete;

    // Copies bytes so that they end (atEnd) or begin right at a guard page.
    const unsigned char* Place(const Bytes& bytes, bool atEnd)
    {
        unsigned char* at = base_ + page_ + (atEnd ? committed_ - bytes.size() : 0);
        if (!bytes.empty())
            std::memcpy(at, bytes.data(), bytes.size());
        return at;
    }

private:
    unsigned char* base_ = nullptr;
    size_t page_ = 0;
    size_t committed_ = 0;
};

struct Kernel {
    const char* name;
    FindKernel find;
};

std::vector<Kernel> AvailableKernels()
{
    std::vector<Kernel> kernels{{"SSE2", FindSse2}};
    if (CpuHasAvx2())
        kernels.push_back({"AVX2", FindAvx2});
    return kernels;
}

const uint32_t kLengths[] = {1, 2, 3, 15, 16, 17, 31, 32, 33, 63, 64, 65, 2048};

class ScanDifferential : public ::testing::Test {
protected:
    void SetUp() override { SearchRunning = 1; }
    void TearDown() override { SearchRunning = 0; }

    // Runs every kernel with the data against both guard pages and fails on
    // any difference from the plain scan.
    void Check(const Bytes& data, const Bytes& pattern, const std::string& what)
    {
        GuardedBuffer buffer(data.size());
        for (bool atEnd : {true, false}) {
            const unsigned char* view = buffer.Place(data, atEnd);
            Offsets expected;
            ScanBytesSimple(view, data.size(), pattern.data(), static_cast<uint32_t>(pattern.size()), Collect,
                            &expected);
            for (const Kernel& kernel : AvailableKernels()) {
                Offsets actual;
                ScanBytesWith(kernel.find, view, data.size(), pattern.data(), static_cast<uint32_t>(pattern.size()),
                              Collect, &actual);
                ASSERT_EQ(actual, expected) << kernel.name << ", " << what << ", size " << data.size()
                                            << ", pattern " << pattern.size() << (atEnd ? ", at end" : ", at start");
            }
        }
    }

    std::mt19937 rng_{20261209};

    Bytes Random(size_t size, int alphabet)
    {
        Bytes out(size);
        std::uniform_int_distribution<int> pick(0, alphabet - 1);
        for (auto& b : out)
            b = static_cast<unsigned char>('A' + pick(rng_));
        return out;
    }
};

TEST_F(ScanDifferential, RandomDataOverSmallAlphabets)
{
    // Small alphabets make matches and near misses common; patterns are cut
    // from the data so that long ones match too.
    const size_t sizes[] = {0, 1, 7, 31, 33, 64, 100, 257, 4099, 70000};
    for (int alphabet : {2, 4, 256 - 'A'}) {
        for (size_t size : sizes) {
            const Bytes data = Random(size, alphabet);
            for (uint32_t n : kLengths) {
                Check(data, Random(n, alphabet), "random pattern, alphabet " + std::to_string(alphabet));
                if (n <= size) {
                    const size_t from = std::uniform_int_distribution<size_t>(0, size - n)(rng_);
                    Check(data, Bytes(data.begin() + from, data.begin() + from + n),
                          "pattern cut from data, alphabet " + std::to_string(alphabet));
                }
            }
        }
    }
}

TEST_F(ScanDifferential, EqualAndPeriodicBytes)
{
    for (uint32_t n : kLengths) {
        const size_t sizes[] = {size_t{n} - 1, size_t{n}, size_t{n} + 1, 2 * size_t{n} + 5, 3 * size_t{n} + 67, 5000};
        for (size_t size : sizes) {
            Check(Bytes(size, 'A'), Bytes(n, 'A'), "all A");
            Check(Bytes(size, 0), Bytes(n, 0), "all zero");
            // All equal but the last pattern byte: every filter byte is everywhere but one.
            Bytes almost(n, 'A');
            almost.back() = 'B';
            Check(Bytes(size, 'A'), almost, "all A, pattern ends in B");
            Bytes periodic(size);
            for (size_t i = 0; i < size; ++i)
                periodic[i] = "AB"[i % 2];
            Bytes pattern(n);
            for (size_t i = 0; i < n; ++i)
                pattern[i] = "AB"[i % 2];
            Check(periodic, pattern, "ABAB");
        }
    }
}

TEST_F(ScanDifferential, PlantedMatchAtEveryOffsetAndTail)
{
    // A match starting at every offset around the vector and unroll widths,
    // followed by every tail length: covers matches straddling each block
    // boundary, a match ending at the last byte, and sizes that are not a
    // multiple of any vector width.
    for (uint32_t n : kLengths) {
        const Bytes pattern = Random(n, 190);
        for (size_t offset = 0; offset <= 130; ++offset) {
            for (size_t tail = 0; tail <= 34; ++tail) {
                Bytes data(offset + n + tail, 0);
                std::memcpy(data.data() + offset, pattern.data(), n);
                Check(data, pattern, "planted at " + std::to_string(offset));
            }
        }
    }
}

TEST_F(ScanDifferential, NearMissesAndDenseMatchesAcrossStopChecks)
{
    // Every byte of the pattern in turn is wrong, so the candidate filter
    // passes and the full comparison has to reject; real matches are mixed
    // in over more than one 32 KiB stop-check span.
    for (uint32_t n : {2u, 8u, 17u, 33u, 64u}) {
        const Bytes pattern = Random(n, 26);
        Bytes data;
        for (int round = 0; data.size() < 200000; ++round) {
            Bytes copy = pattern;
            copy[round % n] ^= 0x20;
            data.insert(data.end(), copy.begin(), copy.end());
            if (round % 3 == 0)
                data.insert(data.end(), pattern.begin(), pattern.end());
            data.push_back(static_cast<unsigned char>(round));
        }
        Check(data, pattern, "near misses");
    }
    // The zero-heavy case: 00 00 00 00 00 00 00 02 in zeros with scattered 02s.
    const Bytes needle = {0, 0, 0, 0, 0, 0, 0, 2};
    Bytes zeros(300000, 0);
    for (size_t i = 5; i < zeros.size(); i += 997)
        zeros[i] = 2;
    zeros.back() = 2;
    Check(zeros, needle, "zeros with 02");
}

TEST_F(ScanDifferential, PatternsThatStressTheChoiceOfFilterBytes)
{
    // Whichever two bytes the scan filters on, it must report what the plain
    // scan reports. Patterns whose rare bytes sit at both ends or repeat, or
    // that have no rare byte at all, in data made of the most common bytes or
    // of the pattern's own bytes, with copies of the pattern and near misses
    // (one byte changed, in turn) mixed in at irregular distances.
    const Bytes patterns[] = {
        {0, 0, 0, 0, 0, 0, 0, 2},           // one rare byte, at the end
        {'q', 0, 'z', 0},                   // UTF-16LE text: zero bytes between
        {0xE9, 0, 0, 0, 0, 0, 0, 0xE8},     // rare bytes at both ends
        {0xE9, 'e', 'e', 0xE9},             // the rarest byte twice
        {'Q', 'e', ' ', 'Q', 0},
        {'e', ' ', 'e', ' ', 't'},          // common bytes only
        {0, 0},
        {'e', 0},
        {0xE9, 0xE9},
        Bytes(3, 'A'),                      // one repeated byte
        Bytes(16, 0xFF),
        Bytes(33, 0),
        Bytes(65, ' '),
    };
    const Bytes common = {0x00, 0xFF, ' ', 'e', 't'};
    for (const Bytes& pattern : patterns) {
        for (bool ownBytes : {false, true}) {
            const Bytes& alphabet = ownBytes ? pattern : common;
            std::uniform_int_distribution<size_t> pick(0, alphabet.size() - 1);
            std::uniform_int_distribution<size_t> gap(0, 40);
            Bytes data;
            for (size_t round = 0; data.size() < 70000; ++round) {
                for (size_t g = gap(rng_); g > 0; --g)
                    data.push_back(alphabet[pick(rng_)]);
                Bytes copy = pattern;
                if (round % 3 != 0)
                    copy[round % copy.size()] ^= 0x01;
                data.insert(data.end(), copy.begin(), copy.end());
            }
            Check(data, pattern, ownBytes ? "data of the pattern's bytes" : "data of common bytes");
        }
    }
}

}  // namespace
