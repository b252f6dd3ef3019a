// Frame records as a callback reads them: the frame's number, slot and source file (the file in
// the delivered frame, not the producer's latest). Records of stand-in frames are in
// faults_SourceTest.cpp.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <string>
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

struct Seen {
    TamraFrameRecord record{};
    std::string latestFile;  // GetImageFileName during the callback
};

// Reads, inside every buffer callback, the record of the frame received, and from the given
// frame on GetImageFileName (a test asks for it only once the producer is idle: the producer
// writes that name while it composes).
class RecordReader {
public:
    void attach(IXGrab& grab, grab_test::FrameLog& log, std::size_t nameFrom = SIZE_MAX) {
        log.setAction([this, &grab, nameFrom](const Delivery& delivery) {
            Seen seen;
            EXPECT_EQ(TamraGetFrameRecord(&grab, delivery.buffer, &seen.record), 1);
            std::lock_guard<std::mutex> guard(lock_);
            if (seen_.size() >= nameFrom) seen.latestFile = grab.GetImageFileName(0, 0, 0);
            seen_.push_back(seen);
        });
    }
    std::vector<Seen> seen() const {
        std::lock_guard<std::mutex> guard(lock_);
        return seen_;
    }

private:
    mutable std::mutex lock_;
    std::vector<Seen> seen_;
};

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
    RecordReader reader;
    reader.attach(*grab_, log_, 1);  // frames 2 to 4 come after the producer's last frame
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

    const std::vector<Seen> seen = reader.seen();
    const std::vector<Delivery> frames = log_.frames();
    ASSERT_EQ(seen.size(), 4u);
    for (std::uint32_t k = 0; k < 4; ++k) {
        SCOPED_TRACE("frame " + std::to_string(k + 1));
        const TamraFrameRecord& record = seen[k].record;
        EXPECT_EQ(record.number, k + 1);
        EXPECT_EQ(record.slot, k);
        ASSERT_EQ(record.planeCount, 1u);
        EXPECT_EQ(fileName(record.planes[0].sourceFile), "frame_0" + std::to_string(k) + ".bmp");
        EXPECT_EQ(frames[k].pixels[0], levelOf(static_cast<int>(k)));
        EXPECT_EQ(record.planes[0].substituted, 0);
        EXPECT_STREQ(record.planes[0].reason, "");
        EXPECT_GT(record.composeMicroseconds, 0.0);
    }
    for (std::uint32_t k = 1; k < 4; ++k)
        EXPECT_EQ(fileName(seen[k].latestFile.c_str()), "frame_03.bmp");
    EXPECT_EQ(dropped.number, 5u);
    EXPECT_EQ(dropped.slot, 4u);
    EXPECT_EQ(dropped.planeCount, 0u);
    // A pointer that starts no slot has no record.
    EXPECT_EQ(TamraGetFrameRecord(grab_.get(), slot(0) + 1, &dropped), 0);
}

}  // namespace
