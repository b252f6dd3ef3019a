// Row kernels of the stretch copy for the layouts frames are most often composed from: colour
// rows matched to the grey ramp and palette rows expanded to 24-bit colour. Each kernel has a
// scalar reference, and the vector forms chosen for the processor write exactly its bytes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tamra::platform::kernels {

// Grey level of a colour matched to the 256-level ramp: the level nearest (r + g + b) / 3.
constexpr std::uint8_t greyOfSum(std::uint32_t sum) {
    return static_cast<std::uint8_t>((sum + 1) / 3);
}

// count pixels of 3 (blue, green, red) or 4 (blue, green, red, unused) bytes to grey levels.
using GreyRow = void (*)(const std::uint8_t* in, std::uint8_t* out, std::size_t count);
// The same for 3-byte pixels at the given ascending byte offsets of in (the columns of a scaled
// row); readable bytes from in may be read, at least 3 past the last offset.
using GreyColumns = void (*)(const std::uint8_t* in, std::size_t readable,
                             const std::uint32_t* offsets, std::uint8_t* out, std::size_t count);
// A palette as the row kernels take it, made once per copy: entry i as 0x00RRGGBB and split
// into one 256-byte table per channel (blue, green, red), which the byte permutes look up.
struct PaletteTable {
    std::uint32_t colours[256];
    alignas(64) std::uint8_t channels[3][256];
};
void fillPaletteTable(PaletteTable& table, const std::uint32_t* colours);

// count palette indices to 3-byte pixels.
using PaletteRow = void (*)(const PaletteTable& palette, const std::uint8_t* in, std::uint8_t* out,
                            std::size_t count);

// count palette indices to the indices of another palette through a 256-entry map.
using MappedRow = void (*)(const std::uint8_t* map, const std::uint8_t* in, std::uint8_t* out,
                           std::size_t count);

struct RowKernels {
    GreyRow greyFromBgr;
    GreyRow greyFromBgrx;
    GreyColumns greyFromBgrColumns;
    PaletteRow bgrFromPalette;
    MappedRow mapIndices;
};

// The plain loops every other set must match byte for byte.
const RowKernels& scalarKernels();
// The fastest set this processor runs, chosen on the first call.
const RowKernels& bestKernels();

}  // namespace tamra::platform::kernels
