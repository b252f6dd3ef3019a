// Soak: many create/start/trigger/stop cycles on the emulator with a randomly slow consumer,
// replacing the grab object every hundredth cycle. A watchdog fails the run on a stall; after
// each replacement no library thread may be left behind.
//
// TAMRA_SOAK_CYCLES sets the number of cycles (default 300, CI's short run; 100 on Windows);
// TAMRA_SOAK_SEED the random seed (default: a fresh one, printed so that a failing run can be
// repeated).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <utility>

#include <tamra/Observe.h>
#include <tamra/Tamra.h>

#include "behaviour/images_support.h"
#include "support/ProcessInfo.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::uint32_t kWidth = 64;
constexpr std::uint32_t kHeight = 48;
constexpr int kCyclesPerObject = 100;
#if defined(_WIN32)
constexpr std::uint64_t kDefaultCycles = 100;  // under Wine every thread start is slow
#else
constexpr std::uint64_t kDefaultCycles = 300;
#endif

unsigned long long ull(std::uint64_t value) {
    return value;
}

std::uint64_t environmentNumber(const char* name, std::uint64_t fallback) {
    const char* text = std::getenv(name);
    return text != nullptr && *text != '\0' ? std::strtoull(text, nullptr, 10) : fallback;
}

// Fails the run when the soak makes no progress for the allowed time: a hung Stop, a lost
// frame a paced cycle waits for, a deadlock between the library's threads.
class Watchdog {
public:
    explicit Watchdog(std::chrono::seconds allowed)
        : allowed_(allowed), thread_([this] { watch(); }) {}
    ~Watchdog() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            done_ = true;
        }
        changed_.notify_all();
        thread_.join();
    }
    void progress(const char* phase, std::uint64_t cycle) {
        std::lock_guard<std::mutex> lock(mutex_);
        phase_ = phase;
        cycle_ = cycle;
        ++beats_;
        changed_.notify_all();
    }

private:
    void watch() {
        std::unique_lock<std::mutex> lock(mutex_);
        while (!done_) {
            const std::uint64_t seen = beats_;
            if (!changed_.wait_for(lock, allowed_, [&] { return done_ || beats_ != seen; })) {
                std::fprintf(stderr, "soak: stalled for %lld s in cycle %llu at '%s'\n",
                             static_cast<long long>(allowed_.count()), ull(cycle_), phase_);
                std::abort();
            }
        }
    }

    const std::chrono::seconds allowed_;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool done_ = false;
    std::uint64_t beats_ = 0;
    std::uint64_t cycle_ = 0;
    const char* phase_ = "start";
    std::thread thread_;
};

// The client: counts deliveries and drops, and sleeps a random while in some callbacks.
class Consumer {
public:
    explicit Consumer(std::uint32_t seed) : random_(seed) {}

    static int onFrame(unsigned char* frame, unsigned int, std::int64_t, void* self) {
        static_cast<Consumer*>(self)->frame(frame);
        return 0;
    }
    static int onTrash(unsigned char*, unsigned int overruns, std::int64_t, void* self) {
        static_cast<Consumer*>(self)->trash(overruns);
        return 0;
    }

    void reset(bool slow) {
        std::lock_guard<std::mutex> lock(mutex_);
        delivered_ = dropped_ = 0;
        slow_ = slow;
    }
    // Waits until the frames and drops together reach the count.
    bool waitForOutcomes(std::uint64_t count, std::chrono::seconds limit) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, limit, [&] { return delivered_ + dropped_ >= count; });
    }
    // Frames delivered and dropped so far.
    std::pair<std::uint64_t, std::uint64_t> outcomes() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return {delivered_, dropped_};
    }

private:
    void frame(const unsigned char* pixels) {
        int pause = 0;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            ++delivered_;
            if (slow_) pause = std::uniform_int_distribution<int>(0, 3)(random_);
        }
        // Reading the frame is what a client does; the sum keeps the reads.
        for (std::uint32_t i = 0; i < kWidth * kHeight; i += 97) pixelSum_ += pixels[i];
        if (pause > 0) std::this_thread::sleep_for(std::chrono::milliseconds(pause));
        changed_.notify_all();
    }
    void trash(unsigned int overruns) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            // The count the trash callback gets covers every overrun of the run so far.
            if (overruns > dropped_) dropped_ = overruns;
        }
        changed_.notify_all();
    }

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::mt19937 random_;
    std::uint64_t delivered_ = 0;
    std::uint64_t dropped_ = 0;
    bool slow_ = false;
    std::atomic<std::uint64_t> pixelSum_{0};
};

struct Totals {
    std::uint64_t cycles = 0;
    std::uint64_t objects = 0;
    std::uint64_t triggers = 0;
    std::uint64_t delivered = 0;
    std::uint64_t dropped = 0;
    std::uint64_t merged = 0;
    std::uint64_t discardedAtStop = 0;
};

class Soak {
public:
    Soak(std::string folder, std::uint64_t seed)
        : folder_(std::move(folder)),
          random_(static_cast<std::uint32_t>(seed)),
          consumer_(static_cast<std::uint32_t>(seed) ^ 0x5eedu) {}
    ~Soak() { retire(); }

    void cycle(std::uint64_t number, Watchdog& watchdog) {
        if (grab_ == nullptr || number % kCyclesPerObject == 0) {
            watchdog.progress("replace the object", number);
            replace();
        }
        const std::uint32_t buffers = pick(2, 5);
        const bool paced = pick(0, 1) == 1;
        consumer_.reset(pick(0, 2) == 0);
        watchdog.progress("create", number);
        ASSERT_EQ(grab_->Create(0, 0, kWidth, kHeight, 8, buffers, 5000), 1)
            << grab_->GetLastErrorMsg();
        ASSERT_EQ(grab_->SetTriggerMethod(IXGrab::TRIG_SOFTWARE), 1);
        ASSERT_EQ(grab_->Start(), 1) << grab_->GetLastErrorMsg();
        const std::uint32_t triggers = pick(1, 12);
        for (std::uint32_t i = 0; i < triggers; ++i) {
            watchdog.progress("trigger", number);
            ASSERT_EQ(grab_->GenerateSoftTrigger(0), 1);
            // A paced cycle waits for each trigger's outcome, so none merges with the next and
            // every one must end as a frame or a drop; a burst stops with frames under way.
            if (paced) {
                ASSERT_TRUE(consumer_.waitForOutcomes(i + 1, std::chrono::seconds(60)))
                    << "trigger " << i << " of cycle " << number << " never ended";
            }
        }
        watchdog.progress("stop", number);
        ASSERT_EQ(grab_->Stop(), 1) << grab_->GetLastErrorMsg();
        const auto [delivered, dropped] = consumer_.outcomes();
        if (paced) {
            EXPECT_EQ(delivered + dropped, triggers) << "cycle " << number;
        } else {
            EXPECT_LE(delivered + dropped, triggers) << "cycle " << number;
        }
        checkCounters(number, delivered, dropped);
        watchdog.progress("destroy", number);
        ASSERT_EQ(grab_->Destroy(), 1) << grab_->GetLastErrorMsg();
        totals_.cycles++;
        totals_.triggers += triggers;
        totals_.delivered += delivered;
        totals_.dropped += dropped;
    }

    // Deletes the current object; every thread it started must be gone.
    void retire() {
        if (grab_ == nullptr) return;
        TamraGrabDelete(grab_);
        grab_ = nullptr;
        const int threads = tamra::testing::processThreadCount();
        if (baselineThreads_ >= 0 && threads >= 0) {
            EXPECT_EQ(threads, baselineThreads_) << "threads left behind by a deleted grab";
        }
    }

    const Totals& totals() const { return totals_; }
    void setBaselineThreads(int count) { baselineThreads_ = count; }

private:
    std::uint32_t pick(std::uint32_t low, std::uint32_t high) {
        return std::uniform_int_distribution<std::uint32_t>(low, high)(random_);
    }

    void replace() {
        retire();
        char type[16] = "EMULATOR";
        grab_ = TamraGrabInstantiate(type);
        ASSERT_NE(grab_, nullptr);
        totals_.objects++;
        ASSERT_EQ(grab_->Initialize(), 1) << grab_->GetLastErrorMsg();
        grab_->RegisterBufferCallback(&Consumer::onFrame, &consumer_);
        grab_->RegisterTrashCallback(&Consumer::onTrash, &consumer_);
        std::string path = folder_;
        ASSERT_EQ(grab_->EmulateFromNewImagePath(path.data(), kWidth, kHeight), 1);
    }

    // Every accepted trigger ends as exactly one of delivered, dropped, discarded at Stop or
    // merged, and the library's counts agree with what the client saw.
    void checkCounters(std::uint64_t number, std::uint64_t delivered, std::uint64_t dropped) {
        TamraCounters counters{};
        ASSERT_EQ(TamraGetCounters(grab_, &counters), 1);
        EXPECT_EQ(counters.triggersGiven, counters.triggersMerged + counters.framesDelivered +
                                              counters.framesDropped +
                                              counters.framesDiscardedAtStop)
            << "cycle " << number;
        EXPECT_EQ(counters.framesDelivered, delivered) << "cycle " << number;
        EXPECT_EQ(counters.framesDropped, dropped) << "cycle " << number;
        totals_.merged += counters.triggersMerged;
        totals_.discardedAtStop += counters.framesDiscardedAtStop;
    }

    std::string folder_;
    std::mt19937 random_;
    Consumer consumer_;
    IXGrab* grab_ = nullptr;
    Totals totals_;
    int baselineThreads_ = -1;
};

TEST(Soak, CyclesEndCleanlyAndEveryTriggerIsAccountedFor) {
    const std::uint64_t cycles = environmentNumber("TAMRA_SOAK_CYCLES", kDefaultCycles);
    const std::uint64_t seed = environmentNumber("TAMRA_SOAK_SEED", std::random_device{}());
    std::printf("soak: %llu cycles, seed %llu (TAMRA_SOAK_SEED repeats it)\n", ull(cycles),
                ull(seed));
    const images_test::TempDir tree("soak");
    tamra::samples::writeSampleTree(tree.str(), images_test::treeOptions(kWidth, kHeight, 1));
    Watchdog watchdog(std::chrono::seconds(environmentNumber("TAMRA_SOAK_STALL_SECONDS", 60)));
    const auto start = Clock::now();
    {
        Soak soak(tree.str(), seed);
        soak.setBaselineThreads(tamra::testing::processThreadCount());
        for (std::uint64_t number = 0; number < cycles && !HasFatalFailure(); ++number) {
            soak.cycle(number, watchdog);
            if (HasFailure()) break;  // one failing cycle says enough
        }
        soak.retire();
        const Totals& totals = soak.totals();
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        std::printf(
            "soak: %llu cycles on %llu objects in %.1f s: %llu triggers, %llu delivered, "
            "%llu dropped, %llu discarded at stop, %llu merged\n",
            ull(totals.cycles), ull(totals.objects), seconds, ull(totals.triggers),
            ull(totals.delivered), ull(totals.dropped), ull(totals.discardedAtStop),
            ull(totals.merged));
        EXPECT_EQ(totals.cycles, cycles);
        EXPECT_GT(totals.delivered, 0u);
    }
}

}  // namespace
