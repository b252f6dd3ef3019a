// Straightforward rotation used as the oracle of the rotation tests: every destination pixel of
// the destination rectangle is decided on its own, in double precision, by the definition.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace tamra::imaging::testing {

struct ReferenceTurn {
    double sine;
    double cosine;
};

inline ReferenceTurn referenceTurn(double angle) {
    double reduced = angle - std::trunc(angle / 360.0) * 360.0;
    if (reduced < 0.0) reduced += 360.0;
    if (reduced == 0.0) return {0.0, 1.0};
    if (reduced == 90.0) return {1.0, 0.0};
    if (reduced == 180.0) return {0.0, -1.0};
    if (reduced == 270.0) return {-1.0, 0.0};
    const double radians = reduced * 3.141592653589793 / 180.0;
    return {std::sin(radians), std::cos(radians)};
}

struct ReferenceImage {
    const std::uint8_t* pixels;
    int width;
    int height;
    int step;
};

struct ReferenceRect {
    int x, y, width, height;
};

// Rotates with pixel stride pixelBytes, copying copyBytes of each pixel. Returns false when
// nothing was written because the mapped corners miss the destination rectangle or the clipped
// source is empty.
inline bool referenceRotate(const ReferenceImage& src, ReferenceRect srcRect, std::uint8_t* dst,
                            int dstStep, ReferenceRect dstRect, double angle, double xShift,
                            double yShift, int pixelBytes, int copyBytes) {
    const int x0 = std::max(srcRect.x, 0);
    const int y0 = std::max(srcRect.y, 0);
    const int x1 = std::min(srcRect.x + srcRect.width, src.width) - 1;
    const int y1 = std::min(srcRect.y + srcRect.height, src.height) - 1;
    if (x0 > x1 || y0 > y1) return false;
    const ReferenceTurn t = referenceTurn(angle);
    double minX = 1e300, maxX = -1e300, minY = 1e300, maxY = -1e300;
    for (int corner = 0; corner < 4; ++corner) {
        const double x = (corner & 1) ? x1 : x0;
        const double y = (corner & 2) ? y1 : y0;
        const double xd = t.cosine * x + t.sine * y + xShift;
        const double yd = -t.sine * x + t.cosine * y + yShift;
        minX = std::min(minX, xd);
        maxX = std::max(maxX, xd);
        minY = std::min(minY, yd);
        maxY = std::max(maxY, yd);
    }
    const double right = static_cast<double>(dstRect.x) + dstRect.width - 1;
    const double bottom = static_cast<double>(dstRect.y) + dstRect.height - 1;
    if (maxX < dstRect.x || minX > right || maxY < dstRect.y || minY > bottom) return false;
    for (std::int64_t yd = dstRect.y; yd <= static_cast<std::int64_t>(bottom); ++yd) {
        for (std::int64_t xd = dstRect.x; xd <= static_cast<std::int64_t>(right); ++xd) {
            const double dx = static_cast<double>(xd) - xShift;
            const double dy = static_cast<double>(yd) - yShift;
            const double sx = t.cosine * dx - t.sine * dy;
            const double sy = t.sine * dx + t.cosine * dy;
            const double col = std::floor(sx + 0.5);
            const double row = std::floor(sy + 0.5);
            if (col < x0 || col > x1 || row < y0 || row > y1) continue;
            const std::uint8_t* from = src.pixels + static_cast<std::int64_t>(row) * src.step +
                                       static_cast<std::int64_t>(col) * pixelBytes;
            std::memcpy(dst + yd * dstStep + xd * pixelBytes, from, copyBytes);
        }
    }
    return true;
}

}  // namespace tamra::imaging::testing
