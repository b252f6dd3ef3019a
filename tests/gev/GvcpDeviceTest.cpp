// The device as a client sees it on the control channel: discovery, registers, the description
// file in memory, status codes, control privilege and heartbeat. No socket, no emulator.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "GevFakes.h"
#include "gev/Features.h"

namespace gev_test {
namespace {

const Peer kClientA{0x7F000001, 50000};
const Peer kClientB{0x7F000001, 50001};
const std::string kXml =
    "<RegisterDescription>" + std::string(1500, 'x') + "</RegisterDescription>";

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
    std::uint16_t status = 0xFFFF, answer = 0, length = 0, id = 0;
    std::vector<std::uint8_t> body;
    std::uint32_t word(std::size_t i) const { return readBe32(body.data() + 4 * i); }
};

class DeviceTest : public ::testing::Test {
protected:
    FakeBackend backend;
    StreamChannel channel;
    Device device{DeviceIdentity{}, kXml, backend, channel};
    std::int64_t now = 0;

    std::vector<Ack> exchange(const std::vector<std::uint8_t>& packet,
                              const Peer& from = kClientA) {
        std::vector<Ack> acks;
        device.handle(packet.data(), packet.size(), from, now,
                      [&](const std::vector<std::uint8_t>& bytes) {
                          EXPECT_GE(bytes.size(), 8u);
                          Ack a;
                          a.status = readBe16(bytes.data());
                          a.answer = readBe16(bytes.data() + 2);
                          a.length = readBe16(bytes.data() + 4);
                          a.id = readBe16(bytes.data() + 6);
                          a.body.assign(bytes.begin() + 8, bytes.end());
                          EXPECT_EQ(a.length, a.body.size());
                          acks.push_back(a);
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
    std::string readString(std::uint32_t address, std::uint32_t size) {
        const Ack a = one(command(0x84, {address, size}));
        EXPECT_EQ(a.status, 0);
        return std::string(a.body.begin() + 4, a.body.end()).c_str();
    }
};

TEST_F(DeviceTest, DiscoveryAnswersWithIdentityAndEchoesTheId) {
    const Ack a = one(command(0x02, {}, 0xFFFF, 0x11));
    EXPECT_EQ(a.status, 0);
    EXPECT_EQ(a.answer, 0x03);
    EXPECT_EQ(a.id, 0xFFFF);
    ASSERT_EQ(a.body.size(), 0xF8u);
    EXPECT_EQ(a.word(0), 0x00010002u);  // version 1.2
    EXPECT_EQ(a.word(1) >> 31, 1u);     // big-endian device
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&a.body[0x48])), "Tamra");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&a.body[0xD8])), "TE0001");
    EXPECT_EQ(a.word(0x24 / 4), 0x7F000001u);
    EXPECT_EQ(a.body[0x0A], 0x02);  // locally administered MAC
}

TEST_F(DeviceTest, FirstUrlLeadsToTheWholeDescriptionInMemory) {
    const std::string url = readString(0x200, 512);
    char name[32] = {};
    unsigned address = 0, length = 0;
    ASSERT_EQ(std::sscanf(url.c_str(), "Local:%31[^;];%x;%x", name, &address, &length), 3) << url;
    EXPECT_STREQ(name, "tamra.xml");
    ASSERT_EQ(length, kXml.size());
    std::string read;
    while (read.size() < length) {
        const Ack a = one(command(0x84, {address + static_cast<unsigned>(read.size()), 536}));
        ASSERT_EQ(a.status, 0);
        ASSERT_EQ(a.word(0), address + read.size());
        read.append(a.body.begin() + 4, a.body.end());
    }
    EXPECT_EQ(read.substr(0, length), kXml);
}

TEST_F(DeviceTest, BadRequestsGetTheirStatusCodes) {
    EXPECT_EQ(readReg(0x0A000000).status, 0x8003);                         // no such address
    EXPECT_EQ(readReg(0x0202).status, 0x8005);                             // not aligned
    EXPECT_EQ(writeReg(0x0000, 5), 0x8004);                                // version is read-only
    EXPECT_EQ(one(command(0x84, {0x200, 6})).status, 0x8002);              // not whole words
    EXPECT_EQ(one(command(0x84, {0x200, 1024})).status, 0x8002);           // block too large
    EXPECT_EQ(one(command(0x86, {kXmlBase, 0x41424344})).status, 0x8004);  // the file is read-only
    EXPECT_EQ(one(command(0x0090, {})).status, 0x8001);                    // not implemented
    EXPECT_EQ(one(command(0x0080, {})).status, 0x8002);                    // no address at all
}

TEST_F(DeviceTest, MalformedDatagramsAreRefusedOrIgnoredNeverRead) {
    std::vector<std::uint8_t> lying = command(0x80, {0x0});
    writeBe16(lying.data() + 4, 400);  // claims more than arrived
    EXPECT_EQ(one(lying).status, 0x800E);
    std::vector<std::uint8_t> truncated = command(0x80, {0x0});
    truncated.resize(5);
    EXPECT_TRUE(exchange(truncated).empty());
    std::vector<std::uint8_t> notCommand = command(0x80, {0x0});
    notCommand[0] = 0x41;
    EXPECT_TRUE(exchange(notCommand).empty());
    EXPECT_TRUE(exchange(command(0x80, {0x0}, 9, 0)).empty());  // no acknowledgement asked
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

TEST_F(DeviceTest, SecondClientIsRefusedWhileOneHoldsControl) {
    ASSERT_EQ(writeReg(reg::ControlPrivilege, kPrivilegeControl, kClientA), 0);
    EXPECT_EQ(writeReg(reg::ControlPrivilege, kPrivilegeControl, kClientB), 0x8006);
    EXPECT_EQ(writeReg(feature::Width, 320, kClientB), 0x8006);
    EXPECT_EQ(readReg(reg::ControlPrivilege, kClientB).word(0), kPrivilegeControl);  // reads work
    EXPECT_EQ(writeReg(feature::Width, 320, kClientA), 0);
    ASSERT_EQ(writeReg(reg::ControlPrivilege, 0, kClientA), 0);
    EXPECT_EQ(backend.releases, 1);
    EXPECT_EQ(writeReg(reg::ControlPrivilege, kPrivilegeControl, kClientB), 0);
}

TEST_F(DeviceTest, ExclusiveControlRefusesOthersReadsToo) {
    ASSERT_EQ(writeReg(reg::ControlPrivilege, kPrivilegeExclusive, kClientA), 0);
    EXPECT_EQ(readReg(0x0000, kClientB).status, 0x8006);
    EXPECT_EQ(readReg(0x0000, kClientA).status, 0);
}

TEST_F(DeviceTest, SilentControllerLosesControlAtTheHeartbeatTimeout) {
    ASSERT_EQ(writeReg(reg::HeartbeatTimeout, 1000), 0);
    ASSERT_EQ(writeReg(reg::ControlPrivilege, kPrivilegeControl), 0);
    now = 900;
    readReg(reg::ControlPrivilege);  // any command is a heartbeat
    device.expireHeartbeat(1800);
    EXPECT_TRUE(device.hasController());
    EXPECT_EQ(backend.releases, 0);
    device.expireHeartbeat(1901);
    EXPECT_FALSE(device.hasController());
    EXPECT_EQ(backend.releases, 1);
    EXPECT_EQ(channel.destinationPort.load(), 0u);  // streaming stops
    EXPECT_EQ(writeReg(reg::ControlPrivilege, kPrivilegeControl, kClientB), 0);
}

TEST_F(DeviceTest, HeartbeatTimeoutHasAFloor) {
    ASSERT_EQ(writeReg(reg::HeartbeatTimeout, 10), 0);
    EXPECT_EQ(readReg(reg::HeartbeatTimeout).word(0), kMinHeartbeatMs);
}

TEST_F(DeviceTest, SlowWritesAreAnnouncedWithPendingAck) {
    const std::vector<Ack> acks = exchange(command(0x82, {backend.slowAddress, 1}, 42));
    ASSERT_EQ(acks.size(), 2u);
    EXPECT_EQ(acks[0].answer, kPendingAck);
    EXPECT_EQ(acks[0].id, 42);
    EXPECT_GT(readBe16(acks[0].body.data() + 2), 0);
    EXPECT_EQ(acks[1].answer, 0x83);
    EXPECT_EQ(acks[1].status, 0);
    EXPECT_EQ(exchange(command(0x82, {kFeatureBase + 0x1C, 1})).size(), 1u);
}

TEST_F(DeviceTest, StreamRegistersReachTheStreamChannel) {
    ASSERT_EQ(writeReg(reg::StreamDestination, 0x7F000001), 0);
    ASSERT_EQ(writeReg(reg::StreamPort, 40000), 0);
    ASSERT_EQ(writeReg(reg::StreamPacketSize, 9000), 0);
    EXPECT_EQ(channel.destinationIp.load(), 0x7F000001u);
    EXPECT_EQ(channel.destinationPort.load(), 40000u);
    EXPECT_EQ(channel.packetSize.load(), 9000u);
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
    std::uint32_t got[3] = {};
    device.setResendHook([&](std::uint16_t block, std::uint32_t first, std::uint32_t last) {
        got[0] = block;
        got[1] = first;
        got[2] = last;
    });
    EXPECT_TRUE(exchange(command(0x40, {0x00000005, 3, 9})).empty());
    EXPECT_EQ(got[0], 5u);
    EXPECT_EQ(got[1], 3u);
    EXPECT_EQ(got[2], 9u);
}

}  // namespace
}  // namespace gev_test
