// Soak: create/start/trigger/stop cycles on the emulator with a randomly slow consumer, a new
// grab object every hundred cycles. TAMRA_SOAK_CYCLES sets the cycles (default 300, 100 on
// Windows), TAMRA_SOAK_SEED the seed (printed, so a failing run can be repeated).
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <random>
#include <thread>

#include <tamra/Observe.h>
#include <tamra/Tamra.h>

#include "support/ImageFiles.h"
#include "support/ProcessInfo.h"

namespace {

#if defined(_WIN32)
constexpr unsigned long long kDefaultCycles = 100;  // under Wine every thread start is slow
#else
constexpr unsigned long long kDefaultCycles = 300;
#endif

unsigned long long environmentNumber(const char* name, unsigned long long fallback) {
    const char* text = std::getenv(name);
    return text != nullptr && *text != '\0' ? std::strtoull(text, nullptr, 10) : fallback;
}

// The client: counts frames and drops; a slow one pauses up to 3 ms in a frame callback.
struct Consumer {
    std::mutex mutex;
    std::condition_variable changed;
    std::mt19937 random;
    std::uint64_t delivered = 0, dropped = 0;
    bool slow = false;

    static int onFrame(unsigned char*, unsigned int, std::int64_t, void* self) {
        auto& c = *static_cast<Consumer*>(self);
        int pause = 0;
        {
            std::lock_guard<std::mutex> lock(c.mutex);
            ++c.delivered;
            if (c.slow) pause = std::uniform_int_distribution<int>(0, 3)(c.random);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(pause));
        c.changed.notify_all();
        return 0;
    }
    // The overrun count covers every drop of the run so far.
    static int onTrash(unsigned char*, unsigned int overruns, std::int64_t, void* self) {
        auto& c = *static_cast<Consumer*>(self);
        {
            std::lock_guard<std::mutex> lock(c.mutex);
            if (overruns > c.dropped) c.dropped = overruns;
        }
        c.changed.notify_all();
        return 0;
    }
    bool waitForOutcomes(std::uint64_t count) {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds(60),
                                [&] { return delivered + dropped >= count; });
    }
};

TEST(Soak, CyclesEndCleanlyAndEveryTriggerIsAccountedFor) {
    const unsigned long long cycles = environmentNumber("TAMRA_SOAK_CYCLES", kDefaultCycles);
    const unsigned long long seed = environmentNumber("TAMRA_SOAK_SEED", std::random_device{}());
    std::printf("soak: %llu cycles, seed %llu (TAMRA_SOAK_SEED repeats it)\n", cycles, seed);
    const images_test::TempDir tree("soak");
    tamra::samples::writeSampleTree(tree.str(), images_test::treeOptions(64, 48, 1));
    std::mt19937 random(static_cast<std::uint32_t>(seed));
    auto pick = [&](std::uint32_t low, std::uint32_t high) {
        return std::uniform_int_distribution<std::uint32_t>(low, high)(random);
    };
    Consumer consumer;
    consumer.random.seed(static_cast<std::uint32_t>(seed) ^ 0x5eedu);
    // Taken when the first object is deleted: the system may keep threads it started for the
    // process's first grab (Windows' own pools), which later deletions must not add to.
    std::optional<int> baselineThreads;
    IXGrab* grab = nullptr;
    auto retire = [&] {
        TamraGrabDelete(grab);
        grab = nullptr;
        const int threads = tamra::testing::processThreadCount();
        if (!baselineThreads) baselineThreads = threads;
        EXPECT_TRUE(*baselineThreads < 0 || threads < 0 || threads == *baselineThreads) << threads;
    };
    std::uint64_t delivered = 0;
    for (unsigned long long number = 0; number < cycles && !HasFailure(); ++number) {
        SCOPED_TRACE("cycle " + std::to_string(number));
        if (number % 100 == 0 || number == 1) {
            if (grab != nullptr) retire();
            char type[] = "EMULATOR";
            grab = TamraGrabInstantiate(type);
            ASSERT_NE(grab, nullptr);
            ASSERT_EQ(grab->Initialize(), 1);
            grab->RegisterBufferCallback(&Consumer::onFrame, &consumer);
            grab->RegisterTrashCallback(&Consumer::onTrash, &consumer);
            std::string path = tree.str();
            ASSERT_EQ(grab->EmulateFromNewImagePath(path.data(), 64, 48), 1);
        }
        const bool paced = pick(0, 1) == 1;
        {
            std::lock_guard<std::mutex> lock(consumer.mutex);
            consumer.delivered = consumer.dropped = 0;
            consumer.slow = pick(0, 2) == 0;
        }
        ASSERT_EQ(grab->Create(0, 0, 64, 48, 8, pick(2, 5), 5000), 1) << grab->GetLastErrorMsg();
        ASSERT_EQ(grab->SetTriggerMethod(IXGrab::TRIG_SOFTWARE), 1);
        ASSERT_EQ(grab->Start(), 1) << grab->GetLastErrorMsg();
        const std::uint32_t triggers = pick(1, 12);
        for (std::uint32_t i = 0; i < triggers; ++i) {
            ASSERT_EQ(grab->GenerateSoftTrigger(0), 1);
            // A paced cycle waits for each outcome, so no trigger merges with the next.
            ASSERT_TRUE(!paced || consumer.waitForOutcomes(i + 1)) << "trigger " << i;
        }
        ASSERT_EQ(grab->Stop(), 1) << grab->GetLastErrorMsg();
        std::lock_guard<std::mutex> lock(consumer.mutex);
        const std::uint64_t outcomes = consumer.delivered + consumer.dropped;
        EXPECT_TRUE(paced ? outcomes == triggers : outcomes <= triggers)
            << outcomes << " of " << triggers;
        // Every accepted trigger ends as exactly one of delivered, dropped, discarded or merged,
        // and the library's counts agree with what the client saw.
        TamraCounters c{};
        ASSERT_EQ(TamraGetCounters(grab, &c), 1);
        EXPECT_EQ(c.triggersGiven,
                  c.triggersMerged + c.framesDelivered + c.framesDropped + c.framesDiscardedAtStop);
        EXPECT_EQ(std::make_pair(c.framesDelivered, c.framesDropped),
                  std::make_pair(consumer.delivered, consumer.dropped));
        delivered += consumer.delivered;
        ASSERT_EQ(grab->Destroy(), 1) << grab->GetLastErrorMsg();
    }
    if (grab != nullptr) retire();
    EXPECT_GT(delivered, 0u);
}

}  // namespace
