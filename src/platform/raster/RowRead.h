// Reading the pixel rows of a file straight into the rows of a bitmap.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace tamra::platform {

// Reads count records of rowBytes bytes, stored one after another in file from byte offset on,
// to first, first + step, first + 2 x step, ... (step may be negative: the rows of a bottom-up
// picture into a top-down bitmap). Where the system scatters a read, the records go to their
// places with no copy in between. The stream's position afterwards is unspecified. False when
// any record cannot be read in full.
bool readRowsAt(std::FILE* file, std::uint64_t offset, std::uint8_t* first, std::ptrdiff_t step,
                std::size_t rowBytes, std::size_t count);

}  // namespace tamra::platform
