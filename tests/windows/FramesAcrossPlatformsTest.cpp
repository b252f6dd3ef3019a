// The Windows build composes the same frames as the Linux build from the same generated tree:
// the raster layer is the project's own, so scaling and colour conversion agree to the byte.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "FrameRecord.h"
#include "Win32Support.h"

namespace {

TEST(FramesAcrossPlatforms, MatchTheLinuxBuildByteForByte) {
    const char* reference = std::getenv("TAMRA_REFERENCE_FRAMES");
    if (reference == nullptr || *reference == '\0') {
        GTEST_SKIP() << "no reference: TAMRA_REFERENCE_FRAMES names the file that tamra-frames "
                        "of the Linux build writes (scripts/test-windows does this)";
    }
    const auto expected = tamra_frames::loadRecordings(reference);
    win32_test::ScratchFolder scratch("frames");
    const auto actual = tamra_frames::recordSampleTree(scratch.file("tree"));
    ASSERT_EQ(actual.size(), 4u);
    for (const auto& recording : actual) EXPECT_EQ(recording.frames.size(), 11u);
    EXPECT_EQ(tamra_frames::firstDifference(expected, actual), "");
}

}  // namespace
