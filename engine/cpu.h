// CPU features the scan can use beyond the x64 baseline (SSE2).
#pragma once

// True when both the CPU and the operating system support AVX2 (the OS must
// save the YMM registers on a context switch, or AVX code corrupts state).
bool CpuHasAvx2();
