// Rotation geometry: angle reduction, the shift that keeps a centre fixed, and the bound of a
// mapped rectangle.
#include "imaging/rotation/Rotation.h"

#include <algorithm>
#include <cmath>

#include "imaging/rotation/RotationInternal.h"

namespace tamra::imaging {

namespace detail {

Turn reduceTurn(double angle) {
    constexpr double kPi = 3.141592653589793;
    const double turns = std::trunc(angle / 360.0);
    double reduced = angle - turns * 360.0;
    if (reduced < 0.0) reduced += 360.0;
    // Quarter turns take exact values so that they map pixel centres onto pixel centres.
    if (reduced == 0.0) return {0.0, 1.0, 0};
    if (reduced == 90.0) return {1.0, 0.0, 1};
    if (reduced == 180.0) return {0.0, -1.0, 2};
    if (reduced == 270.0) return {-1.0, 0.0, 3};
    const double radians = reduced * kPi / 180.0;
    return {std::sin(radians), std::cos(radians), -1};
}

}  // namespace detail

int GetRotateShift(double xCenter, double yCenter, double angle, double* xShift, double* yShift) {
    if (xShift == nullptr || yShift == nullptr) return kRotateNullPointer;
    if (!std::isfinite(xCenter) || !std::isfinite(yCenter) || !std::isfinite(angle)) {
        return kRotateBadNumber;
    }
    const detail::Turn turn = detail::reduceTurn(angle);
    switch (turn.quarter) {
        case 0:
            *xShift = 0.0;
            *yShift = 0.0;
            break;
        case 1:
            *xShift = xCenter - yCenter;
            *yShift = xCenter + yCenter;
            break;
        case 2:
            *xShift = 2.0 * xCenter;
            *yShift = 2.0 * yCenter;
            break;
        case 3:
            *xShift = xCenter + yCenter;
            *yShift = yCenter - xCenter;
            break;
        default:
            *xShift = xCenter - xCenter * turn.cosine - yCenter * turn.sine;
            *yShift = yCenter - yCenter * turn.cosine + xCenter * turn.sine;
            break;
    }
    return kRotateOk;
}

int GetRotateBound(const ImageRect* srcRect, double bound[2][2], double angle, double xShift,
                   double yShift) {
    if (srcRect == nullptr || bound == nullptr) return kRotateNullPointer;
    if (srcRect->x < 0 || srcRect->y < 0 || srcRect->width < 1 || srcRect->height < 1) {
        return kRotateBadRect;
    }
    if (!std::isfinite(angle) || !std::isfinite(xShift) || !std::isfinite(yShift)) {
        return kRotateBadNumber;
    }
    const detail::Turn turn = detail::reduceTurn(angle);
    const double left = srcRect->x;
    const double top = srcRect->y;
    const double right = static_cast<double>(srcRect->x) + (srcRect->width - 1);
    const double bottom = static_cast<double>(srcRect->y) + (srcRect->height - 1);
    const double xs[4] = {left, right, left, right};
    const double ys[4] = {top, top, bottom, bottom};
    for (int i = 0; i < 4; ++i) {
        const double xd = turn.cosine * xs[i] + turn.sine * ys[i] + xShift;
        const double yd = -turn.sine * xs[i] + turn.cosine * ys[i] + yShift;
        bound[0][0] = i == 0 ? xd : std::min(bound[0][0], xd);
        bound[0][1] = i == 0 ? yd : std::min(bound[0][1], yd);
        bound[1][0] = i == 0 ? xd : std::max(bound[1][0], xd);
        bound[1][1] = i == 0 ? yd : std::max(bound[1][1], yd);
    }
    return kRotateOk;
}

}  // namespace tamra::imaging
