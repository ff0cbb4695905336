#include "diag/SystemMemory.h"

#include <sys/resource.h>

#include <cstdio>
#include <cstring>

namespace corvid {

namespace {

// The value of a "Name:   1234 kB" line of a /proc file, in bytes.
bool ReadProcValue(const char* path, const char* name, std::uint64_t& bytes) {
    std::FILE* file = std::fopen(path, "r");
    if (!file) return false;
    char line[256];
    const std::size_t nameLength = std::strlen(name);
    bool found = false;
    while (std::fgets(line, sizeof line, file)) {
        if (std::strncmp(line, name, nameLength) == 0 && line[nameLength] == ':') {
            unsigned long long kb = 0;
            if (std::sscanf(line + nameLength + 1, "%llu", &kb) == 1) {
                bytes = kb * 1024ULL;
                found = true;
            }
            break;
        }
    }
    std::fclose(file);
    return found;
}

}  // namespace

SMemoryStatus ReadMemoryStatus() {
    SMemoryStatus status{};
    status.length = sizeof(SMemoryStatus);
    ReadProcValue("/proc/meminfo", "MemTotal", status.totalPhys);
    if (!ReadProcValue("/proc/meminfo", "MemAvailable", status.availPhys)) {
        ReadProcValue("/proc/meminfo", "MemFree", status.availPhys);
    }
    ReadProcValue("/proc/meminfo", "SwapTotal", status.totalPageFile);
    ReadProcValue("/proc/meminfo", "SwapFree", status.availPageFile);
    if (status.totalPhys > 0 && status.availPhys <= status.totalPhys) {
        status.memoryLoad =
            static_cast<std::uint32_t>((status.totalPhys - status.availPhys) * 100ULL / status.totalPhys);
    }

    // The user part of the x86-64 address space is 128 TiB unless a limit is set.
    std::uint64_t addressSpace = 1ULL << 47;
    struct rlimit limit {};
    if (getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur < addressSpace) {
        addressSpace = limit.rlim_cur;
    }
    status.totalVirtual = addressSpace;
    std::uint64_t used = 0;
    ReadProcValue("/proc/self/status", "VmSize", used);
    status.availVirtual = used < addressSpace ? addressSpace - used : 0;
    return status;
}

}  // namespace corvid
