// Tamra grab library: image geometry, Create's sizing of the ring buffer, and the value helpers.
#include <tamra/CIGrab.h>

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <new>
#include <vector>

#include "core/CreatePlan.h"
#include "core/GeometryRules.h"
#include "core/Reasons.h"

namespace {

using tamra::geometry::cropFits;
using tamra::geometry::kKeep;
using tamra::geometry::kNoLimit;
using tamra::geometry::kUseDefault;

// Products are computed in 64 bits and saturate just above the 32-bit range, so a geometry whose
// sizes do not fit in 32 bits is seen as such instead of wrapping into a ring smaller than its
// slots.
constexpr std::uint64_t kMax32 = 0xFFFFFFFFu;
constexpr std::uint64_t kTooLarge = kMax32 + 1;

std::uint64_t product(std::uint64_t a, std::uint64_t b) {
    if (a == 0 || b == 0) return 0;
    if (a >= kTooLarge || b >= kTooLarge || a > kTooLarge / b) return kTooLarge;
    return std::min(a * b, kTooLarge);
}

std::uint64_t product(std::initializer_list<std::uint64_t> factors) {
    std::uint64_t result = 1;
    for (std::uint64_t factor : factors) result = product(result, factor);
    return result;
}

// Work size X: what a back-end family composes a frame in, beside the slots themselves.
struct WorkSizeInput {
    int grabType;
    bool coreTable;  // CIGrab's table; IXGrab uses its last row for every type
    std::uint64_t pixels, cameras, bytesPerPixel, tiles;
};

std::uint64_t workSize(const WorkSizeInput& in) {
    const std::uint64_t p = in.pixels, n = in.cameras, b = in.bytesPerPixel, t = in.tiles;
    if (!in.coreTable || in.grabType == IFW_IGRAB_EMULATOR) return product({p, n, b, t});
    if (t > 1) return in.grabType == IFW_IGRAB_TRELL ? product({p, b, 4}) : product({p, b, t});
    if (in.grabType == IFW_IGRAB_TRELL) return product(p, 16);
    if (in.grabType == IFW_IGRAB_BRIXO) return product(p, 3);
    return product({p, n, b});
}

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
    const std::uint32_t angle = rotation_ % 180;
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
    if (plan.ringSize > kMax32 || product(plan.pixels, plan.bytesPerPixel) > kMax32) {
        return failInit(tamra::reason::kRingAllocation);
    }
    if (allocateRing(plan, core) == 0) return 0;
    storeGeometry(plan, core != nullptr);
    GetGpioAttr(&gpioAttr_);
    return 1;
}

// Tiles divide the sides before the sentinels are resolved, so a sentinel keeps its meaning
// only with one tile each way; a transposing rotation swaps the sides.
void IXGrab::resolveGeometry(tamra::CreatePlan& plan) {
    const std::uint32_t horz = tileCount(horzTiles_), vert = tileCount(vertTiles_);
    const bool transposing = isTransposing();
    const std::uint32_t width = (transposing ? plan.height : plan.width) / horz;
    const std::uint32_t height = (transposing ? plan.width : plan.height) / vert;
    plan.width = width;
    plan.height = height;
    AjustValue(plan.offsetX, offsetX_, 0, 0, kNoLimit);
    AjustValue(plan.offsetY, offsetY_, 0, 0, kNoLimit);
    AjustValue(plan.width, width_, 640, 32, kNoLimit);
    AjustValue(plan.height, height_, 480, 32, kNoLimit);
    AjustValue(plan.bits, bitsPerPixel_, 8, 8, 32);
    AjustValue(plan.bufferCount, bufferCount_, 5, 1, kNoLimit);
    AjustValue(plan.timeOut, timeOut_, 5000, 0, kNoLimit);
}

// Buffer count rule, slot stride S and ring size R = max(X, S) × count.
void IXGrab::sizeRing(tamra::CreatePlan& plan, bool coreTable) {
    const std::uint32_t w = plan.width;
    if (GetGrabType() == IFW_IGRAB_ZEPH && GetHardwareRevision() == 0x202) {
        plan.bufferCount = 6;
    } else if ((w >= 649 && w <= 2047) || w >= 4001) {
        plan.bufferCount = std::min<std::uint32_t>(plan.bufferCount, 3);
    }
    const std::uint32_t b = BitToBytePerPixel(plan.bits);
    const int cameras = GetNumCameras();
    const std::uint64_t tiles = product(tileCount(horzTiles_), tileCount(vertTiles_));
    const std::uint32_t sampleBytes =
        imageColor_ == IFW_IMAGE_COLOR_COLOR32 ? 4 : std::max(bytesPerPixel_, b);
    plan.bytesPerPixel = b;
    plan.pixels = product(w, plan.height);
    // A negative camera count is a huge unsigned one, and so a geometry that does not fit.
    plan.slotStride =
        product({plan.pixels, static_cast<std::uint32_t>(cameras), sampleBytes, tiles});
    // Small 8-bit frames are composed with room for three planes.
    const int workCameras = (b == 1 && plan.pixels < 0x300000) ? std::max(cameras, 3) : cameras;
    const std::uint64_t work = workSize(
        {GetGrabType(), coreTable, plan.pixels, static_cast<std::uint32_t>(workCameras), b, tiles});
    plan.ringSize = product(std::max(work, plan.slotStride), plan.bufferCount);
}

// The back end's memory hook first (CIGrab only), then the heap; slots are cut from the start.
int IXGrab::allocateRing(const tamra::CreatePlan& plan, CIGrab* core) {
    const auto size = static_cast<std::uint32_t>(plan.ringSize);
    void* supplied = core != nullptr ? core->AllocateNonPagedMem(size) : nullptr;
    if (supplied != nullptr) {
        ringBuffer_ = static_cast<unsigned char*>(supplied);
        ringHookSupplied_ = 1;
    } else {
        ownedRing_.reset(new (std::nothrow) unsigned char[size]);
        ringBuffer_ = ownedRing_.get();
    }
    if (ringBuffer_ == nullptr) return failInit(tamra::reason::kRingAllocation);
    imageArray_.reset(new (std::nothrow) unsigned char*[plan.bufferCount]);
    if (!imageArray_) {
        releaseRing();
        return failInit(tamra::reason::kArrayAllocation);
    }
    std::memset(ringBuffer_, 0, size);
    layOutSlots(imageArray_.get(), ringBuffer_, plan.bufferCount, plan.slotStride);
    return 1;
}

void IXGrab::storeGeometry(const tamra::CreatePlan& plan, bool allByteCounts) {
    const std::uint32_t b = plan.bytesPerPixel;
    offsetX_ = plan.offsetX;
    offsetY_ = plan.offsetY;
    width_ = plan.width;
    height_ = plan.height;
    bitsPerPixel_ = plan.bits;
    bytesPerPixel_ = b;
    aoiWidth_ = plan.width - plan.offsetX;
    aoiHeight_ = plan.height - plan.offsetY;
    timeOut_ = plan.timeOut;
    bufferCount_ = plan.bufferCount;
    ringBufferSize_ = static_cast<std::uint32_t>(plan.ringSize);
    widthByteCount_ = b * plan.width;
    heightByteCount_ = b * plan.height;
    imageSizeInPixels_ = static_cast<std::uint32_t>(plan.pixels);
    imageSizeInBytes_ = static_cast<std::uint32_t>(plan.pixels) * b;
    if (allByteCounts) {
        offsetXByteCount_ = b * plan.offsetX;
        offsetYByteCount_ = b * plan.offsetY;
        aoiWidthByteCount_ = aoiWidth_ * b;
        aoiHeightByteCount_ = aoiHeight_ * b;
    }
}

void IXGrab::releaseRing() {
    imageArray_.reset();
    ownedRing_.reset();  // a hook-supplied block belongs to the back end and is only forgotten
    ringBuffer_ = nullptr;
    ringHookSupplied_ = 0;
    ringBufferSize_ = 0;
}

// ---- Re-creation after a geometry setter.

void IXGrab::recreateBuffers(bool storedBits, bool storedCount, bool storedTimeOut) {
    Create(offsetX_, offsetY_, width_, height_, storedBits ? bitsPerPixel_ : kKeep,
           storedCount ? bufferCount_ : kKeep, storedTimeOut ? timeOut_ : kKeep);
}

// The setter's result does not depend on Create or Start: IsGrabCreated and the last error tell.
void IXGrab::recreateIfCreated(bool storedBits, bool storedCount, bool storedTimeOut) {
    if (created_.load() == 0) return;
    const bool wasRunning = running_.load() != 0;
    recreateBuffers(storedBits, storedCount, storedTimeOut);
    if (wasRunning) Start();
}

// ---- Setters shared by IXGrab and CIGrab.

int IXGrab::SetWidth(std::uint32_t) {
    widthSet_ = 0;
    return 0;
}

int IXGrab::SetHeight(std::uint32_t) {
    heightSet_ = 0;
    return 0;
}

int IXGrab::SetBytesPP(std::uint32_t bytesPerPixel) {
    AjustValue(bytesPerPixel, bytesPerPixel_, BitToBytePerPixel(8), BitToBytePerPixel(8),
               BitToBytePerPixel(32));
    if (bytesPerPixel == bytesPerPixel_) return 1;
    bytesPerPixel_ = bytesPerPixel;
    bitsPerPixel_ = 8 * bytesPerPixel;
    recreateIfCreated(true, false, false);
    return 1;
}

int IXGrab::SetBufferCount(std::uint32_t bufferCount) {
    AjustValue(bufferCount, bufferCount_, 5, 1, kNoLimit);
    if (bufferCount > 3 && width_ > 640) bufferCount = 3;
    if (bufferCount == bufferCount_) return 1;
    bufferCount_ = bufferCount;
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
    if (requireInitialized("SetImageColor") == 0) return 0;
    if (type == imageColor_) return 0;
    const bool wasRunning = running_.load() != 0;
    if (wasRunning) Stop();

    const ColourLayout layout = colourLayout(type);
    imageColor_ = type;
    bytesPerPixel_ = layout.bytesPerPixel;
    slotBytesPerPixel_ = layout.slotBytesPerPixel;
    const std::uint32_t bpp = bytesPerPixel_;
    bitsPerPixel_ = 8 * bpp;
    widthByteCount_ = width_ * bpp;
    heightByteCount_ = height_ * bpp;
    imageSizeInPixels_ = width_ * height_;
    imageSizeInBytes_ = width_ * height_ * bpp;
    if (allByteCounts) {
        offsetXByteCount_ = offsetX_ * bpp;
        offsetYByteCount_ = offsetY_ * bpp;
        aoiWidthByteCount_ = aoiWidth_ * bpp;
        aoiHeightByteCount_ = aoiHeight_ * bpp;
    }

    if (imageArray_ && ringBuffer_ != nullptr) {
        const std::uint64_t slotStride = product({width_, height_, slotBytesPerPixel_});
        if (product(slotStride, bufferCount_) <= ringBufferSize_) {
            layOutSlots(imageArray_.get(), ringBuffer_, bufferCount_, slotStride);
        } else {
            // The ring was sized for a narrower layout: slots laid over it would run past its
            // end, so the buffers are made afresh for the new layout.
            recreateBuffers(true, false, false);
        }
    }
    if (!transformBuffer_.empty()) {
        replaceWorkBuffer(transformBuffer_, product({2, static_cast<std::uint32_t>(GetNumCameras()),
                                                     tileCount(vertTiles_), tileCount(horzTiles_),
                                                     imageSizeInBytes_}));
    }
    if (wasRunning) Start();
    return 1;
}

IFW_IMAGE_COLOR_TYPE IXGrab::GetImageColor() {
    return imageColor_;
}

// ---- Getters.

std::uint32_t IXGrab::GetWidth() {
    if (isTransposing()) return (vertTiles_ * height_) & ~7u;
    return horzTiles_ * width_;
}

std::uint32_t IXGrab::GetHeight() {
    return isTransposing() ? horzTiles_ * width_ : vertTiles_ * height_;
}

std::uint32_t IXGrab::GetBytesPP() {
    return bytesPerPixel_;
}

std::uint32_t IXGrab::GetBufferCount() {
    return bufferCount_;
}

unsigned char* IXGrab::GetFramePtr(int) {
    return ringBuffer_;
}
