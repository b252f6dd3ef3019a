// Tamra grab library: image geometry, Create's sizing of the ring buffer, and the value helpers.
#include <tamra/CIGrab.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "core/Reasons.h"

namespace {

constexpr std::uint32_t kKeep = 0xFFFFFFFEu;
constexpr std::uint32_t kUseDefault = 0xFFFFFFFFu;
constexpr std::uint32_t kNoLimit = 0xFFFFFFFDu;

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

std::uint32_t tileCount(std::uint32_t tiles) {
    return tiles == 0 ? 1 : tiles;
}

// An offset leaves at least eight pixels of the span; in 64 bits, so an offset near the top of
// the 32-bit range cannot wrap past the test.
bool cropFits(std::uint32_t span, std::uint32_t offset) {
    return span >= static_cast<std::uint64_t>(offset) + 8;
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
    const std::uint32_t horz = tileCount(horzTiles_), vert = tileCount(vertTiles_);
    std::uint32_t w = isTransposing() ? height / horz : width / horz;
    std::uint32_t h = isTransposing() ? width / vert : height / vert;
    AjustValue(offsetX, offsetX_, 0, 0, kNoLimit);
    AjustValue(offsetY, offsetY_, 0, 0, kNoLimit);
    AjustValue(w, width_, 640, 32, kNoLimit);
    AjustValue(h, height_, 480, 32, kNoLimit);
    AjustValue(bitsPerPixel, bitsPerPixel_, 8, 8, 32);
    AjustValue(bufferCount, bufferCount_, 5, 1, kNoLimit);
    AjustValue(timeOut, timeOut_, 5000, 0, kNoLimit);

    Destroy();
    if (!cropFits(w, offsetX) || !cropFits(h, offsetY)) {
        return fail("Create", tamra::reason::kCropExceeded);
    }
    if (GetGrabType() == IFW_IGRAB_ZEPH && GetHardwareRevision() == 0x202) {
        bufferCount = 6;
    } else if ((w >= 649 && w <= 2047) || w >= 4001) {
        bufferCount = std::min<std::uint32_t>(bufferCount, 3);
    }

    const std::uint32_t b = BitToBytePerPixel(bitsPerPixel);
    const std::uint64_t pixels = product(w, h);
    const int cameras = GetNumCameras();
    const std::uint64_t tiles = product(horz, vert);
    const std::uint32_t sampleBytes =
        imageColor_ == IFW_IMAGE_COLOR_COLOR32 ? 4 : std::max(bytesPerPixel_, b);
    const std::uint64_t stride =
        product({pixels, static_cast<std::uint32_t>(cameras), sampleBytes, tiles});
    // Small 8-bit frames are composed with room for three planes.
    const int workCameras = (b == 1 && pixels < 0x300000) ? std::max(cameras, 3) : cameras;
    const std::uint64_t work = workSize({GetGrabType(), core != nullptr, pixels,
                                         static_cast<std::uint32_t>(workCameras), b, tiles});
    const std::uint64_t ringSize = product(std::max(work, stride), bufferCount);
    if (ringSize > kMax32 || product(pixels, b) > kMax32) {
        return failInit(tamra::reason::kRingAllocation);
    }

    void* supplied = core != nullptr ? core->AllocateNonPagedMem(ringSize) : nullptr;
    if (supplied != nullptr) {
        ringBuffer_ = static_cast<unsigned char*>(supplied);
        ringHookSupplied_ = 1;
    } else {
        ownedRing_.reset(new (std::nothrow) unsigned char[ringSize]);
        ringBuffer_ = ownedRing_.get();
    }
    if (ringBuffer_ == nullptr) return failInit(tamra::reason::kRingAllocation);
    imageArray_.reset(new (std::nothrow) unsigned char*[bufferCount]);
    if (!imageArray_) {
        releaseRing();
        return failInit(tamra::reason::kArrayAllocation);
    }
    std::memset(ringBuffer_, 0, ringSize);
    for (std::uint32_t i = 0; i < bufferCount; ++i) imageArray_[i] = ringBuffer_ + i * stride;

    offsetX_ = offsetX;
    offsetY_ = offsetY;
    width_ = w;
    height_ = h;
    bitsPerPixel_ = bitsPerPixel;
    bytesPerPixel_ = b;
    aoiWidth_ = w - offsetX;
    aoiHeight_ = h - offsetY;
    timeOut_ = timeOut;
    bufferCount_ = bufferCount;
    ringBufferSize_ = static_cast<std::uint32_t>(ringSize);
    widthByteCount_ = b * w;
    heightByteCount_ = b * h;
    imageSizeInPixels_ = static_cast<std::uint32_t>(pixels);
    imageSizeInBytes_ = static_cast<std::uint32_t>(pixels) * b;
    if (core != nullptr) {
        offsetXByteCount_ = b * offsetX;
        offsetYByteCount_ = b * offsetY;
        aoiWidthByteCount_ = aoiWidth_ * b;
        aoiHeightByteCount_ = aoiHeight_ * b;
    }
    GetGpioAttr(&gpioAttr_);
    return 1;
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
            for (std::uint32_t i = 0; i < bufferCount_; ++i) {
                imageArray_[i] = ringBuffer_ + i * slotStride;
            }
        } else {
            // The ring was sized for a narrower layout: slots laid over it would run past its
            // end, so the buffers are made afresh for the new layout.
            recreateBuffers(true, false, false);
        }
    }
    if (!transformBuffer_.empty()) {
        const std::uint64_t size =
            product({2, static_cast<std::uint32_t>(GetNumCameras()), tileCount(vertTiles_),
                     tileCount(horzTiles_), imageSizeInBytes_});
        transformBuffer_.clear();
        transformBuffer_.shrink_to_fit();
        if (size <= kMax32) {
            try {
                transformBuffer_.resize(size);
            } catch (const std::bad_alloc&) {
                // Left empty: the transform allocates it again when it next needs it.
            }
        }
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
