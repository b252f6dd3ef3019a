// Tamra grab library: CIGrab's geometry setters and getters.
//
// A setter resolves its argument, refuses a crop that leaves fewer than eight pixels, returns at
// once when nothing changes, and otherwise stores the value and re-creates the buffers of a
// created object (restarting a running acquisition).
#include <tamra/CIGrab.h>

#include <cstdint>

#include "core/GeometryRules.h"
#include "core/Reasons.h"

namespace {

using tamra::geometry::cropFits;
using tamra::geometry::kNoLimit;

}  // namespace

int CIGrab::SetOffsetX(std::uint32_t x) {
    AjustValue(x, offsetX_, 0, 0, kNoLimit);
    if (!cropFits(width_, x)) return fail("SetOffsetX", tamra::reason::kCropExceeded);
    if (x == offsetX_) return 1;
    offsetX_ = x;
    recreateIfCreated(false, false, false);
    return 1;
}

int CIGrab::SetOffsetY(std::uint32_t y) {
    AjustValue(y, offsetY_, 0, 0, kNoLimit);
    if (!cropFits(height_, y)) return fail("SetOffsetY", tamra::reason::kCropExceeded);
    if (y == offsetY_) return 1;
    offsetY_ = y;
    recreateIfCreated(false, false, false);
    return 1;
}

// The messages of the internal width and height setters name the public operations.
int CIGrab::iSetWidth(std::uint32_t width) {
    AjustValue(width, width_, 640, 32, kNoLimit);
    if (!cropFits(width, offsetX_)) return fail("SetWidth", tamra::reason::kCropExceeded);
    if (width == width_) return 1;
    width_ = width;
    recreateIfCreated(false, false, false);
    return 1;
}

int CIGrab::iSetHeight(std::uint32_t height) {
    AjustValue(height, height_, 480, 32, kNoLimit);
    if (!cropFits(height, offsetY_)) return fail("SetHeight", tamra::reason::kCropExceeded);
    if (height == height_) return 1;
    height_ = height;
    recreateIfCreated(false, false, false);
    return 1;
}

// Width and height are what the client sees: under a transposing rotation they are the stored
// height and width.
int CIGrab::SetWidth(std::uint32_t width) {
    widthSet_ = 1;
    return isTransposing() ? iSetHeight(width) : iSetWidth(width);
}

int CIGrab::SetHeight(std::uint32_t height) {
    heightSet_ = 1;
    return isTransposing() ? iSetWidth(height) : iSetHeight(height);
}

int CIGrab::SetAoiWidth(std::uint32_t width) {
    if (static_cast<std::int32_t>(width) < 8) {
        return fail("SetAoiWidth", tamra::reason::kCropExceeded);
    }
    if (width == aoiWidth_) return 1;
    aoiWidth_ = width;
    width_ = offsetX_ + width;
    recreateIfCreated(false, false, false);
    return 1;
}

int CIGrab::SetAoiHeight(std::uint32_t height) {
    if (static_cast<std::int32_t>(height) < 8) {
        return fail("SetAoiHeight", tamra::reason::kCropExceeded);
    }
    if (height == aoiHeight_) return 1;
    aoiHeight_ = height;
    height_ = offsetY_ + height;
    recreateIfCreated(false, false, false);
    return 1;
}

int CIGrab::SetWindowGen(std::uint32_t x, std::uint32_t y, std::uint32_t width,
                         std::uint32_t height) {
    AjustValue(x, offsetX_, 0, 0, kNoLimit);
    AjustValue(y, offsetY_, 0, 0, kNoLimit);
    AjustValue(width, width_, 640, 32, kNoLimit);
    AjustValue(height, height_, 480, 32, kNoLimit);
    if (!cropFits(width, x) || !cropFits(height, y)) {
        return fail("SetWindowGen", tamra::reason::kCropExceeded);
    }
    if (x == offsetX_ && y == offsetY_ && width == width_ && height == height_) return 1;
    offsetX_ = x;
    offsetY_ = y;
    width_ = width;
    height_ = height;
    recreateIfCreated(false, false, false);
    return 1;
}

int CIGrab::SetBitsPP(std::uint32_t bits) {
    AjustValue(bits, bitsPerPixel_, 8, 8, 32);
    if (bits == bitsPerPixel_) return 1;
    bitsPerPixel_ = bits;
    bytesPerPixel_ = BitToBytePerPixel(bits);
    recreateIfCreated(true, false, false);
    return 1;
}

int CIGrab::SetTimeOut(std::uint32_t timeOut) {
    AjustValue(timeOut, timeOut_, 5000, 0, kNoLimit);
    if (timeOut == timeOut_) return 1;
    timeOut_ = timeOut;
    recreateIfCreated(true, true, true);
    return 1;
}

// ---- Getters.

std::uint32_t CIGrab::GetOffsetX() {
    return offsetX_;
}
std::uint32_t CIGrab::GetOffsetY() {
    return offsetY_;
}
std::uint32_t CIGrab::GetBitPP() {
    return bitsPerPixel_;
}
std::uint32_t CIGrab::GetAoiWidth() {
    return aoiWidth_;
}
std::uint32_t CIGrab::GetAoiHeight() {
    return aoiHeight_;
}
std::uint32_t CIGrab::GetTimeOut() {
    return timeOut_;
}
std::uint32_t CIGrab::GetOffsetXByteCount() {
    return offsetXByteCount_;
}
std::uint32_t CIGrab::GetOffsetYByteCount() {
    return offsetYByteCount_;
}
std::uint32_t CIGrab::GetWidthByteCount() {
    return widthByteCount_;
}
std::uint32_t CIGrab::GetHeightByteCount() {
    return heightByteCount_;
}
std::uint32_t CIGrab::GetAoiWidthByteCount() {
    return aoiWidthByteCount_;
}
std::uint32_t CIGrab::GetAoiHeightByteCount() {
    return aoiHeightByteCount_;
}
std::uint32_t CIGrab::GetRingBufferSize() {
    return ringBufferSize_;
}
std::uint32_t CIGrab::GetImageSizeInBytes() {
    return imageSizeInBytes_;
}
std::uint32_t CIGrab::GetImageSizeInPixels() {
    return imageSizeInPixels_;
}
