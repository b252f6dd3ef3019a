// Row reads on POSIX systems: one positioned scatter read per block of rows.
#include "platform/raster/RowRead.h"

#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace tamra::platform {

namespace {

bool readFully(int fd, std::uint8_t* to, std::size_t bytes, off_t offset) {
    while (bytes > 0) {
        const ssize_t got = pread(fd, to, bytes, offset);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        to += got;
        bytes -= static_cast<std::size_t>(got);
        offset += got;
    }
    return true;
}

}  // namespace

bool readRowsAt(std::FILE* file, std::uint64_t offset, std::uint8_t* first, std::ptrdiff_t step,
                std::size_t rowBytes, std::size_t count) {
    const int fd = fileno(file);
    if (fd < 0) return false;
    if (rowBytes == 0) return true;
    // Rows per call: a stack array, well under any system's limit on the parts of one read.
    constexpr std::size_t kParts = 64;
    iovec parts[kParts];
    const auto rowAt = [&](std::size_t row) {
        return first + static_cast<std::ptrdiff_t>(row) * step;
    };
    const auto fileOffset = [&](std::size_t row) {
        return static_cast<off_t>(offset + row * std::uint64_t{rowBytes});
    };
    std::size_t done = 0;
    while (done < count) {
        const std::size_t n = std::min(kParts, count - done);
        for (std::size_t i = 0; i < n; ++i) parts[i] = iovec{rowAt(done + i), rowBytes};
        const ssize_t got = preadv(fd, parts, static_cast<int>(n), fileOffset(done));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        // A short read may end inside a row: that row is finished on its own.
        done += static_cast<std::size_t>(got) / rowBytes;
        const std::size_t rest = static_cast<std::size_t>(got) % rowBytes;
        if (rest != 0) {
            if (!readFully(fd, rowAt(done) + rest, rowBytes - rest, fileOffset(done) + rest)) {
                return false;
            }
            ++done;
        }
    }
    return true;
}

}  // namespace tamra::platform
