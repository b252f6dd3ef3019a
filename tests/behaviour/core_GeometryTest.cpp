// Grab-core geometry: Create's resolution, clamping and checks, the ring-buffer sizes for the
// back-end families and colour layouts, the byte counts, the camera attributes and frame rate.
#include <tuple>
#include <utility>

#include "grab_support.h"

namespace grab_test {
namespace {

constexpr std::uint32_t kVga = 640 * 480;

// Offsets, width, height, bits, bytes, buffer count, time-out.
std::vector<std::uint32_t> geometryOf(CoreGrab& g) {
    return {g.GetOffsetX(), g.GetOffsetY(), g.GetWidth(),       g.GetHeight(),
            g.GetBitPP(),   g.GetBytesPP(), g.GetBufferCount(), g.GetTimeOut()};
}

TEST(CoreCreate, KeepTakesTheStoredValuesAndDefaultTheDefaults) {
    auto grab = initialisedCore();
    ASSERT_EQ(grab->Create(kKeep, kKeep, kKeep, kKeep, kKeep, kKeep, kKeep), 1);
    const std::vector<std::uint32_t> defaults{0, 0, 640, 480, 8, 1, 5, 5000};
    EXPECT_EQ(geometryOf(*grab), defaults);
    ASSERT_EQ(grab->Create(4, 8, 320, 200, 16, 2, 10), 1);
    ASSERT_EQ(grab->Create(kKeep, kKeep, kKeep, kKeep, kKeep, kKeep, kKeep), 1);
    EXPECT_EQ(geometryOf(*grab), (std::vector<std::uint32_t>{4, 8, 320, 200, 16, 2, 2, 10}));
    ASSERT_EQ(grab->Create(kDefault, kDefault, kDefault, kDefault, kDefault, kDefault, kDefault),
              1);
    EXPECT_EQ(geometryOf(*grab), defaults);
}

TEST(CoreCreate, WidthHeightAndBitsAreClampedBeforeTheCropCheck) {
    auto grab = initialisedCore();
    ASSERT_EQ(grab->Create(8, 0, 16, 480, 8, 5, 0), 1);
    EXPECT_EQ(grab->GetWidth(), 32u);
    EXPECT_EQ(grab->GetTimeOut(), 0u);
    EXPECT_EQ(grab->Create(24, 0, 32, 480, 8, 5, 0), 1);
    EXPECT_EQ(grab->Create(25, 0, 32, 480, 8, 5, 0), 0);
    EXPECT_STREQ(grab->GetLastErrorMsg(), "CIGrab::Create: Crop boundaries exceed max image size");
    EXPECT_EQ(grab->Create(0, 25, 640, 32, 8, 5, 0), 0);
    ASSERT_EQ(grab->Create(0, 0, 640, 16, 4, 5, 0), 1);
    EXPECT_EQ(grab->GetHeight(), 32u);
    EXPECT_EQ(grab->GetBitPP(), 8u);
    ASSERT_EQ(grab->Create(0, 0, 640, 480, 40, 5, 0), 1);
    EXPECT_EQ(grab->GetBitPP(), 32u);
    EXPECT_EQ(grab->GetBytesPP(), 4u);
    ASSERT_EQ(grab->Create(0, 0, 640, 480, 8, 0, 0), 1);
    EXPECT_EQ(grab->GetBufferCount(), 1u) << "at least one buffer";
}

TEST(CoreCreate, BufferCountFollowsTheWidth) {
    auto grab = initialisedCore();
    const struct {
        std::uint32_t width, asked, expected;
    } cases[] = {{640, 5, 5},  {648, 5, 5},  {649, 5, 3},  {2047, 5, 3}, {2048, 5, 5},
                 {4000, 5, 5}, {4001, 5, 3}, {1024, 2, 2}, {1024, 3, 3}, {800, 1, 1}};
    for (const auto& c : cases) {
        ASSERT_EQ(grab->Create(0, 0, c.width, 32, 8, c.asked, 0), 1) << c.width;
        EXPECT_EQ(grab->GetBufferCount(), c.expected) << "width " << c.width;
    }
}

// Ring sizes by family (work-size table) and layout. S = P × N × s × T; R = max(X, S) × count.
struct RingCase {
    const char* name;
    IFW_IGRABTYPE type;
    std::uint32_t horizontalTiles, width, bits, count;
    int cameras;  // 0: the core's count
    std::uint32_t expectedRing, expectedStride;
};

const RingCase kRingCases[] = {
    // One tile, 8 bits: small frames are composed with room for three planes.
    {"Core", IFW_IGRAB_CORE, 1, 640, 8, 5, 0, 3 * kVga * 5, kVga},
    {"Trell", IFW_IGRAB_TRELL, 1, 640, 8, 5, 0, 16 * kVga * 5, kVga},
    {"Brixo", IFW_IGRAB_BRIXO, 1, 640, 8, 5, 0, 3 * kVga * 5, kVga},
    {"CoreFourCameras", IFW_IGRAB_CORE, 1, 640, 8, 2, 4, 4 * kVga * 2, 4 * kVga},
    // 16 bits: two bytes per sample, no plane room.
    {"Core16Bit", IFW_IGRAB_CORE, 1, 640, 16, 5, 0, 2 * kVga * 5, 2 * kVga},
    // Two tiles side by side: the width asked for is divided among them.
    {"CoreTiles", IFW_IGRAB_CORE, 2, 1280, 8, 5, 0, 2 * kVga * 5, 2 * kVga},
    {"EmulatorTiles", IFW_IGRAB_EMULATOR, 2, 1280, 8, 5, 0, 6 * kVga * 5, 2 * kVga},
    {"TrellTiles", IFW_IGRAB_TRELL, 2, 1280, 8, 5, 0, 4 * kVga * 5, 2 * kVga},
};

TEST(CoreCreate, RingSizeFollowsTheFamilyTheTilesAndTheDepth) {
    for (const RingCase& c : kRingCases) {
        SCOPED_TRACE(c.name);
        auto grab = initialisedCore(c.type);
        grab->cameras = c.cameras;
        grab->setTiles(c.horizontalTiles);
        ASSERT_EQ(grab->Create(0, 0, c.width, 480, c.bits, c.count, 0), 1);
        EXPECT_EQ(grab->GetRingBufferSize(), c.expectedRing);
        EXPECT_EQ(grab->slot(c.count - 1) - grab->slot(0),
                  static_cast<std::ptrdiff_t>(c.expectedStride) * (c.count - 1));
    }
}

TEST(CoreCreate, LargeEightBitFramesGetNoPlaneRoom) {
    auto grab = initialisedCore();
    for (auto [height, planes] : {std::pair{1536u, 1u}, {1535u, 3u}}) {  // 0x300000 pixels on
        ASSERT_EQ(grab->Create(0, 0, 2048, height, 8, 2, 0), 1);
        EXPECT_EQ(grab->GetRingBufferSize(), 2048 * height * planes * 2);
    }
}

TEST(CoreCreate, TransposingRotationSwapsTheStoredSides) {
    for (auto [degrees, transposed] : {std::pair{45u, false},
                                       {46u, true},
                                       {90u, true},
                                       {134u, true},
                                       {135u, false},
                                       {180u, false},
                                       {270u, true},
                                       {450u, true}}) {
        auto grab = initialisedCore();
        grab->setRotation(degrees);
        ASSERT_EQ(grab->Create(0, 0, 640, 480, 8, 5, 0), 1);
        EXPECT_EQ((std::vector<std::uint32_t>{grab->GetAoiWidth(), grab->GetAoiHeight(),
                                              grab->GetWidth(), grab->GetHeight()}),
                  (std::vector<std::uint32_t>{transposed ? 480u : 640u, transposed ? 640u : 480u,
                                              640u, 480u}))
            << degrees;
    }
    auto grab = initialisedCore();
    grab->setRotation(90);
    ASSERT_EQ(grab->Create(0, 0, 642, 300, 8, 5, 0), 1);
    EXPECT_EQ(grab->GetWidth(), 640u) << "a transposed width is rounded down to 8 pixels";
    EXPECT_EQ(grab->GetHeight(), 300u);
}

TEST(CoreCreate, GeometriesBeyondThirtyTwoBitsAreRefused) {
    auto grab = initialisedCore();
    ASSERT_EQ(grab->Create(0, 0, 640, 480, 8, 5, 0), 1);
    // 70,000 x 70,000 pixels; a frame that fits in a ring that does not; a camera count that
    // is negative as a signed value, so huge as an unsigned one.
    for (auto [width, bits, cameras] :
         {std::tuple{70000u, 8u, 0}, {20000u, 32u, 0}, {640u, 8u, -1}}) {
        grab->cameras = cameras;
        EXPECT_EQ(grab->Create(0, 0, width, width == 640 ? 480 : width, bits, 5, 0), 0);
        EXPECT_STREQ(grab->GetLastErrorMsg(), "CIGrab Init: Image ring buffer allocation failed");
        EXPECT_EQ(std::make_tuple(grab->IsGrabCreated(), grab->GetFramePtr(0),
                                  grab->GetRingBufferSize(), grab->GetAoiWidth()),
                  std::make_tuple(0, nullptr, 0u, 640u))
            << "the geometry keeps its previous values";
    }
}

// A back end whose memory hook hands out a block of its own.
class HookedGrab : public CoreGrab {
public:
    void* AllocateNonPagedMem(std::uint32_t size) override {
        askedSize = size;
        block.assign(size, 0xEE);
        return block.data();
    }
    std::vector<unsigned char> block;
    std::uint32_t askedSize = 0;
};

TEST(CoreCreate, HookSuppliedRingIsUsedZeroedAndNeverFreed) {
    HookedGrab grab;
    grab.Initialize();
    ASSERT_EQ(grab.Create(0, 0, 64, 32, 8, 2, 0), 1);
    EXPECT_EQ(std::make_tuple(grab.askedSize, grab.ring(), grab.hookSupplied()),
              std::make_tuple(grab.GetRingBufferSize(), grab.block.data(), 1));
    EXPECT_EQ(std::vector<unsigned char>(grab.block.size(), 0), grab.block);
    grab.Destroy();  // would be a bad free under the sanitizers if the core freed the block
    EXPECT_EQ(std::make_pair(grab.hookSupplied(), grab.GetFramePtr(0)),
              std::make_pair(0, static_cast<unsigned char*>(nullptr)));
}

TEST(RootCreate, SizesWithoutTheFamilyTableAndWithoutTheHook) {
    RootGrab grab;
    grab.grabType = IFW_IGRAB_TRELL;
    grab.Initialize();
    ASSERT_EQ(grab.Create(8, 4, 640, 480, 8, 5, 0), 1);
    EXPECT_EQ(grab.ringBytes(), 3 * kVga * 5) << "P × T × N' × b for every family";
    EXPECT_EQ(grab.slot(1) - grab.slot(0), static_cast<std::ptrdiff_t>(kVga));
    ASSERT_EQ(grab.Create(0, 0, 1024, 480, 8, 5, 0), 1);
    EXPECT_EQ(grab.GetBufferCount(), 3u) << "the buffer count rule applies";
    EXPECT_EQ(grab.Create(30, 0, 32, 480, 8, 5, 0), 0);
    EXPECT_STREQ(grab.GetLastErrorMsg(), "IXGrab::Create: Crop boundaries exceed max image size");
    EXPECT_EQ(grab.Create(0, 0, 70000, 70000, 8, 5, 0), 0);
    EXPECT_STREQ(grab.GetLastErrorMsg(), "IXGrab Init: Image ring buffer allocation failed");
}

TEST(CoreFrameRate, SmoothsTheRateOverMicrosecondStampsAndIgnoresZeroStamps) {
    CIGrab grab;
    const double period = 1000000.0 / 30.0;
    grab.UpdateFrameRate(0.0);  // no stamp: the next one is the first
    grab.UpdateFrameRate(1000.0);
    EXPECT_EQ(grab.GetFrameRate(), 0.0) << "the first stamp is only stored";
    grab.UpdateFrameRate(1000.0 + period);
    EXPECT_NEAR(grab.GetFrameRate(), 30.0, 1e-9);
    grab.UpdateFrameRate(1000.0 + period);  // a repeat is ignored
    EXPECT_NEAR(grab.GetFrameRate(), 30.0, 1e-9);
    grab.UpdateFrameRate(1000.0 + period + period / 2);  // 60 frames per second
    EXPECT_NEAR(grab.GetFrameRate(), 0.75 * 30.0 + 0.25 * 60.0, 1e-9);
}

TEST(CoreCameras, PlanesArePresentedAsEightCamerasOfWhichOnlyTheFirstIsSelectable) {
    CoreGrab grab;
    EXPECT_EQ(grab.GetNumCameras(), 1);
    EXPECT_EQ(grab.SetClientActiveCamera(1), 0);
    EXPECT_EQ(grab.SetClientActiveCamera(-1), 1) << "works in every state";
    grab.Initialize();
    ASSERT_EQ(grab.SetImageColor(IFW_IMAGE_COLOR_PLANES), 1);
    EXPECT_EQ(grab.GetNumCameras(), 8);
    EXPECT_EQ(grab.SetClientActiveCamera(0), 1);
    EXPECT_EQ(grab.SetClientActiveCamera(1), 0);
    EXPECT_EQ(grab.SetClientActiveCamera(8), 0);
    EXPECT_STREQ(grab.GetLastErrorMsg(), "") << "refused silently";
}

TEST(CoreCameras, AttributesDescribeTheDeliveredImage) {
    CoreGrab grab;
    IFW_CAM_ATTR a{};
    grab.Initialize();
    EXPECT_EQ(grab.GetCamAttr(nullptr), 0);
    EXPECT_STREQ(grab.GetLastErrorMsg(), "CIGrab::GetCamAttr: Invalid argument");
    const auto attributes = [&] {
        EXPECT_EQ(grab.GetCamAttr(&a), 1);
        return std::make_tuple(a.Width, a.Height, a.Format, a.BytesPerPixel, a.BitsPerPixel);
    };
    EXPECT_EQ(attributes(), std::make_tuple(640u, 480u, 0u, 1u, 8u));
    const struct {
        IFW_IMAGE_COLOR_TYPE colour;
        std::uint32_t format, bytes;
    } layouts[] = {{IFW_IMAGE_COLOR_PLANES, 8, 1},
                   {IFW_IMAGE_COLOR_COLOR32, 4, 4},
                   {IFW_IMAGE_COLOR_COLOR24, 5, 3},
                   {IFW_IMAGE_COLOR_MONO8_ALT, 0, 1}};
    for (const auto& layout : layouts) {
        ASSERT_EQ(grab.SetImageColor(layout.colour), 1);
        EXPECT_EQ(attributes(),
                  std::make_tuple(640u, 480u, layout.format, layout.bytes, 8 * layout.bytes))
            << layout.colour;
    }
    grab.setRotation(90);
    ASSERT_EQ(grab.Create(0, 0, 642, 300, 8, 2, 0), 1);
    EXPECT_EQ(attributes(), std::make_tuple(640u, 300u, 0u, 1u, 8u)) << "what GetWidth reports";
}

}  // namespace
}  // namespace grab_test
