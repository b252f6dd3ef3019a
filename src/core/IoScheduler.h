// Tamra grab library: the timed output scheduler's state: lock, wake event, quit flag, the
// time-ordered list of pending port changes and the scheduler thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

#include "platform/Sync.h"
#include "platform/Thread.h"

namespace tamra {

// Owned by one CIGrab. The list is guarded by the I/O lock, a re-entrant mutex whose waits are
// bounded at 2,000 ms: the scheduler thread holds it for a whole pass and re-enters it when it
// schedules a trailing edge. The thread body is CIGrab::ScheduleIo, which drives the list
// through this class.
class IoScheduler {
public:
    // One pending change of an output port.
    struct Event {
        double dueTime;  // milliseconds on the PerfTimeMs clock
        std::uint32_t port;
        int value;        // 0 off, anything else on
        double duration;  // 0: a single edge; otherwise a trailing edge follows after this long
        std::unique_ptr<Event> next;
    };

    // Holds the I/O lock for one scope when the bounded wait succeeded.
    class Guard {
    public:
        explicit Guard(IoScheduler& scheduler);
        ~Guard();
        Guard(const Guard&) = delete;
        Guard& operator=(const Guard&) = delete;
        bool owns() const { return owns_; }

    private:
        IoScheduler& scheduler_;
        bool owns_;
    };

    static constexpr std::uint32_t kLockTimeoutMs = 2000;

    IoScheduler() = default;
    // Stops a thread still running (its owner normally did), then frees the entries left.
    ~IoScheduler();
    IoScheduler(const IoScheduler&) = delete;
    IoScheduler& operator=(const IoScheduler&) = delete;

    // List operations; the caller holds the lock.
    // Inserts before the first entry due at the same time or later, so among equal due times
    // the entry scheduled last runs first.
    void insert(std::unique_ptr<Event> event);
    // Unlinks and returns the head when it is due at now, else null.
    std::unique_ptr<Event> takeDue(double now);
    const Event* head() const { return head_.get(); }

    void wake() { wakeEvent_.set(); }
    platform::WaitResult waitForWake(std::uint32_t milliseconds) {
        return wakeEvent_.wait(milliseconds);
    }

    bool quitRequested() const { return quit_.load() != 0; }
    bool hasThread() const { return thread_.joinable(); }
    // Clears the quit flag and starts the scheduler thread with the default stack; false when
    // it cannot be created. Clearing the flag lets an object initialise again after Terminate.
    bool startThread(std::function<std::uint32_t()> body);
    // Sets the quit flag, wakes the thread and waits for it without a time limit. Entries still
    // listed stay unrun.
    void stopThread();

private:
    void clear();

    platform::RecursiveMutex lock_;
    platform::AutoResetEvent wakeEvent_;
    std::atomic<int> quit_{0};
    std::unique_ptr<Event> head_;
    platform::Thread thread_;  // last: the thread uses every member above
};

}  // namespace tamra
