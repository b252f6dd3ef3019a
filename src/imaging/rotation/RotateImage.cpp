// Rotation entry points: argument checks, clipping, and the choice between the permutation copy
// of an exact quarter turn and the resampling path.
#include "imaging/rotation/Rotation.h"

#include <algorithm>
#include <cmath>

#include "imaging/rotation/RotationInternal.h"

namespace tamra::imaging {

namespace {

using detail::Layout;

int pixelBytesOf(Layout layout) {
    switch (layout) {
        case Layout::C1:
            return 1;
        case Layout::C2:
            return 2;
        case Layout::C3:
            return 3;
        case Layout::AC4:
            return 4;
    }
    return 1;
}

bool isValidRect(const ImageRect& rect) {
    return rect.x >= 0 && rect.y >= 0 && rect.width >= 1 && rect.height >= 1;
}

int checkArguments(Layout layout, const std::uint8_t* src, ImageSize srcSize, int srcStep,
                   const ImageRect* srcRect, const std::uint8_t* dst, int dstStep,
                   const ImageRect* dstRect, double angle, double xShift, double yShift,
                   int interpolation) {
    if (src == nullptr || dst == nullptr || srcRect == nullptr || dstRect == nullptr) {
        return kRotateNullPointer;
    }
    if (srcSize.width < 1 || srcSize.height < 1) return kRotateBadSize;
    if (!isValidRect(*srcRect) || !isValidRect(*dstRect)) return kRotateBadRect;
    if (interpolation != kInterpolationNearest) return kRotateBadInterpolation;
    if (!std::isfinite(angle) || !std::isfinite(xShift) || !std::isfinite(yShift)) {
        return kRotateBadNumber;
    }
    const std::int64_t pixelBytes = pixelBytesOf(layout);
    if (srcStep < srcSize.width * pixelBytes) return kRotateBadStep;
    const std::int64_t dstRight = static_cast<std::int64_t>(dstRect->x) + dstRect->width;
    if (dstStep < dstRight * pixelBytes) return kRotateBadStep;
    return kRotateOk;
}

// Whole numbers small enough that the permutation copy's integer arithmetic cannot overflow.
bool isWholeShift(double shift) {
    constexpr double kLimit = 1099511627776.0;  // 2^40
    return std::fabs(shift) <= kLimit && std::trunc(shift) == shift;
}

// False when the mapped corners of the clipped source miss the destination rectangle.
bool reachesDestination(const detail::RotateJob& job, double angle) {
    const ImageRect clipped = {static_cast<std::int32_t>(job.srcX0),
                               static_cast<std::int32_t>(job.srcY0),
                               static_cast<std::int32_t>(job.srcX1 - job.srcX0 + 1),
                               static_cast<std::int32_t>(job.srcY1 - job.srcY0 + 1)};
    double bound[2][2];
    GetRotateBound(&clipped, bound, angle, job.xShift, job.yShift);
    return bound[1][0] >= static_cast<double>(job.dstX0) &&
           bound[0][0] <= static_cast<double>(job.dstX1) &&
           bound[1][1] >= static_cast<double>(job.dstY0) &&
           bound[0][1] <= static_cast<double>(job.dstY1);
}

int rotate(Layout layout, const std::uint8_t* src, ImageSize srcSize, int srcStep,
           const ImageRect* srcRect, std::uint8_t* dst, int dstStep, const ImageRect* dstRect,
           double angle, double xShift, double yShift, int interpolation) {
    const int status = checkArguments(layout, src, srcSize, srcStep, srcRect, dst, dstStep, dstRect,
                                      angle, xShift, yShift, interpolation);
    if (status != kRotateOk) return status;
    detail::RotateJob job{};
    job.src = src;
    job.srcStep = srcStep;
    job.srcX0 = srcRect->x;
    job.srcY0 = srcRect->y;
    job.srcX1 = std::min<std::int64_t>(static_cast<std::int64_t>(srcRect->x) + srcRect->width,
                                       srcSize.width) -
                1;
    job.srcY1 = std::min<std::int64_t>(static_cast<std::int64_t>(srcRect->y) + srcRect->height,
                                       srcSize.height) -
                1;
    if (job.srcX0 > job.srcX1 || job.srcY0 > job.srcY1) return kRotateOk;
    job.dst = dst;
    job.dstStep = dstStep;
    job.dstX0 = dstRect->x;
    job.dstY0 = dstRect->y;
    job.dstX1 = static_cast<std::int64_t>(dstRect->x) + dstRect->width - 1;
    job.dstY1 = static_cast<std::int64_t>(dstRect->y) + dstRect->height - 1;
    job.turn = detail::reduceTurn(angle);
    job.xShift = xShift;
    job.yShift = yShift;
    if (!reachesDestination(job, angle)) return kRotateOk;
    if (job.turn.quarter >= 0 && isWholeShift(xShift) && isWholeShift(yShift)) {
        detail::copyQuarterTurn(job, layout);
    } else {
        detail::resampleRotation(job, layout);
    }
    return kRotateOk;
}

int rotateCenter(Layout layout, const std::uint8_t* src, ImageSize srcSize, int srcStep,
                 const ImageRect* srcRect, std::uint8_t* dst, int dstStep, const ImageRect* dstRect,
                 double angle, double xCenter, double yCenter, int interpolation) {
    double xShift = 0.0;
    double yShift = 0.0;
    const int status = GetRotateShift(xCenter, yCenter, angle, &xShift, &yShift);
    if (status != kRotateOk) return status;
    return rotate(layout, src, srcSize, srcStep, srcRect, dst, dstStep, dstRect, angle, xShift,
                  yShift, interpolation);
}

}  // namespace

int RotateImage8uC1(const std::uint8_t* src, ImageSize srcSize, int srcStep,
                    const ImageRect* srcRect, std::uint8_t* dst, int dstStep,
                    const ImageRect* dstRect, double angle, double xShift, double yShift,
                    int interpolation) {
    return rotate(Layout::C1, src, srcSize, srcStep, srcRect, dst, dstStep, dstRect, angle, xShift,
                  yShift, interpolation);
}

int RotateImage8uC2(const std::uint8_t* src, ImageSize srcSize, int srcStep,
                    const ImageRect* srcRect, std::uint8_t* dst, int dstStep,
                    const ImageRect* dstRect, double angle, double xShift, double yShift,
                    int interpolation) {
    return rotate(Layout::C2, src, srcSize, srcStep, srcRect, dst, dstStep, dstRect, angle, xShift,
                  yShift, interpolation);
}

int RotateImage8uC3(const std::uint8_t* src, ImageSize srcSize, int srcStep,
                    const ImageRect* srcRect, std::uint8_t* dst, int dstStep,
                    const ImageRect* dstRect, double angle, double xShift, double yShift,
                    int interpolation) {
    return rotate(Layout::C3, src, srcSize, srcStep, srcRect, dst, dstStep, dstRect, angle, xShift,
                  yShift, interpolation);
}

int RotateImage8uAC4(const std::uint8_t* src, ImageSize srcSize, int srcStep,
                     const ImageRect* srcRect, std::uint8_t* dst, int dstStep,
                     const ImageRect* dstRect, double angle, double xShift, double yShift,
                     int interpolation) {
    return rotate(Layout::AC4, src, srcSize, srcStep, srcRect, dst, dstStep, dstRect, angle, xShift,
                  yShift, interpolation);
}

int RotateCenterImage8uC1(const std::uint8_t* src, ImageSize srcSize, int srcStep,
                          const ImageRect* srcRect, std::uint8_t* dst, int dstStep,
                          const ImageRect* dstRect, double angle, double xCenter, double yCenter,
                          int interpolation) {
    return rotateCenter(Layout::C1, src, srcSize, srcStep, srcRect, dst, dstStep, dstRect, angle,
                        xCenter, yCenter, interpolation);
}

int RotateCenterImage8uC2(const std::uint8_t* src, ImageSize srcSize, int srcStep,
                          const ImageRect* srcRect, std::uint8_t* dst, int dstStep,
                          const ImageRect* dstRect, double angle, double xCenter, double yCenter,
                          int interpolation) {
    return rotateCenter(Layout::C2, src, srcSize, srcStep, srcRect, dst, dstStep, dstRect, angle,
                        xCenter, yCenter, interpolation);
}

int RotateCenterImage8uC3(const std::uint8_t* src, ImageSize srcSize, int srcStep,
                          const ImageRect* srcRect, std::uint8_t* dst, int dstStep,
                          const ImageRect* dstRect, double angle, double xCenter, double yCenter,
                          int interpolation) {
    return rotateCenter(Layout::C3, src, srcSize, srcStep, srcRect, dst, dstStep, dstRect, angle,
                        xCenter, yCenter, interpolation);
}

int RotateCenterImage8uAC4(const std::uint8_t* src, ImageSize srcSize, int srcStep,
                           const ImageRect* srcRect, std::uint8_t* dst, int dstStep,
                           const ImageRect* dstRect, double angle, double xCenter, double yCenter,
                           int interpolation) {
    return rotateCenter(Layout::AC4, src, srcSize, srcStep, srcRect, dst, dstStep, dstRect, angle,
                        xCenter, yCenter, interpolation);
}

}  // namespace tamra::imaging
