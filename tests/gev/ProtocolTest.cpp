// The device as a client sees it, without sockets or the emulator: control commands and their
// status codes, control privilege and heartbeat on one side; stream packets on the other.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "gev/Device.h"
#include "gev/Features.h"
#include "gev/Streamer.h"
#include "gev/Wire.h"

namespace {

using namespace tamra::gev;
using Words = std::vector<std::uint32_t>;

const Peer kClientA{0x7F000001, 50000};
const Peer kClientB{0x7F000001, 50001};

std::vector<std::uint8_t> command(std::uint16_t code, Words words, std::uint16_t id = 7,
                                  std::uint8_t flags = kFlagAckRequired) {
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

// The device's camera is the fixture: it takes every write and has nothing to read.
class DeviceTest : public ::testing::Test, public FeatureBackend {
protected:
    int releases = 0;
    Status readFeature(std::uint32_t, std::uint32_t&) override { return Status::InvalidAddress; }
    Status writeFeature(std::uint32_t, std::uint32_t) override { return Status::Success; }
    Status readFeatureBlock(std::uint32_t, std::uint8_t*, std::uint32_t) override {
        return Status::InvalidAddress;
    }
    Status writeFeatureBlock(std::uint32_t, const std::uint8_t*, std::uint32_t) override {
        return Status::InvalidAddress;
    }
    bool isSlowWrite(std::uint32_t address) const override {
        return address == feature::AcquisitionStart;
    }
    void controlReleased() override { ++releases; }

    StreamChannel channel;
    Device device{DeviceIdentity{}, "<RegisterDescription/>", *this, channel};
    std::int64_t now = 0;

    std::vector<Ack> exchange(const std::vector<std::uint8_t>& packet,
                              const Peer& from = kClientA) {
        std::vector<Ack> acks;
        device.handle(packet.data(), packet.size(), from, now, [&](const auto& bytes) {
            ASSERT_GE(bytes.size(), 8u);
            EXPECT_EQ(readBe16(bytes.data() + 4), bytes.size() - 8);
            acks.push_back({readBe16(bytes.data()),
                            readBe16(bytes.data() + 2),
                            readBe16(bytes.data() + 6),
                            {bytes.begin() + 8, bytes.end()}});
        });
        return acks;
    }
    Ack one(const std::vector<std::uint8_t>& packet, const Peer& from = kClientA) {
        const std::vector<Ack> acks = exchange(packet, from);
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

TEST_F(DeviceTest, RequestsGetTheirStatusOrNoAnswer) {
    constexpr std::uint16_t kNone = 0xFFFF;
    auto lying = command(0x80, {0x0}), truncated = lying, notCommand = lying;
    writeBe16(lying.data() + 4, 400);  // claims more than arrived
    truncated.resize(5);
    notCommand[0] = 0x41;
    const auto forceIp = [](std::uint32_t macLow, std::uint32_t ip) {  // MAC, then the address
        return command(0x04, {0x0254, macLow, 0, 0, 0, ip, 0, 0, 0, 0, 0, 0, 0, 0});
    };
    const std::tuple<const char*, std::vector<std::uint8_t>, std::uint16_t> cases[] = {
        {"no such address", command(0x80, {0x0A000000}), 0x8003},
        {"not aligned", command(0x80, {0x0202}), 0x8005},
        {"version is read-only", command(0x82, {0x0000, 5}), 0x8004},
        {"not whole words", command(0x84, {0x200, 6}), 0x8002},
        {"block too large", command(0x84, {0x200, 1024}), 0x8002},
        {"the file is read-only", command(0x86, {kXmlBase, 0x41424344}), 0x8004},
        {"not implemented", command(0x0090, {}), 0x8001},
        {"no address at all", command(0x0080, {}), 0x8002},
        {"length beyond the datagram", lying, 0x800E},
        {"force the address it has", forceIp(0x414D5241, 0x7F000001), 0},
        {"force another address", forceIp(0x414D5241, 0x7F000002), 0x8006},
        {"force another device's address", forceIp(0x01020304, 0x7F000001), kNone},
        {"shorter than a header", truncated, kNone},
        {"not a command", notCommand, kNone},
        {"no acknowledgement asked", command(0x80, {0x0}, 9, 0), kNone},
    };
    for (const auto& [what, packet, status] : cases) {
        const std::vector<Ack> acks = exchange(packet);
        EXPECT_EQ(acks.size(), status == kNone ? 0u : 1u) << what;
        EXPECT_EQ(acks.empty() ? kNone : acks[0].status, status) << what;
    }
}

TEST_F(DeviceTest, ConcatenatedReadsAndWritesReportHowFarTheyGot) {
    const Ack reads = one(command(0x80, {0x0000, 0x0904, 0x0938}));
    // Success, one stream channel, the heartbeat time-out.
    EXPECT_EQ(std::make_tuple(reads.status, reads.word(1), reads.word(2)),
              std::make_tuple(std::uint16_t{0}, 1u, 3000u));
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
    EXPECT_EQ(releases, 1);
    ASSERT_EQ(writeReg(reg::ControlPrivilege, kPrivilegeExclusive, kClientB), 0);
    EXPECT_EQ(readReg(0x0000, kClientA).status, 0x8006);
    EXPECT_EQ(readReg(0x0000, kClientB).status, 0);
}

TEST_F(DeviceTest, SilentControllerLosesControlAtTheHeartbeatTimeout) {
    ASSERT_EQ(writeReg(reg::HeartbeatTimeout, 10), 0);
    EXPECT_EQ(readReg(reg::HeartbeatTimeout).word(0), kMinHeartbeatMs);  // the floor
    for (const Words& w :
         {Words{reg::HeartbeatTimeout, 1000}, {reg::ControlPrivilege, 1}, {reg::StreamPort, 40000}})
        ASSERT_EQ(writeReg(w[0], w[1]), 0);
    now = 900;
    readReg(reg::ControlPrivilege);  // any command is a heartbeat
    device.expireHeartbeat(1900);
    EXPECT_EQ(std::make_pair(device.hasController(), releases), std::make_pair(true, 0));
    device.expireHeartbeat(1901);
    EXPECT_EQ(std::make_pair(device.hasController(), releases), std::make_pair(false, 1));
    EXPECT_EQ(channel.destinationPort.load(), 0u);  // streaming stops
    EXPECT_EQ(writeReg(reg::ControlPrivilege, kPrivilegeControl, kClientB), 0);
}

TEST_F(DeviceTest, SlowWritesAreAnnouncedWithPendingAck) {
    const std::vector<Ack> acks = exchange(command(0x82, {feature::AcquisitionStart, 1}, 42));
    ASSERT_EQ(acks.size(), 2u);
    EXPECT_EQ(
        std::make_tuple(acks[0].answer, acks[0].id, acks[1].answer, acks[1].status),
        std::make_tuple(kPendingAck, std::uint16_t{42}, std::uint16_t{0x83}, std::uint16_t{0}));
    EXPECT_GT(readBe16(acks[0].body.data() + 2), 0);
}

// The size has a ceiling and a test bit that fires a test packet and never stays.
TEST_F(DeviceTest, PacketSizeIsBoundedAndItsTestBitFiresATestPacket) {
    ASSERT_EQ(writeReg(reg::StreamPacketSize, 100000), 0);
    EXPECT_EQ(channel.packetSize.load(), kMaxPacketSize);
    std::uint32_t tested = 0;
    device.setFireTestHook([&](std::uint32_t size) { tested = size; });
    ASSERT_EQ(writeReg(reg::StreamPacketSize, kFireTestPacket | 1500), 0);
    EXPECT_EQ(tested, 1500u);
    EXPECT_EQ(readReg(reg::StreamPacketSize).word(0), 1500u);
}

// ---- Stream packets

class StreamerTest : public ::testing::Test, public DatagramSink {
protected:
    StreamChannel channel;
    std::vector<std::pair<std::uint16_t, std::vector<std::uint8_t>>> sent;  // block, after header
    Streamer streamer{channel, *this};
    std::vector<std::uint8_t> frame = std::vector<std::uint8_t>(50 * 20 * 3, 7);

    void SetUp() override {
        channel.destinationIp = 0x7F000001;
        channel.destinationPort = 40000;
        channel.packetSize = 576;
        streamer.configure({pixel::BGR8, 50, 20});
    }
    void send(std::uint32_t, std::uint16_t, const std::uint8_t* head, std::size_t headSize,
              const std::uint8_t* data, std::size_t dataSize) override {
        std::vector<std::uint8_t> bytes(head, head + headSize);
        bytes.insert(bytes.end(), data, data + dataSize);
        sent.emplace_back(readBe16(bytes.data() + 2),
                          std::vector<std::uint8_t>(bytes.begin() + 8, bytes.end()));
    }
};

// The client that streams proves the framing, the leader's layout and resends of lost packets;
// the timestamp and the boundaries only here.
TEST_F(StreamerTest, TheLeaderCarriesTheWholeTimestamp) {
    streamer.sendFrame(frame.data(), frame.size(), 0x0000000123456789ull);
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(
        std::make_pair(readBe32(sent[0].second.data() + 4), readBe32(sent[0].second.data() + 8)),
        std::make_pair(0x1u, 0x23456789u));
}

TEST_F(StreamerTest, BlockIdsCountUpAndNeverUseZero) {
    for (int i = 0; i < 65537; ++i) {
        sent.clear();
        streamer.sendFrame(frame.data(), 4, 0);
    }
    EXPECT_EQ(sent.front().first, 2);  // 65535 then 1, 2
}

TEST_F(StreamerTest, ResendsServeOnlyTheFramesStillKept) {
    for (int i = 0; i <= Streamer::kResendFrames; ++i) streamer.sendFrame(frame.data(), 8, 0);
    sent.clear();
    streamer.resend(1, 1, 1);  // no longer kept
    EXPECT_TRUE(sent.empty());
    streamer.resend(2, 1, 1);  // the oldest kept
    EXPECT_EQ(sent.size(), 1u);
}

TEST_F(StreamerTest, NothingGoesWithoutDestinationOrForAnOversizedFrame) {
    channel.destinationPort = 0;
    streamer.sendFrame(frame.data(), frame.size(), 0);
    channel.destinationPort = 40000;
    std::vector<std::uint8_t> big(frame.size() + 1);
    streamer.sendFrame(big.data(), big.size(), 0);
    EXPECT_TRUE(sent.empty());
    streamer.fireTest(1400);  // one datagram of the tested size, headers included
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].second.size(), 1400u - 36);
}

}  // namespace
