// Emulator frame composition: the frame surface, the reusable file bitmap and the frame slots.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include <tamra/PlatformTypes.h>

#include "emulator/BitmapVerdict.h"
#include "platform/raster/DeviceContext.h"

#include "core/FrameLayout.h"

namespace tamra {
struct GrabState;
}  // namespace tamra

namespace tamra::emulator {

class ImageStore;
class Observation;

struct BitmapFileHeader;
struct ConformRule;

// The format of the frame surface: a bitmap header with room for a full palette.
struct TargetFormat {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[256];
};

// Where the planes of a frame come from: the emulator's file lists, the grab's settings, and the
// name of the active camera's file, written back for GetImageFileName.
struct FrameSource {
    ImageStore& store;
    const GrabState& state;
    char* currentFileName;  // kPathCapacity characters
};

// Everything a frame is composed with. Owned by one emulator and used by one thread at a time:
// the producer while the grab runs, the client's thread otherwise. After the first frames of a
// geometry, composing allocates nothing: the file bitmap, the column map of the stretch and the
// slots keep their memory from frame to frame.
class FrameComposer {
public:
    FrameComposer() = default;
    FrameComposer(const FrameComposer&) = delete;
    FrameComposer& operator=(const FrameComposer&) = delete;

    // ---- Frame surface: top-down, grab geometry, rows packed without padding.
    // Fills the target format (8 bits and fewer: a grey ramp palette) and makes the surface;
    // false when the raster layer cannot hold that format.
    bool createSurface(std::uint32_t width, std::uint32_t height, std::uint32_t bitsPerPixel,
                       std::uint32_t bytesPerPixel);
    void destroySurface();
    platform::Bitmap& surface() { return surface_; }
    platform::DeviceContext& destinationDc() { return destinationDc_; }
    // The target format as the loader takes it. Only its header is ever read through it.
    BITMAPINFO* targetFormat() { return reinterpret_cast<BITMAPINFO*>(&target_); }
    const TargetFormat& target() const { return target_; }

    // ---- Loading one file and drawing it, scaled, onto |width| x |height| of the surface
    // given by target. In order: the file opens, its type is "BM", the 40 header bytes are
    // there, the header (with its width rounded up to a multiple of 4) passes the conform
    // rule, the header size is 40; then the layout must be one the loader reads (8, 16, 24 or
    // 32 bits, uncompressed or 16/32-bit bit fields, at most 256 palette entries, sizes the
    // raster layer holds), the palette or masks and every pixel row must lie in the file, the
    // pixels must start after the headers, masks and palette, and the stretch must succeed (see
    // examineBitmap). Any failure: false, and the surface may be partly drawn.
    bool load(const char* path, const BITMAPINFO* target, const ConformRule& rule);
    // The latest load's verdict: whether the file played and, if not, why.
    const Verdict& verdict() const { return verdict_; }

    // ---- Frame slots.
    // Allocates frame-slot-count slots (at least one) of slotBytes each, zero-filled.
    bool allocateSlots(std::size_t slotBytes);
    void releaseSlots();
    bool hasSlots() const { return static_cast<bool>(slotBlock_); }
    std::size_t slotBytes() const { return slotBytes_; }
    void setSlotCount(std::uint32_t count) { slotCount_ = count; }
    std::uint32_t slotCount() const { return slotCount_; }
    // Grows the slots, outside acquisition, to hold a frame of the layout; false when they
    // cannot be had.
    bool fitSlots(const FrameLayout& layout);

    // ---- Composition.
    // Composes every plane of the layout into slot 0 and returns it; null when slot 0 cannot
    // hold them. Allocates nothing once the slots fit the layout.
    unsigned char* composeFrame(const FrameSource& source, const FrameLayout& layout);
    // Loads camera plane's next file into out, or writes the substitute pattern there.
    void composePlane(const FrameSource& source, int plane, unsigned char* out, std::size_t bytes);
    // The layout frames are composed with: fixed at Start while running.
    FrameLayout& layout() { return layout_; }
    // Where composePlane notes each plane's source and verdict; none by default.
    void observe(Observation* observation) { observation_ = observation; }
    void resetFrameCounter() { frameCounter_ = 0; }
    void advanceFrameCounter() { ++frameCounter_; }
    std::uint32_t frameCounter() const { return frameCounter_; }

private:
    // Why composePlane wrote the pattern for a listed file; null when it was played or unlisted.
    const char* substituteReason(const std::string* file, bool loaded) const;
    Verdict loadVerdict(const char* path, const BITMAPINFO* target, const ConformRule& rule);
    // The size a file is stretched to: the target's, each at most the largest Rect extent.
    struct DrawSize {
        std::int32_t width;
        std::int32_t height;
    };
    // Source rows read and drawn per band: a band and the surface rows drawn from it stay in
    // the second-level cache.
    static constexpr std::size_t kBandBytes = std::size_t{128} << 10;

    Verdict prepareSource(std::FILE* file, const BitmapLayout& layout);
    bool readPalette(std::FILE* file, std::uint32_t entries);
    bool readRows(std::FILE* file, std::size_t fileRowBytes);
    static DrawSize drawSize(const BITMAPINFOHEADER& target);
    bool drawSource(const DrawSize& size);
    bool drawRows(platform::DeviceContext& destination, const platform::Rect& to);
    bool drawsInBands(std::size_t fileRowBytes, const DrawSize& size);
    Verdict readAndDrawBands(std::FILE* file, const DrawSize& size);
    bool readsStraightIntoSurface(std::size_t fileRowBytes, const DrawSize& size);
    Verdict readIntoSurface(std::FILE* file, std::uint64_t pixelOffset, std::size_t fileRowBytes);
    bool drawBand(std::uint32_t top, std::uint32_t end, const DrawSize& size);

    platform::Bitmap surface_;
    platform::Bitmap source_;
    platform::Bitmap planeView_;  // the surface's layout over the plane being composed
    platform::Bitmap band_;       // the surface rows drawn from one band of source rows
    platform::DeviceContext sourceDc_;
    platform::DeviceContext destinationDc_;
    TargetFormat target_{};
    std::vector<platform::PaletteColour> palette_ = std::vector<platform::PaletteColour>(256);
    std::vector<char> streamBuffer_ = std::vector<char>(16384);
    Verdict verdict_;
    Observation* observation_ = nullptr;

    std::unique_ptr<unsigned char[]> slotBlock_;
    std::vector<unsigned char*> slotTable_;
    std::size_t slotBytes_ = 0;
    std::uint32_t slotCount_ = 0;
    std::uint32_t frameCounter_ = 0;
    FrameLayout layout_;
};

// The conform rule of the grab's current geometry.
ConformRule conformRule(const GrabState& state);

// The substitute pattern of a plane: byte b of the pixel at row r, column c is
// ((B + b) x (r + c + (n x 10) / B)) modulo 256 for frame counter n and B bytes per pixel,
// written row by row for at most bytes bytes.
void writeSubstitutePattern(unsigned char* out, std::size_t bytes, std::uint32_t width,
                            std::uint32_t bytesPerPixel, std::uint32_t frameCounter);

}  // namespace tamra::emulator
