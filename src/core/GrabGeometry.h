// Tamra grab library: the geometry work that IXGrab's and CIGrab's operations share: Create's
// sizing and allocation of the ring, re-creation after a setter, and the colour layout. Each
// function works on a grab and its state; calls to the grab go through its virtual table, so a
// back end's override runs.
#pragma once

#include <tamra/CIGrab.h>

#include "core/CreatePlan.h"

namespace tamra {

struct GrabState;
struct TransformState;

// True when the stored rotation swaps the sides of the image.
bool isTransposing(const TransformState& transform);

// Create without the admission check and the housekeeping thread. core is the grab itself when
// CIGrab's work-size table, non-paged memory hook and extra byte counts apply, and null for
// IXGrab's own sizing.
int createGeometry(IXGrab& grab, GrabState& state, CreatePlan plan, CIGrab* core);
// Frees the image array and an owned ring; forgets a hook-supplied one without freeing it.
void releaseRing(GrabState& state);
// Makes a created grab again with the stored geometry (restarting a running one); the flags say
// which of bits, buffer count and time-out are passed as stored rather than kept.
void recreateIfCreated(IXGrab& grab, GrabState& state, bool storedBits, bool storedCount,
                       bool storedTimeOut);

// SetImageColor's body: admission, then a stop, the new layout and a start around it.
int applyImageColor(IXGrab& grab, GrabState& state, IFW_IMAGE_COLOR_TYPE type, bool allByteCounts);
// The new layout's byte counts, ring slots and work buffer; the caller has stopped acquisition.
void relayImageColor(IXGrab& grab, GrabState& state, IFW_IMAGE_COLOR_TYPE type, bool allByteCounts);

}  // namespace tamra
