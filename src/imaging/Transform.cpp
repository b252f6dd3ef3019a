// Transform settings of a grab object and ApplyImageTransform of IXGrab and CIGrab.
#include <atomic>

#include <tamra/CIGrab.h>

#include "core/GrabGeometry.h"
#include "core/GrabState.h"
#include "imaging/FrameTransform.h"

namespace {

// Process-wide call counters picking the work-buffer half, one per implementation. Clients call
// ApplyImageTransform from several threads, so each is an atomic.
std::atomic<std::uint32_t> coreCallCounter{0};
std::atomic<std::uint32_t> rootCallCounter{0};

}  // namespace

void IXGrab::SetImgTransform(IFW_IMG_TRANSFORM_TYPE type) {
    grabState().transform.transformType = type;
}

// The client's angle is clockwise as displayed; the stored turn is the same one counted
// counter-clockwise, the sense of the rotation primitives.
int IXGrab::SetRotateTransform(std::uint32_t angle) {
    grabState().transform.rotation = ((angle / 360 + 1) * 360 - angle) % 360;
    return 1;
}

void IXGrab::SetImgRegion(IFW_IMG_REGION_TYPE region) {
    grabState().transform.region = region;
}

namespace {

// Shared body of IXGrab's and CIGrab's ApplyImageTransform; coreRules selects CIGrab's tile
// re-ordering and rotation by any angle, and its call counter.
unsigned char* transformFrame(IXGrab& grab, tamra::GrabState& state, unsigned char* frame,
                              bool coreRules) {
    const int cameras = grab.GetNumCameras();
    const tamra::TransformState& transform = state.transform;
    const tamra::imaging::FrameGeometry geometry{
        state.geometry.width,
        state.geometry.height,
        state.geometry.bytesPerPixel,
        transform.horzTiles == 0 ? 1 : transform.horzTiles,
        transform.vertTiles == 0 ? 1 : transform.vertTiles,
        cameras > 0 ? static_cast<std::uint32_t>(cameras) : 1,
        grab.GetWidth(),
        grab.GetHeight(),
        transform.rotation % 360,
        tamra::isTransposing(transform),
        transform.transformType};
    using tamra::imaging::TransformRules;
    return tamra::imaging::transformFrame(
        geometry, coreRules ? TransformRules::Core : TransformRules::RootDefault,
        state.transform.buffer, coreRules ? coreCallCounter : rootCallCounter, frame);
}

}  // namespace

unsigned char* IXGrab::ApplyImageTransform(unsigned char* frame, int /*camera*/) {
    return transformFrame(*this, grabState(), frame, false);
}

unsigned char* CIGrab::ApplyImageTransform(unsigned char* frame, int /*camera*/) {
    return transformFrame(*this, grabState(), frame, true);
}
