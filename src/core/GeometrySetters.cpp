// Tamra grab library: CIGrab's geometry setters and getters.
//
// A setter resolves its argument, refuses a crop that leaves fewer than eight pixels, returns at
// once when nothing changes, and otherwise stores the value and re-creates the buffers of a
// created object (restarting a running acquisition).
#include <tamra/CIGrab.h>

#include <cstdint>

#include "core/GeometryRules.h"
#include "core/GrabGeometry.h"
#include "core/GrabState.h"
#include "core/Reasons.h"

namespace {

using tamra::geometry::cropFits;
using tamra::geometry::kNoLimit;

}  // namespace

int CIGrab::SetOffsetX(std::uint32_t x) {
    AjustValue(x, grabState().geometry.offsetX, 0, 0, kNoLimit);
    if (!cropFits(grabState().geometry.width, x))
        return fail("SetOffsetX", tamra::reason::kCropExceeded);
    if (x == grabState().geometry.offsetX) return 1;
    grabState().geometry.offsetX = x;
    tamra::recreateIfCreated(*this, grabState(), false, false, false);
    return 1;
}

int CIGrab::SetOffsetY(std::uint32_t y) {
    AjustValue(y, grabState().geometry.offsetY, 0, 0, kNoLimit);
    if (!cropFits(grabState().geometry.height, y))
        return fail("SetOffsetY", tamra::reason::kCropExceeded);
    if (y == grabState().geometry.offsetY) return 1;
    grabState().geometry.offsetY = y;
    tamra::recreateIfCreated(*this, grabState(), false, false, false);
    return 1;
}

// The messages of the internal width and height setters name the public operations.
int CIGrab::iSetWidth(std::uint32_t width) {
    AjustValue(width, grabState().geometry.width, 640, 32, kNoLimit);
    if (!cropFits(width, grabState().geometry.offsetX))
        return fail("SetWidth", tamra::reason::kCropExceeded);
    if (width == grabState().geometry.width) return 1;
    grabState().geometry.width = width;
    tamra::recreateIfCreated(*this, grabState(), false, false, false);
    return 1;
}

int CIGrab::iSetHeight(std::uint32_t height) {
    AjustValue(height, grabState().geometry.height, 480, 32, kNoLimit);
    if (!cropFits(height, grabState().geometry.offsetY))
        return fail("SetHeight", tamra::reason::kCropExceeded);
    if (height == grabState().geometry.height) return 1;
    grabState().geometry.height = height;
    tamra::recreateIfCreated(*this, grabState(), false, false, false);
    return 1;
}

// Width and height are what the client sees: under a transposing rotation they are the stored
// height and width.
int CIGrab::SetWidth(std::uint32_t width) {
    grabState().geometry.widthSet = 1;
    return tamra::isTransposing(grabState().transform) ? iSetHeight(width) : iSetWidth(width);
}

int CIGrab::SetHeight(std::uint32_t height) {
    grabState().geometry.heightSet = 1;
    return tamra::isTransposing(grabState().transform) ? iSetWidth(height) : iSetHeight(height);
}

int CIGrab::SetAoiWidth(std::uint32_t width) {
    if (static_cast<std::int32_t>(width) < 8) {
        return fail("SetAoiWidth", tamra::reason::kCropExceeded);
    }
    if (width == grabState().geometry.aoiWidth) return 1;
    grabState().geometry.aoiWidth = width;
    grabState().geometry.width = grabState().geometry.offsetX + width;
    tamra::recreateIfCreated(*this, grabState(), false, false, false);
    return 1;
}

int CIGrab::SetAoiHeight(std::uint32_t height) {
    if (static_cast<std::int32_t>(height) < 8) {
        return fail("SetAoiHeight", tamra::reason::kCropExceeded);
    }
    if (height == grabState().geometry.aoiHeight) return 1;
    grabState().geometry.aoiHeight = height;
    grabState().geometry.height = grabState().geometry.offsetY + height;
    tamra::recreateIfCreated(*this, grabState(), false, false, false);
    return 1;
}

int CIGrab::SetWindowGen(std::uint32_t x, std::uint32_t y, std::uint32_t width,
                         std::uint32_t height) {
    AjustValue(x, grabState().geometry.offsetX, 0, 0, kNoLimit);
    AjustValue(y, grabState().geometry.offsetY, 0, 0, kNoLimit);
    AjustValue(width, grabState().geometry.width, 640, 32, kNoLimit);
    AjustValue(height, grabState().geometry.height, 480, 32, kNoLimit);
    if (!cropFits(width, x) || !cropFits(height, y)) {
        return fail("SetWindowGen", tamra::reason::kCropExceeded);
    }
    if (x == grabState().geometry.offsetX && y == grabState().geometry.offsetY &&
        width == grabState().geometry.width && height == grabState().geometry.height)
        return 1;
    grabState().geometry.offsetX = x;
    grabState().geometry.offsetY = y;
    grabState().geometry.width = width;
    grabState().geometry.height = height;
    tamra::recreateIfCreated(*this, grabState(), false, false, false);
    return 1;
}

int CIGrab::SetBitsPP(std::uint32_t bits) {
    AjustValue(bits, grabState().geometry.bitsPerPixel, 8, 8, 32);
    if (bits == grabState().geometry.bitsPerPixel) return 1;
    grabState().geometry.bitsPerPixel = bits;
    grabState().geometry.bytesPerPixel = BitToBytePerPixel(bits);
    tamra::recreateIfCreated(*this, grabState(), true, false, false);
    return 1;
}

int CIGrab::SetTimeOut(std::uint32_t timeOut) {
    AjustValue(timeOut, grabState().geometry.timeOut, 5000, 0, kNoLimit);
    if (timeOut == grabState().geometry.timeOut) return 1;
    grabState().geometry.timeOut = timeOut;
    tamra::recreateIfCreated(*this, grabState(), true, true, true);
    return 1;
}

// ---- Getters.

std::uint32_t CIGrab::GetOffsetX() {
    return grabState().geometry.offsetX;
}
std::uint32_t CIGrab::GetOffsetY() {
    return grabState().geometry.offsetY;
}
std::uint32_t CIGrab::GetBitPP() {
    return grabState().geometry.bitsPerPixel;
}
std::uint32_t CIGrab::GetAoiWidth() {
    return grabState().geometry.aoiWidth;
}
std::uint32_t CIGrab::GetAoiHeight() {
    return grabState().geometry.aoiHeight;
}
std::uint32_t CIGrab::GetTimeOut() {
    return grabState().geometry.timeOut;
}
std::uint32_t CIGrab::GetOffsetXByteCount() {
    return grabState().geometry.offsetXByteCount;
}
std::uint32_t CIGrab::GetOffsetYByteCount() {
    return grabState().geometry.offsetYByteCount;
}
std::uint32_t CIGrab::GetWidthByteCount() {
    return grabState().geometry.widthByteCount;
}
std::uint32_t CIGrab::GetHeightByteCount() {
    return grabState().geometry.heightByteCount;
}
std::uint32_t CIGrab::GetAoiWidthByteCount() {
    return grabState().geometry.aoiWidthByteCount;
}
std::uint32_t CIGrab::GetAoiHeightByteCount() {
    return grabState().geometry.aoiHeightByteCount;
}
std::uint32_t CIGrab::GetRingBufferSize() {
    return grabState().geometry.ringBufferSize;
}
std::uint32_t CIGrab::GetImageSizeInBytes() {
    return grabState().geometry.imageSizeInBytes;
}
std::uint32_t CIGrab::GetImageSizeInPixels() {
    return grabState().geometry.imageSizeInPixels;
}
