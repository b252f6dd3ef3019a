// The device through a client no one here wrote (Aravis), and a raw client that falls silent.
// Runs on 127.0.0.1 inside a network namespace of its own (see in-loopback-namespace).
#include <arv.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "gev/Features.h"
#include "gev/Server.h"
#include "gev/Wire.h"
#include "platform/net/UdpSocket.h"
#include "samplegen/SampleTree.h"
#include "support/EmulatorFrames.h"

namespace {

namespace fs = std::filesystem;
using namespace tamra::gev;
using CameraPtr = std::unique_ptr<ArvCamera, void (*)(gpointer)>;

// Fails the test with the client's message, if it left one.
void expectNoError(GError*& error) {
    EXPECT_EQ(error, nullptr) << (error ? error->message : "");
    g_clear_error(&error);
}

CameraPtr openCamera(const char* name) {
    GError* error = nullptr;
    CameraPtr camera(arv_camera_new(name, &error), g_object_unref);
    expectNoError(error);
    return camera;
}

class AravisClient : public ::testing::Test {
protected:
    static inline fs::path tree;
    static inline std::size_t cycle = 0;  // frames before the tree's first camera repeats
    std::unique_ptr<Server> server = std::make_unique<Server>();
    ServerOptions options;

    static void SetUpTestSuite() {
        tree = fs::temp_directory_path() / ("tamra-gev-" + std::to_string(std::random_device{}()));
        cycle =
            tamra::samples::cameraList(tamra::samples::writeSampleTree(tree.string(), {}), 0, false)
                .size();
    }
    static void TearDownTestSuite() {
        fs::remove_all(tree);
        arv_shutdown();
    }
    void SetUp() override { options.camera.folder = tree.string(); }
};

TEST_F(AravisClient, DiscoveryFindsTheDeviceWhoseFeaturesReadAndWrite) {
    std::string started;
    ASSERT_TRUE(server->start(options, started)) << started;
    CameraPtr camera = openCamera("Tamra-TE0001");  // the name comes from discovery
    ASSERT_TRUE(camera);
    ArvCamera* c = camera.get();
    GError* error = nullptr;
    const std::string folder = tree.string();
    EXPECT_EQ((std::vector<std::string>{arv_camera_get_vendor_name(c, nullptr),
                                        arv_camera_get_model_name(c, nullptr),
                                        arv_camera_get_device_serial_number(c, nullptr),
                                        arv_camera_get_string(c, "PixelFormat", nullptr),
                                        arv_camera_get_string(c, "TamraImageFolder", nullptr)}),
              (std::vector<std::string>{"Tamra", "Emulator", "TE0001", "Mono8", folder}));
    EXPECT_EQ(arv_camera_get_payload(c, nullptr), 640u * 480u);
    // Trigger mode and image set: the streaming test sees what they do.
    const std::pair<const char*, const char*> strings[] = {{"PixelFormat", "BGR8"},
                                                           {"TriggerSource", "Line0"}};
    for (const auto& [feature, value] : strings) {
        arv_camera_set_string(c, feature, value, &error);
        expectNoError(error);
        EXPECT_STREQ(arv_camera_get_string(c, feature, nullptr), value) << feature;
    }
    arv_camera_set_integer(c, "Width", 320, &error);
    arv_camera_set_integer(c, "TamraCameraCount", 2, &error);
    arv_camera_set_float(c, "AcquisitionFrameRate", 10.0, &error);
    expectNoError(error);
    EXPECT_EQ(arv_camera_get_payload(c, nullptr), 320u * 480u * 3u);
    EXPECT_EQ(std::make_tuple(arv_camera_get_integer(c, "TamraCameraCount", nullptr),
                              arv_camera_get_integer(c, "TamraFrameDelay", nullptr),
                              arv_camera_get_integer(c, "TamraOverrunCount", nullptr)),
              std::make_tuple(2, 100, 0));
    EXPECT_NEAR(arv_camera_get_float(c, "AcquisitionFrameRate", nullptr), 10.0, 1e-3);
    // What the device refuses comes back as an error, and the old value stays.
    arv_camera_set_string(c, "TamraImageFolder", "/no/such/folder", &error);
    EXPECT_NE(error, nullptr);
    g_clear_error(&error);
    EXPECT_STREQ(arv_camera_get_string(c, "TamraImageFolder", nullptr), folder.c_str());
    arv_camera_set_integer(c, "Width", 9000, &error);
    EXPECT_NE(error, nullptr);
    g_clear_error(&error);
    EXPECT_EQ(arv_camera_get_integer(c, "Width", nullptr), 320);
}

// Every frame is complete and matches the emulator's frame of its number (the block id); an
// image set plays only its part of the tree.
TEST_F(AravisClient, StreamedFramesAreCompleteAndIdentical) {
    const struct {
        const char *what, *imageSet;
        std::uint32_t pixelFormat, width, height;
        double dropFraction;
        bool trigger;
        std::size_t count;
    } cases[] = {
        {"free run", "", pixel::Mono8, 640, 480, 0.0, false, 200},
        {"software-triggered colour", "", pixel::BGR8, 320, 240, 0.0, true, 50},
        {"dropped packets resent", "", pixel::Mono8, 640, 480, 0.01, true, 60},
        {"image set", "Pass", pixel::Mono8, 640, 480, 0.0, true, 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const bool set = *c.imageSet != '\0';
        const std::size_t played = set ? 2 : cycle;
        const auto reference = tamra::testing::playEmulator(
            (set ? tree / "pass" : tree).string(),
            {c.pixelFormat == pixel::BGR8 ? IFW_IMAGE_COLOR_COLOR24 : IFW_IMAGE_COLOR_MONO8, 1,
             c.width, c.height},
            played);
        server = std::make_unique<Server>();  // the one before closes its port
        options.camera.pixelFormat = c.pixelFormat;
        options.camera.width = c.width;
        options.camera.height = c.height;
        options.dropFraction = c.dropFraction;
        options.dropSeed = 77;
        std::string started;
        ASSERT_TRUE(server->start(options, started)) << started;
        CameraPtr camera = openCamera("127.0.0.1");
        ASSERT_TRUE(camera);
        ArvCamera* cam = camera.get();
        GError* error = nullptr;
        if (c.trigger) arv_camera_set_string(cam, "TriggerMode", "On", &error);
        arv_camera_set_string(cam, "TriggerSource", "Software", &error);
        if (set) arv_camera_set_string(cam, "TamraImageSet", c.imageSet, &error);
        ArvStream* stream = arv_camera_create_stream(cam, nullptr, nullptr, &error);
        expectNoError(error);
        ASSERT_NE(stream, nullptr);
        // On a loaded machine resends arrive late: the client waits longer before giving up.
        g_object_set(stream, "packet-timeout", 100000u, "frame-retention", 2000000u, nullptr);
        for (int i = 0; i < 8; ++i)
            arv_stream_push_buffer(stream,
                                   arv_buffer_new(arv_camera_get_payload(cam, nullptr), nullptr));
        arv_camera_start_acquisition(cam, &error);
        for (std::size_t i = 0; i < c.count; ++i) {
            if (c.trigger) arv_camera_execute_command(cam, "TriggerSoftware", &error);
            expectNoError(error);
            ArvBuffer* buffer = arv_stream_timeout_pop_buffer(stream, 3000000);
            ASSERT_NE(buffer, nullptr) << "no frame after " << i;
            const guint64 id = arv_buffer_get_frame_id(buffer);
            size_t size = 0;
            const auto* data = static_cast<const std::uint8_t*>(arv_buffer_get_data(buffer, &size));
            EXPECT_EQ(arv_buffer_get_status(buffer), ARV_BUFFER_STATUS_SUCCESS);
            EXPECT_TRUE(id >= 1 && (!c.trigger || id == i + 1)) << id;
            EXPECT_EQ((std::vector<std::uint32_t>{
                          static_cast<std::uint32_t>(arv_buffer_get_image_width(buffer)),
                          static_cast<std::uint32_t>(arv_buffer_get_image_height(buffer)),
                          arv_buffer_get_image_pixel_format(buffer)}),
                      (std::vector{c.width, c.height, c.pixelFormat}));
            ASSERT_TRUE(std::vector<std::uint8_t>(data, data + size) ==
                        reference[(id - 1) % played])
                << i;
            arv_stream_push_buffer(stream, buffer);
        }
        arv_camera_stop_acquisition(cam, nullptr);
        guint64 resent = 0, missing = 0;
        arv_gv_stream_get_statistics(ARV_GV_STREAM(stream), &resent, &missing);
        g_object_unref(stream);
        EXPECT_EQ(server->streamCounters().packetsDropped > 0, c.dropFraction > 0);
        EXPECT_TRUE(c.dropFraction == 0 || resent > 0);
    }
}

// A raw control command over a loopback socket, so that the client can fall silent. A write
// gives the status of its acknowledgement; a read the value, or the status when not success.
std::uint32_t request(net::UdpSocket& socket, std::uint16_t devicePort, std::uint32_t address,
                      std::optional<std::uint32_t> value = {}) {
    std::uint8_t p[16] = {kCommandKey, kFlagAckRequired};
    writeBe16(p + 2, value ? 0x82 : 0x80);
    writeBe16(p + 4, value ? 8 : 4);
    static std::uint16_t id = 0;
    writeBe16(p + 6, id = static_cast<std::uint16_t>(id % 0xFFFF + 1));  // never 0
    writeBe32(p + 8, address);
    writeBe32(p + 12, value.value_or(0));
    socket.sendTo(0x7F000001, devicePort, p, value ? 16 : 12, nullptr, 0);
    std::uint8_t ack[64];
    std::uint32_t ip = 0;
    std::uint16_t port = 0;
    long n = 0;
    do {
        n = socket.receive(ack, sizeof ack, ip, port, 2000);
    } while (n >= 8 && readBe16(ack + 2) == kPendingAck);
    EXPECT_GE(n, 12);
    return n < 12 ? 0xFFFFFFFF : value || readBe16(ack) != 0 ? readBe16(ack) : readBe32(ack + 8);
}

TEST_F(AravisClient, VanishedClientLosesControlAndTheStreamStops) {
    options.controlPort = 0;  // any free port: no client here discovers it
    std::string error;
    ASSERT_TRUE(server->start(options, error)) << error;
    options.controlPort = server->controlPort();  // a second device on it is refused
    EXPECT_FALSE(Server().start(options, error));
    EXPECT_NE(error.find("cannot open the control port"), std::string::npos) << error;
    net::UdpSocket client, observer, sink;  // the stream's destination is never read
    for (net::UdpSocket* socket : {&client, &observer, &sink})
        ASSERT_TRUE(socket->open(0x7F000001, 0, error)) << error;
    const auto ask = [&](net::UdpSocket& from, std::uint32_t address,
                         std::optional<std::uint32_t> value = {}) {
        return request(from, options.controlPort, address, value);
    };
    for (const auto& [address, value] :
         {std::pair<std::uint32_t, std::uint32_t>{reg::ControlPrivilege, kPrivilegeControl},
          {reg::HeartbeatTimeout, kMinHeartbeatMs},
          {reg::StreamDestination, 0x7F000001},
          {reg::StreamPort, sink.localPort()},
          {feature::AcquisitionStart, 1}})
        ASSERT_EQ(ask(client, address, value), 0u) << address;

    // The client now falls silent; an observer (reads are open to all) watches the device.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (ask(observer, reg::ControlPrivilege) != 0 &&
           std::chrono::steady_clock::now() < deadline) {
    }
    EXPECT_EQ(ask(observer, reg::ControlPrivilege), 0u);
    EXPECT_EQ(ask(observer, reg::StreamPort), 0u);
    const std::uint32_t delivered = ask(observer, feature::FramesDelivered);
    EXPECT_GT(delivered, 0u);
    // Stopped: the count stays the same for ten frame times of the free run.
    const auto quiet = std::chrono::steady_clock::now() + std::chrono::milliseconds(330);
    std::uint32_t again = delivered;
    while (again == delivered && std::chrono::steady_clock::now() < quiet)
        again = ask(observer, feature::FramesDelivered);
    EXPECT_EQ(again, delivered);
    EXPECT_EQ(ask(observer, reg::ControlPrivilege, kPrivilegeControl), 0u);
}

}  // namespace
