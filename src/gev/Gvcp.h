// GVCP, the control protocol: command parsing as a pure function over a datagram, and the
// acknowledgement layouts the device answers with.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tamra::gev {

constexpr std::uint16_t kGvcpPort = 3956;
constexpr std::uint8_t kCommandKey = 0x42;
constexpr std::uint8_t kFlagAckRequired = 0x01;
constexpr std::size_t kGvcpHeaderSize = 8;
// The largest data block of one READMEM/WRITEMEM: keeps every answer within one small datagram.
constexpr std::uint32_t kMaxMemoryBlock = 536;

enum class Command : std::uint16_t {
    Discovery = 0x0002,
    ForceIp = 0x0004,
    PacketResend = 0x0040,
    ReadReg = 0x0080,
    WriteReg = 0x0082,
    ReadMem = 0x0084,
    WriteMem = 0x0086,
};

enum class Status : std::uint16_t {
    Success = 0x0000,
    NotImplemented = 0x8001,
    InvalidParameter = 0x8002,
    InvalidAddress = 0x8003,
    WriteProtect = 0x8004,
    BadAlignment = 0x8005,
    AccessDenied = 0x8006,
    Busy = 0x8007,
    InvalidHeader = 0x800E,
    Error = 0x8FFF,
};

constexpr std::uint16_t kPendingAck = 0x0089;

// One command as it arrived. payload points into the caller's datagram.
struct GvcpCommand {
    std::uint8_t flags = 0;
    std::uint16_t command = 0;
    std::uint16_t id = 0;
    const std::uint8_t* payload = nullptr;
    std::size_t payloadSize = 0;

    bool ackRequired() const { return (flags & kFlagAckRequired) != 0; }
};

enum class ParseOutcome {
    Command,    // a well-formed command: answer it
    Malformed,  // a command header whose length field disagrees with the datagram: error ack
    Ignored,    // not a command at all (too short, wrong key): never answered
};

// Reads the 8-byte header and checks the length field against the datagram. Never reads past
// size; a datagram longer than the header says is taken up to the declared length.
ParseOutcome parseGvcpCommand(const std::uint8_t* data, std::size_t size, GvcpCommand& out);

// Builds an acknowledgement: status, answer code (command + 1, or the pending code), length and
// the command's id, followed by body.
std::vector<std::uint8_t> makeAck(Status status, std::uint16_t answer, std::uint16_t id,
                                  const std::uint8_t* body, std::size_t bodySize);
inline std::vector<std::uint8_t> makeAck(Status status, std::uint16_t answer, std::uint16_t id) {
    return makeAck(status, answer, id, nullptr, 0);
}

}  // namespace tamra::gev
