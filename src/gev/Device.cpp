#include "gev/Device.h"

#include <algorithm>
#include <cstdio>

#include "gev/Wire.h"

namespace tamra::gev {

namespace {

constexpr std::uint32_t kVersion = 0x00010002;  // 1.2
constexpr std::uint32_t kDeviceModeBigEndianUtf8 = 0x80000001;
constexpr std::uint32_t kCapabilities = (1u << 31)    // user-defined name
                                        | (1u << 30)  // serial number
                                        | (1u << 5)   // PENDING_ACK
                                        | (1u << 2)   // PACKETRESEND
                                        | (1u << 1);  // WRITEMEM
constexpr std::uint32_t kDefaultHeartbeatMs = 3000;
constexpr std::uint32_t kTickFrequency = 1000000000;  // the tick is one nanosecond
constexpr std::uint16_t kPendingMs = 5000;
constexpr std::uint32_t kUrlSize = 512;

std::uint16_t answerCode(std::uint16_t command) {
    return static_cast<std::uint16_t>(command + 1);
}

bool inXml(std::uint32_t address, std::uint32_t size, std::size_t xmlSize) {
    return address >= kXmlBase && address - kXmlBase <= xmlSize &&
           size <= xmlSize - (address - kXmlBase);
}

bool inFeatures(std::uint32_t address, std::uint32_t size) {
    return address >= kFeatureBase && address < kFeatureEnd && size <= kFeatureEnd - address;
}

}  // namespace

Device::Device(const DeviceIdentity& identity, const std::string& xml, FeatureBackend& features,
               StreamChannel& stream)
    : bootstrap_(kBootstrapSize, 0),
      xml_(xml.begin(), xml.end()),
      features_(features),
      stream_(stream) {
    setBootstrapWord(reg::Version, kVersion);
    setBootstrapWord(reg::DeviceMode, kDeviceModeBigEndianUtf8);
    setBootstrapWord(reg::MacHigh, (std::uint32_t{identity.mac[0]} << 8) | identity.mac[1]);
    setBootstrapWord(reg::MacLow, readBe32(identity.mac + 2));
    setBootstrapWord(reg::SupportedIpConfig, 0x7);  // persistent, DHCP, link-local
    setBootstrapWord(reg::CurrentIpConfig, 0x1);    // persistent
    setBootstrapWord(reg::CurrentIp, identity.ip);
    setBootstrapWord(reg::SubnetMask, identity.subnetMask);
    setBootstrapString(reg::ManufacturerName, identity.manufacturer, 32);
    setBootstrapString(reg::ModelName, identity.model, 32);
    setBootstrapString(reg::DeviceVersion, identity.version, 32);
    setBootstrapString(reg::ManufacturerInfo, "Folder-playing camera emulator", 48);
    setBootstrapString(reg::SerialNumber, identity.serial, 16);
    setBootstrapString(reg::UserName, identity.userName, 16);
    char url[kUrlSize];
    std::snprintf(url, sizeof url, "Local:tamra.xml;%x;%zx", kXmlBase, xml_.size());
    setBootstrapString(reg::FirstUrl, url, kUrlSize);
    setBootstrapWord(reg::NetworkInterfaces, 1);
    setBootstrapWord(reg::StreamChannels, 1);
    setBootstrapWord(reg::GvcpCapability, kCapabilities);
    setBootstrapWord(reg::HeartbeatTimeout, kDefaultHeartbeatMs);
    setBootstrapWord(reg::TickFrequencyLow, kTickFrequency);
    setBootstrapWord(reg::StreamPacketSize, stream_.packetSize.load());
}

std::uint32_t Device::bootstrapWord(std::uint32_t address) const {
    return readBe32(bootstrap_.data() + address);
}

void Device::setBootstrapWord(std::uint32_t address, std::uint32_t value) {
    writeBe32(bootstrap_.data() + address, value);
}

void Device::setBootstrapString(std::uint32_t address, const std::string& text, std::size_t size) {
    // Always leaves a terminating zero inside the field.
    const std::size_t n = std::min(text.size(), size - 1);
    std::fill_n(bootstrap_.begin() + address, size, 0);
    std::copy_n(text.begin(), n, bootstrap_.begin() + address);
}

void Device::handle(const std::uint8_t* data, std::size_t size, const Peer& from,
                    std::int64_t nowMs, const Reply& reply) {
    nowMs_ = nowMs;
    GvcpCommand cmd;
    switch (parseGvcpCommand(data, size, cmd)) {
        case ParseOutcome::Ignored:
            return;
        case ParseOutcome::Malformed:
            if (cmd.ackRequired()) {
                reply(makeAck(Status::InvalidHeader, answerCode(cmd.command), cmd.id));
            }
            return;
        case ParseOutcome::Command:
            break;
    }
    if (hasController_ && from == controller_) lastControllerMs_ = nowMs;
    answer(cmd, from, reply);
}

void Device::answer(const GvcpCommand& cmd, const Peer& from, const Reply& reply) {
    std::vector<std::uint8_t> ack;
    bool send = cmd.ackRequired();
    switch (static_cast<Command>(cmd.command)) {
        case Command::Discovery:
            ack = discoveryAck(cmd.id);
            send = true;  // discovery is answered whatever the flag says
            break;
        case Command::ForceIp:
            ack = forceIp(cmd, send);
            break;
        case Command::ReadReg:
            ack = readRegisters(cmd, from);
            break;
        case Command::WriteReg:
            ack = writeRegisters(cmd, from, reply);
            break;
        case Command::ReadMem:
            ack = readMemory(cmd, from);
            break;
        case Command::WriteMem:
            ack = writeMemory(cmd, from, reply);
            break;
        case Command::PacketResend:
            packetResend(cmd);
            return;  // a resend request is never acknowledged
        default:
            ack = makeAck(Status::NotImplemented, answerCode(cmd.command), cmd.id);
            break;
    }
    if (send) reply(ack);
}

std::vector<std::uint8_t> Device::discoveryAck(std::uint16_t id) const {
    return makeAck(Status::Success, answerCode(static_cast<std::uint16_t>(Command::Discovery)), id,
                   bootstrap_.data(), reg::DiscoveryDataSize);
}

// The address of this device is the host's own: a request for the address it already has is
// acknowledged, any other is refused, and one for another device's MAC is not ours to answer.
std::vector<std::uint8_t> Device::forceIp(const GvcpCommand& cmd, bool& answer) const {
    const std::uint16_t code = answerCode(cmd.command);
    if (cmd.payloadSize < 56) return makeAck(Status::InvalidParameter, code, cmd.id);
    const bool ours = readBe16(cmd.payload + 2) == (bootstrapWord(reg::MacHigh) & 0xFFFF) &&
                      readBe32(cmd.payload + 4) == bootstrapWord(reg::MacLow);
    if (!ours) {
        answer = false;
        return {};
    }
    const std::uint32_t ip = readBe32(cmd.payload + 20);
    if (ip == 0 || ip == bootstrapWord(reg::CurrentIp))
        return makeAck(Status::Success, code, cmd.id);
    return makeAck(Status::AccessDenied, code, cmd.id);
}

bool Device::mayRead(const Peer& from) const {
    return !hasController_ || from == controller_ ||
           (bootstrapWord(reg::ControlPrivilege) & kPrivilegeExclusive) == 0;
}

bool Device::mayWrite(const Peer& from) const {
    return !hasController_ || from == controller_;
}

std::vector<std::uint8_t> Device::readRegisters(const GvcpCommand& cmd, const Peer& from) {
    const std::uint16_t code = answerCode(cmd.command);
    if (cmd.payloadSize == 0 || cmd.payloadSize > kMaxMemoryBlock) {
        return makeAck(Status::InvalidParameter, code, cmd.id);
    }
    if (!mayRead(from)) return makeAck(Status::AccessDenied, code, cmd.id);
    std::vector<std::uint8_t> values(cmd.payloadSize);
    for (std::size_t i = 0; i < cmd.payloadSize; i += 4) {
        std::uint32_t value = 0;
        const Status status = readRegister(readBe32(cmd.payload + i), value);
        if (status != Status::Success) return makeAck(status, code, cmd.id, values.data(), i);
        writeBe32(values.data() + i, value);
    }
    return makeAck(Status::Success, code, cmd.id, values.data(), values.size());
}

std::vector<std::uint8_t> Device::writeRegisters(const GvcpCommand& cmd, const Peer& from,
                                                 const Reply& reply) {
    const std::uint16_t code = answerCode(cmd.command);
    std::uint8_t index[4] = {};
    if (cmd.payloadSize == 0 || cmd.payloadSize % 8 != 0) {
        return makeAck(Status::InvalidParameter, code, cmd.id, index, 4);
    }
    std::uint16_t written = 0;
    for (std::size_t i = 0; i < cmd.payloadSize; i += 8, ++written) {
        const std::uint32_t address = readBe32(cmd.payload + i);
        if (cmd.ackRequired() && inFeatures(address, 4) && features_.isSlowWrite(address)) {
            sendPending(cmd.id, reply);
        }
        const Status status = writeRegister(address, readBe32(cmd.payload + i + 4), from);
        if (status != Status::Success) {
            writeBe16(index + 2, written);
            return makeAck(status, code, cmd.id, index, 4);
        }
    }
    writeBe16(index + 2, written);
    return makeAck(Status::Success, code, cmd.id, index, 4);
}

std::vector<std::uint8_t> Device::readMemory(const GvcpCommand& cmd, const Peer& from) {
    const std::uint16_t code = answerCode(cmd.command);
    if (cmd.payloadSize < 8) return makeAck(Status::InvalidParameter, code, cmd.id);
    const std::uint32_t address = readBe32(cmd.payload);
    const std::uint32_t count = readBe16(cmd.payload + 6);
    std::uint8_t head[4];
    writeBe32(head, address);
    if (count == 0 || count % 4 != 0 || count > kMaxMemoryBlock) {
        return makeAck(Status::InvalidParameter, code, cmd.id, head, 4);
    }
    if (address % 4 != 0) return makeAck(Status::BadAlignment, code, cmd.id, head, 4);
    if (!mayRead(from)) return makeAck(Status::AccessDenied, code, cmd.id, head, 4);
    std::vector<std::uint8_t> body(4 + count);
    writeBe32(body.data(), address);
    const Status status = readBlock(address, body.data() + 4, count);
    if (status != Status::Success) return makeAck(status, code, cmd.id, head, 4);
    return makeAck(Status::Success, code, cmd.id, body.data(), body.size());
}

std::vector<std::uint8_t> Device::writeMemory(const GvcpCommand& cmd, const Peer& from,
                                              const Reply& reply) {
    const std::uint16_t code = answerCode(cmd.command);
    std::uint8_t body[4] = {};
    if (cmd.payloadSize < 8) return makeAck(Status::InvalidParameter, code, cmd.id, body, 4);
    const std::uint32_t address = readBe32(cmd.payload);
    const std::uint32_t count = static_cast<std::uint32_t>(cmd.payloadSize - 4);
    if (count > kMaxMemoryBlock) return makeAck(Status::InvalidParameter, code, cmd.id, body, 4);
    if (address % 4 != 0) return makeAck(Status::BadAlignment, code, cmd.id, body, 4);
    if (!mayWrite(from)) return makeAck(Status::AccessDenied, code, cmd.id, body, 4);
    Status status = Status::InvalidAddress;
    if (inFeatures(address, count)) {
        if (cmd.ackRequired() && features_.isSlowWrite(address)) sendPending(cmd.id, reply);
        status = features_.writeFeatureBlock(address, cmd.payload + 4, count);
    } else if (address == reg::UserName && count <= 16) {
        std::copy_n(cmd.payload + 4, count, bootstrap_.begin() + address);
        bootstrap_[address + 15] = 0;
        status = Status::Success;
    } else if (address < kBootstrapSize && count == 4) {
        status = writeBootstrap(address, readBe32(cmd.payload + 4), from);
    } else if (address < kBootstrapSize || inXml(address, count, xml_.size())) {
        status = Status::WriteProtect;
    }
    // The answer carries the address just past the last byte written.
    writeBe32(body, status == Status::Success ? address + count : address);
    return makeAck(status, code, cmd.id, body, 4);
}

void Device::packetResend(const GvcpCommand& cmd) {
    if (cmd.payloadSize < 12 || !resend_) return;
    const std::uint16_t block = static_cast<std::uint16_t>(readBe32(cmd.payload) & 0xFFFF);
    const std::uint32_t first = readBe32(cmd.payload + 4) & 0xFFFFFF;
    const std::uint32_t last = readBe32(cmd.payload + 8) & 0xFFFFFF;
    resend_(block, first, last);
}

void Device::sendPending(std::uint16_t id, const Reply& reply) const {
    std::uint8_t body[4] = {};
    writeBe16(body + 2, kPendingMs);
    reply(makeAck(Status::Success, kPendingAck, id, body, 4));
}

Status Device::readBlock(std::uint32_t address, std::uint8_t* data, std::uint32_t size) {
    if (address < kBootstrapSize && size <= kBootstrapSize - address) {
        for (std::uint32_t i = 0; i < size; i += 4) {
            std::uint32_t value = 0;
            readRegister(address + i, value);
            writeBe32(data + i, value);
        }
        return Status::Success;
    }
    if (inFeatures(address, size)) return features_.readFeatureBlock(address, data, size);
    if (address >= kXmlBase && address - kXmlBase < xml_.size()) {
        // The last block of the file may reach past its end: the rest reads as zeros.
        const std::size_t offset = address - kXmlBase;
        const std::size_t n = std::min<std::size_t>(size, xml_.size() - offset);
        std::copy_n(xml_.begin() + static_cast<std::ptrdiff_t>(offset), n, data);
        std::fill(data + n, data + size, 0);
        return Status::Success;
    }
    return Status::InvalidAddress;
}

Status Device::readRegister(std::uint32_t address, std::uint32_t& value) {
    if (address % 4 != 0) return Status::BadAlignment;
    if (inFeatures(address, 4)) return features_.readFeature(address, value);
    if (address >= kBootstrapSize) return Status::InvalidAddress;
    if (address == reg::ControlPrivilege) {
        value = hasController_ ? bootstrapWord(address) : 0;
    } else {
        value = bootstrapWord(address);
    }
    return Status::Success;
}

Status Device::writeRegister(std::uint32_t address, std::uint32_t value, const Peer& from) {
    if (address % 4 != 0) return Status::BadAlignment;
    if (address == reg::ControlPrivilege) return writeBootstrap(address, value, from);
    if (!mayWrite(from)) return Status::AccessDenied;
    if (inFeatures(address, 4)) return features_.writeFeature(address, value);
    if (address >= kBootstrapSize) return Status::InvalidAddress;
    return writeBootstrap(address, value, from);
}

Status Device::writeBootstrap(std::uint32_t address, std::uint32_t value, const Peer& from) {
    switch (address) {
        case reg::ControlPrivilege:
            if (hasController_ && !(from == controller_)) return Status::AccessDenied;
            if ((value & (kPrivilegeControl | kPrivilegeExclusive)) == 0) {
                if (hasController_) releaseControl();
                return Status::Success;
            }
            hasController_ = true;
            controller_ = from;
            lastControllerMs_ = nowMs_;
            setBootstrapWord(address, value & (kPrivilegeControl | kPrivilegeExclusive));
            return Status::Success;
        case reg::HeartbeatTimeout:
            setBootstrapWord(address, std::max(value, kMinHeartbeatMs));
            return Status::Success;
        case reg::TimestampControl:
            // Bit 1 latches the current tick; the reset bit has nothing to reset here.
            if ((value & 0x2) != 0 && ticks_) {
                const std::uint64_t now = ticks_();
                setBootstrapWord(reg::TimestampHigh, static_cast<std::uint32_t>(now >> 32));
                setBootstrapWord(reg::TimestampLow, static_cast<std::uint32_t>(now));
            }
            return Status::Success;
        case reg::StreamPort:
            setBootstrapWord(address, value & 0xFFFF);
            stream_.destinationPort.store(value & 0xFFFF);
            return Status::Success;
        case reg::StreamDestination:
            setBootstrapWord(address, value);
            stream_.destinationIp.store(value);
            return Status::Success;
        case reg::StreamPacketDelay:
            setBootstrapWord(address, value);
            stream_.packetDelayTicks.store(value);
            return Status::Success;
        case reg::StreamPacketSize: {
            const std::uint32_t size =
                std::clamp(value & kPacketSizeMask, kMinPacketSize, kMaxPacketSize) & ~3u;
            // The flags other than the test bit are kept so that the client reads back its own.
            setBootstrapWord(address, (value & 0x7FFF0000) | size);
            stream_.packetSize.store(size);
            if ((value & kFireTestPacket) != 0 && fireTest_) fireTest_(size);
            return Status::Success;
        }
        default:
            return Status::WriteProtect;
    }
}

void Device::releaseControl() {
    hasController_ = false;
    controller_ = Peer{};
    setBootstrapWord(reg::ControlPrivilege, 0);
    stream_.destinationPort.store(0);
    setBootstrapWord(reg::StreamPort, 0);
    features_.controlReleased();
}

void Device::expireHeartbeat(std::int64_t nowMs) {
    if (!hasController_) return;
    if (nowMs - lastControllerMs_ >
        static_cast<std::int64_t>(bootstrapWord(reg::HeartbeatTimeout))) {
        releaseControl();
    }
}

}  // namespace tamra::gev
