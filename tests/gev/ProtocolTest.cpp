// The device as a client sees it, without sockets or the emulator: control commands and their
// status codes, control privilege and heartbeat on one side; stream packets as a client
// reassembles them on the other.
#include <gtest/gtest.h>

#include <map>
#include <numeric>
#include <set>
#include <string>
#include <vector>

#include "gev/Device.h"
#include "gev/Features.h"
#include "gev/Streamer.h"
#include "gev/Wire.h"

namespace {

using namespace tamra::gev;

// The camera behind the feature registers: a plain map.
class FakeBackend : public FeatureBackend {
public:
    std::map<std::uint32_t, std::uint32_t> values;
    int releases = 0;
    const std::uint32_t slowAddress = feature::AcquisitionStart;

    Status readFeature(std::uint32_t address, std::uint32_t& value) override {
        const auto found = values.find(address);
        if (found == values.end()) return Status::InvalidAddress;
        value = found->second;
        return Status::Success;
    }
    Status writeFeature(std::uint32_t address, std::uint32_t value) override {
        values[address] = value;
        return Status::Success;
    }
    Status readFeatureBlock(std::uint32_t, std::uint8_t*, std::uint32_t) override {
        return Status::InvalidAddress;
    }
    Status writeFeatureBlock(std::uint32_t, const std::uint8_t*, std::uint32_t) override {
        return Status::InvalidAddress;
    }
    bool isSlowWrite(std::uint32_t address) const override { return address == slowAddress; }
    void controlReleased() override { ++releases; }
};

const Peer kClientA{0x7F000001, 50000};
const Peer kClientB{0x7F000001, 50001};

std::vector<std::uint8_t> command(std::uint16_t code, std::vector<std::uint32_t> words,
                                  std::uint16_t id = 7, std::uint8_t flags = kFlagAckRequired) {
    std::vector<std::uint8_t> p(8 + 4 * words.size());
    p[0] = kCommandKey;
    p[1] = flags;
    writeBe16(p.data() + 2, code);
    writeBe16(p.data() + 4, static_cast<std::uint16_t>(4 * words.size()));
    writeBe16(p.data() + 6, id);
    for (std::size_t i = 0; i < words.size(); ++i) writeBe32(p.data() + 8 + 4 * i, words[i]);
    return p;
}

struct Ack {
    std::uint16_t status = 0xFFFF, answer = 0, id = 0;
    std::vector<std::uint8_t> body;
    std::uint32_t word(std::size_t i) const { return readBe32(body.data() + 4 * i); }
};

class DeviceTest : public ::testing::Test {
protected:
    FakeBackend backend;
    StreamChannel channel;
    Device device{DeviceIdentity{}, "<RegisterDescription/>", backend, channel};
    std::int64_t now = 0;

    std::vector<Ack> exchange(const std::vector<std::uint8_t>& packet,
                              const Peer& from = kClientA) {
        std::vector<Ack> acks;
        device.handle(
            packet.data(), packet.size(), from, now, [&](const std::vector<std::uint8_t>& bytes) {
                ASSERT_GE(bytes.size(), 8u);
                EXPECT_EQ(readBe16(bytes.data() + 4), bytes.size() - 8);
                acks.push_back({readBe16(bytes.data()), readBe16(bytes.data() + 2),
                                readBe16(bytes.data() + 6),
                                std::vector<std::uint8_t>(bytes.begin() + 8, bytes.end())});
            });
        return acks;
    }
    Ack one(const std::vector<std::uint8_t>& packet, const Peer& from = kClientA) {
        std::vector<Ack> acks = exchange(packet, from);
        EXPECT_EQ(acks.size(), 1u);
        return acks.empty() ? Ack{} : acks.back();
    }
    std::uint16_t writeReg(std::uint32_t address, std::uint32_t value,
                           const Peer& from = kClientA) {
        return one(command(0x82, {address, value}), from).status;
    }
    Ack readReg(std::uint32_t address, const Peer& from = kClientA) {
        return one(command(0x80, {address}), from);
    }
};

TEST_F(DeviceTest, BadAndMalformedRequestsGetTheirStatusOrNoAnswer) {
    constexpr std::uint16_t kNone = 0xFFFF;
    std::vector<std::uint8_t> lying = command(0x80, {0x0});
    writeBe16(lying.data() + 4, 400);  // claims more than arrived
    std::vector<std::uint8_t> truncated = command(0x80, {0x0});
    truncated.resize(5);
    std::vector<std::uint8_t> notCommand = command(0x80, {0x0});
    notCommand[0] = 0x41;
    const struct {
        const char* what;
        std::vector<std::uint8_t> packet;
        std::uint16_t status;
    } cases[] = {
        {"no such address", command(0x80, {0x0A000000}), 0x8003},
        {"not aligned", command(0x80, {0x0202}), 0x8005},
        {"version is read-only", command(0x82, {0x0000, 5}), 0x8004},
        {"not whole words", command(0x84, {0x200, 6}), 0x8002},
        {"block too large", command(0x84, {0x200, 1024}), 0x8002},
        {"the file is read-only", command(0x86, {kXmlBase, 0x41424344}), 0x8004},
        {"not implemented", command(0x0090, {}), 0x8001},
        {"no address at all", command(0x0080, {}), 0x8002},
        {"length beyond the datagram", lying, 0x800E},
        {"shorter than a header", truncated, kNone},
        {"not a command", notCommand, kNone},
        {"no acknowledgement asked", command(0x80, {0x0}, 9, 0), kNone},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::vector<Ack> acks = exchange(c.packet);
        if (c.status == kNone) {
            EXPECT_TRUE(acks.empty());
        } else {
            ASSERT_EQ(acks.size(), 1u);
            EXPECT_EQ(acks[0].status, c.status);
        }
    }
}

TEST_F(DeviceTest, ConcatenatedReadsAndWritesReportHowFarTheyGot) {
    const Ack reads = one(command(0x80, {0x0000, 0x0904, 0x0938}));
    ASSERT_EQ(reads.status, 0);
    EXPECT_EQ(reads.word(1), 1u);     // one stream channel
    EXPECT_EQ(reads.word(2), 3000u);  // heartbeat time-out
    const Ack writes = one(command(0x82, {0x0938, 4000, 0x0000, 1}));
    EXPECT_EQ(writes.status, 0x8004);
    EXPECT_EQ(readBe16(writes.body.data() + 2), 1);  // the first write went through
    EXPECT_EQ(readReg(0x0938).word(0), 4000u);
}

TEST_F(DeviceTest, ControlKeepsOtherClientsFromWritingAndExclusiveFromReading) {
    ASSERT_EQ(writeReg(reg::ControlPrivilege, kPrivilegeControl, kClientA), 0);
    EXPECT_EQ(writeReg(reg::ControlPrivilege, kPrivilegeControl, kClientB), 0x8006);
    EXPECT_EQ(writeReg(feature::Width, 320, kClientB), 0x8006);
    EXPECT_EQ(readReg(reg::ControlPrivilege, kClientB).word(0), kPrivilegeControl);
    EXPECT_EQ(writeReg(feature::Width, 320, kClientA), 0);
    ASSERT_EQ(writeReg(reg::ControlPrivilege, 0, kClientA), 0);
    EXPECT_EQ(backend.releases, 1);

    ASSERT_EQ(writeReg(reg::ControlPrivilege, kPrivilegeExclusive, kClientB), 0);
    EXPECT_EQ(readReg(0x0000, kClientA).status, 0x8006);
    EXPECT_EQ(readReg(0x0000, kClientB).status, 0);
}

TEST_F(DeviceTest, SilentControllerLosesControlAtTheHeartbeatTimeout) {
    ASSERT_EQ(writeReg(reg::HeartbeatTimeout, 10), 0);
    EXPECT_EQ(readReg(reg::HeartbeatTimeout).word(0), kMinHeartbeatMs);  // the floor
    ASSERT_EQ(writeReg(reg::HeartbeatTimeout, 1000), 0);
    ASSERT_EQ(writeReg(reg::ControlPrivilege, kPrivilegeControl), 0);
    ASSERT_EQ(writeReg(reg::StreamPort, 40000), 0);
    now = 900;
    readReg(reg::ControlPrivilege);  // any command is a heartbeat
    device.expireHeartbeat(1900);
    EXPECT_TRUE(device.hasController());
    EXPECT_EQ(backend.releases, 0);
    device.expireHeartbeat(1901);
    EXPECT_FALSE(device.hasController());
    EXPECT_EQ(backend.releases, 1);
    EXPECT_EQ(channel.destinationPort.load(), 0u);  // streaming stops
    EXPECT_EQ(writeReg(reg::ControlPrivilege, kPrivilegeControl, kClientB), 0);
}

TEST_F(DeviceTest, SlowWritesAreAnnouncedWithPendingAck) {
    const std::vector<Ack> acks = exchange(command(0x82, {backend.slowAddress, 1}, 42));
    ASSERT_EQ(acks.size(), 2u);
    EXPECT_EQ(acks[0].answer, kPendingAck);
    EXPECT_EQ(acks[0].id, 42);
    EXPECT_GT(readBe16(acks[0].body.data() + 2), 0);
    EXPECT_EQ(acks[1].answer, 0x83);
    EXPECT_EQ(acks[1].status, 0);
    EXPECT_EQ(exchange(command(0x82, {feature::TriggerMode, 1})).size(), 1u);
}

// Destination and port are proven by the client that streams; the size has a ceiling and a test
// bit that never stays.
TEST_F(DeviceTest, PacketSizeIsBoundedAndItsTestBitFiresATestPacket) {
    ASSERT_EQ(writeReg(reg::StreamPacketSize, 100000), 0);  // beyond what the device sends
    EXPECT_EQ(channel.packetSize.load(), kMaxPacketSize);
    std::uint32_t tested = 0;
    device.setFireTestHook([&](std::uint32_t size) { tested = size; });
    ASSERT_EQ(writeReg(reg::StreamPacketSize, kFireTestPacket | 1500), 0);
    EXPECT_EQ(tested, 1500u);
    EXPECT_EQ(readReg(reg::StreamPacketSize).word(0), 1500u);  // the test bit does not stay
}

TEST_F(DeviceTest, ForceIpIsAcknowledgedOnlyForTheAddressItHas) {
    std::vector<std::uint32_t> words(14, 0);
    words[0] = 0x0254;      // MAC high
    words[1] = 0x414D5241;  // MAC low
    words[5] = 0x7F000001;  // the address it already has
    EXPECT_EQ(one(command(0x04, words)).status, 0);
    words[5] = 0x7F000002;
    EXPECT_EQ(one(command(0x04, words)).status, 0x8006);
    words[1] = 0x01020304;  // another device's
    EXPECT_TRUE(exchange(command(0x04, words)).empty());
}

TEST_F(DeviceTest, PacketResendGoesToTheStreamAndIsNotAcknowledged) {
    std::vector<std::uint32_t> got;
    device.setResendHook([&](std::uint16_t block, std::uint32_t first, std::uint32_t last) {
        got = {block, first, last};
    });
    EXPECT_TRUE(exchange(command(0x40, {0x00000005, 3, 9})).empty());
    EXPECT_EQ(got, (std::vector<std::uint32_t>{5, 3, 9}));
}

// ---- Stream packets

struct Packet {
    std::uint16_t port;
    std::uint16_t block;
    std::uint8_t format;  // 1 leader, 2 trailer, 3 payload
    std::uint32_t id;
    std::vector<std::uint8_t> data;
};

class RecordingSink : public DatagramSink {
public:
    std::vector<Packet> sent;
    void send(std::uint32_t, std::uint16_t port, const std::uint8_t* head, std::size_t headSize,
              const std::uint8_t* data, std::size_t dataSize) override {
        std::vector<std::uint8_t> bytes(head, head + headSize);
        bytes.insert(bytes.end(), data, data + dataSize);
        sent.push_back({port, readBe16(bytes.data() + 2), bytes[4],
                        readBe32(bytes.data() + 4) & 0xFFFFFF,
                        std::vector<std::uint8_t>(bytes.begin() + 8, bytes.end())});
    }
};

class StreamerTest : public ::testing::Test {
protected:
    static constexpr std::size_t kChunk = 576 - 36;  // IP, UDP and stream headers off
    StreamChannel channel;
    RecordingSink sink;
    Streamer streamer{channel, sink};
    FrameLayout layout{pixel::BGR8, 50, 20};
    std::vector<std::uint8_t> frame;

    void SetUp() override {
        channel.destinationIp = 0x7F000001;
        channel.destinationPort = 40000;
        channel.packetSize = 576;
        streamer.configure(layout);
        frame.resize(layout.size());
        std::iota(frame.begin(), frame.end(), std::uint8_t{1});
    }
    std::uint32_t trailerId() const {
        return static_cast<std::uint32_t>((frame.size() + kChunk - 1) / kChunk) + 1;
    }
    std::vector<std::uint8_t> reassemble(std::uint16_t block) const {
        std::vector<std::uint8_t> out(frame.size());
        for (const Packet& p : sink.sent) {
            if (p.block != block || p.format != 3) continue;
            std::copy(p.data.begin(), p.data.end(), out.begin() + (p.id - 1) * kChunk);
        }
        return out;
    }
};

TEST_F(StreamerTest, FrameIsLeaderPayloadTrailerInTheNegotiatedSize) {
    streamer.sendFrame(frame.data(), frame.size(), 0x0000000123456789ull);
    ASSERT_EQ(sink.sent.size(), trailerId() + 1);
    const Packet& leader = sink.sent.front();
    EXPECT_EQ(leader.port, 40000);
    EXPECT_EQ(leader.format, 1);
    EXPECT_EQ(leader.id, 0u);
    EXPECT_EQ(leader.block, 1);
    EXPECT_EQ(readBe16(leader.data.data() + 2), 1);  // image payload
    EXPECT_EQ(readBe32(leader.data.data() + 4), 0x1u);
    EXPECT_EQ(readBe32(leader.data.data() + 8), 0x23456789u);
    EXPECT_EQ(readBe32(leader.data.data() + 12), pixel::BGR8);
    EXPECT_EQ(readBe32(leader.data.data() + 16), 50u);
    EXPECT_EQ(readBe32(leader.data.data() + 20), 20u);
    for (std::size_t i = 1; i + 1 < sink.sent.size(); ++i) {
        EXPECT_LE(sink.sent[i].data.size(), kChunk);
        EXPECT_EQ(sink.sent[i].id, i);
    }
    EXPECT_EQ(sink.sent.back().format, 2);
    EXPECT_EQ(sink.sent.back().id, trailerId());
    EXPECT_EQ(reassemble(1), frame);
}

TEST_F(StreamerTest, BlockIdsCountUpAndNeverUseZero) {
    for (int i = 0; i < 65537; ++i) {
        sink.sent.clear();
        streamer.sendFrame(frame.data(), 4, 0);
    }
    EXPECT_EQ(sink.sent.front().block, 2);  // 65535 then 1, 2
}

TEST_F(StreamerTest, DroppedPayloadPacketsComeBackOnResendWhileTheFrameIsKept) {
    streamer.setDropFraction(0.3, 12345);
    streamer.sendFrame(frame.data(), frame.size(), 0);
    std::set<std::uint32_t> seen;
    for (const Packet& p : sink.sent) seen.insert(p.id);
    EXPECT_TRUE(seen.count(0) && seen.count(trailerId()));  // leader and trailer always go
    std::vector<std::uint32_t> missing;
    for (std::uint32_t id = 1; id < trailerId(); ++id) {
        if (!seen.count(id)) missing.push_back(id);
    }
    ASSERT_FALSE(missing.empty());
    EXPECT_EQ(streamer.counters().packetsDropped, missing.size());
    for (std::uint32_t id : missing) streamer.resend(1, id, id);
    EXPECT_EQ(reassemble(1), frame);
    EXPECT_EQ(streamer.counters().packetsResent, missing.size());

    streamer.setDropFraction(0, 1);
    for (int i = 0; i < Streamer::kResendFrames; ++i) streamer.sendFrame(frame.data(), 8, 0);
    sink.sent.clear();
    streamer.resend(1, 1, 1);  // no longer kept
    EXPECT_TRUE(sink.sent.empty());
    streamer.resend(Streamer::kResendFrames + 1, 1, 1);
    EXPECT_EQ(sink.sent.size(), 1u);
}

TEST_F(StreamerTest, NothingGoesWithoutDestinationOrForAnOversizedFrame) {
    channel.destinationPort = 0;
    streamer.sendFrame(frame.data(), frame.size(), 0);
    EXPECT_TRUE(sink.sent.empty());
    channel.destinationPort = 40000;
    std::vector<std::uint8_t> big(frame.size() + 1);
    streamer.sendFrame(big.data(), big.size(), 0);
    EXPECT_TRUE(sink.sent.empty());
    streamer.fireTest(1400);  // one datagram of the tested size, headers included
    ASSERT_EQ(sink.sent.size(), 1u);
    EXPECT_EQ(sink.sent[0].data.size(), 1400u - 36);
}

}  // namespace
