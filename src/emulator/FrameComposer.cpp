// Emulator frame composition: bitmap loading, the frame surface, frame slots and the pattern.
#include "emulator/FrameComposer.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <limits>
#include <new>

#include <tamra/CIGrabEmu.h>

#include "core/GrabState.h"
#include "core/LifecycleRules.h"
#include "core/Reasons.h"
#include "emulator/Acquisition.h"
#include "emulator/BitmapFile.h"
#include "emulator/ImageStore.h"
#include "platform/FileSystem.h"

namespace tamra::emulator {

namespace {

using platform::Bitmap;
using platform::BitmapFormat;
using platform::kMaxBitmapDimension;

// Largest frame-slot block the emulator asks for.
constexpr std::uint64_t kMaxSlotBlockBytes = std::uint64_t{1} << 36;

// What the loader reads: 8, 16, 24 or 32 bits, uncompressed (or bit fields at 16 and 32 bits),
// a palette of at most 256 entries, and sizes the raster layer can hold. Everything else,
// packed 1- and 4-bit rows and run-length or embedded-image compression among it, is refused.
bool supportedLayout(const BITMAPINFOHEADER& info, std::int32_t storedWidth) {
    const std::uint16_t bits = info.biBitCount;
    if (bits != 8 && bits != 16 && bits != 24 && bits != 32) return false;
    const bool bitFields =
        info.biCompression == kCompressionBitFields && (bits == 16 || bits == 32);
    if (info.biCompression != kCompressionNone && !bitFields) return false;
    const std::uint32_t height = heightMagnitude(info.biHeight);
    if (storedWidth <= 0 || static_cast<std::uint32_t>(storedWidth) > kMaxBitmapDimension - 3) {
        return false;
    }
    return height > 0 && height <= kMaxBitmapDimension && info.biClrUsed <= 256;
}

std::uint32_t readLittle32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
           std::uint32_t{p[3]} << 24;
}

// Whether the pixel block lies inside the file, so that a lying header never makes the
// loader reserve memory for rows the file does not have.
bool fileHolds(std::FILE* file, std::uint32_t offset, std::size_t bytes) {
    if (std::fseek(file, 0, SEEK_END) != 0) return false;
    const long size = std::ftell(file);
    return size >= 0 && std::uint64_t{offset} + bytes <= static_cast<std::uint64_t>(size);
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

bool FrameComposer::load(const char* path, const BITMAPINFO* target, const ConformRule& rule) {
    if (path == nullptr || path[0] == '\0' || target == nullptr) return false;
    File file(platform::openFile(path, "rb"));
    if (!file) return false;
    // A buffer of ours, so that reading the file allocates no stream buffer.
    std::setvbuf(file.get(), streamBuffer_.data(), _IOFBF, streamBuffer_.size());
    BitmapFileHeader fileHeader;
    BITMAPINFOHEADER info{};
    if (!readBitmapHeaders(file.get(), &fileHeader, info)) return false;
    const std::int32_t storedWidth = info.biWidth;
    info.biWidth = roundedWidth(storedWidth);
    if (!rule.accepts(info)) return false;
    const std::uint32_t bytesPerPixel = (info.biBitCount + 7u) / 8u;
    info.biSizeImage =
        heightMagnitude(info.biHeight) * static_cast<std::uint32_t>(info.biWidth) * bytesPerPixel;
    if (info.biSize != kInfoHeaderBytes) return false;
    if (!readSource(file.get(), fileHeader, info, storedWidth)) return false;
    // Only the header is read through target, whatever the palette room behind it.
    BITMAPINFOHEADER targetHeader;
    std::memcpy(&targetHeader, target, sizeof targetHeader);
    return drawSource(targetHeader);
}

bool FrameComposer::readSource(std::FILE* file, const BitmapFileHeader& fileHeader,
                               const BITMAPINFOHEADER& info, std::int32_t storedWidth) {
    if (!supportedLayout(info, storedWidth)) return false;
    BitmapFormat format;
    format.width = static_cast<std::uint32_t>(info.biWidth);
    format.height = info.biHeight;
    format.bitsPerPixel = info.biBitCount;
    if (!readColourTables(file, info, format)) return false;
    const std::size_t fileRowBytes =
        platform::paddedRowBytes(static_cast<std::uint32_t>(storedWidth), info.biBitCount);
    const std::size_t pixelBytes = fileRowBytes * heightMagnitude(info.biHeight);
    if (!fileHolds(file, fileHeader.pixelOffset, pixelBytes)) return false;
    if (!source_.create(format, false)) return false;
    if (std::fseek(file, static_cast<long>(fileHeader.pixelOffset), SEEK_SET) != 0) return false;
    return readRows(file, fileRowBytes);
}

// An 8-bit file's palette follows the information header (without one, the grey ramp);
// bit-field files keep their three masks there.
bool FrameComposer::readColourTables(std::FILE* file, const BITMAPINFOHEADER& info,
                                     BitmapFormat& format) {
    const long tables = static_cast<long>(kFileHeaderBytes + kInfoHeaderBytes);
    if (info.biCompression == kCompressionBitFields) {
        std::uint8_t masks[12];
        if (std::fseek(file, tables, SEEK_SET) != 0 || std::fread(masks, 1, 12, file) != 12) {
            return false;
        }
        format.masks = {readLittle32(masks), readLittle32(masks + 4), readLittle32(masks + 8)};
        // All-zero masks would read as the default layout, which is not what the file says.
        return !format.masks.isDefault();
    }
    if (info.biBitCount != 8 || info.biClrUsed == 0) return true;
    if (std::fseek(file, tables, SEEK_SET) != 0) return false;
    for (std::uint32_t i = 0; i < info.biClrUsed; ++i) {
        std::uint8_t entry[4];
        if (std::fread(entry, 1, 4, file) != 4) return false;
        palette_[i] = platform::PaletteColour{entry[0], entry[1], entry[2], entry[3]};
    }
    format.palette = palette_.data();
    format.paletteSize = info.biClrUsed;
    return true;
}

// File rows are the stored width padded to 4 bytes; bitmap rows hold the rounded width. All
// rows come in one read and are then spread out from the last to the first (each moves to a
// higher or equal offset). The bytes the file does not fill are zeroed, as in a new bitmap.
bool FrameComposer::readRows(std::FILE* file, std::size_t fileRowBytes) {
    const std::size_t rows = source_.height();
    const std::size_t stride = source_.stride();
    std::uint8_t* bits = source_.bits();
    if (std::fread(bits, 1, fileRowBytes * rows, file) != fileRowBytes * rows) return false;
    if (fileRowBytes == stride) return true;
    for (std::size_t row = rows; row-- > 0;) {
        std::memmove(bits + row * stride, bits + row * fileRowBytes, fileRowBytes);
        std::memset(bits + row * stride + fileRowBytes, 0, stride - fileRowBytes);
    }
    return true;
}

bool FrameComposer::drawSource(const BITMAPINFOHEADER& target) {
    const std::uint32_t width = std::min<std::uint32_t>(heightMagnitude(target.biWidth),
                                                        std::numeric_limits<std::int32_t>::max());
    const std::uint32_t height = std::min<std::uint32_t>(heightMagnitude(target.biHeight),
                                                         std::numeric_limits<std::int32_t>::max());
    platform::Bitmap* previous = sourceDc_.selectBitmap(&source_);
    const bool drawn = platform::stretchBlt(
        destinationDc_,
        platform::Rect{0, 0, static_cast<std::int32_t>(width), static_cast<std::int32_t>(height)},
        sourceDc_,
        platform::Rect{0, 0, static_cast<std::int32_t>(source_.width()),
                       static_cast<std::int32_t>(source_.height())},
        platform::kSrcCopy);
    sourceDc_.selectBitmap(previous);
    return drawn;
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
    const Geometry& geometry = source.state.geometry;
    platform::bitBlt(destinationDc_,
                     platform::Rect{0, 0, static_cast<std::int32_t>(geometry.width),
                                    static_cast<std::int32_t>(geometry.height)},
                     nullptr, 0, 0, platform::kBlackness);
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
    const bool loaded = file != nullptr &&
                        load(file->c_str(), targetFormat(), conformRule(state)) &&
                        surface_.sizeInBytes() == bytes;
    if (!loaded) {
        writeSubstitutePattern(out, bytes, geometry.width, geometry.bytesPerPixel, frameCounter_);
        return;
    }
    std::memcpy(out, surface_.bits(), bytes);
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
    relayImageColor(type, true);
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
