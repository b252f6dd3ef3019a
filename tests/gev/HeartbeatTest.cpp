// A client that vanishes: after the heartbeat time-out the device releases control and its
// stream stops. Spoken in raw GVCP over a loopback socket, so that the client can fall silent.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "gev/Device.h"
#include "gev/Features.h"
#include "gev/Server.h"
#include "gev/Wire.h"
#include "platform/net/UdpSocket.h"
#include "samplegen/SampleTree.h"

namespace {

using namespace tamra::gev;
namespace fs = std::filesystem;

class RawClient {
public:
    explicit RawClient(std::uint16_t devicePort) : devicePort_(devicePort) {
        std::string error;
        EXPECT_TRUE(socket_.open(0x7F000001, 0, error)) << error;
    }
    // Sends one command and returns the status of its acknowledgement (0xFFFF for none).
    std::uint16_t request(std::uint16_t code, const std::vector<std::uint32_t>& words,
                          std::uint32_t* value = nullptr) {
        std::vector<std::uint8_t> p(8 + 4 * words.size());
        p[0] = kCommandKey;
        p[1] = kFlagAckRequired;
        writeBe16(p.data() + 2, code);
        writeBe16(p.data() + 4, static_cast<std::uint16_t>(4 * words.size()));
        writeBe16(p.data() + 6, ++id_);
        for (std::size_t i = 0; i < words.size(); ++i) writeBe32(p.data() + 8 + 4 * i, words[i]);
        socket_.sendTo(0x7F000001, devicePort_, p.data(), p.size(), nullptr, 0);
        std::uint8_t ack[600];
        std::uint32_t ip = 0;
        std::uint16_t port = 0;
        for (;;) {
            const long n = socket_.receive(ack, sizeof ack, ip, port, 2000);
            if (n < 8) return 0xFFFF;
            if (readBe16(ack + 2) == kPendingAck) continue;
            if (value != nullptr && n >= 12) *value = readBe32(ack + 8);
            return readBe16(ack);
        }
    }
    std::uint16_t write(std::uint32_t address, std::uint32_t value) {
        return request(0x82, {address, value});
    }
    std::uint32_t read(std::uint32_t address) {
        std::uint32_t value = 0xFFFFFFFF;
        EXPECT_EQ(request(0x80, {address}, &value), 0);
        return value;
    }

private:
    net::UdpSocket socket_;
    std::uint16_t devicePort_;
    std::uint16_t id_ = 0;
};

TEST(Heartbeat, VanishedClientLosesControlAndTheStreamStops) {
    std::random_device entropy;
    const fs::path folder =
        fs::temp_directory_path() / ("tamra-gev-hb-" + std::to_string(entropy()));
    tamra::samples::TreeOptions treeOptions;
    treeOptions.width = 64;
    treeOptions.height = 48;
    tamra::samples::writeSampleTree(folder.string(), treeOptions);
    Server server;
    ServerOptions options;
    options.controlPort = 0;  // any free port: no client here discovers it
    options.camera.folder = folder.string();
    options.camera.width = 64;
    options.camera.height = 48;
    std::string error;
    ASSERT_TRUE(server.start(options, error)) << error;

    RawClient client(server.controlPort());
    ASSERT_EQ(client.write(reg::ControlPrivilege, kPrivilegeControl), 0);
    ASSERT_EQ(client.write(reg::HeartbeatTimeout, kMinHeartbeatMs), 0);
    net::UdpSocket sink;  // the stream's destination, never read
    ASSERT_TRUE(sink.open(0x7F000001, 0, error));
    ASSERT_EQ(client.write(reg::StreamDestination, 0x7F000001), 0);
    ASSERT_EQ(client.write(reg::StreamPort, sink.localPort()), 0);
    ASSERT_EQ(client.write(feature::AcquisitionStart, 1), 0);

    // The client now falls silent; an observer (reads are open to all) watches the device.
    RawClient observer(server.controlPort());
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (observer.read(reg::ControlPrivilege) != 0 &&
           std::chrono::steady_clock::now() < deadline) {
    }
    EXPECT_EQ(observer.read(reg::ControlPrivilege), 0u);
    EXPECT_EQ(observer.read(reg::StreamPort), 0u);
    const std::uint32_t delivered = observer.read(feature::FramesDelivered);
    EXPECT_GT(delivered, 0u);
    // Stopped: the count stays the same for ten frame times of the free run.
    const auto quiet = std::chrono::steady_clock::now() + std::chrono::milliseconds(330);
    std::uint32_t again = delivered;
    while (again == delivered && std::chrono::steady_clock::now() < quiet) {
        again = observer.read(feature::FramesDelivered);
    }
    EXPECT_EQ(again, delivered);
    // The observer may now take control.
    EXPECT_EQ(observer.write(reg::ControlPrivilege, kPrivilegeControl), 0);
    server.stop();
    fs::remove_all(folder);
}

}  // namespace
