#pragma once

#include <cmath>
#include <cstdint>

namespace sysmarr {

constexpr double kBytesPerMegabyte = 1048576.0;

// A figure rounded to two decimals, halves away from zero, as every size this library reports.
inline double roundToHundredths(double value) {
    return std::round(value * 100.0) / 100.0;
}

// Megabytes in a number of allocation units of unitBytes each, rounded to two decimals. The unit
// is turned into megabytes first, so counts far beyond 32 bits stay exact enough.
inline double megabytesOf(std::uint64_t unitBytes, std::uint64_t units) {
    return roundToHundredths(static_cast<double>(unitBytes) / 1024.0 / 1024.0 *
                             static_cast<double>(units));
}

// Kilobytes (as /proc reports memory) in megabytes, rounded to two decimals.
inline double megabytesOfKilobytes(std::uint64_t kilobytes) {
    return megabytesOf(1024, kilobytes);
}

} // namespace sysmarr
