// Stream packets as a client reassembles them: leader, payload and trailer, block ids, the
// negotiated size, resends, and packets dropped on purpose.
#include <gtest/gtest.h>

#include <numeric>
#include <set>
#include <vector>

#include "GevFakes.h"

namespace gev_test {
namespace {

struct Packet {
    std::uint16_t block;
    std::uint8_t format;
    std::uint32_t id;
    std::vector<std::uint8_t> data;
};

Packet decode(const Datagram& d) {
    Packet p{readBe16(d.bytes.data() + 2), d.bytes[4], readBe32(d.bytes.data() + 4) & 0xFFFFFF,
             std::vector<std::uint8_t>(d.bytes.begin() + 8, d.bytes.end())};
    return p;
}

class StreamerTest : public ::testing::Test {
protected:
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
    std::vector<std::uint8_t> reassemble(std::uint16_t block) const {
        std::vector<std::uint8_t> out(frame.size());
        const std::size_t chunk = 576 - 36;
        for (const Datagram& d : sink.sent) {
            const Packet p = decode(d);
            if (p.block != block || p.format != 3) continue;
            std::copy(p.data.begin(), p.data.end(), out.begin() + (p.id - 1) * chunk);
        }
        return out;
    }
};

TEST_F(StreamerTest, FrameIsLeaderPayloadTrailerInTheNegotiatedSize) {
    streamer.sendFrame(frame.data(), frame.size(), 0x0000000123456789ull);
    const std::size_t chunk = 576 - 36;
    const std::size_t payloads = (frame.size() + chunk - 1) / chunk;
    ASSERT_EQ(sink.sent.size(), payloads + 2);
    const Packet leader = decode(sink.sent.front());
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
        EXPECT_LE(sink.sent[i].bytes.size() + 28, 576u);
        EXPECT_EQ(decode(sink.sent[i]).id, i);
    }
    const Packet trailer = decode(sink.sent.back());
    EXPECT_EQ(trailer.format, 2);
    EXPECT_EQ(trailer.id, payloads + 1);
    EXPECT_EQ(reassemble(1), frame);
    EXPECT_EQ(sink.sent.front().port, 40000);
}

TEST_F(StreamerTest, BlockIdsCountUpAndNeverUseZero) {
    for (int i = 0; i < 65537; ++i) {
        sink.sent.clear();
        streamer.sendFrame(frame.data(), 4, 0);
    }
    EXPECT_EQ(decode(sink.sent.front()).block, 2);  // 65535 then 1, 2
}

TEST_F(StreamerTest, DroppedPayloadPacketsComeBackOnResend) {
    streamer.setDropFraction(0.3, 12345);
    streamer.sendFrame(frame.data(), frame.size(), 0);
    std::set<std::uint32_t> seen;
    for (const Datagram& d : sink.sent) seen.insert(decode(d).id);
    const std::uint32_t last = static_cast<std::uint32_t>((frame.size() + 539) / 540) + 1;
    EXPECT_TRUE(seen.count(0) && seen.count(last));  // leader and trailer always go
    std::vector<std::uint32_t> missing;
    for (std::uint32_t id = 1; id < last; ++id) {
        if (!seen.count(id)) missing.push_back(id);
    }
    ASSERT_FALSE(missing.empty());
    EXPECT_EQ(streamer.counters().packetsDropped, missing.size());
    for (std::uint32_t id : missing) streamer.resend(1, id, id);
    EXPECT_EQ(reassemble(1), frame);
    EXPECT_EQ(streamer.counters().packetsResent, missing.size());
}

TEST_F(StreamerTest, ResendOfAFrameNoLongerKeptSendsNothing) {
    for (int i = 0; i < Streamer::kResendFrames + 1; ++i) streamer.sendFrame(frame.data(), 8, 0);
    sink.sent.clear();
    streamer.resend(1, 1, 1);
    EXPECT_TRUE(sink.sent.empty());
    streamer.resend(Streamer::kResendFrames + 1, 1, 1);
    EXPECT_EQ(sink.sent.size(), 1u);
}

TEST_F(StreamerTest, NoDestinationNoPacketsAndOversizedFramesAreSkipped) {
    channel.destinationPort = 0;
    streamer.sendFrame(frame.data(), frame.size(), 0);
    EXPECT_TRUE(sink.sent.empty());
    channel.destinationPort = 40000;
    std::vector<std::uint8_t> big(frame.size() + 1);
    streamer.sendFrame(big.data(), big.size(), 0);
    EXPECT_TRUE(sink.sent.empty());
}

TEST_F(StreamerTest, FireTestSendsOneDatagramOfTheTestedSize) {
    streamer.fireTest(1400);
    ASSERT_EQ(sink.sent.size(), 1u);
    EXPECT_EQ(sink.sent[0].bytes.size(), 1400u - 28);
}

}  // namespace
}  // namespace gev_test
