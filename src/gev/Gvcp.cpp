#include "gev/Gvcp.h"

#include "gev/Wire.h"

namespace tamra::gev {

ParseOutcome parseGvcpCommand(const std::uint8_t* data, std::size_t size, GvcpCommand& out) {
    if (data == nullptr || size < kGvcpHeaderSize || data[0] != kCommandKey) {
        return ParseOutcome::Ignored;
    }
    out.flags = data[1];
    out.command = readBe16(data + 2);
    out.id = readBe16(data + 6);
    const std::size_t declared = readBe16(data + 4);
    if (declared > size - kGvcpHeaderSize || declared % 4 != 0) {
        out.payload = nullptr;
        out.payloadSize = 0;
        return ParseOutcome::Malformed;
    }
    out.payload = data + kGvcpHeaderSize;
    out.payloadSize = declared;
    return ParseOutcome::Command;
}

std::vector<std::uint8_t> makeAck(Status status, std::uint16_t answer, std::uint16_t id,
                                  const std::uint8_t* body, std::size_t bodySize) {
    std::vector<std::uint8_t> ack(kGvcpHeaderSize + bodySize);
    writeBe16(ack.data(), static_cast<std::uint16_t>(status));
    writeBe16(ack.data() + 2, answer);
    writeBe16(ack.data() + 4, static_cast<std::uint16_t>(bodySize));
    writeBe16(ack.data() + 6, id);
    for (std::size_t i = 0; i < bodySize; ++i) ack[kGvcpHeaderSize + i] = body[i];
    return ack;
}

}  // namespace tamra::gev
