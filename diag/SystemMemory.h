#pragma once

#include <cstdint>

namespace corvid {

// The machine's memory figures as the trace log's system block reports them.
struct SMemoryStatus {
    std::uint32_t length;         // size of this record as filled in
    std::uint32_t memoryLoad;     // per cent of physical memory in use
    std::uint64_t totalPhys;      // bytes of physical memory
    std::uint64_t availPhys;      // bytes available without swapping
    std::uint64_t totalPageFile;  // bytes of swap
    std::uint64_t availPageFile;  // bytes of swap free
    std::uint64_t totalVirtual;   // bytes of this process's usable address space
    std::uint64_t availVirtual;   // of which not yet mapped
};

// Reads /proc/meminfo, /proc/self/status and the address-space limit. Figures
// that cannot be read stay 0.
SMemoryStatus ReadMemoryStatus();

}  // namespace corvid
