// Tamra grab library: the lifecycle state machine, which operation each state refuses and why.
#include "core/LifecycleRules.h"

#include <iterator>

#include "core/GrabState.h"
#include "core/Reasons.h"

namespace tamra {
namespace {

using Op = GrabOperation;
using Phase = GrabPhase;

struct Refusal {
    Op operation;
    Phase phase;
    const char* reason;
};

// Operation x phase pairs that are refused; every pair not listed goes ahead.
constexpr Refusal kRefusals[] = {
    {Op::Initialize, Phase::Initialized, reason::kAlreadyInitialized},
    {Op::Initialize, Phase::Created, reason::kAlreadyInitialized},
    {Op::Initialize, Phase::Running, reason::kAlreadyInitialized},
    {Op::Initialize, Phase::InCallback, reason::kAlreadyInitialized},
    {Op::Create, Phase::NotInitialized, reason::kNotInitialized},
    {Op::Create, Phase::InCallback, reason::kOnAcquisitionThread},
    {Op::Start, Phase::NotInitialized, reason::kNotCreated},
    {Op::Start, Phase::Initialized, reason::kNotCreated},
    {Op::Start, Phase::InCallback, reason::kOnAcquisitionThread},
    {Op::Destroy, Phase::InCallback, reason::kOnAcquisitionThread},
    {Op::Terminate, Phase::InCallback, reason::kOnAcquisitionThread},
    {Op::SetImageColor, Phase::NotInitialized, reason::kNotInitialized},
    {Op::SetImageColor, Phase::InCallback, reason::kOnAcquisitionThread},
    {Op::EmulateFromNewImagePath, Phase::InCallback, reason::kOnAcquisitionThread},
};

}  // namespace

// The created flag decides between the lower and the upper phases, so that a back end that
// sets the running flag of an object that was never created still cannot start it. The core
// never makes a created object uninitialised: Destroy comes before the initialised flag clears.
GrabPhase phaseOf(const LifecycleFlags& flags, bool inCallback) {
    if (inCallback) return Phase::InCallback;
    if (flags.created.load() == 0) {
        return flags.initialized.load() != 0 ? Phase::Initialized : Phase::NotInitialized;
    }
    return flags.running.load() != 0 ? Phase::Running : Phase::Created;
}

const char* refusalOf(GrabOperation operation, GrabPhase phase) {
    for (const Refusal& refusal : kRefusals) {
        if (refusal.operation == operation && refusal.phase == phase) return refusal.reason;
    }
    return nullptr;
}

}  // namespace tamra
