// Frames as the client receives them: order, slots, counts, triggers, pacing, cameras, crop.
#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <future>
#include <tuple>
#include <utility>

#include "grab_support.h"

namespace grab_test {
namespace {

using EmulatorDelivery = EmulatorTest;

bool isUniform(const Delivery& frame, std::uint8_t level) {
    return std::all_of(frame.pixels.begin(), frame.pixels.end(),
                       [level](std::uint8_t value) { return value == level; });
}

// Callbacks run on one library thread, which ends with the exit callback at Stop.
TEST_F(EmulatorDelivery, FramesCycleThroughAllButTheSpareSlotInOrderOnOneLibraryThread) {
    constexpr int kFiles = 3;
    playNumbered(kFiles, 5);
    startTriggered();
    constexpr std::size_t kFrames = 10;
    for (std::size_t k = 0; k < kFrames; ++k) ASSERT_TRUE(triggerAndWait(k + 1)) << "frame " << k;
    EXPECT_NE(grab_->GetAcqThreadID(), 0u);
    EXPECT_EQ(log_.exitCount(), 0u);
    ASSERT_EQ(grab_->Stop(), 1);
    const std::vector<Delivery> frames = log_.frames();
    ASSERT_EQ(frames.size(), kFrames);
    EXPECT_NE(frames[0].thread, std::this_thread::get_id());
    EXPECT_EQ(std::make_pair(log_.exitCount(), log_.exitThread()),
              std::make_pair(std::size_t{1}, frames[0].thread));
    for (std::size_t k = 0; k < kFrames; ++k) {
        SCOPED_TRACE("frame " + std::to_string(k));
        EXPECT_EQ(
            std::make_tuple(frames[k].buffer, frames[k].count, frames[k].tag, frames[k].thread),
            std::make_tuple(slot(static_cast<std::uint32_t>(k % 4)),
                            static_cast<unsigned>(k / 4 + 1), std::int64_t{0}, frames[0].thread));
        EXPECT_TRUE(isUniform(frames[k], levelOf(static_cast<int>(k % kFiles))));
    }
}

// The second file is a pipe, so the producer stays inside the composition of that frame until
// the test writes to it: of two triggers given meanwhile, the second meets a pending one.
TEST_F(EmulatorDelivery, TwoTriggersDuringOneCompositionGiveOneMoreFrame) {
    writeNumberedFiles(folder_.path(), 3, kWidth, kHeight);
    const std::filesystem::path pipe = folder_.path() / "frame_01.bmp";
    std::filesystem::remove(pipe);
    const std::string makePipe = "mkfifo '" + pipe.string() + "' 2>/dev/null";
    if (std::system(makePipe.c_str()) != 0) GTEST_SKIP() << "no named pipes here";
    playFolder();
    startTriggered();
    ASSERT_TRUE(triggerAndWait(1));

    grab_->GenerateSoftTrigger(0);  // the producer takes it and blocks on the pipe
    std::promise<void> opened;
    std::promise<void> release;
    auto writer = std::async(std::launch::async, [&pipe, &opened, done = release.get_future()] {
        std::ofstream out(pipe);  // returns once the producer has opened the reading end
        opened.set_value();
        done.wait();
        out << "BM";
    });
    if (opened.get_future().wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
        std::ifstream unblock(pipe);
        release.set_value();
        FAIL() << "the producer never opened the pipe";
    }
    grab_->GenerateSoftTrigger(0);
    grab_->GenerateSoftTrigger(0);
    release.set_value();
    writer.get();

    // Every trigger ends delivered or merged; then no frame is still to come.
    TamraCounters c{};
    ASSERT_TRUE(grab_test::eventually([&] {
        return TamraGetCounters(grab_.get(), &c) == 1 && c.triggersGiven == 4 &&
               c.framesDelivered + c.triggersMerged == 4;
    }));
    EXPECT_EQ(c.triggersMerged, 1u);
    ASSERT_TRUE(log_.waitForFrames(3));
    EXPECT_EQ(log_.frameCount(), 3u);
    EXPECT_TRUE(isUniform(log_.frames()[2], levelOf(2)));
    ASSERT_TRUE(triggerAndWait(4));  // a trigger after that frame gives another
    EXPECT_TRUE(isUniform(log_.frames()[3], levelOf(0)));
}

TEST_F(EmulatorDelivery, FreeRunPausesTheFrameDelayAfterEachFrame) {
    playNumbered(2);
    for (auto method : {IXGrab::TRIG_NONE, IXGrab::TRIG_FREE_RUN}) {
        SCOPED_TRACE("trigger method " + std::to_string(method));
        if (method != IXGrab::TRIG_NONE) grab_->SetTriggerMethod(method);
        ASSERT_EQ(grab_->SetFrameDelay(100), 1);
        FrameLog& log = method == IXGrab::TRIG_NONE ? log_ : otherLog_;
        log.attach(*grab_);
        const Clock::time_point start = Clock::now();
        ASSERT_EQ(grab_->Start(), 1);
        ASSERT_TRUE(log.waitForFrames(5));
        ASSERT_EQ(grab_->Stop(), 1);
        const std::vector<Delivery> frames = log.frames();
        // Each frame follows a full pause: the first one too, and the mean never undercuts it.
        EXPECT_GE(frames[0].time - start, milliseconds(95));
        const auto span = frames.back().time - frames.front().time;
        EXPECT_GE(span / (frames.size() - 1), milliseconds(90));
    }
}

TEST_F(EmulatorDelivery, StopEndsAWaitForATriggerOrAPauseAtOnce) {
    playNumbered(1);
    log_.attach(*grab_);
    for (auto method : {IXGrab::TRIG_SOFTWARE, IXGrab::TRIG_FREE_RUN}) {
        grab_->SetTriggerMethod(method);
        ASSERT_EQ(grab_->SetFrameDelay(60000), 1);
        ASSERT_EQ(grab_->Start(), 1);
        const Clock::time_point before = Clock::now();
        EXPECT_EQ(grab_->Stop(), 1);
        EXPECT_LT(Clock::now() - before, std::chrono::seconds(3));
        EXPECT_EQ(grab_->IsGrabRunning(), 0);
    }
    EXPECT_EQ(log_.frameCount(), 0u);
    EXPECT_EQ(log_.exitCount(), 2u);
}

TEST_F(EmulatorDelivery, RestartBeginsAtSlotZeroWhileFillCountersGoOn) {
    playNumbered(1, 5);
    startTriggered();
    ASSERT_TRUE(triggerAndWait(1));
    ASSERT_TRUE(triggerAndWait(2));
    ASSERT_EQ(grab_->Stop(), 1);
    ASSERT_EQ(grab_->Start(), 1);
    ASSERT_TRUE(triggerAndWait(3));
    EXPECT_EQ(std::make_pair(log_.frames()[2].buffer, log_.frames()[2].count),
              std::make_pair(slot(0), 2u));
    // A new Create starts the counters again.
    ASSERT_EQ(grab_->Create(0, 0, kWidth, kHeight, kKeep, 5, kKeep), 1);
    ASSERT_EQ(grab_->Start(), 1);
    ASSERT_TRUE(triggerAndWait(4));
    EXPECT_EQ(log_.frames()[3].count, 1u);
}

TEST_F(EmulatorDelivery, AsynchronousModeCallsTheExtendedCallbackOncePerCamera) {
    writeNumberedFiles(folder_.path(), 1, kWidth, kHeight);
    grab_->SetNumCameras(3);
    playFolder();
    grab_->SetASyncMode(1);
    grab_->SetTriggerMethod(IXGrab::TRIG_SOFTWARE);
    grab_->RegisterBufferCallback(FrameLog::onFrame, &log_);
    grab_->RegisterBufferCallbackEx(FrameLog::onFrameEx, &otherLog_);
    ASSERT_EQ(grab_->Start(), 1);
    grab_->GenerateSoftTrigger(0);
    ASSERT_TRUE(otherLog_.waitForFrames(3));
    grab_->GenerateSoftTrigger(0);
    ASSERT_TRUE(otherLog_.waitForFrames(6));
    ASSERT_EQ(grab_->Stop(), 1);

    const std::vector<Delivery> calls = otherLog_.frames();
    ASSERT_EQ(calls.size(), 6u);
    for (std::size_t i = 0; i < calls.size(); ++i)
        EXPECT_EQ(std::make_tuple(calls[i].camera, calls[i].buffer, calls[i].count),
                  std::make_tuple(i % 3, calls[i / 3 * 3].buffer, 1u));
    EXPECT_NE(calls[0].buffer, calls[3].buffer);
    EXPECT_EQ(log_.frameCount(), 0u);
}

TEST_F(EmulatorDelivery, OffsetWindowIsCroppedOutOfEveryCamerasImage) {
    const auto pattern = [](int camera) {
        return [camera](std::uint32_t x, std::uint32_t y) {
            return static_cast<std::uint8_t>(x + 3 * y + 100 * camera);
        };
    };
    writeGreyFile(folder_.path() / "a.bmp", kWidth, kHeight, pattern(0));
    writeGreyFile(folder_.path() / "Cam1" / "a.bmp", kWidth, kHeight, pattern(1));
    grab_->SetNumCameras(2);
    playFolder();
    constexpr std::uint32_t kOffsetX = 8, kOffsetY = 4;
    ASSERT_EQ(grab_->Create(kOffsetX, kOffsetY, kWidth, kHeight, kKeep, kKeep, kKeep), 1);
    log_.setCopyBytes(2 * kWidth * kHeight);
    startTriggered();
    ASSERT_TRUE(triggerAndWait(1));

    std::vector<std::uint8_t> pixels = log_.frames()[0].pixels;
    constexpr std::uint32_t kAoiWidth = kWidth - kOffsetX, kAoiHeight = kHeight - kOffsetY;
    std::vector<std::uint8_t> expected;
    for (int camera = 0; camera < 2; ++camera)
        for (std::uint32_t y = 0; y < kAoiHeight; ++y)
            for (std::uint32_t x = 0; x < kAoiWidth; ++x)
                expected.push_back(pattern(camera)(x + kOffsetX, y + kOffsetY));
    pixels.resize(expected.size());
    EXPECT_EQ(pixels, expected);
}

TEST_F(EmulatorDelivery, ChangingTheTriggerMethodRestartsARunningGrab) {
    playNumbered(1);
    log_.attach(*grab_);
    ASSERT_EQ(grab_->Start(), 1);
    ASSERT_TRUE(log_.waitForFrames(2));  // free run
    grab_->SetTriggerMethod(IXGrab::TRIG_SOFTWARE);
    EXPECT_EQ(grab_->IsGrabRunning(), 1);
    const std::size_t before = log_.frameCount();
    std::this_thread::sleep_for(milliseconds(200));  // time for free-run frames that must not come
    EXPECT_EQ(log_.frameCount(), before);
    ASSERT_TRUE(triggerAndWait(before + 1));
    EXPECT_EQ(log_.exitCount(), 1u);  // the first run's delivery thread ended
}

}  // namespace
}  // namespace grab_test
