// tamra-grab: one emulator playing a folder, driven through runs of triggers or free run, with
// what its callbacks saw.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include <tamra/Tamra.h>

#include "FrameFiles.h"
#include "GrabOptions.h"
#include "LibraryRecords.h"

namespace tamra_grab {

struct LatencyStats {
    std::size_t samples = 0;
    double meanMs = 0.0;
    double medianMs = 0.0;
    double p99Ms = 0.0;
};

// What one run of the grab (Start to Stop) produced, as the client's callbacks saw it.
struct PhaseResult {
    std::string name;
    TriggerMode mode = TriggerMode::Software;
    unsigned int delayMs = 0;
    double seconds = 0.0;
    std::uint64_t triggers = 0;   // triggers given (software or external)
    std::uint64_t delivered = 0;  // buffer callback calls
    std::uint64_t dropped = 0;    // overruns, from the count the trash callback receives
    std::uint64_t reported = 0;   // trash callback calls
    LatencyStats latency;         // trigger to buffer callback
    LibraryCounters counters;     // what the library counted during this run
    bool interrupted = false;
    // In a triggered run every trigger the library accepted ends in one way only.
    bool addsUp() const {
        return !counters.available || mode == TriggerMode::FreeRun || counters.triggersAddUp();
    }
    double framesPerSecond() const { return seconds > 0.0 ? delivered / seconds : 0.0; }
    nlohmann::json toJson() const;
};

struct CompositionStats {
    int frames = 0;
    double meanMs = 0.0;
    double maxMs = 0.0;
};

// The display of a running phase: one line redrawn in place on a terminal, a plain line every
// few seconds otherwise, or nothing.
class Progress {
public:
    enum class Style { Off, Live, Lines };
    explicit Progress(Style style) : style_(style) {}
    void show(const std::string& phase, std::uint64_t delivered, std::uint64_t dropped,
              double framesPerSecond);
    void clear();

private:
    Style style_;
    bool shown_ = false;
    std::chrono::steady_clock::time_point lastLine_{};
};

// Whether standard error is a terminal, from the standard library alone.
bool stderrIsTerminal();

class GrabSession {
public:
    explicit GrabSession(const GrabOptions& options);
    ~GrabSession();
    GrabSession(const GrabSession&) = delete;
    GrabSession& operator=(const GrabSession&) = delete;

    // Initialises the emulator and creates it on the folder; false with the reason in error.
    bool open(const std::string& folder, std::string& error);
    // One run from Start to Stop: triggers until the frame count or the time is reached.
    PhaseResult run(TriggerMode mode, std::uint32_t frames, double seconds, Progress& progress);
    // Composes frames on the stopped grab and times each.
    CompositionStats measureComposition(int frames);
    // Ends frame saving and writes the contact sheet; false with the reason in error.
    bool finishOutputs(std::string& error);

    IXGrab& grab() { return *grab_; }
    const std::vector<FrameRecord>& frameRecords() const { return records_; }
    std::uint64_t framesNotRecorded() const { return notRecorded_; }
    nlohmann::json describe() const;
    std::vector<std::string> outputLines() const;
    nlohmann::json outputJson() const;

private:
    using Clock = std::chrono::steady_clock;

    static int onFrame(unsigned char* buffer, unsigned int count, std::int64_t tag, void* session);
    static int onTrash(unsigned char* buffer, unsigned int count, std::int64_t tag, void* session);
    void frameArrived(unsigned char* buffer);
    void recordFrame(const unsigned char* buffer, std::int64_t nowNs, double latencyMs);
    void overrunReported(unsigned int overrunCount);
    void notifyArrival();

    bool configure(const std::string& folder, std::string& error);
    void prepareOutputs();
    std::uint64_t arrivals() const;
    bool waitForArrival(std::uint64_t after, std::chrono::milliseconds timeout);
    void drain(Progress& progress, const std::string& phase, Clock::time_point start);
    void trigger(TriggerMode mode);
    std::uint64_t triggerLoop(TriggerMode mode, std::uint32_t frames, double seconds,
                              Progress& progress, const std::string& phase,
                              Clock::time_point start);
    void freeRunLoop(std::uint32_t frames, double seconds, Progress& progress,
                     const std::string& phase, Clock::time_point start);
    LatencyStats latencyStats() const;
    static std::int64_t nowNs();
    static Clock::time_point fromNs(std::int64_t ns);

    const GrabOptions& options_;
    std::unique_ptr<IXGrab, int (*)(IXGrab*)> grab_;
    ImageLayout image_;
    int cameras_ = 1;
    std::unique_ptr<FrameSaver> saver_;
    std::unique_ptr<ContactSheet> sheet_;

    // Written by the callbacks, read by the main thread.
    std::atomic<std::uint64_t> delivered_{0};
    std::atomic<std::uint64_t> overrunCount_{0};  // latest count given to the trash callback
    std::atomic<std::uint64_t> reports_{0};
    std::atomic<std::int64_t> pendingTriggerNs_{-1};  // the one trigger being timed
    std::atomic<std::int64_t> lastArrivalNs_{0};
    std::atomic<bool> draining_{false};  // the client stops dawdling so the ring empties
    std::vector<double> latenciesMs_;    // delivery thread while running; reserved before Start
    FrameRecorder recorder_;
    std::vector<FrameRecord> records_;  // delivery thread while running; reserved at open
    std::uint64_t notRecorded_ = 0;
    Clock::time_point runStart_{};
    std::mutex arrivalLock_;
    std::condition_variable arrival_;
};

}  // namespace tamra_grab
