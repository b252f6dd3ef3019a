// The device through a GigE Vision client that no one here wrote: Aravis finds it, reads and
// writes its features and receives frames byte-identical to the emulator's own; and a raw client
// that falls silent loses control at the heartbeat time-out. Runs on 127.0.0.1 inside a network
// namespace of its own (see in-loopback-namespace).
#include <arv.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "gev/Device.h"
#include "gev/Features.h"
#include "gev/Server.h"
#include "gev/Wire.h"
#include "platform/net/UdpSocket.h"
#include "samplegen/SampleTree.h"
#include "support/EmulatorFrames.h"

namespace {

namespace fs = std::filesystem;
using namespace tamra::gev;

class TempTree {
public:
    TempTree() {
        path_ = fs::temp_directory_path() / ("tamra-gev-" + std::to_string(std::random_device{}()));
        entries_ = tamra::samples::writeSampleTree(path_.string(), {});
    }
    ~TempTree() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    std::string str() const { return path_.string(); }
    std::size_t cycle() const { return tamra::samples::cameraList(entries_, 0, false).size(); }

private:
    fs::path path_;
    std::vector<tamra::samples::TreeEntry> entries_;
};

struct ArvCameraDeleter {
    void operator()(ArvCamera* c) const { g_object_unref(c); }
};
using CameraPtr = std::unique_ptr<ArvCamera, ArvCameraDeleter>;

CameraPtr openCamera(const char* name) {
    GError* error = nullptr;
    ArvCamera* camera = arv_camera_new(name, &error);
    if (error != nullptr) {
        ADD_FAILURE() << error->message;
        g_clear_error(&error);
    }
    return CameraPtr(camera);
}

// Fails the test with the client's message, if it left one.
void expectNoError(GError*& error) {
    EXPECT_EQ(error, nullptr) << (error ? error->message : "");
    g_clear_error(&error);
}

// A frame as the client got it, with the block id the device gave it.
struct Received {
    guint64 frameId;
    std::vector<std::uint8_t> data;
};

class AravisClient : public ::testing::Test {
protected:
    static TempTree* tree;
    std::unique_ptr<Server> server = std::make_unique<Server>();
    ServerOptions options;
    guint64 resent = 0;

    static void SetUpTestSuite() { tree = new TempTree(); }
    static void TearDownTestSuite() {
        delete tree;
        tree = nullptr;
        arv_shutdown();
    }
    void SetUp() override { options.camera.folder = tree->str(); }
    CameraPtr startAndOpen() {
        std::string error;
        EXPECT_TRUE(server->start(options, error)) << error;
        return openCamera("127.0.0.1");
    }

    // Streams count frames, none failed; trigger fires one software trigger per frame when set.
    std::vector<Received> acquire(ArvCamera* camera, std::size_t count, bool trigger) {
        GError* error = nullptr;
        ArvStream* stream = arv_camera_create_stream(camera, nullptr, nullptr, &error);
        expectNoError(error);
        if (stream == nullptr) return {};
        // On a loaded machine resends arrive late: the client waits longer before giving up.
        g_object_set(stream, "packet-timeout", 100000u, "frame-retention", 2000000u, nullptr);
        const gint payload = arv_camera_get_payload(camera, nullptr);
        for (int i = 0; i < 8; ++i)
            arv_stream_push_buffer(stream, arv_buffer_new(payload, nullptr));
        arv_camera_start_acquisition(camera, &error);
        expectNoError(error);
        std::vector<Received> frames;
        while (frames.size() < count) {
            if (trigger) arv_camera_execute_command(camera, "TriggerSoftware", &error);
            expectNoError(error);
            ArvBuffer* buffer = arv_stream_timeout_pop_buffer(stream, 3000000);
            if (buffer == nullptr) {
                ADD_FAILURE() << "no frame within the time-out after " << frames.size();
                break;
            }
            if (arv_buffer_get_status(buffer) != ARV_BUFFER_STATUS_SUCCESS) {
                ADD_FAILURE() << "frame failed: " << arv_buffer_get_status(buffer);
                break;
            }
            size_t size = 0;
            const auto* data = static_cast<const std::uint8_t*>(arv_buffer_get_data(buffer, &size));
            frames.push_back({arv_buffer_get_frame_id(buffer), {data, data + size}});
            arv_stream_push_buffer(stream, buffer);
        }
        arv_camera_stop_acquisition(camera, nullptr);
        guint64 missing = 0;
        arv_gv_stream_get_statistics(ARV_GV_STREAM(stream), &resent, &missing);
        g_object_unref(stream);
        return frames;
    }

    // Every frame matches the emulator's frame of the same number, its block id.
    void expectIdentical(const std::vector<Received>& frames, const std::string& folder,
                         IFW_IMAGE_COLOR_TYPE colour, std::size_t cycle) {
        const auto reference = tamra::testing::playEmulator(
            folder, {colour, 1, options.camera.width, options.camera.height}, cycle);
        ASSERT_EQ(reference.size(), cycle);
        for (const Received& f : frames) {
            ASSERT_GE(f.frameId, 1u);
            ASSERT_TRUE(f.data == reference[(f.frameId - 1) % cycle]) << "frame " << f.frameId;
        }
    }
};

TempTree* AravisClient::tree = nullptr;

TEST_F(AravisClient, DiscoveryFindsTheDevice) {
    CameraPtr camera = startAndOpen();
    arv_update_device_list();
    bool found = false;
    for (unsigned i = 0; i < arv_get_n_devices(); ++i) {
        if (std::string(arv_get_device_id(i)) != "Tamra-Emulator-TE0001") continue;
        found = true;
        EXPECT_STREQ(arv_get_device_address(i), "127.0.0.1");
        EXPECT_STREQ(arv_get_device_vendor(i), "Tamra");
        EXPECT_STREQ(arv_get_device_serial_nbr(i), "TE0001");
    }
    EXPECT_TRUE(found);
    CameraPtr byName = openCamera("Tamra-TE0001");
    ASSERT_TRUE(byName);
    EXPECT_STREQ(arv_camera_get_vendor_name(byName.get(), nullptr), "Tamra");
}

TEST_F(AravisClient, FeaturesReadAndWrite) {
    CameraPtr camera = startAndOpen();
    ASSERT_TRUE(camera);
    ArvCamera* c = camera.get();
    GError* error = nullptr;
    EXPECT_EQ(arv_camera_get_payload(c, nullptr), 640u * 480u);
    EXPECT_STREQ(arv_camera_get_string(c, "PixelFormat", nullptr), "Mono8");
    EXPECT_STREQ(arv_camera_get_string(c, "AcquisitionMode", nullptr), "Continuous");
    EXPECT_STREQ(arv_camera_get_string(c, "TamraImageFolder", nullptr), tree->str().c_str());
    const struct {
        const char* feature;
        const char* value;
    } strings[] = {{"PixelFormat", "BGR8"},
                   {"TriggerMode", "On"},
                   {"TriggerSource", "Line0"},
                   {"TamraImageSet", "Fail"}};
    for (const auto& s : strings) {
        arv_camera_set_string(c, s.feature, s.value, &error);
        expectNoError(error);
        EXPECT_STREQ(arv_camera_get_string(c, s.feature, nullptr), s.value) << s.feature;
    }
    arv_camera_set_integer(c, "Width", 320, &error);
    arv_camera_set_integer(c, "TamraCameraCount", 2, &error);
    arv_camera_set_float(c, "AcquisitionFrameRate", 10.0, &error);
    expectNoError(error);
    EXPECT_EQ(arv_camera_get_payload(c, nullptr), 320u * 480u * 3u);
    EXPECT_EQ(arv_camera_get_integer(c, "TamraCameraCount", nullptr), 2);
    EXPECT_EQ(arv_camera_get_integer(c, "TamraFrameDelay", nullptr), 100);
    EXPECT_NEAR(arv_camera_get_float(c, "AcquisitionFrameRate", nullptr), 10.0, 1e-3);
    EXPECT_EQ(arv_camera_get_integer(c, "TamraOverrunCount", nullptr), 0);

    // What the device refuses comes back as an error, and the old value stays.
    arv_camera_set_string(c, "TamraImageFolder", "/no/such/folder", &error);
    EXPECT_NE(error, nullptr);
    g_clear_error(&error);
    EXPECT_STREQ(arv_camera_get_string(c, "TamraImageFolder", nullptr), tree->str().c_str());
    arv_camera_set_integer(c, "Width", 9000, &error);
    EXPECT_NE(error, nullptr);
    g_clear_error(&error);
    EXPECT_EQ(arv_camera_get_integer(c, "Width", nullptr), 320);
}

TEST_F(AravisClient, StreamedFramesAreCompleteAndIdentical) {
    const struct {
        const char* what;
        std::uint32_t pixelFormat, width, height;
        double dropFraction;
        bool trigger;
        std::size_t count;
    } cases[] = {
        {"free run", pixel::Mono8, 640, 480, 0.0, false, 200},
        {"software-triggered colour", pixel::BGR8, 320, 240, 0.0, true, 50},
        {"dropped packets resent", pixel::Mono8, 640, 480, 0.01, true, 60},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        server = std::make_unique<Server>();  // the one before closes its port
        options.camera.pixelFormat = c.pixelFormat;
        options.camera.width = c.width;
        options.camera.height = c.height;
        options.dropFraction = c.dropFraction;
        options.dropSeed = 77;
        CameraPtr camera = startAndOpen();
        ASSERT_TRUE(camera);
        GError* error = nullptr;
        if (c.trigger) arv_camera_set_string(camera.get(), "TriggerMode", "On", &error);
        arv_camera_set_string(camera.get(), "TriggerSource", "Software", &error);
        expectNoError(error);
        const auto frames = acquire(camera.get(), c.count, c.trigger);
        ASSERT_EQ(frames.size(), c.count);
        if (c.trigger) {
            for (std::size_t i = 0; i < frames.size(); ++i) EXPECT_EQ(frames[i].frameId, i + 1);
        }
        const auto colour =
            c.pixelFormat == pixel::BGR8 ? IFW_IMAGE_COLOR_COLOR24 : IFW_IMAGE_COLOR_MONO8;
        expectIdentical(frames, tree->str(), colour, tree->cycle());
        EXPECT_EQ(server->streamCounters().packetsDropped > 0, c.dropFraction > 0);
        EXPECT_TRUE(c.dropFraction == 0 || resent > 0);
        camera.reset();
    }
}

TEST_F(AravisClient, ImageSetPlaysOnlyThatPartOfTheTree) {
    CameraPtr camera = startAndOpen();
    ASSERT_TRUE(camera);
    GError* error = nullptr;
    arv_camera_set_string(camera.get(), "TamraImageSet", "Pass", &error);
    arv_camera_set_string(camera.get(), "TriggerMode", "On", &error);
    expectNoError(error);
    const auto frames = acquire(camera.get(), 4, true);
    ASSERT_EQ(frames.size(), 4u);
    expectIdentical(frames, (fs::path(tree->str()) / "pass").string(), IFW_IMAGE_COLOR_MONO8, 2);
}

TEST_F(AravisClient, SecondClientIsRefusedControlUntilTheFirstLeaves) {
    CameraPtr first = startAndOpen();
    ASSERT_TRUE(first);
    CameraPtr second = openCamera("127.0.0.1");
    ASSERT_TRUE(second);
    ArvGvDevice* secondDevice = ARV_GV_DEVICE(arv_camera_get_device(second.get()));
    EXPECT_FALSE(arv_gv_device_take_control(secondDevice, nullptr));
    GError* error = nullptr;
    arv_camera_set_integer(second.get(), "Width", 320, &error);
    EXPECT_NE(error, nullptr);
    g_clear_error(&error);
    EXPECT_EQ(arv_camera_get_integer(second.get(), "Width", nullptr), 640);  // reads still work
    first.reset();
    EXPECT_TRUE(arv_gv_device_take_control(secondDevice, nullptr));
}

TEST_F(AravisClient, ASecondDeviceOnABusyPortIsRefusedWithAMessage) {
    options.controlPort = 0;  // any free port
    std::string error;
    ASSERT_TRUE(server->start(options, error)) << error;
    options.controlPort = server->controlPort();
    Server second;
    EXPECT_FALSE(second.start(options, error));
    EXPECT_NE(error.find("cannot open the control port"), std::string::npos) << error;
}

// Raw control commands over a loopback socket, so that the client can fall silent.
class RawClient {
public:
    explicit RawClient(std::uint16_t devicePort) : devicePort_(devicePort) {
        std::string error;
        EXPECT_TRUE(socket_.open(0x7F000001, 0, error)) << error;
    }
    // A write of one register gives the status of its acknowledgement; a read (no value) the
    // value read, or the status when that is not success.
    std::uint32_t request(std::uint32_t address, std::optional<std::uint32_t> value = {}) {
        std::uint8_t p[16] = {kCommandKey, kFlagAckRequired};
        writeBe16(p + 2, value ? 0x82 : 0x80);
        writeBe16(p + 4, value ? 8 : 4);
        writeBe16(p + 6, ++id_);
        writeBe32(p + 8, address);
        writeBe32(p + 12, value.value_or(0));
        socket_.sendTo(0x7F000001, devicePort_, p, value ? 16 : 12, nullptr, 0);
        std::uint8_t ack[64];
        std::uint32_t ip = 0;
        std::uint16_t port = 0;
        long n = 0;
        do {
            n = socket_.receive(ack, sizeof ack, ip, port, 2000);
        } while (n >= 8 && readBe16(ack + 2) == kPendingAck);
        EXPECT_GE(n, 12);
        return n < 12                        ? 0xFFFFFFFF
               : value || readBe16(ack) != 0 ? readBe16(ack)
                                             : readBe32(ack + 8);
    }

private:
    net::UdpSocket socket_;
    std::uint16_t devicePort_;
    std::uint16_t id_ = 0;
};

TEST_F(AravisClient, VanishedClientLosesControlAndTheStreamStops) {
    options.controlPort = 0;  // any free port: no client here discovers it
    std::string error;
    ASSERT_TRUE(server->start(options, error)) << error;
    RawClient client(server->controlPort());
    ASSERT_EQ(client.request(reg::ControlPrivilege, kPrivilegeControl), 0u);
    ASSERT_EQ(client.request(reg::HeartbeatTimeout, kMinHeartbeatMs), 0u);
    net::UdpSocket sink;  // the stream's destination, never read
    ASSERT_TRUE(sink.open(0x7F000001, 0, error));
    ASSERT_EQ(client.request(reg::StreamDestination, 0x7F000001), 0u);
    ASSERT_EQ(client.request(reg::StreamPort, sink.localPort()), 0u);
    ASSERT_EQ(client.request(feature::AcquisitionStart, 1), 0u);

    // The client now falls silent; an observer (reads are open to all) watches the device.
    RawClient observer(server->controlPort());
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (observer.request(reg::ControlPrivilege) != 0 &&
           std::chrono::steady_clock::now() < deadline) {
    }
    EXPECT_EQ(observer.request(reg::ControlPrivilege), 0u);
    EXPECT_EQ(observer.request(reg::StreamPort), 0u);
    const std::uint32_t delivered = observer.request(feature::FramesDelivered);
    EXPECT_GT(delivered, 0u);
    // Stopped: the count stays the same for ten frame times of the free run.
    const auto quiet = std::chrono::steady_clock::now() + std::chrono::milliseconds(330);
    std::uint32_t again = delivered;
    while (again == delivered && std::chrono::steady_clock::now() < quiet) {
        again = observer.request(feature::FramesDelivered);
    }
    EXPECT_EQ(again, delivered);
    EXPECT_EQ(observer.request(reg::ControlPrivilege, kPrivilegeControl), 0u);
}

}  // namespace
