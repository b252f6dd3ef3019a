// The GigE Vision device: bootstrap registers, the description file in device memory, control
// privilege and heartbeat, answering each GVCP datagram. Holds no socket and starts no thread:
// the server hands it datagrams and the time, and sends what it returns.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "gev/Gvcp.h"

namespace tamra::gev {

// Device memory outside the bootstrap block.
constexpr std::uint32_t kBootstrapSize = 0x00010000;
constexpr std::uint32_t kFeatureBase = 0x00010000;
constexpr std::uint32_t kFeatureEnd = 0x00011000;
constexpr std::uint32_t kXmlBase = 0x00100000;

// Bootstrap register addresses used here.
namespace reg {
constexpr std::uint32_t Version = 0x0000, DeviceMode = 0x0004, MacHigh = 0x0008, MacLow = 0x000C;
constexpr std::uint32_t SupportedIpConfig = 0x0010, CurrentIpConfig = 0x0014;
constexpr std::uint32_t CurrentIp = 0x0024, SubnetMask = 0x0034, Gateway = 0x0044;
constexpr std::uint32_t ManufacturerName = 0x0048, ModelName = 0x0068, DeviceVersion = 0x0088;
constexpr std::uint32_t ManufacturerInfo = 0x00A8, SerialNumber = 0x00D8, UserName = 0x00E8;
constexpr std::uint32_t DiscoveryDataSize = 0x00F8;
constexpr std::uint32_t FirstUrl = 0x0200, SecondUrl = 0x0400;
constexpr std::uint32_t NetworkInterfaces = 0x0600, MessageChannels = 0x0900,
                        StreamChannels = 0x0904;
constexpr std::uint32_t GvcpCapability = 0x0934, HeartbeatTimeout = 0x0938;
constexpr std::uint32_t TickFrequencyHigh = 0x093C, TickFrequencyLow = 0x0940;
constexpr std::uint32_t TimestampControl = 0x0944, TimestampHigh = 0x0948, TimestampLow = 0x094C;
constexpr std::uint32_t ControlPrivilege = 0x0A00;
constexpr std::uint32_t StreamPort = 0x0D00, StreamPacketSize = 0x0D04, StreamPacketDelay = 0x0D08;
constexpr std::uint32_t StreamDestination = 0x0D18, StreamSourcePort = 0x0D1C;
}  // namespace reg

constexpr std::uint32_t kPrivilegeExclusive = 1u << 0;
constexpr std::uint32_t kPrivilegeControl = 1u << 1;
constexpr std::uint32_t kFireTestPacket = 1u << 31;
constexpr std::uint32_t kPacketSizeMask = 0xFFFF;
constexpr std::uint32_t kMinPacketSize = 576;
constexpr std::uint32_t kMaxPacketSize = 16384;
constexpr std::uint32_t kMinHeartbeatMs = 500;

struct Peer {
    std::uint32_t ip = 0;  // host order
    std::uint16_t port = 0;
    bool operator==(const Peer& o) const { return ip == o.ip && port == o.port; }
};

// Where the stream goes; written by the control side, read by the stream sender.
struct StreamChannel {
    std::atomic<std::uint32_t> destinationIp{0};
    std::atomic<std::uint32_t> destinationPort{0};
    std::atomic<std::uint32_t> packetSize{1500};
    std::atomic<std::uint32_t> packetDelayTicks{0};
};

// The camera behind the feature registers (kFeatureBase to kFeatureEnd).
class FeatureBackend {
public:
    virtual ~FeatureBackend() = default;
    virtual Status readFeature(std::uint32_t address, std::uint32_t& value) = 0;
    virtual Status writeFeature(std::uint32_t address, std::uint32_t value) = 0;
    virtual Status readFeatureBlock(std::uint32_t address, std::uint8_t* data,
                                    std::uint32_t size) = 0;
    virtual Status writeFeatureBlock(std::uint32_t address, const std::uint8_t* data,
                                     std::uint32_t size) = 0;
    // Writes that may outlast a client's command time-out (they re-scan folders or re-lay the
    // ring): the device sends PENDING_ACK before doing them.
    virtual bool isSlowWrite(std::uint32_t address) const = 0;
    // Control was released or lost: acquisition stops.
    virtual void controlReleased() = 0;
};

struct DeviceIdentity {
    std::uint32_t ip = 0x7F000001;
    std::uint32_t subnetMask = 0xFF000000;
    std::uint8_t mac[6] = {0x02, 0x54, 0x41, 0x4D, 0x52, 0x41};
    std::string manufacturer = "Tamra";
    std::string model = "Emulator";
    std::string version = "0.1.0";
    std::string serial = "TE0001";
    std::string userName;
};

class Device {
public:
    using Reply = std::function<void(const std::vector<std::uint8_t>&)>;
    using ResendHook =
        std::function<void(std::uint16_t block, std::uint32_t first, std::uint32_t last)>;
    using FireTestHook = std::function<void(std::uint32_t packetSize)>;

    Device(const DeviceIdentity& identity, const std::string& xml, FeatureBackend& features,
           StreamChannel& stream);

    void setResendHook(ResendHook hook) { resend_ = std::move(hook); }
    void setFireTestHook(FireTestHook hook) { fireTest_ = std::move(hook); }
    // Nanoseconds since the device started, for the timestamp latch.
    void setTickSource(std::function<std::uint64_t()> ticks) { ticks_ = std::move(ticks); }

    // Answers one datagram from a peer at time nowMs; reply may be called more than once
    // (PENDING_ACK, then the acknowledgement) or not at all.
    void handle(const std::uint8_t* data, std::size_t size, const Peer& from, std::int64_t nowMs,
                const Reply& reply);
    // Releases control when the controller has been silent longer than the heartbeat time-out.
    void expireHeartbeat(std::int64_t nowMs);

    bool hasController() const { return hasController_; }
    const Peer& controller() const { return controller_; }
    const std::vector<std::uint8_t>& xml() const { return xml_; }

private:
    void answer(const GvcpCommand& cmd, const Peer& from, const Reply& reply);
    std::vector<std::uint8_t> discoveryAck(std::uint16_t id) const;
    std::vector<std::uint8_t> forceIp(const GvcpCommand& cmd, bool& answer) const;
    std::vector<std::uint8_t> readRegisters(const GvcpCommand& cmd, const Peer& from);
    std::vector<std::uint8_t> writeRegisters(const GvcpCommand& cmd, const Peer& from,
                                             const Reply& reply);
    std::vector<std::uint8_t> readMemory(const GvcpCommand& cmd, const Peer& from);
    std::vector<std::uint8_t> writeMemory(const GvcpCommand& cmd, const Peer& from,
                                          const Reply& reply);
    void packetResend(const GvcpCommand& cmd);

    Status readRegister(std::uint32_t address, std::uint32_t& value);
    Status writeRegister(std::uint32_t address, std::uint32_t value, const Peer& from);
    Status writeBootstrap(std::uint32_t address, std::uint32_t value, const Peer& from);
    Status readBlock(std::uint32_t address, std::uint8_t* data, std::uint32_t size);
    bool mayRead(const Peer& from) const;
    bool mayWrite(const Peer& from) const;
    void releaseControl();
    void sendPending(std::uint16_t id, const Reply& reply) const;

    std::uint32_t bootstrapWord(std::uint32_t address) const;
    void setBootstrapWord(std::uint32_t address, std::uint32_t value);
    void setBootstrapString(std::uint32_t address, const std::string& text, std::size_t size);

    std::vector<std::uint8_t> bootstrap_;
    std::vector<std::uint8_t> xml_;
    FeatureBackend& features_;
    StreamChannel& stream_;
    ResendHook resend_;
    FireTestHook fireTest_;
    std::function<std::uint64_t()> ticks_;
    bool hasController_ = false;
    Peer controller_;
    std::int64_t lastControllerMs_ = 0;
    std::int64_t nowMs_ = 0;
};

}  // namespace tamra::gev
