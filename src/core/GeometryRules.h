// Tamra grab library: the sentinel values and the crop rule shared by Create and the setters.
#pragma once

#include <cstdint>

namespace tamra::geometry {

// Sentinels of AjustValue: as a value, keep the current one or take the default; as a limit,
// no limit.
inline constexpr std::uint32_t kKeep = 0xFFFFFFFEu;
inline constexpr std::uint32_t kUseDefault = 0xFFFFFFFFu;
inline constexpr std::uint32_t kNoLimit = 0xFFFFFFFDu;

// An offset leaves at least eight pixels of the span. Compared in 64 bits, so an offset near the
// top of the 32-bit range cannot wrap past the test.
inline bool cropFits(std::uint32_t span, std::uint32_t offset) {
    return span >= static_cast<std::uint64_t>(offset) + 8;
}

}  // namespace tamra::geometry
