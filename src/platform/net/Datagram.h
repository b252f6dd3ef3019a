// One datagram to send as two pieces, a header and data, so that payload is never copied.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tamra::gev {

struct DatagramPiece {
    const std::uint8_t* head;
    std::size_t headSize;
    const std::uint8_t* data;
    std::size_t dataSize;
};

}  // namespace tamra::gev
