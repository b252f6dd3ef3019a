// Tamra grab library: masks of register bit fields, as read and written through ReadReg/WriteReg.
#pragma once

#include <cstdint>

namespace tamra::lineio {

// Mask of the low `width` bits; a width of 32 or more covers the whole register.
std::uint32_t readFieldMask(std::uint32_t width);

// Mask of a field of `width` bits starting at bit `shift` modulo 32. A field running past bit 31
// continues at bit 0; when shift + width wraps past 32 bits, or the width is 0, the mask is 0.
std::uint32_t writeFieldMask(std::uint32_t shift, std::uint32_t width);

// The register value with the field replaced by the low bits of `value` placed at the shift.
std::uint32_t replaceField(std::uint32_t old, std::uint32_t shift, std::uint32_t width,
                           std::uint32_t value);

}  // namespace tamra::lineio
