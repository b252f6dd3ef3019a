// Emulator frame composition: the frame surface, frame slots, composing planes and the pattern.
#include "emulator/FrameComposer.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

#include <tamra/CIGrabEmu.h>

#include "emulator/Acquisition.h"
#include "emulator/BitmapFile.h"
#include "emulator/ImageStore.h"
#include "emulator/Observation.h"
#include "platform/FileSystem.h"

namespace tamra::emulator {

namespace {

using platform::Bitmap;
using platform::BitmapFormat;
using platform::kMaxBitmapDimension;

// Largest frame-slot block the emulator asks for.
constexpr std::uint64_t kMaxSlotBlockBytes = std::uint64_t{1} << 36;

bool multiplyWithin(std::uint64_t& product, std::uint64_t factor) {
    if (factor != 0 && product > kMaxSlotBlockBytes / factor) return false;
    product *= factor;
    return true;
}

}  // namespace

bool FrameComposer::createSurface(std::uint32_t width, std::uint32_t height,
                                  std::uint32_t bitsPerPixel, std::uint32_t bytesPerPixel) {
    destroySurface();
    target_ = TargetFormat{};
    BITMAPINFOHEADER& header = target_.bmiHeader;
    header.biSize = kInfoHeaderBytes;
    header.biWidth = static_cast<std::int32_t>(width);
    header.biHeight = -static_cast<std::int32_t>(height);
    header.biPlanes = 1;
    header.biBitCount = static_cast<std::uint16_t>(bitsPerPixel);
    header.biSizeImage = bytesPerPixel * width * height;
    header.biClrUsed = bitsPerPixel <= 8 ? 1u << bitsPerPixel : 0;
    for (std::uint32_t i = 0; i < header.biClrUsed && i < 256; ++i) {
        const auto level = static_cast<std::uint8_t>(i);
        target_.bmiColors[i] = RGBQUAD{level, level, level, 0};
        palette_[i] = platform::PaletteColour{level, level, level, 0};
    }
    if (width > kMaxBitmapDimension || height > kMaxBitmapDimension) return false;
    BitmapFormat format;
    format.width = width;
    format.height = -static_cast<std::int32_t>(height);
    format.bitsPerPixel = static_cast<std::uint16_t>(bitsPerPixel);
    format.palette = palette_.data();
    format.paletteSize = std::min<std::uint32_t>(header.biClrUsed, 256);
    format.stride = width * (bitsPerPixel / 8);
    if (!surface_.create(format)) return false;
    destinationDc_.selectBitmap(&surface_);
    sourceDc_.setStretchMode(platform::kStretchColorOnColor);
    destinationDc_.setStretchMode(platform::kStretchColorOnColor);
    return true;
}

void FrameComposer::destroySurface() {
    sourceDc_.selectBitmap(nullptr);
    destinationDc_.selectBitmap(nullptr);
    surface_.release();
    source_.release();
}

std::size_t FrameComposer::frameSlotBytes(CIGrabEmu& emulator) {
    const std::uint64_t cameras = static_cast<std::uint64_t>(std::max(emulator.GetNumCameras(), 0));
    std::uint64_t bytes = emulator.height_;
    const bool fits =
        multiplyWithin(bytes, emulator.width_) && multiplyWithin(bytes, emulator.GetVertTiles()) &&
        multiplyWithin(bytes, emulator.GetHorzTiles()) &&
        multiplyWithin(bytes, emulator.bytesPerPixel_) &&
        multiplyWithin(
            bytes, emulator.bytesPerPixel_ == 1 ? std::max<std::uint64_t>(cameras, 3) : cameras);
    return fits ? static_cast<std::size_t>(bytes) : 0;
}

bool FrameComposer::allocateSlots(std::size_t slotBytes) {
    releaseSlots();
    if (slotCount_ == 0) slotCount_ = 1;
    if (slotBytes > kMaxSlotBlockBytes / slotCount_) return false;
    std::unique_ptr<unsigned char[]> block(
        new (std::nothrow) unsigned char[slotBytes * slotCount_]());
    if (!block) return false;
    try {
        slotTable_.assign(slotCount_, nullptr);
    } catch (const std::bad_alloc&) {
        return false;
    }
    for (std::uint32_t i = 0; i < slotCount_; ++i) slotTable_[i] = block.get() + i * slotBytes;
    slotBlock_ = std::move(block);
    slotBytes_ = slotBytes;
    return true;
}

void FrameComposer::releaseSlots() {
    slotBlock_.reset();
    slotTable_ = std::vector<unsigned char*>();
    slotBytes_ = 0;
}

unsigned char* FrameComposer::frameSlot(std::size_t frameBytes) {
    if (!slotBlock_) return nullptr;
    // Only a layout change after Create (cameras or tiles) can make a frame outgrow its slot.
    if (frameBytes > slotBytes_ && !allocateSlots(frameBytes)) return nullptr;
    return slotTable_[0];
}

void FrameComposer::composePlane(CIGrabEmu& emulator, int plane, unsigned char* out,
                                 std::size_t bytes) {
    const std::string* file = emulator.store_->next(plane, emulator.imageCategory_);
    const bool loaded = file != nullptr &&
                        emulator.LoadBitmapFromFile(file->c_str(), targetFormat()) != 0 &&
                        surface_.sizeInBytes() == bytes;
    if (observation_) observation_->notePlane(plane, file, substituteReason(file, loaded));
    if (!loaded) {
        writeSubstitutePattern(out, bytes, emulator.width_, emulator.bytesPerPixel_, frameCounter_);
        return;
    }
    std::memcpy(out, surface_.bits(), bytes);
    if (plane == emulator.clientActiveCamera_) {
        const std::size_t length = std::min(file->size(), kPathCapacity - 1);
        std::memcpy(emulator.currentFileName_, file->data(), length);
        emulator.currentFileName_[length] = '\0';
    }
}

const char* FrameComposer::substituteReason(const std::string* file, bool loaded) const {
    if (loaded || file == nullptr) return nullptr;
    return verdict_.plays ? "the picture does not match the frame surface" : verdict_.reason;
}

void writeSubstitutePattern(unsigned char* out, std::size_t bytes, std::uint32_t width,
                            std::uint32_t bytesPerPixel, std::uint32_t frameCounter) {
    if (width == 0 || bytesPerPixel == 0) return;
    const std::size_t rowBytes = std::size_t{width} * bytesPerPixel;
    // Computed modulo 2^32, which keeps every result modulo 256 exact.
    const std::uint32_t shift = frameCounter * 10u / bytesPerPixel;
    for (std::uint32_t row = 0; bytes > 0; ++row) {
        const std::size_t count = std::min(bytes, rowBytes);
        std::uint32_t value = row + shift;
        for (std::size_t i = 0, byte = 0; i < count; ++i) {
            out[i] = static_cast<unsigned char>((bytesPerPixel + byte) * value);
            if (++byte == bytesPerPixel) {
                byte = 0;
                ++value;
            }
        }
        out += count;
        bytes -= count;
    }
}

}  // namespace tamra::emulator

int CIGrabEmu::CreateDIBSections() {
    DestroyDIBSections();
    return composer_->createSurface(width_, height_, bitsPerPixel_, bytesPerPixel_) ? 1 : 0;
}

int CIGrabEmu::DestroyDIBSections() {
    composer_->destroySurface();
    return 1;
}

int CIGrabEmu::LoadImageFiles() {
    return 1;
}

unsigned char* CIGrabEmu::GetLoadedImagePtr(IFW_EMULATOR_IMAGETYPE, int, int) {
    return nullptr;
}

int CIGrabEmu::LoadBitmapFromFile(const char* path, BITMAPINFO* target) {
    const tamra::emulator::ConformRule rule{conformEnable_ != 0, width_, height_, bitsPerPixel_};
    return composer_->load(path, target, rule) ? 1 : 0;
}

unsigned char* CIGrabEmu::GrabSimplified(int) {
    tamra::emulator::FrameComposer& composer = *composer_;
    const std::size_t planeBytes = imageSizeInBytes_;
    const std::size_t planes = std::size_t{GetVertTiles()} * GetHorzTiles() *
                               static_cast<std::size_t>(std::max(GetNumCameras(), 0));
    unsigned char* const frame = composer.frameSlot(planes * planeBytes);
    if (frame == nullptr) return nullptr;
    tamra::platform::bitBlt(composer.destinationDc(),
                            tamra::platform::Rect{0, 0, static_cast<std::int32_t>(width_),
                                                  static_cast<std::int32_t>(height_)},
                            nullptr, 0, 0, tamra::platform::kBlackness);
    for (std::size_t plane = 0; plane < planes; ++plane) {
        composer.composePlane(*this, static_cast<int>(plane), frame + plane * planeBytes,
                              planeBytes);
    }
    composer.advanceFrameCounter();
    return frame;
}

unsigned char* CIGrabEmu::Grab(int index) {
    return GrabSimplified(index);
}

std::uint32_t CIGrabEmu::GetWidth() {
    return CIGrab::GetWidth();
}

std::uint32_t CIGrabEmu::GetHeight() {
    return CIGrab::GetHeight();
}

bool CIGrabEmu::AllocateFrameSlots() {
    const std::size_t bytes = tamra::emulator::FrameComposer::frameSlotBytes(*this);
    return bytes != 0 && composer_->allocateSlots(bytes);
}

void CIGrabEmu::ReleaseFrameSlots() {
    composer_->releaseSlots();
}

void CIGrabEmu::SetFrameSlotCount(std::uint32_t count) {
    composer_->setSlotCount(count);
}

// The core's change re-lays the ring; the emulator rebuilds its surface for the new pixel
// format and, when the new layout needs more bytes per frame than Create gave the frame slot,
// re-sizes the slot so that a composed frame never overruns it. A callback is still reading
// the ring it would re-lay, so there the change is refused.
int CIGrabEmu::SetImageColor(IFW_IMAGE_COLOR_TYPE type) {
    if (acquisition_->refusedOnOwnThread(*this, "SetImageColor")) return 0;
    if (CIGrab::SetImageColor(type) == 0) return 0;
    const bool wasRunning = running_ != 0;
    if (wasRunning) Stop();
    if (CreateDIBSections()) LoadImageFiles();
    tamra::emulator::FrameComposer& composer = *composer_;
    if (composer.hasSlots() &&
        tamra::emulator::FrameComposer::frameSlotBytes(*this) > composer.slotBytes()) {
        AllocateFrameSlots();
    }
    if (wasRunning) Start();
    return 1;
}
