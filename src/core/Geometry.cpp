// Tamra grab library: image geometry, Create's sizing of the ring buffer, and the value helpers.
#include <tamra/CIGrab.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "core/CreatePlan.h"
#include "core/FrameLayout.h"
#include "core/GeometryRules.h"
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

bool IXGrab::isTransposing() const {
    const std::uint32_t angle = grabState().transform.rotation % 180;
    return angle >= 46 && angle <= 134;
}

// ---- Create's geometry, sizing and allocation.

int IXGrab::createGeometry(std::uint32_t offsetX, std::uint32_t offsetY, std::uint32_t width,
                           std::uint32_t height, std::uint32_t bitsPerPixel,
                           std::uint32_t bufferCount, std::uint32_t timeOut, CIGrab* core) {
    tamra::CreatePlan plan{offsetX, offsetY, width, height, bitsPerPixel, bufferCount, timeOut};
    resolveGeometry(plan);
    // From here on the previous buffers are gone, whether or not this Create succeeds.
    Destroy();
    if (!cropFits(plan.width, plan.offsetX) || !cropFits(plan.height, plan.offsetY)) {
        return fail("Create", tamra::reason::kCropExceeded);
    }
    sizeRing(plan, core != nullptr);
    if (plan.layout.ringBytes > kMax32 || plan.layout.planeBytes > kMax32) {
        return failInit(tamra::reason::kRingAllocation);
    }
    if (allocateRing(plan, core) == 0) return 0;
    storeGeometry(plan, core != nullptr);
    GetGpioAttr(&grabState().line.gpioAttr);
    return 1;
}

// Tiles divide the sides before the sentinels are resolved, so a sentinel keeps its meaning
// only with one tile each way; a transposing rotation swaps the sides.
void IXGrab::resolveGeometry(tamra::CreatePlan& plan) {
    const std::uint32_t horz = tileCount(grabState().transform.horzTiles),
                        vert = tileCount(grabState().transform.vertTiles);
    const bool transposing = isTransposing();
    const std::uint32_t width = (transposing ? plan.height : plan.width) / horz;
    const std::uint32_t height = (transposing ? plan.width : plan.height) / vert;
    plan.width = width;
    plan.height = height;
    AjustValue(plan.offsetX, grabState().geometry.offsetX, 0, 0, kNoLimit);
    AjustValue(plan.offsetY, grabState().geometry.offsetY, 0, 0, kNoLimit);
    AjustValue(plan.width, grabState().geometry.width, 640, 32, kNoLimit);
    AjustValue(plan.height, grabState().geometry.height, 480, 32, kNoLimit);
    AjustValue(plan.bits, grabState().geometry.bitsPerPixel, 8, 8, 32);
    AjustValue(plan.bufferCount, grabState().geometry.bufferCount, 5, 1, kNoLimit);
    AjustValue(plan.timeOut, grabState().geometry.timeOut, 5000, 0, kNoLimit);
}

// Buffer count rule; the frame layout gives slot stride S and ring size R = max(X, S) x count.
void IXGrab::sizeRing(tamra::CreatePlan& plan, bool coreTable) {
    const std::uint32_t w = plan.width;
    if (GetGrabType() == IFW_IGRAB_ZEPH && GetHardwareRevision() == 0x202) {
        plan.bufferCount = 6;
    } else if ((w >= 649 && w <= 2047) || w >= 4001) {
        plan.bufferCount = std::min<std::uint32_t>(plan.bufferCount, 3);
    }
    const tamra::Geometry& stored = grabState().geometry;
    const tamra::TransformState& transform = grabState().transform;
    const std::uint32_t b = BitToBytePerPixel(plan.bits);
    tamra::LayoutInput in;
    in.width = w;
    in.height = plan.height;
    in.bytesPerPixel = b;
    in.sampleBytes =
        stored.imageColor == IFW_IMAGE_COLOR_COLOR32 ? 4 : std::max(stored.bytesPerPixel, b);
    // A negative camera count is a huge unsigned one, and so a geometry that does not fit.
    in.cameras = static_cast<std::uint32_t>(GetNumCameras());
    in.tiles = layoutProduct(tileCount(transform.horzTiles), tileCount(transform.vertTiles));
    in.slotPlanes = layoutProduct(in.cameras, in.tiles);
    in.bufferCount = plan.bufferCount;
    in.grabType = GetGrabType();
    in.coreTable = coreTable;
    plan.bytesPerPixel = b;
    plan.layout = tamra::layOutFrames(in);
}

// The back end's memory hook first (CIGrab only), then the heap; slots are cut from the start.
int IXGrab::allocateRing(const tamra::CreatePlan& plan, CIGrab* core) {
    const auto size = static_cast<std::uint32_t>(plan.layout.ringBytes);
    void* supplied = core != nullptr ? core->AllocateNonPagedMem(size) : nullptr;
    if (supplied != nullptr) {
        grabState().ring.buffer = static_cast<unsigned char*>(supplied);
        grabState().ring.hookSupplied = 1;
    } else {
        grabState().ring.owned.reset(new (std::nothrow) unsigned char[size]);
        grabState().ring.buffer = grabState().ring.owned.get();
    }
    if (grabState().ring.buffer == nullptr) return failInit(tamra::reason::kRingAllocation);
    grabState().ring.slots.reset(new (std::nothrow) unsigned char*[plan.bufferCount]);
    if (!grabState().ring.slots) {
        releaseRing();
        return failInit(tamra::reason::kArrayAllocation);
    }
    std::memset(grabState().ring.buffer, 0, size);
    layOutSlots(grabState().ring.slots.get(), grabState().ring.buffer, plan.bufferCount,
                plan.layout.ringSlotBytes);
    return 1;
}

void IXGrab::storeGeometry(const tamra::CreatePlan& plan, bool allByteCounts) {
    const std::uint32_t b = plan.bytesPerPixel;
    grabState().geometry.offsetX = plan.offsetX;
    grabState().geometry.offsetY = plan.offsetY;
    grabState().geometry.width = plan.width;
    grabState().geometry.height = plan.height;
    grabState().geometry.bitsPerPixel = plan.bits;
    grabState().geometry.bytesPerPixel = b;
    grabState().geometry.aoiWidth = plan.width - plan.offsetX;
    grabState().geometry.aoiHeight = plan.height - plan.offsetY;
    grabState().geometry.timeOut = plan.timeOut;
    grabState().geometry.bufferCount = plan.bufferCount;
    grabState().geometry.ringBufferSize = static_cast<std::uint32_t>(plan.layout.ringBytes);
    grabState().geometry.widthByteCount = b * plan.width;
    grabState().geometry.heightByteCount = b * plan.height;
    grabState().geometry.imageSizeInPixels = static_cast<std::uint32_t>(plan.layout.pixels);
    grabState().geometry.imageSizeInBytes = static_cast<std::uint32_t>(plan.layout.planeBytes);
    grabState().layout = plan.layout;
    if (allByteCounts) {
        grabState().geometry.offsetXByteCount = b * plan.offsetX;
        grabState().geometry.offsetYByteCount = b * plan.offsetY;
        grabState().geometry.aoiWidthByteCount = grabState().geometry.aoiWidth * b;
        grabState().geometry.aoiHeightByteCount = grabState().geometry.aoiHeight * b;
    }
}

void IXGrab::releaseRing() {
    grabState().ring.slots.reset();
    grabState()
        .ring.owned.reset();  // a hook-supplied block belongs to the back end and is only forgotten
    grabState().ring.buffer = nullptr;
    grabState().ring.hookSupplied = 0;
    grabState().geometry.ringBufferSize = 0;
}

// ---- Re-creation after a geometry setter.

void IXGrab::recreateBuffers(bool storedBits, bool storedCount, bool storedTimeOut) {
    Create(grabState().geometry.offsetX, grabState().geometry.offsetY, grabState().geometry.width,
           grabState().geometry.height, storedBits ? grabState().geometry.bitsPerPixel : kKeep,
           storedCount ? grabState().geometry.bufferCount : kKeep,
           storedTimeOut ? grabState().geometry.timeOut : kKeep);
}

// The setter's result does not depend on Create or Start: IsGrabCreated and the last error tell.
void IXGrab::recreateIfCreated(bool storedBits, bool storedCount, bool storedTimeOut) {
    if (grabState().life.created.load() == 0) return;
    const bool wasRunning = grabState().life.running.load() != 0;
    recreateBuffers(storedBits, storedCount, storedTimeOut);
    if (wasRunning) Start();
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
    recreateIfCreated(true, false, false);
    return 1;
}

int IXGrab::SetBufferCount(std::uint32_t bufferCount) {
    AjustValue(bufferCount, grabState().geometry.bufferCount, 5, 1, kNoLimit);
    if (bufferCount > 3 && grabState().geometry.width > 640) bufferCount = 3;
    if (bufferCount == grabState().geometry.bufferCount) return 1;
    grabState().geometry.bufferCount = bufferCount;
    recreateIfCreated(true, true, false);
    return 1;
}

// ---- Colour layout.

int IXGrab::SetImageColor(IFW_IMAGE_COLOR_TYPE type) {
    return applyImageColor(type, false);
}

int CIGrab::SetImageColor(IFW_IMAGE_COLOR_TYPE type) {
    return applyImageColor(type, true);
}

int IXGrab::applyImageColor(IFW_IMAGE_COLOR_TYPE type, bool allByteCounts) {
    if (admitted(tamra::GrabOperation::SetImageColor, "SetImageColor") == 0) return 0;
    if (type == grabState().geometry.imageColor) return 0;
    const bool wasRunning = grabState().life.running.load() != 0;
    if (wasRunning) Stop();
    relayImageColor(type, allByteCounts);
    if (wasRunning) Start();
    return 1;
}

// The new layout's byte counts, its ring slots laid over the ring when it holds them, and the
// transform work buffer re-sized; the caller has stopped acquisition.
void IXGrab::relayImageColor(IFW_IMAGE_COLOR_TYPE type, bool allByteCounts) {
    tamra::Geometry& geometry = grabState().geometry;
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
    relaySlots();
    tamra::TransformState& transform = grabState().transform;
    if (!transform.buffer.empty()) {
        replaceWorkBuffer(
            transform.buffer,
            layoutProduct({2, static_cast<std::uint32_t>(GetNumCameras()),
                           tileCount(transform.vertTiles), tileCount(transform.horzTiles),
                           geometry.imageSizeInBytes}));
    }
}

// A slot holds one plane of the new layout's samples.
void IXGrab::relaySlots() {
    tamra::GrabState& state = grabState();
    const tamra::Geometry& geometry = state.geometry;
    tamra::LayoutInput in;
    in.width = geometry.width;
    in.height = geometry.height;
    in.bytesPerPixel = geometry.bytesPerPixel;
    in.sampleBytes = geometry.slotBytesPerPixel;
    in.cameras = static_cast<std::uint32_t>(std::max(GetNumCameras(), 0));
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
        recreateBuffers(true, false, false);
    }
}

IFW_IMAGE_COLOR_TYPE IXGrab::GetImageColor() {
    return grabState().geometry.imageColor;
}

// ---- Getters.

std::uint32_t IXGrab::GetWidth() {
    if (isTransposing())
        return (grabState().transform.vertTiles * grabState().geometry.height) & ~7u;
    return grabState().transform.horzTiles * grabState().geometry.width;
}

std::uint32_t IXGrab::GetHeight() {
    return isTransposing() ? grabState().transform.horzTiles * grabState().geometry.width
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
