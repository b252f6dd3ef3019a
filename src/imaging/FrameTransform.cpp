// Frame transforms behind ApplyImageTransform.
#include "imaging/FrameTransform.h"

#include <cstring>
#include <limits>
#include <new>
#include <utility>

#include "imaging/rotation/PixelRows.h"
#include "imaging/rotation/Rotation.h"

namespace tamra::imaging {

namespace {

using Byte = unsigned char;
using RotateFn = int (*)(const std::uint8_t*, ImageSize, int, const ImageRect*, std::uint8_t*, int,
                         const ImageRect*, double, double, double, int);
using RotateCenterFn = RotateFn;  // same arguments, centre in place of shift

// Sizes of one transform call; false when the geometry is empty or beyond 64 bits.
struct FramePlan {
    std::uint64_t cameraBytes;  // one camera's image: all its tiles
    std::uint64_t frameBytes;   // all cameras
    std::uint32_t sourceWidth;  // of the mirror, flip and rotation stages
    std::uint32_t sourceHeight;
};

bool multiply(std::uint64_t a, std::uint64_t b, std::uint64_t& product) {
    if (a != 0 && b > std::numeric_limits<std::uint64_t>::max() / a) return false;
    product = a * b;
    return true;
}

bool planFrame(const FrameGeometry& g, FramePlan& plan) {
    std::uint64_t tilePixels, tileBytes, tiles, halfSize;
    if (!multiply(g.tileWidth, g.tileHeight, tilePixels) ||
        !multiply(tilePixels, g.bytesPerPixel, tileBytes) ||
        !multiply(g.horzTiles, g.vertTiles, tiles) ||
        !multiply(tileBytes, tiles, plan.cameraBytes) ||
        !multiply(plan.cameraBytes, g.cameras, plan.frameBytes) ||
        !multiply(plan.frameBytes, 2, halfSize)) {
        return false;
    }
    plan.sourceWidth = g.transposing ? g.height : g.width;
    plan.sourceHeight = g.transposing ? g.width : g.height;
    // The reported size never exceeds the tiles it is made of; a size that did would make the
    // stages run past one camera's image, so such a frame is left alone.
    std::uint64_t sourcePixels, sourceBytes;
    if (!multiply(plan.sourceWidth, plan.sourceHeight, sourcePixels) ||
        !multiply(sourcePixels, g.bytesPerPixel, sourceBytes) || sourceBytes > plan.cameraBytes) {
        return false;
    }
    return plan.frameBytes != 0;
}

bool ensureWorkBuffer(std::vector<Byte>& buffer, std::uint64_t bytes) {
    if (buffer.size() >= bytes) return true;
    // The old contents are not kept: a result in the work buffer lives until the next call.
    buffer.clear();
    buffer.shrink_to_fit();
    if (bytes > buffer.max_size()) return false;
    try {
        buffer.resize(static_cast<std::size_t>(bytes));
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

template <int PixelBytes>
void mirrorRows(Byte* dst, const Byte* src, std::uint64_t width, std::uint64_t height) {
    // Each row is read from its end, so rows go bottom to top: the whole source is then one
    // descending stream, which the hardware prefetcher follows.
    const std::uint64_t rowBytes = width * PixelBytes;
    for (std::uint64_t row = height; row-- > 0;) {
        detail::reverseRow<PixelBytes, PixelBytes>(dst + row * rowBytes, src + row * rowBytes,
                                                   static_cast<std::int64_t>(width));
    }
}

void mirrorImage(Byte* dst, const Byte* src, std::uint64_t width, std::uint64_t height,
                 std::uint32_t pixelBytes) {
    switch (pixelBytes) {
        case 1:
            return mirrorRows<1>(dst, src, width, height);
        case 2:
            return mirrorRows<2>(dst, src, width, height);
        case 3:
            return mirrorRows<3>(dst, src, width, height);
        case 4:
            return mirrorRows<4>(dst, src, width, height);
        default:
            break;
    }
    const std::uint64_t rowBytes = width * pixelBytes;
    for (std::uint64_t row = 0; row < height; ++row) {
        for (std::uint64_t x = 0; x < width; ++x) {
            std::memcpy(dst + row * rowBytes + x * pixelBytes,
                        src + row * rowBytes + (width - 1 - x) * pixelBytes, pixelBytes);
        }
    }
}

void flipImage(Byte* dst, const Byte* src, std::uint64_t width, std::uint64_t height,
               std::uint32_t pixelBytes) {
    // The source is read front to back, as one plain copy reads it: on large frames that stream
    // keeps the flip at the speed of a memcpy, where reading it backwards did not.
    const std::uint64_t rowBytes = width * pixelBytes;
    for (std::uint64_t row = 0; row < height; ++row) {
        std::memcpy(dst + (height - 1 - row) * rowBytes, src + row * rowBytes, rowBytes);
    }
}

void rotateLayout(std::uint32_t pixelBytes, RotateFn& shifted, RotateCenterFn& centred) {
    switch (pixelBytes) {
        case 4:
            shifted = RotateImage8uAC4;
            centred = RotateCenterImage8uAC4;
            break;
        case 3:
            shifted = RotateImage8uC3;
            centred = RotateCenterImage8uC3;
            break;
        case 2:
            shifted = RotateImage8uC2;
            centred = RotateCenterImage8uC2;
            break;
        default:
            shifted = RotateImage8uC1;
            centred = RotateCenterImage8uC1;
            break;
    }
}

// One camera image of sw x sh pixels: a transposing turn lands in a frame sh wide and sw high
// with the turned picture centred; any other turns about the centre within the same frame.
// rootHalfTurn selects the root default's 180 degrees, which maps (x, y) to
// (w - 1 - x, h - 1 - y) and so covers every pixel.
void rotateImage(const Byte* src, Byte* dst, const FrameGeometry& g, const FramePlan& plan,
                 bool rootHalfTurn) {
    constexpr std::uint64_t kIntMax = std::numeric_limits<int>::max();
    if (plan.sourceWidth > kIntMax || plan.sourceHeight > kIntMax ||
        std::uint64_t{plan.sourceWidth} * g.bytesPerPixel > kIntMax ||
        std::uint64_t{plan.sourceHeight} * g.bytesPerPixel > kIntMax) {
        return;
    }
    const int w = static_cast<int>(plan.sourceWidth);
    const int h = static_cast<int>(plan.sourceHeight);
    const int bpp = static_cast<int>(g.bytesPerPixel);
    const double angle = g.rotation;
    RotateFn shifted = nullptr;
    RotateCenterFn centred = nullptr;
    rotateLayout(g.bytesPerPixel, shifted, centred);
    const ImageRect source{0, 0, w, h};
    if (g.transposing) {
        double bound[2][2];
        if (GetRotateBound(&source, bound, angle, 0.0, 0.0) != kRotateOk) return;
        const double xShift = ((h - 1) - (bound[0][0] + bound[1][0])) * 0.5;
        const double yShift = ((w - 1) - (bound[0][1] + bound[1][1])) * 0.5;
        const ImageRect turned{0, 0, h, w};
        shifted(src, {w, h}, w * bpp, &source, dst, h * bpp, &turned, angle, xShift, yShift,
                kInterpolationNearest);
    } else if (rootHalfTurn) {
        shifted(src, {w, h}, w * bpp, &source, dst, w * bpp, &source, angle, w - 1.0, h - 1.0,
                kInterpolationNearest);
    } else {
        centred(src, {w, h}, w * bpp, &source, dst, w * bpp, &source, angle, w * 0.5, h * 0.5,
                kInterpolationNearest);
    }
}

// The root default turns only exact quarter turns of 1- and 3-byte pixels.
bool rootDefaultRotates(const FrameGeometry& g) {
    if (g.bytesPerPixel != 1 && g.bytesPerPixel != 3) return false;
    if (g.transposing) return g.rotation == 90 || g.rotation == 270;
    return g.rotation == 180;
}

}  // namespace

void reorderTiles(const unsigned char* source, unsigned char* destination, std::uint64_t rowBytes,
                  std::uint32_t tileHeight, std::uint32_t horzTiles, std::uint32_t vertTiles) {
    const std::uint64_t mosaicRowBytes = rowBytes * horzTiles;
    const unsigned char* cursor = source;
    for (std::uint64_t v = 0; v < vertTiles; ++v) {
        for (std::uint64_t h = 0; h < horzTiles; ++h) {
            unsigned char* block = destination + v * tileHeight * mosaicRowBytes + h * rowBytes;
            for (std::uint64_t r = 0; r < tileHeight; ++r, cursor += rowBytes) {
                std::memcpy(block + r * mosaicRowBytes, cursor, rowBytes);
            }
        }
    }
}

unsigned char* transformFrame(const FrameGeometry& g, TransformRules rules,
                              std::vector<unsigned char>& workBuffer,
                              std::atomic<std::uint32_t>& callCounter, unsigned char* frame) {
    FramePlan plan{};
    if (frame == nullptr || !planFrame(g, plan)) return frame;
    const bool transforms =
        g.horzTiles > 1 || g.rotation != 0 || g.transformType != IFW_IMG_TRANSFORM_NONE;
    if (transforms && !ensureWorkBuffer(workBuffer, 2 * plan.frameBytes)) return frame;
    const std::uint32_t half = callCounter.fetch_add(1, std::memory_order_relaxed) & 1u;
    if (!transforms) return frame;

    Byte* current = frame;
    Byte* spare = workBuffer.data() + half * plan.frameBytes;
    if (rules == TransformRules::Core && g.horzTiles > 1) {
        const std::uint64_t rowBytes = std::uint64_t{g.tileWidth} * g.bytesPerPixel;
        for (std::uint64_t i = 0, at = 0; i < g.cameras; ++i, at += plan.cameraBytes) {
            reorderTiles(current + at, spare + at, rowBytes, g.tileHeight, g.horzTiles,
                         g.vertTiles);
        }
        std::swap(current, spare);
    }
    if (g.transformType == IFW_IMG_TRANSFORM_MIRROR || g.transformType == IFW_IMG_TRANSFORM_FLIP) {
        auto stage = g.transformType == IFW_IMG_TRANSFORM_MIRROR ? mirrorImage : flipImage;
        for (std::uint64_t i = 0, at = 0; i < g.cameras; ++i, at += plan.cameraBytes) {
            stage(spare + at, current + at, plan.sourceWidth, plan.sourceHeight, g.bytesPerPixel);
        }
        std::swap(current, spare);
    }
    if (g.rotation == 0) return current;
    const bool root = rules == TransformRules::RootDefault;
    if (root && !rootDefaultRotates(g)) return spare;
    for (std::uint64_t i = 0, at = 0; i < g.cameras; ++i, at += plan.cameraBytes) {
        rotateImage(current + at, spare + at, g, plan, root);
    }
    return spare;
}

}  // namespace tamra::imaging
