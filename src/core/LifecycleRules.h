// Tamra grab library: the lifecycle state machine, which operation each state refuses and why.
#pragma once

namespace tamra {

struct LifecycleFlags;

// Where a grab object is. A callback runs on one of acquisition's own threads; there the grab
// is running or stopping, and whatever would wait for that thread or free what it uses is
// refused.
enum class GrabPhase { NotInitialized, Initialized, Created, Running, InCallback };

// The operations whose admission depends on the phase. Every other operation either works in
// every phase or checks only that the grab is initialised.
enum class GrabOperation {
    Initialize,
    Create,
    Start,
    Destroy,
    Terminate,
    SetImageColor,
    EmulateFromNewImagePath
};

GrabPhase phaseOf(const LifecycleFlags& flags, bool inCallback);
// The reason the operation is refused in the phase (the tail of its message), or null when it
// goes ahead.
const char* refusalOf(GrabOperation operation, GrabPhase phase);

}  // namespace tamra
