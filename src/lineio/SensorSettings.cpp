// Tamra grab library: brightness, contrast, exposure, lookup table and register fields.
//
// The settings are stored and reported back; no image path applies them in this build. Field
// access reaches the device only through the virtual ReadReg and WriteReg hooks, so a back end
// that overrides those two gets working field access unchanged.
#include <tamra/CIGrab.h>

#include "core/GrabState.h"
#include "core/Reasons.h"
#include "lineio/RegisterField.h"

namespace {

constexpr unsigned int kMaxPercent = 100;

std::uint32_t rotateLeft(std::uint32_t bits, std::uint32_t count) {
    count %= 32;
    return count == 0 ? bits : (bits << count) | (bits >> (32 - count));
}

}  // namespace

namespace tamra::lineio {

// The device builds its masks by rotating a single bit `width` times; past 32 rotations every
// bit is set, so the closed form below gives the same mask without looping up to 2^32 times.
std::uint32_t readFieldMask(std::uint32_t width) {
    return width >= 32 ? 0xFFFFFFFFu : (std::uint32_t{1} << width) - 1u;
}

std::uint32_t writeFieldMask(std::uint32_t shift, std::uint32_t width) {
    const std::uint32_t end = shift + width;  // wraps in 32 bits on purpose
    if (shift >= end) return 0;
    return rotateLeft(readFieldMask(width), shift);
}

std::uint32_t replaceField(std::uint32_t old, std::uint32_t shift, std::uint32_t width,
                           std::uint32_t value) {
    const std::uint32_t mask = writeFieldMask(shift, width);
    // The value is shifted, not rotated: wrapped field bits at the bottom receive zeros.
    return ((value << (shift % 32)) & mask) | (old & ~mask);
}

}  // namespace tamra::lineio

// ---- Brightness, contrast and exposure: one value per grab; the camera argument is ignored.

int IXGrab::SetBrightness(unsigned int value) {
    if (value > kMaxPercent) return fail("SetBrightness", tamra::reason::kInvalidBrightness);
    grabState().line.brightness = value;
    return requireInitialized("SetBrightness");
}

unsigned int IXGrab::GetBrightness() {
    return grabState().line.brightness;
}

int IXGrab::SetCamBrightness(unsigned int value, int) {
    return SetBrightness(value);
}

unsigned int IXGrab::GetCamBrightness(int) {
    return grabState().line.brightness;
}

int IXGrab::SetContrast(unsigned int value) {
    if (value > kMaxPercent) return fail("SetContrast", tamra::reason::kInvalidContrast);
    grabState().line.contrast = value;
    return requireInitialized("SetContrast");
}

unsigned int IXGrab::GetContrast() {
    return grabState().line.contrast;
}

int IXGrab::SetExposure(double value, int) {
    grabState().line.exposure = value;
    return requireInitialized("SetExposure");
}

double IXGrab::GetExposure() {
    return grabState().line.exposure;
}

double IXGrab::GetCamExposure(int) {
    return grabState().line.exposure;
}

// ---- Lookup table: only its floor and ceiling are kept; no table of entries.

unsigned int IXGrab::GetLUTFloor() {
    return grabState().line.lutFloor;
}

unsigned int IXGrab::GetLUTCeiling() {
    return grabState().line.lutCeiling;
}

int IXGrab::WriteLUTBuf(std::uint32_t, std::uint32_t size, unsigned char* table) {
    if (requireInitialized("WriteLUTBuf") == 0) return 0;
    return size != 0 && table != nullptr ? 1 : 0;
}

int CIGrab::SetLUTFloor(unsigned int value) {
    grabState().line.lutFloor = value;
    return requireInitialized("SetLUTFloor");
}

int CIGrab::SetLUTCeiling(unsigned int value) {
    grabState().line.lutCeiling = value;
    return requireInitialized("SetLUTCeiling");
}

int CIGrab::LinearizeLUT() {
    grabState().line.lutFloor = 0;
    grabState().line.lutCeiling = 255;
    return requireInitialized("LinearizeLUT");
}

// Floor above ceiling: an inverting table.
int CIGrab::InvLinearizeLUT() {
    grabState().line.lutFloor = 255;
    grabState().line.lutCeiling = 0;
    return requireInitialized("InvLinearizeLUT");
}

// ---- Register fields over the ReadReg/WriteReg hooks.

std::uint32_t IXGrab::ReadRegField(std::uint32_t reg, std::uint32_t shift, std::uint32_t width) {
    return (ReadReg(reg) >> (shift % 32)) & tamra::lineio::readFieldMask(width);
}

void IXGrab::WriteRegField(std::uint32_t reg, std::uint32_t shift, std::uint32_t width,
                           std::uint32_t value) {
    const std::uint32_t old = ReadReg(reg);
    WriteReg(reg, tamra::lineio::replaceField(old, shift, width, value));
}
