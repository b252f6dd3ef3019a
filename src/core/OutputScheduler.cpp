// Tamra grab library: the output image and the timed output scheduler.
//
// Port changes are either made at once or listed by due time and made by the I/O scheduler
// thread, which sleeps on its wake event exactly until the earliest entry is due. Ports change
// only through the virtual SetOutputPort, so a back end with real outputs overrides that alone.
#include <tamra/CIGrab.h>

#include <cmath>
#include <exception>
#include <memory>

#include "core/GrabState.h"
#include "core/IoScheduler.h"
#include "core/PerfTime.h"
#include "core/Reasons.h"
#include "platform/Sync.h"
#include "platform/Thread.h"

namespace {

constexpr unsigned int kPortPositions = 32;
constexpr unsigned int kOutputPorts = 16;

int inverseOf(int value) {
    return value == 0 ? 1 : 0;
}

// Whole milliseconds until the head is due, truncated; stays below the infinite wait.
std::uint32_t waitUntil(double dueTime, double now) {
    const double left = std::trunc(dueTime - now);
    if (!(left > 0.0)) return 0;
    if (left >= static_cast<double>(tamra::platform::kInfinite)) {
        return tamra::platform::kInfinite - 1;
    }
    return static_cast<std::uint32_t>(left);
}

}  // namespace

// Each change is one atomic read-modify-write of the image, so a client's change and the
// scheduler thread's change of another port never undo each other.
int IXGrab::SetOutputPort(unsigned int port, int value) {
    if (requireInitialized("SetOutputPort") == 0) return 0;
    const unsigned int position = port % kPortPositions;
    if (position >= kOutputPorts) return 1;
    const auto bit = static_cast<std::uint16_t>(1u << position);
    if (value != 0) {
        grabState().line.outputImage.fetch_or(bit);
    } else {
        grabState().line.outputImage.fetch_and(static_cast<std::uint16_t>(~bit));
    }
    return 1;
}

int CIGrab::GetOutputPortVal(unsigned int port) {
    const unsigned int position = port % kPortPositions;
    if (position >= kOutputPorts) return 0;
    return static_cast<int>((grabState().line.outputImage.load() >> position) & 1u);
}

int IXGrab::GeneratePulseOutPort(unsigned int, int, double, double) {
    return 0;
}

// A pulse starting now gets its leading edge on the caller's thread and its trailing edge from
// the scheduler, even for a duration of 0. A delayed pulse is one entry whose duration makes
// the scheduler list the trailing edge when the leading one runs.
int CIGrab::GeneratePulseOutPort(unsigned int port, int value, double delay, double duration) {
    if (delay == 0.0) {
        SetOutputPort(port, value);
        ScheduleIOEvent(port, inverseOf(value), duration, 0.0);
    } else {
        ScheduleIOEvent(port, value, delay, duration);
    }
    return 1;
}

// An entry that cannot get the lock within 2,000 ms is dropped; the result is 1 in every case.
int CIGrab::ScheduleIOEvent(unsigned int port, int value, double delay, double duration) try {
    const double now = tamra::PerfTimeMs();
    {
        tamra::IoScheduler::Guard guard(*grabState().core.ioScheduler);
        if (!guard.owns()) return 1;
        auto event = std::make_unique<tamra::IoScheduler::Event>();
        event->dueTime = now + delay;
        event->port = port;
        event->value = value;
        event->duration = duration;
        grabState().core.ioScheduler->insert(std::move(event));
    }
    grabState().core.ioScheduler->wake();
    return 1;
} catch (const std::exception&) {
    return 1;  // dropped, as an entry that cannot get the lock is
}

// The scheduler thread. A pass runs every entry that is due while holding the I/O lock, which
// ScheduleIOEvent re-enters for trailing edges; their wake signals make the next wait return at
// once. The wait time is computed from the pass's clock reading, not a fresh one.
std::uint32_t CIGrab::ScheduleIo() {
    tamra::IoScheduler& scheduler = *grabState().core.ioScheduler;
    tamra::platform::setCurrentThreadPriority(tamra::platform::ThreadPriority::TimeCritical);
    if (scheduler.quitRequested()) return 0;
    std::uint32_t waitMs = tamra::platform::kInfinite;
    do {
        scheduler.waitForWake(waitMs);
        if (scheduler.quitRequested()) return 0;
        tamra::IoScheduler::Guard guard(scheduler);
        if (!guard.owns()) continue;  // postponed to the next wake-up; the wait time stays
        const double now = tamra::PerfTimeMs();
        while (std::unique_ptr<tamra::IoScheduler::Event> due = scheduler.takeDue(now)) {
            SetOutputPort(due->port, due->value);
            if (due->duration != 0.0) {
                ScheduleIOEvent(due->port, inverseOf(due->value), due->duration, 0.0);
            }
        }
        const tamra::IoScheduler::Event* head = scheduler.head();
        waitMs = head != nullptr ? waitUntil(head->dueTime, now) : tamra::platform::kInfinite;
    } while (!scheduler.quitRequested());
    return 0;
}
