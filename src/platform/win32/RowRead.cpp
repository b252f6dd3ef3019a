// Row reads on Windows: the stream read row by row into place.
#include "platform/raster/RowRead.h"

namespace tamra::platform {

bool readRowsAt(std::FILE* file, std::uint64_t offset, std::uint8_t* first, std::ptrdiff_t step,
                std::size_t rowBytes, std::size_t count) {
    if (_fseeki64(file, static_cast<long long>(offset), SEEK_SET) != 0) return false;
    for (std::size_t row = 0; row < count; ++row) {
        std::uint8_t* to = first + static_cast<std::ptrdiff_t>(row) * step;
        if (std::fread(to, 1, rowBytes, file) != rowBytes) return false;
    }
    return true;
}

}  // namespace tamra::platform
