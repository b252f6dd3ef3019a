// Tamra grab library: the lifecycle of IXGrab and CIGrab and the two threads of the core.
//
// The core's Initialize, Create and Start do the shared work and leave the initialised, created
// and running flags to the back end's override; Stop, Destroy and Terminate clear them. Every
// call to another operation goes through the virtual table, so a back end's override runs.
#include <tamra/CIGrab.h>

#include <chrono>
#include <exception>

#include "core/CreatePlan.h"
#include "core/GrabGeometry.h"
#include "core/GrabState.h"
#include "core/IoScheduler.h"
#include "core/LifecycleRules.h"
#include "core/LifecycleSteps.h"
#include "core/Reasons.h"
#include "platform/Sync.h"
#include "platform/Thread.h"

namespace {

constexpr std::size_t kHousekeepingStackBytes = 64 * 1024;
constexpr std::chrono::milliseconds kHousekeepingPeriod{1000};
using Op = tamra::GrabOperation;

}  // namespace

// ---- IXGrab: no threads of its own.

int IXGrab::Initialize() {
    if (admitted(Op::Initialize, "Initialize") == 0) return 0;
    grabState().life.ioRunning.store(1);
    return 1;
}

int IXGrab::Create(std::uint32_t offsetX, std::uint32_t offsetY, std::uint32_t width,
                   std::uint32_t height, std::uint32_t bitsPerPixel, std::uint32_t bufferCount,
                   std::uint32_t timeOut) {
    if (admitted(Op::Create, "Create") == 0) return 0;
    return tamra::createGeometry(
        *this, grabState(),
        tamra::CreatePlan{offsetX, offsetY, width, height, bitsPerPixel, bufferCount, timeOut},
        nullptr);
}

int IXGrab::Start() {
    if (admitted(Op::Start, "Start") == 0) return 0;
    Stop();
    return 1;
}

int IXGrab::Stop() {
    grabState().life.running.store(0);
    return 1;
}

int IXGrab::Destroy() {
    Stop();
    grabState().life.created.store(0);
    tamra::releaseRing(grabState());
    return 1;
}

int IXGrab::Terminate() {
    Destroy();
    grabState().life.initialized.store(0);
    tamra::unregisterCallbacks(*this);
    return 1;
}

// ---- CIGrab.

tamra::CoreServices::CoreServices() = default;
tamra::CoreServices::~CoreServices() = default;

CIGrab::CIGrab() {
    tamra::GrabState& state = grabState();
    state.className = "CIGrab";
    state.core.housekeepingWake = std::make_unique<tamra::platform::AutoResetEvent>();
    state.core.ioScheduler = std::make_unique<tamra::IoScheduler>();
}

// A back end's destructor terminates before this runs. Should a thread still exist (a client
// deleted some other grab without Terminate), it is stopped here rather than left running
// against a destroyed object.
CIGrab::~CIGrab() {
    tamra::stopHousekeeping(grabState());
    tamra::stopIoScheduler(grabState());
}

IFW_IGRABTYPE CIGrab::GetGrabType() {
    return IFW_IGRAB_CORE;
}

int CIGrab::Initialize() try {
    if (IXGrab::Initialize() == 0) return 0;
    // A thread that cannot be created goes unnoticed: the object then runs without timed outputs.
    if (!grabState().core.ioScheduler->hasThread())
        grabState().core.ioScheduler->startThread([this] { return ScheduleIo(); });
    return 1;
} catch (const std::exception&) {
    return fail("Initialize", tamra::reason::kOutOfResources);
}

int CIGrab::Create(std::uint32_t offsetX, std::uint32_t offsetY, std::uint32_t width,
                   std::uint32_t height, std::uint32_t bitsPerPixel, std::uint32_t bufferCount,
                   std::uint32_t timeOut) try {
    if (admitted(Op::Create, "Create") == 0) return 0;
    const tamra::CreatePlan plan{offsetX,      offsetY,     width,  height,
                                 bitsPerPixel, bufferCount, timeOut};
    if (tamra::createGeometry(*this, grabState(), plan, this) == 0) return 0;
    tamra::startHousekeeping(*this, grabState());
    return 1;
} catch (const std::exception&) {
    Destroy();
    return fail("Create", tamra::reason::kOutOfResources);
}

int CIGrab::Start() {
    return IXGrab::Start();
}

int CIGrab::Stop() {
    return IXGrab::Stop();
}

int CIGrab::Destroy() {
    Stop();
    tamra::stopHousekeeping(grabState());
    grabState().life.created.store(0);
    tamra::releaseRing(grabState());
    return 1;
}

int CIGrab::Terminate() {
    Destroy();
    grabState().life.initialized.store(0);
    tamra::stopIoScheduler(grabState());
    tamra::unregisterCallbacks(*this);
    for (int& detected : grabState().camera.cameraDetected) detected = 0;
    return 1;
}

int CIGrab::IsGrabCreated() {
    return grabState().life.created.load();
}

int CIGrab::IsIORunning() {
    return grabState().life.ioRunning.load();
}

std::uint32_t CIGrab::GetAcqThreadID() {
    return grabState().life.acqThreadId.load();
}

// ---- Housekeeping thread.

namespace {

// Calls ToggleLed(1) after every full second while the run flag is 1. The wait is on the wake
// event, so Destroy ends it at once instead of a second later.
std::uint32_t housekeep(CIGrab& grab, tamra::CoreServices& core) {
    using Clock = std::chrono::steady_clock;
    while (core.housekeepingRun.load() == 1) {
        const Clock::time_point due = Clock::now() + kHousekeepingPeriod;
        for (Clock::time_point now = Clock::now(); now < due && core.housekeepingRun.load() == 1;
             now = Clock::now()) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(due - now);
            core.housekeepingWake->wait(static_cast<std::uint32_t>(left.count()));
        }
        if (core.housekeepingRun.load() != 1) break;
        grab.ToggleLed(1);
    }
    return 0;
}

}  // namespace

void tamra::startHousekeeping(CIGrab& grab, GrabState& state) {
    CoreServices& core = state.core;
    core.housekeepingRun.store(1);
    core.housekeepingWake->reset();
    auto thread = std::make_unique<platform::Thread>();
    const auto body = [grabbed = &grab, services = &core] {
        return housekeep(*grabbed, *services);
    };
    if (thread->start(body, kHousekeepingStackBytes)) {
        core.housekeepingThread = std::move(thread);
    }
}

void tamra::stopHousekeeping(GrabState& state) {
    CoreServices& core = state.core;
    if (!core.housekeepingThread) return;
    core.housekeepingRun.store(0);
    core.housekeepingWake->set();
    core.housekeepingThread->join();
    core.housekeepingThread.reset();
}

// ---- I/O scheduler thread.

void tamra::stopIoScheduler(GrabState& state) {
    if (state.core.ioScheduler) state.core.ioScheduler->stopThread();
}
