// Frame records as a callback reads them: the frame's number, slot and source file (the file in
// the delivered frame, not the producer's latest). Records of stand-in frames are in
// faults_SourceTest.cpp.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>
#include <vector>

#include <tamra/Observe.h>
#include <tamra/Tamra.h>

#include "grab_support.h"

namespace {

using grab_test::Delivery;
using grab_test::EmulatorTest;
using grab_test::levelOf;
using grab_test::writeNumberedFiles;

using EmulatorRecords = EmulatorTest;

std::string fileName(const char* path) {
    return std::filesystem::path(path).filename().string();
}

// Ring of four slots; the client holds frame 1 while frames 2 to 4 are composed and trigger 5
// is dropped. The later callbacks then see GetImageFileName name frame 4's file while each
// record names its own frame's file.
TEST_F(EmulatorRecords, EachRecordNamesTheFileInItsOwnFrame) {
    writeNumberedFiles(folder_.path(), 5, kWidth, kHeight);
    playFolder(kWidth, kHeight, 5);
    grab_->SetTriggerMethod(IXGrab::TRIG_SOFTWARE);
    // Frames 2 to 4 come after the producer's last frame, so it is idle while they read the name
    // of the file it served last (it writes that name while it composes).
    std::vector<std::string> latestFiles;  // read after Stop, which joins the delivery thread
    log_.setAction([&](const Delivery&) {
        if (log_.frameCount() > 1)
            latestFiles.push_back(fileName(grab_->GetImageFileName(0, 0, 0)));
    });
    log_.attach(*grab_);
    log_.holdGate();
    ASSERT_EQ(grab_->Start(), 1);
    // One trigger at a time, each after the previous frame was composed, so that none merges.
    for (std::uint64_t k = 1; k <= 4; ++k) {
        grab_->GenerateSoftTrigger(0);
        ASSERT_TRUE(grab_test::waitForComposed(*grab_, k));
    }
    grab_->GenerateSoftTrigger(0);
    ASSERT_TRUE(log_.waitForTrash(1));
    log_.openGate();
    ASSERT_TRUE(log_.waitForFrames(4));
    TamraFrameRecord dropped{};
    ASSERT_EQ(TamraGetFrameRecord(grab_.get(), slot(4), &dropped), 1);
    ASSERT_EQ(grab_->Stop(), 1);

    const std::vector<Delivery> frames = log_.frames();
    ASSERT_EQ(frames.size(), 4u);
    for (std::uint32_t k = 0; k < 4; ++k) {
        SCOPED_TRACE("frame " + std::to_string(k + 1));
        const TamraFrameRecord& record = frames[k].record;
        ASSERT_EQ(record.planeCount, 1u);
        EXPECT_EQ(
            std::make_tuple(record.number, record.slot, fileName(record.planes[0].sourceFile),
                            record.planes[0].substituted, std::string(record.planes[0].reason)),
            std::make_tuple(std::uint64_t{k + 1}, k, "frame_0" + std::to_string(k) + ".bmp", 0,
                            std::string()));
        EXPECT_EQ(frames[k].pixels[0], levelOf(static_cast<int>(k)));
        EXPECT_GT(record.composeMicroseconds, 0.0);
    }
    EXPECT_EQ(latestFiles, std::vector<std::string>(3, "frame_03.bmp"));
    EXPECT_EQ(std::make_tuple(dropped.number, dropped.slot, dropped.planeCount),
              std::make_tuple(std::uint64_t{5}, 4u, 0u));
    // A pointer that starts no slot has no record.
    EXPECT_EQ(TamraGetFrameRecord(grab_.get(), slot(0) + 1, &dropped), 0);
}

}  // namespace
