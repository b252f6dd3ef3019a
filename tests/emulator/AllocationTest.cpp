// Composing frames allocates nothing once the emulator has seen each file of its lists: the
// file bitmap, the stretch's column map and the frame slot keep their memory; and an allocation
// that fails inside a lifecycle operation never lets an exception out of it. This executable
// replaces the global allocation functions to count the calls made on the test's own thread
// (the grab's own threads may allocate as they please) and to make one of them fail.
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include <tamra/CIGrabEmu.h>

#include "support/ImageFiles.h"

namespace {

thread_local std::size_t allocationsOnThisThread = 0;
// When not 0: the allocation on this thread whose count reaches it fails.
thread_local std::size_t failingAllocation = 0;

void* countedAllocation(std::size_t size) {
    if (++allocationsOnThisThread == failingAllocation) return nullptr;
    return std::malloc(size == 0 ? 1 : size);
}

}  // namespace

// Every allocation form ends in countedAllocation and every release in free; the replaced set
// is complete because other targets' runtimes call the less common forms.
#define TAMRA_THROWING_NEW(...)                                                        \
    void* operator new __VA_ARGS__(std::size_t size) {                                 \
        if (void* block = countedAllocation(size)) return block;                       \
        throw std::bad_alloc();                                                        \
    }                                                                                  \
    void* operator new __VA_ARGS__(std::size_t size, const std::nothrow_t&) noexcept { \
        return countedAllocation(size);                                                \
    }
TAMRA_THROWING_NEW()
TAMRA_THROWING_NEW([])
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"  // malloc'd blocks, freed with free
#endif
#define TAMRA_DELETE(...)                       \
    void operator delete __VA_ARGS__ noexcept { \
        std::free(block);                       \
    }
TAMRA_DELETE((void* block))
TAMRA_DELETE([](void* block))
TAMRA_DELETE((void* block, std::size_t))
TAMRA_DELETE([](void* block, std::size_t))
TAMRA_DELETE((void* block, const std::nothrow_t&))
TAMRA_DELETE([](void* block, const std::nothrow_t&))

namespace {

using images_test::TempDir;
namespace samples = tamra::samples;

std::size_t allocationsWhileComposing(CIGrabEmu& grab, int frames) {
    const std::size_t before = allocationsOnThisThread;
    for (int i = 0; i < frames; ++i) EXPECT_NE(grab.GrabSimplified(0), nullptr);
    return allocationsOnThisThread - before;
}

// Camera 0 also holds a larger 24-bit file (scaled down) and a file that is no bitmap (the
// substitute pattern), so every path of composition runs.
TEST(ComposeAllocations, SteadyStateFramesAllocateNothingInAnyLayout) {
    const std::size_t before = allocationsOnThisThread;
    EXPECT_EQ(std::vector<int>(100).size(), 100u);
    ASSERT_GT(allocationsOnThisThread, before);  // the counter sees this thread's allocations
    TempDir root("allocations");
    samples::writeSampleTree(root.str(), samples::TreeOptions{});
    samples::writeBmp(root.file("part_05.bmp"),
                      samples::renderScene(samples::Scene::Pass, 0, 9, 1024, 768),
                      {24, true, false});
    images_test::writeBytes(root.file("part_06.bmp"), {'n', 'o', 't', ' ', 'b', 'm', 'p'});
    CIGrabEmu grab;
    ASSERT_EQ(grab.Initialize(), 1);
    grab.SetNumCameras(2);
    std::string path = root.str();
    ASSERT_EQ(grab.EmulateFromNewImagePath(path.data(), 640, 480), 1);
    // Camera 0 plays 11 files; two full rounds let every file size be seen once.
    for (auto colour : {IFW_IMAGE_COLOR_MONO8, IFW_IMAGE_COLOR_COLOR32, IFW_IMAGE_COLOR_COLOR24}) {
        grab.SetImageColor(colour);
        allocationsWhileComposing(grab, 22);
        EXPECT_EQ(allocationsWhileComposing(grab, 33), 0u) << "colour layout " << colour;
    }
}

// Each allocation on the client's thread in turn fails, until a run needs fewer: the operations
// answer 0 with a message, or 1, and nothing is thrown at the client.
TEST(AllocationFailures, NoLifecycleOperationLetsAnExceptionOut) {
    TempDir root("failures");
    samples::writeBmp(root.file("part_00.bmp"),
                      samples::renderScene(samples::Scene::Pass, 0, 0, 64, 48), {8, true, false});
    std::string path = root.str();
    bool everyAllocationFailedOnce = false;
    std::size_t n = 1;
    for (; n < 100000 && !everyAllocationFailedOnce; ++n) {
        SCOPED_TRACE("allocation " + std::to_string(n));
        CIGrabEmu grab;
        std::array<int, 4> results{};  // no allocation of its own
        failingAllocation = allocationsOnThisThread + n;
        try {
            results = {grab.Initialize(), grab.EmulateFromNewImagePath(path.data(), 64, 48),
                       grab.SetImageColor(IFW_IMAGE_COLOR_COLOR24), grab.Start()};
        } catch (...) {
            ADD_FAILURE() << "an exception reached the client";
        }
        everyAllocationFailedOnce = allocationsOnThisThread < failingAllocation;
        failingAllocation = 0;
        for (int result : results) EXPECT_TRUE(result == 0 || result == 1);
        EXPECT_EQ(grab.Terminate(), 1);
    }
    EXPECT_TRUE(everyAllocationFailedOnce);
    EXPECT_GT(n, 50u);  // scanning, creating, re-laying and starting allocate: many runs failed
}

}  // namespace
