// Tamra grab library: image geometry, Create's sizing of the ring buffer, and the value helpers.
#include <tamra/CIGrab.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "core/CreatePlan.h"
#include "core/Failure.h"
#include "core/FrameLayout.h"
#include "core/GeometryRules.h"
#include "core/GrabGeometry.h"
#include "core/GrabState.h"
#include "core/LifecycleRules.h"
#include "core/Reasons.h"

namespace {

using tamra::geometry::cropFits;
using tamra::geometry::kKeep;
using tamra::geometry::kNoLimit;
using tamra::geometry::kUseDefault;

using tamra::layoutProduct;

constexpr std::uint64_t kMax32 = 0xFFFFFFFFu;

// Bytes per pixel in a ring slot and in the delivered image, by colour layout.
struct ColourLayout {
    std::uint32_t bytesPerPixel;
    std::uint32_t slotBytesPerPixel;
};

ColourLayout colourLayout(IFW_IMAGE_COLOR_TYPE type) {
    switch (type) {
        case IFW_IMAGE_COLOR_PLANES:
            return {1, 3};
        case IFW_IMAGE_COLOR_COLOR32:
            return {4, 4};
        case IFW_IMAGE_COLOR_COLOR24:
            return {3, 3};
        default:
            return {1, 1};
    }
}

// Entry i of the image array starts i slot strides into the ring.
void layOutSlots(unsigned char** slots, unsigned char* ring, std::uint32_t count,
                 std::uint64_t stride) {
    for (std::uint32_t i = 0; i < count; ++i) slots[i] = ring + i * stride;
}

// Frees a work buffer and allocates one of the new size; left empty when that fails (its user
// allocates it again when it next needs it).
void replaceWorkBuffer(std::vector<unsigned char>& buffer, std::uint64_t size) {
    std::vector<unsigned char>().swap(buffer);
    if (size > kMax32) return;
    try {
        buffer.resize(size);
    } catch (const std::bad_alloc&) {
        buffer.clear();
    }
}

std::uint32_t tileCount(std::uint32_t tiles) {
    return tiles == 0 ? 1 : tiles;
}

}  // namespace

// ---- Value helpers.

void IXGrab::AjustValue(std::uint32_t& value, std::uint32_t current, std::uint32_t dflt,
                        std::uint32_t min, std::uint32_t max) {
    if (value == kKeep) {
        value = current;
    } else if (value == kUseDefault) {
        value = dflt;
    }
    if (min != kNoLimit && value < min) value = min;
    if (max != kNoLimit && value > max) value = max;
}

std::uint32_t IXGrab::BitToBytePerPixel(std::uint32_t bits) {
    return (bits + 7) / 8;
}

bool tamra::isTransposing(const TransformState& transform) {
    const std::uint32_t angle = transform.rotation % 180;
    return angle >= 46 && angle <= 134;
}

// ---- Create's geometry, sizing and allocation.

namespace {

// Tiles divide the sides before the sentinels are resolved, so a sentinel keeps its meaning
// only with one tile each way; a transposing rotation swaps the sides.
void resolveGeometry(IXGrab& grab, const tamra::GrabState& state, tamra::CreatePlan& plan) {
    const std::uint32_t horz = tileCount(state.transform.horzTiles),
                        vert = tileCount(state.transform.vertTiles);
    const bool transposing = tamra::isTransposing(state.transform);
    const std::uint32_t width = (transposing ? plan.height : plan.width) / horz;
    const std::uint32_t height = (transposing ? plan.width : plan.height) / vert;
    plan.width = width;
    plan.height = height;
    const tamra::Geometry& stored = state.geometry;
    grab.AjustValue(plan.offsetX, stored.offsetX, 0, 0, kNoLimit);
    grab.AjustValue(plan.offsetY, stored.offsetY, 0, 0, kNoLimit);
    grab.AjustValue(plan.width, stored.width, 640, 32, kNoLimit);
    grab.AjustValue(plan.height, stored.height, 480, 32, kNoLimit);
    grab.AjustValue(plan.bits, stored.bitsPerPixel, 8, 8, 32);
    grab.AjustValue(plan.bufferCount, stored.bufferCount, 5, 1, kNoLimit);
    grab.AjustValue(plan.timeOut, stored.timeOut, 5000, 0, kNoLimit);
}

// Buffer count rule; the frame layout gives slot stride S and ring size R = max(X, S) x count.
void sizeRing(IXGrab& grab, const tamra::GrabState& state, tamra::CreatePlan& plan,
              bool coreTable) {
    const std::uint32_t w = plan.width;
    if (grab.GetGrabType() == IFW_IGRAB_ZEPH && grab.GetHardwareRevision() == 0x202) {
        plan.bufferCount = 6;
    } else if ((w >= 649 && w <= 2047) || w >= 4001) {
        plan.bufferCount = std::min<std::uint32_t>(plan.bufferCount, 3);
    }
    const tamra::Geometry& stored = state.geometry;
    const tamra::TransformState& transform = state.transform;
    const std::uint32_t b = grab.BitToBytePerPixel(plan.bits);
    tamra::LayoutInput in;
    in.width = w;
    in.height = plan.height;
    in.bytesPerPixel = b;
    in.sampleBytes =
        stored.imageColor == IFW_IMAGE_COLOR_COLOR32 ? 4 : std::max(stored.bytesPerPixel, b);
    // A negative camera count is a huge unsigned one, and so a geometry that does not fit.
    in.cameras = static_cast<std::uint32_t>(grab.GetNumCameras());
    in.tiles = layoutProduct(tileCount(transform.horzTiles), tileCount(transform.vertTiles));
    in.slotPlanes = layoutProduct(in.cameras, in.tiles);
    in.bufferCount = plan.bufferCount;
    in.grabType = grab.GetGrabType();
    in.coreTable = coreTable;
    plan.bytesPerPixel = b;
    plan.layout = tamra::layOutFrames(in);
}

// The back end's memory hook first (CIGrab only), then the heap; slots are cut from the start.
int allocateRing(tamra::GrabState& state, const tamra::CreatePlan& plan, CIGrab* core) {
    const auto size = static_cast<std::uint32_t>(plan.layout.ringBytes);
    tamra::Ring& ring = state.ring;
    void* supplied = core != nullptr ? core->AllocateNonPagedMem(size) : nullptr;
    if (supplied != nullptr) {
        ring.buffer = static_cast<unsigned char*>(supplied);
        ring.hookSupplied = 1;
    } else {
        ring.owned.reset(new (std::nothrow) unsigned char[size]);
        ring.buffer = ring.owned.get();
    }
    if (ring.buffer == nullptr) return tamra::failInit(state, tamra::reason::kRingAllocation);
    ring.slots.reset(new (std::nothrow) unsigned char*[plan.bufferCount]);
    if (!ring.slots) {
        tamra::releaseRing(state);
        return tamra::failInit(state, tamra::reason::kArrayAllocation);
    }
    std::memset(ring.buffer, 0, size);
    layOutSlots(ring.slots.get(), ring.buffer, plan.bufferCount, plan.layout.ringSlotBytes);
    return 1;
}

void storeGeometry(tamra::GrabState& state, const tamra::CreatePlan& plan, bool allByteCounts) {
    const std::uint32_t b = plan.bytesPerPixel;
    tamra::Geometry& geometry = state.geometry;
    geometry.offsetX = plan.offsetX;
    geometry.offsetY = plan.offsetY;
    geometry.width = plan.width;
    geometry.height = plan.height;
    geometry.bitsPerPixel = plan.bits;
    geometry.bytesPerPixel = b;
    geometry.aoiWidth = plan.width - plan.offsetX;
    geometry.aoiHeight = plan.height - plan.offsetY;
    geometry.timeOut = plan.timeOut;
    geometry.bufferCount = plan.bufferCount;
    geometry.ringBufferSize = static_cast<std::uint32_t>(plan.layout.ringBytes);
    geometry.widthByteCount = b * plan.width;
    geometry.heightByteCount = b * plan.height;
    geometry.imageSizeInPixels = static_cast<std::uint32_t>(plan.layout.pixels);
    geometry.imageSizeInBytes = static_cast<std::uint32_t>(plan.layout.planeBytes);
    state.layout = plan.layout;
    if (allByteCounts) {
        geometry.offsetXByteCount = b * plan.offsetX;
        geometry.offsetYByteCount = b * plan.offsetY;
        geometry.aoiWidthByteCount = geometry.aoiWidth * b;
        geometry.aoiHeightByteCount = geometry.aoiHeight * b;
    }
}

// Calls Create through the virtual table with the stored geometry; kKeep keeps a value.
void recreateBuffers(IXGrab& grab, const tamra::GrabState& state, bool storedBits, bool storedCount,
                     bool storedTimeOut) {
    const tamra::Geometry& stored = state.geometry;
    grab.Create(stored.offsetX, stored.offsetY, stored.width, stored.height,
                storedBits ? stored.bitsPerPixel : kKeep, storedCount ? stored.bufferCount : kKeep,
                storedTimeOut ? stored.timeOut : kKeep);
}

// A slot holds one plane of the new layout's samples.
void relaySlots(IXGrab& grab, tamra::GrabState& state) {
    const tamra::Geometry& geometry = state.geometry;
    tamra::LayoutInput in;
    in.width = geometry.width;
    in.height = geometry.height;
    in.bytesPerPixel = geometry.bytesPerPixel;
    in.sampleBytes = geometry.slotBytesPerPixel;
    in.cameras = static_cast<std::uint32_t>(std::max(grab.GetNumCameras(), 0));
    in.tiles =
        layoutProduct(tileCount(state.transform.horzTiles), tileCount(state.transform.vertTiles));
    in.bufferCount = geometry.bufferCount;
    const tamra::FrameLayout layout = tamra::layOutFrames(in);
    if (!state.ring.slots || state.ring.buffer == nullptr) {
        state.layout = layout;
        return;
    }
    if (layoutProduct(layout.ringSlotBytes, geometry.bufferCount) <= geometry.ringBufferSize) {
        state.layout = layout;
        state.layout.ringBytes = geometry.ringBufferSize;
        layOutSlots(state.ring.slots.get(), state.ring.buffer, geometry.bufferCount,
                    layout.ringSlotBytes);
    } else {
        // The ring was sized for a narrower layout: slots laid over it would run past its end,
        // so the buffers are made afresh for the new layout.
        recreateBuffers(grab, state, true, false, false);
    }
}

}  // namespace

int tamra::createGeometry(IXGrab& grab, GrabState& state, CreatePlan plan, CIGrab* core) {
    resolveGeometry(grab, state, plan);
    // From here on the previous buffers are gone, whether or not this Create succeeds.
    grab.Destroy();
    if (!cropFits(plan.width, plan.offsetX) || !cropFits(plan.height, plan.offsetY)) {
        return fail(state, "Create", reason::kCropExceeded);
    }
    sizeRing(grab, state, plan, core != nullptr);
    if (plan.layout.ringBytes > kMax32 || plan.layout.planeBytes > kMax32) {
        return failInit(state, reason::kRingAllocation);
    }
    if (allocateRing(state, plan, core) == 0) return 0;
    storeGeometry(state, plan, core != nullptr);
    grab.GetGpioAttr(&state.line.gpioAttr);
    return 1;
}

void tamra::releaseRing(GrabState& state) {
    state.ring.slots.reset();
    state.ring.owned
        .reset();  // a hook-supplied block belongs to the back end and is only forgotten
    state.ring.buffer = nullptr;
    state.ring.hookSupplied = 0;
    state.geometry.ringBufferSize = 0;
}

// ---- Re-creation after a geometry setter.

// The setter's result does not depend on Create or Start: IsGrabCreated and the last error tell.
void tamra::recreateIfCreated(IXGrab& grab, GrabState& state, bool storedBits, bool storedCount,
                              bool storedTimeOut) {
    if (state.life.created.load() == 0) return;
    const bool wasRunning = state.life.running.load() != 0;
    recreateBuffers(grab, state, storedBits, storedCount, storedTimeOut);
    if (wasRunning) grab.Start();
}

// ---- Setters shared by IXGrab and CIGrab.

int IXGrab::SetWidth(std::uint32_t) {
    grabState().geometry.widthSet = 0;
    return 0;
}

int IXGrab::SetHeight(std::uint32_t) {
    grabState().geometry.heightSet = 0;
    return 0;
}

int IXGrab::SetBytesPP(std::uint32_t bytesPerPixel) {
    AjustValue(bytesPerPixel, grabState().geometry.bytesPerPixel, BitToBytePerPixel(8),
               BitToBytePerPixel(8), BitToBytePerPixel(32));
    if (bytesPerPixel == grabState().geometry.bytesPerPixel) return 1;
    grabState().geometry.bytesPerPixel = bytesPerPixel;
    grabState().geometry.bitsPerPixel = 8 * bytesPerPixel;
    tamra::recreateIfCreated(*this, grabState(), true, false, false);
    return 1;
}

int IXGrab::SetBufferCount(std::uint32_t bufferCount) {
    AjustValue(bufferCount, grabState().geometry.bufferCount, 5, 1, kNoLimit);
    if (bufferCount > 3 && grabState().geometry.width > 640) bufferCount = 3;
    if (bufferCount == grabState().geometry.bufferCount) return 1;
    grabState().geometry.bufferCount = bufferCount;
    tamra::recreateIfCreated(*this, grabState(), true, true, false);
    return 1;
}

// ---- Colour layout.

int IXGrab::SetImageColor(IFW_IMAGE_COLOR_TYPE type) {
    return tamra::applyImageColor(*this, grabState(), type, false);
}

int CIGrab::SetImageColor(IFW_IMAGE_COLOR_TYPE type) {
    return tamra::applyImageColor(*this, grabState(), type, true);
}

int tamra::applyImageColor(IXGrab& grab, GrabState& state, IFW_IMAGE_COLOR_TYPE type,
                           bool allByteCounts) {
    if (admitted(state, GrabOperation::SetImageColor, "SetImageColor") == 0) return 0;
    if (type == state.geometry.imageColor) return 0;
    const bool wasRunning = state.life.running.load() != 0;
    if (wasRunning) grab.Stop();
    relayImageColor(grab, state, type, allByteCounts);
    if (wasRunning) grab.Start();
    return 1;
}

// The new layout's byte counts, its ring slots laid over the ring when it holds them, and the
// transform work buffer re-sized; the caller has stopped acquisition.
void tamra::relayImageColor(IXGrab& grab, GrabState& state, IFW_IMAGE_COLOR_TYPE type,
                            bool allByteCounts) {
    Geometry& geometry = state.geometry;
    const ColourLayout colour = colourLayout(type);
    geometry.imageColor = type;
    geometry.bytesPerPixel = colour.bytesPerPixel;
    geometry.slotBytesPerPixel = colour.slotBytesPerPixel;
    const std::uint32_t bpp = geometry.bytesPerPixel;
    geometry.bitsPerPixel = 8 * bpp;
    geometry.widthByteCount = geometry.width * bpp;
    geometry.heightByteCount = geometry.height * bpp;
    geometry.imageSizeInPixels = geometry.width * geometry.height;
    geometry.imageSizeInBytes = geometry.width * geometry.height * bpp;
    if (allByteCounts) {
        geometry.offsetXByteCount = geometry.offsetX * bpp;
        geometry.offsetYByteCount = geometry.offsetY * bpp;
        geometry.aoiWidthByteCount = geometry.aoiWidth * bpp;
        geometry.aoiHeightByteCount = geometry.aoiHeight * bpp;
    }
    relaySlots(grab, state);
    TransformState& transform = state.transform;
    if (!transform.buffer.empty()) {
        replaceWorkBuffer(
            transform.buffer,
            layoutProduct({2, static_cast<std::uint32_t>(grab.GetNumCameras()),
                           tileCount(transform.vertTiles), tileCount(transform.horzTiles),
                           geometry.imageSizeInBytes}));
    }
}

IFW_IMAGE_COLOR_TYPE IXGrab::GetImageColor() {
    return grabState().geometry.imageColor;
}

// ---- Getters.

std::uint32_t IXGrab::GetWidth() {
    if (tamra::isTransposing(grabState().transform))
        return (grabState().transform.vertTiles * grabState().geometry.height) & ~7u;
    return grabState().transform.horzTiles * grabState().geometry.width;
}

std::uint32_t IXGrab::GetHeight() {
    return tamra::isTransposing(grabState().transform)
               ? grabState().transform.horzTiles * grabState().geometry.width
               : grabState().transform.vertTiles * grabState().geometry.height;
}

std::uint32_t IXGrab::GetBytesPP() {
    return grabState().geometry.bytesPerPixel;
}

std::uint32_t IXGrab::GetBufferCount() {
    return grabState().geometry.bufferCount;
}

unsigned char* IXGrab::GetFramePtr(int) {
    return grabState().ring.buffer;
}
