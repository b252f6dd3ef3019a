// Tamra grab library: CIGrabTrell, the Trell family back end.
#include <tamra/CIGrabTrell.h>

#include <cstdint>
#include <memory>

#include "core/GrabState.h"
#include "platform/Sync.h"

struct CIGrabTrellPrivate {
    // Raised by the device's solution-change interrupt; never signalled in this build.
    std::unique_ptr<tamra::platform::AutoResetEvent> interruptEvent =
        std::make_unique<tamra::platform::AutoResetEvent>(false);
    std::unique_ptr<std::uint32_t> statusBlock = std::make_unique<std::uint32_t>(0);
    IXGrab::TriggerMethod triggerMethod = IXGrab::TRIG_NONE;
};

CIGrabTrell::CIGrabTrell() : private_(std::make_unique<CIGrabTrellPrivate>()) {
    grabState().line.rejectorDelay = 1500;
    grabState().line.recycleDelay = 1500;
    grabState().line.solutionIdNumBits = 5;
    // Outputs 0 to 2 are the reject, recycle and decision drivers of this family.
    grabState().line.gpoConfig[0].Driver = 4;
    grabState().line.gpoConfig[1].Offset = 50000;
    grabState().line.gpoConfig[1].Driver = 3;
    grabState().line.gpoConfig[2].Offset = 50000;
    grabState().line.gpoConfig[2].Driver = 2;
}

// The core's own Destroy and Terminate, not the virtual ones: this object is already half gone.
CIGrabTrell::~CIGrabTrell() {
    CIGrab::Destroy();
    CIGrab::Terminate();
    private_->interruptEvent.reset();
    private_->statusBlock.reset();
}

IFW_IGRABTYPE CIGrabTrell::GetGrabType() {
    return IFW_IGRAB_TRELL;
}

std::uint32_t CIGrabTrell::AcqThread() {
    return 0;
}

void CIGrabTrell::ChangeSolutionInterrupt() {}
