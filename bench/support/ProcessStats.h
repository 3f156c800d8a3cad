#pragma once

#include <cstdint>
#include <string>

namespace orvane::site::bench {

/// Number of threads of this process (entries of /proc/self/task).
int threadCount();

/// Number of threads of this process named `name`. Linux keeps only the first 15 bytes of a
/// thread name, so a longer `name` matches on those.
int threadCountNamed(const std::string& name);

/// Resident set size now (VmRSS) and its peak (VmHWM), in bytes; 0 when unknown.
std::int64_t residentBytes();
std::int64_t peakResidentBytes();

/// Resets the peak resident set size to the current one (Linux 4.0+, "5" to clear_refs);
/// returns false where the kernel refuses, in which case peaks include earlier runs.
bool resetPeakResident();

}  // namespace orvane::site::bench
