// Runtime CPU feature detection, asked once per process.
#include "engine/cpu.h"

#ifdef _MSC_VER
#include <intrin.h>
#else
#include <cpuid.h>
#include <immintrin.h>  // _xgetbv; this file alone is built with -mxsave
#endif

namespace {

void Cpuid(int leaf, int subleaf, unsigned regs[4])
{
#ifdef _MSC_VER
    int r[4] = {};
    __cpuidex(r, leaf, subleaf);
    for (int i = 0; i < 4; ++i)
        regs[i] = static_cast<unsigned>(r[i]);
#else
    __cpuid_count(leaf, subleaf, regs[0], regs[1], regs[2], regs[3]);
#endif
}

bool DetectAvx2()
{
    unsigned r[4] = {};
    Cpuid(0, 0, r);
    if (r[0] < 7)
        return false;
    Cpuid(1, 0, r);
    const bool osxsave = (r[2] & (1u << 27)) != 0;
    const bool avx = (r[2] & (1u << 28)) != 0;
    if (!osxsave || !avx)
        return false;
    // XCR0 bits 1 and 2: the OS saves SSE and AVX state.
    if ((_xgetbv(0) & 6) != 6)
        return false;
    Cpuid(7, 0, r);
    return (r[1] & (1u << 5)) != 0;
}

}  // namespace

bool CpuHasAvx2()
{
    // A function-local static is initialised once, thread-safely.
    static const bool has = DetectAvx2();
    return has;
}
