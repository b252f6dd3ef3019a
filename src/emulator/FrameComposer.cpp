// Emulator frame composition: the frame surface, frame slots, composing planes and the pattern.
#include "emulator/FrameComposer.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <limits>
#include <new>

#include <tamra/CIGrabEmu.h>

#include "core/GrabGeometry.h"
#include "core/GrabState.h"
#include "core/LifecycleRules.h"
#include "core/Reasons.h"
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

// Only a layout change after Create (cameras or tiles) can make a frame outgrow its slot; Start
// and a direct composition outside acquisition grow it here.
bool FrameComposer::fitSlots(const FrameLayout& layout) {
    if (!slotBlock_) return false;
    const std::uint64_t frameBytes = layoutProduct(layout.planes, layout.planeBytes);
    if (frameBytes <= slotBytes_) return true;
    return frameBytes <= kMaxSlotBlockBytes && allocateSlots(static_cast<std::size_t>(frameBytes));
}

unsigned char* FrameComposer::composeFrame(const FrameSource& source, const FrameLayout& layout) {
    const auto planeBytes = static_cast<std::size_t>(layout.planeBytes);
    const std::uint64_t planes = layout.planes;
    if (!slotBlock_ || layoutProduct(planes, planeBytes) > slotBytes_) return nullptr;
    unsigned char* const frame = slotTable_[0];
    for (std::uint64_t plane = 0; plane < planes; ++plane) {
        composePlane(source, static_cast<int>(plane), frame + plane * planeBytes, planeBytes);
    }
    advanceFrameCounter();
    return frame;
}

void FrameComposer::composePlane(const FrameSource& source, int plane, unsigned char* out,
                                 std::size_t bytes) {
    const GrabState& state = source.state;
    const Geometry& geometry = state.geometry;
    const std::string* file = source.store.next(plane, state.source.imageCategory);
    // A played file's stretch covers the whole surface, so it is drawn straight into the plane
    // when the plane has the surface's size; anything else ends in the pattern, which fills the
    // plane, so neither a black fill nor a copy through the surface is needed.
    const bool direct =
        file != nullptr && surface_.sizeInBytes() == bytes && planeView_.view(surface_, out);
    platform::Bitmap* const previous = direct ? destinationDc_.selectBitmap(&planeView_) : nullptr;
    const bool loaded = file != nullptr &&
                        load(file->c_str(), targetFormat(), conformRule(state)) &&
                        surface_.sizeInBytes() == bytes;
    if (direct) destinationDc_.selectBitmap(previous);
    if (observation_) observation_->notePlane(plane, file, substituteReason(file, loaded));
    if (!loaded) {
        writeSubstitutePattern(out, bytes, geometry.width, geometry.bytesPerPixel, frameCounter_);
        return;
    }
    if (!direct) std::memcpy(out, surface_.bits(), bytes);
    if (plane == state.camera.clientActiveCamera) {
        const std::size_t length = std::min(file->size(), kPathCapacity - 1);
        std::memcpy(source.currentFileName, file->data(), length);
        source.currentFileName[length] = '\0';
    }
}

ConformRule conformRule(const GrabState& state) {
    const Geometry& geometry = state.geometry;
    return ConformRule{state.source.conformEnable != 0, geometry.width, geometry.height,
                       geometry.bitsPerPixel};
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
    return composer_->createSurface(grabState().geometry.width, grabState().geometry.height,
                                    grabState().geometry.bitsPerPixel,
                                    grabState().geometry.bytesPerPixel)
               ? 1
               : 0;
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
    return composer_->load(path, target, tamra::emulator::conformRule(grabState())) ? 1 : 0;
}

// Outside acquisition the frame slot first grows to the current layout; while running the
// producer composes with the layout Start fixed, and so does this call.
unsigned char* CIGrabEmu::GrabSimplified(int) {
    tamra::FrameLayout& layout = composer_->layout();
    if (grabState().life.running.load() == 0) {
        layout = currentFrameLayout();
        if (!composer_->fitSlots(layout)) return nullptr;
    }
    return composer_->composeFrame(frameSource(), layout);
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
    const std::uint64_t bytes = grabState().layout.frameSlotBytes;
    return bytes != 0 && bytes <= tamra::kLayoutTooLarge - 1 &&
           composer_->allocateSlots(static_cast<std::size_t>(bytes));
}

void CIGrabEmu::ReleaseFrameSlots() {
    composer_->releaseSlots();
}

void CIGrabEmu::SetFrameSlotCount(std::uint32_t count) {
    composer_->setSlotCount(count);
}

// One restart: stops a running grab, re-lays the ring (re-creating it without a new scan of the
// unchanged folder when the ring is too small), rebuilds the surface for the new pixel format,
// grows the frame slot to the new layout, and starts again. A callback is still reading the
// ring it would re-lay, so there the change is refused.
int CIGrabEmu::SetImageColor(IFW_IMAGE_COLOR_TYPE type) try {
    if (refusedInCallback(tamra::GrabOperation::SetImageColor, "SetImageColor")) return 0;
    if (admitted(tamra::GrabOperation::SetImageColor, "SetImageColor") == 0) return 0;
    if (type == grabState().geometry.imageColor) return 0;
    const bool wasRunning = grabState().life.running.load() != 0;
    if (wasRunning) Stop();
    keepFileLists_ = true;
    tamra::relayImageColor(*this, grabState(), type, true);
    keepFileLists_ = false;
    if (CreateDIBSections()) LoadImageFiles();
    tamra::emulator::FrameComposer& composer = *composer_;
    if (composer.hasSlots() && grabState().layout.frameSlotBytes > composer.slotBytes()) {
        AllocateFrameSlots();
    }
    if (wasRunning) Start();
    return 1;
} catch (const std::exception&) {
    keepFileLists_ = false;
    return fail("SetImageColor", tamra::reason::kOutOfResources);
}

// The layout of a frame composed now: cameras and tiles may have changed since Create.
tamra::FrameLayout CIGrabEmu::currentFrameLayout() {
    const tamra::GrabState& state = grabState();
    tamra::LayoutInput in;
    in.width = state.geometry.width;
    in.height = state.geometry.height;
    in.bytesPerPixel = state.geometry.bytesPerPixel;
    in.cameras = static_cast<std::uint32_t>(std::max(GetNumCameras(), 0));
    in.tiles = tamra::layoutProduct(GetVertTiles(), GetHorzTiles());
    tamra::FrameLayout layout = tamra::layOutFrames(in);
    // The ring that exists, not the one this layout would make.
    layout.ringSlotBytes = state.layout.ringSlotBytes;
    layout.ringBytes = state.layout.ringBytes;
    return layout;
}

tamra::emulator::FrameSource CIGrabEmu::frameSource() {
    return tamra::emulator::FrameSource{*store_, grabState(), currentFileName_};
}
