// Tamra grab library: names for the special values that the geometry arguments accept.
#pragma once

#include <cstdint>

/// @file
/// Named values for the unsigned arguments of `Create`, `EmulateFromNewImagePath`, the geometry
/// setters and `AjustValue`. The library tests for these numbers; the names only spell them out.

/// Keep the value the grab holds now (for example the width that the first image file gave).
constexpr std::uint32_t TAMRA_KEEP_VALUE = 0xFFFFFFFEu;
/// Use the default value (640 wide, 480 high, 8 bits, 5 buffers, 5000 ms).
constexpr std::uint32_t TAMRA_DEFAULT_VALUE = 0xFFFFFFFFu;
/// As the lower or upper limit of `AjustValue`: no limit.
constexpr std::uint32_t TAMRA_NO_LIMIT = 0xFFFFFFFDu;
