// The device through a GigE Vision client that no one here wrote: Aravis finds it, reads and
// writes its features and receives frames byte-identical to the emulator's own. Runs on
// 127.0.0.1 inside a network namespace of its own (see in-loopback-namespace).
#include <arv.h>
#include <gtest/gtest.h>

#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <vector>

#include <tamra/Tamra.h>

#include "gev/Server.h"
#include "samplegen/SampleTree.h"

namespace {

namespace fs = std::filesystem;
using tamra::gev::Server;
using tamra::gev::ServerOptions;

constexpr guint64 kPopTimeoutUs = 3000000;

class TempTree {
public:
    TempTree() {
        std::random_device entropy;
        path_ = fs::temp_directory_path() / ("tamra-gev-" + std::to_string(entropy()));
        tamra::samples::TreeOptions options;
        entries_ = tamra::samples::writeSampleTree(path_.string(), options);
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

// The frames the emulator's buffer callback gets in-process, one per file of a cycle.
std::vector<std::vector<std::uint8_t>> referenceFrames(const std::string& folder,
                                                       IFW_IMAGE_COLOR_TYPE colour,
                                                       std::uint32_t width, std::uint32_t height,
                                                       std::size_t count) {
    struct Collector {
        std::mutex mutex;
        std::condition_variable arrived;
        std::vector<std::vector<std::uint8_t>> frames;
        std::size_t size = 0;
    } collector;
    char type[16] = "EMULATOR";
    std::unique_ptr<IXGrab, int (*)(IXGrab*)> grab(TamraGrabInstantiate(type), TamraGrabDelete);
    EXPECT_EQ(grab->Initialize(), 1);
    grab->SetImageColor(colour);
    grab->SetNumCameras(1);
    std::string path = folder;
    EXPECT_EQ(grab->EmulateFromNewImagePath(path.data(), width, height), 1);
    collector.size = std::size_t{width} * height * grab->GetBytesPP();
    grab->RegisterBufferCallback(
        [](unsigned char* buffer, unsigned int, std::int64_t, void* context) {
            auto* c = static_cast<Collector*>(context);
            std::lock_guard<std::mutex> lock(c->mutex);
            c->frames.emplace_back(buffer, buffer + c->size);
            c->arrived.notify_all();
            return 0;
        },
        &collector);
    grab->SetTriggerMethod(IXGrab::TRIG_SOFTWARE);
    EXPECT_EQ(grab->Start(), 1);
    for (std::size_t i = 0; i < count; ++i) {
        grab->GenerateSoftTrigger(0);
        std::unique_lock<std::mutex> lock(collector.mutex);
        collector.arrived.wait(lock, [&] { return collector.frames.size() > i; });
    }
    grab->Stop();
    return collector.frames;
}

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

// A frame as the client got it, with the block id the device gave it.
struct Received {
    guint64 frameId;
    std::vector<std::uint8_t> data;
};

class AravisClient : public ::testing::Test {
protected:
    static TempTree* tree;
    Server server;
    ServerOptions options;

    static void SetUpTestSuite() { tree = new TempTree(); }
    static void TearDownTestSuite() {
        delete tree;
        tree = nullptr;
        arv_shutdown();
    }
    void SetUp() override { options.camera.folder = tree->str(); }
    void startServer() {
        std::string error;
        ASSERT_TRUE(server.start(options, error)) << error;
    }

    // Streams count frames; trigger fires one software trigger per frame when set.
    std::vector<Received> acquire(ArvCamera* camera, std::size_t count, bool trigger,
                                  guint* failures) {
        GError* error = nullptr;
        ArvStream* stream = arv_camera_create_stream(camera, nullptr, nullptr, &error);
        EXPECT_EQ(error, nullptr) << (error ? error->message : "");
        if (stream == nullptr) return {};
        const gint payload = arv_camera_get_payload(camera, nullptr);
        for (int i = 0; i < 8; ++i)
            arv_stream_push_buffer(stream, arv_buffer_new(payload, nullptr));
        arv_camera_start_acquisition(camera, &error);
        EXPECT_EQ(error, nullptr);
        std::vector<Received> frames;
        *failures = 0;
        while (frames.size() + *failures < count) {
            if (trigger) {
                arv_camera_execute_command(camera, "TriggerSoftware", &error);
                EXPECT_EQ(error, nullptr) << (error ? error->message : "");
                g_clear_error(&error);
            }
            ArvBuffer* buffer = arv_stream_timeout_pop_buffer(stream, kPopTimeoutUs);
            if (buffer == nullptr) {
                ADD_FAILURE() << "no frame within the time-out after " << frames.size();
                break;
            }
            if (arv_buffer_get_status(buffer) == ARV_BUFFER_STATUS_SUCCESS) {
                size_t size = 0;
                const auto* data =
                    static_cast<const std::uint8_t*>(arv_buffer_get_data(buffer, &size));
                frames.push_back({arv_buffer_get_frame_id(buffer),
                                  std::vector<std::uint8_t>(data, data + size)});
            } else {
                ++*failures;
            }
            arv_stream_push_buffer(stream, buffer);
        }
        arv_camera_stop_acquisition(camera, nullptr);
        guint64 resent = 0, missing = 0;
        arv_gv_stream_get_statistics(ARV_GV_STREAM(stream), &resent, &missing);
        lastResent_ = resent;
        g_object_unref(stream);
        return frames;
    }

    // Every frame matches the emulator's frame of the same number, its block id.
    void expectIdentical(const std::vector<Received>& frames, IFW_IMAGE_COLOR_TYPE colour) {
        const std::size_t cycle = tree->cycle();
        const auto reference = referenceFrames(tree->str(), colour, options.camera.width,
                                               options.camera.height, cycle);
        ASSERT_EQ(reference.size(), cycle);
        for (const Received& f : frames) {
            ASSERT_GE(f.frameId, 1u);
            const auto& expected = reference[(f.frameId - 1) % cycle];
            ASSERT_EQ(f.data.size(), expected.size());
            ASSERT_TRUE(f.data == expected) << "frame " << f.frameId << " differs";
        }
    }

    guint64 lastResent_ = 0;
};

TempTree* AravisClient::tree = nullptr;

TEST_F(AravisClient, DiscoveryFindsTheDevice) {
    startServer();
    arv_update_device_list();
    bool found = false;
    for (unsigned i = 0; i < arv_get_n_devices(); ++i) {
        if (std::string(arv_get_device_id(i)) == "Tamra-Emulator-TE0001") {
            found = true;
            EXPECT_STREQ(arv_get_device_address(i), "127.0.0.1");
            EXPECT_STREQ(arv_get_device_vendor(i), "Tamra");
            EXPECT_STREQ(arv_get_device_serial_nbr(i), "TE0001");
        }
    }
    EXPECT_TRUE(found);
    CameraPtr byName = openCamera("Tamra-TE0001");
    ASSERT_TRUE(byName);
    EXPECT_STREQ(arv_camera_get_vendor_name(byName.get(), nullptr), "Tamra");
}

TEST_F(AravisClient, FeaturesReadAndWrite) {
    startServer();
    CameraPtr camera = openCamera("127.0.0.1");
    ASSERT_TRUE(camera);
    ArvCamera* c = camera.get();
    GError* error = nullptr;
    EXPECT_EQ(arv_camera_get_integer(c, "Width", nullptr), 640);
    EXPECT_EQ(arv_camera_get_integer(c, "Height", nullptr), 480);
    EXPECT_STREQ(arv_camera_get_string(c, "PixelFormat", nullptr), "Mono8");
    EXPECT_EQ(arv_camera_get_payload(c, nullptr), 640u * 480u);
    EXPECT_STREQ(arv_camera_get_string(c, "AcquisitionMode", nullptr), "Continuous");
    EXPECT_STREQ(arv_camera_get_string(c, "TamraImageFolder", nullptr), tree->str().c_str());

    arv_camera_set_integer(c, "Width", 320, &error);
    ASSERT_EQ(error, nullptr);
    arv_camera_set_string(c, "PixelFormat", "BGR8", &error);
    ASSERT_EQ(error, nullptr);
    EXPECT_EQ(arv_camera_get_payload(c, nullptr), 320u * 480u * 3u);
    arv_camera_set_string(c, "PixelFormat", "BGRa8", &error);
    EXPECT_EQ(arv_camera_get_payload(c, nullptr), 320u * 480u * 4u);

    arv_camera_set_string(c, "TriggerMode", "On", &error);
    arv_camera_set_string(c, "TriggerSource", "Line0", &error);
    ASSERT_EQ(error, nullptr);
    EXPECT_STREQ(arv_camera_get_string(c, "TriggerSource", nullptr), "Line0");
    arv_camera_set_float(c, "AcquisitionFrameRate", 10.0, &error);
    ASSERT_EQ(error, nullptr);
    EXPECT_EQ(arv_camera_get_integer(c, "TamraFrameDelay", nullptr), 100);
    EXPECT_NEAR(arv_camera_get_float(c, "AcquisitionFrameRate", nullptr), 10.0, 1e-3);
    arv_camera_set_integer(c, "TamraCameraCount", 2, &error);
    ASSERT_EQ(error, nullptr);
    EXPECT_EQ(arv_camera_get_integer(c, "TamraCameraCount", nullptr), 2);
    EXPECT_EQ(arv_camera_get_integer(c, "TamraOverrunCount", nullptr), 0);
    arv_camera_set_string(c, "TamraImageSet", "Fail", &error);
    ASSERT_EQ(error, nullptr);
    EXPECT_STREQ(arv_camera_get_string(c, "TamraImageSet", nullptr), "Fail");

    // A folder that cannot be played is refused and the old one stays.
    arv_camera_set_string(c, "TamraImageFolder", "/no/such/folder", &error);
    EXPECT_NE(error, nullptr);
    g_clear_error(&error);
    EXPECT_STREQ(arv_camera_get_string(c, "TamraImageFolder", nullptr), tree->str().c_str());
    // A value the device refuses comes back as an error, not as a silent change.
    arv_camera_set_integer(c, "Width", 9000, &error);
    EXPECT_NE(error, nullptr);
    g_clear_error(&error);
    EXPECT_EQ(arv_camera_get_integer(c, "Width", nullptr), 320);
}

TEST_F(AravisClient, FreeRunFramesAreCompleteAndIdentical) {
    startServer();
    CameraPtr camera = openCamera("127.0.0.1");
    ASSERT_TRUE(camera);
    guint failures = 0;
    const auto frames = acquire(camera.get(), 200, false, &failures);
    EXPECT_EQ(failures, 0u);
    ASSERT_EQ(frames.size(), 200u);
    expectIdentical(frames, IFW_IMAGE_COLOR_MONO8);
}

TEST_F(AravisClient, SoftwareTriggeredColourFramesAreCompleteAndIdentical) {
    options.camera.pixelFormat = tamra::gev::pixel::BGR8;
    options.camera.width = 320;
    options.camera.height = 240;
    startServer();
    CameraPtr camera = openCamera("127.0.0.1");
    ASSERT_TRUE(camera);
    GError* error = nullptr;
    arv_camera_set_string(camera.get(), "TriggerMode", "On", &error);
    arv_camera_set_string(camera.get(), "TriggerSource", "Software", &error);
    ASSERT_EQ(error, nullptr);
    guint failures = 0;
    const auto frames = acquire(camera.get(), 50, true, &failures);
    EXPECT_EQ(failures, 0u);
    ASSERT_EQ(frames.size(), 50u);
    for (std::size_t i = 0; i < frames.size(); ++i) EXPECT_EQ(frames[i].frameId, i + 1);
    expectIdentical(frames, IFW_IMAGE_COLOR_COLOR24);
}

TEST_F(AravisClient, ImageSetPlaysOnlyThatPartOfTheTree) {
    startServer();
    CameraPtr camera = openCamera("127.0.0.1");
    ASSERT_TRUE(camera);
    GError* error = nullptr;
    arv_camera_set_string(camera.get(), "TamraImageSet", "Pass", &error);
    arv_camera_set_string(camera.get(), "TriggerMode", "On", &error);
    ASSERT_EQ(error, nullptr);
    guint failures = 0;
    const auto frames = acquire(camera.get(), 4, true, &failures);
    ASSERT_EQ(frames.size(), 4u);
    const std::string pass = (fs::path(tree->str()) / "pass").string();
    const auto reference = referenceFrames(pass, IFW_IMAGE_COLOR_MONO8, 640, 480, 2);
    for (const Received& f : frames) {
        EXPECT_TRUE(f.data == reference[(f.frameId - 1) % 2]) << "frame " << f.frameId;
    }
}

TEST_F(AravisClient, SecondClientIsRefusedControl) {
    startServer();
    CameraPtr first = openCamera("127.0.0.1");
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
    first.reset();  // the first client leaves and releases control
    EXPECT_TRUE(arv_gv_device_take_control(secondDevice, nullptr));
}

TEST_F(AravisClient, DroppedPacketsAreRecoveredThroughResends) {
    options.dropFraction = 0.01;
    options.dropSeed = 77;
    startServer();
    CameraPtr camera = openCamera("127.0.0.1");
    ASSERT_TRUE(camera);
    GError* error = nullptr;
    arv_camera_set_string(camera.get(), "TriggerMode", "On", &error);
    ASSERT_EQ(error, nullptr);
    guint failures = 0;
    const auto frames = acquire(camera.get(), 60, true, &failures);
    EXPECT_EQ(failures, 0u);
    ASSERT_EQ(frames.size(), 60u);
    expectIdentical(frames, IFW_IMAGE_COLOR_MONO8);
    EXPECT_GT(server.streamCounters().packetsDropped, 0u);
    EXPECT_GT(lastResent_, 0u);
}

}  // namespace
