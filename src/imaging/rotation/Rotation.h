// Rotation primitives: nearest-neighbour rotation of 8-bit images by any angle, and the geometry
// that places the rotated image. They know nothing of grab objects and work on raw buffers.
//
// Coordinates name pixel centres: (x, y) is column x, row y of the image that a pointer starts.
// A source pixel (x, y) goes to
//     x' = c*x + s*y + xShift,    y' = -s*x + c*y + yShift
// with s, c the sine and cosine of the angle reduced to [0, 360) (exact at quarter turns), so a
// positive angle turns the picture counter-clockwise on a display whose y axis points down.
//
// A destination pixel inside the destination rectangle is written when the nearest source pixel
// of its source position (column and row rounded half up) lies inside the source rectangle
// clipped to the source image; that covers the positions up to half a pixel outside the outer
// pixel centres, the area the outer pixels themselves cover. Every other destination pixel keeps
// its bytes: there is no fill value, and the fourth byte of an AC4 pixel is never written. When
// the mapped corners of the clipped source rectangle do not meet the destination rectangle,
// nothing is written at all.
//
// Results: 0 on success (also when nothing was written), a RotateStatus below for an invalid
// argument. Thread-safe: no state is kept between calls; source and destination must not overlap.
#pragma once

#include <cstdint>

namespace tamra::imaging {

struct ImageSize {
    std::int32_t width;
    std::int32_t height;
};

struct ImageRect {
    std::int32_t x;
    std::int32_t y;
    std::int32_t width;
    std::int32_t height;
};

inline constexpr int kInterpolationNearest = 1;

enum RotateStatus : int {
    kRotateOk = 0,
    kRotateNullPointer = 1,  // a buffer, rectangle or output pointer is null
    kRotateBadSize = 2,      // source image width or height below 1
    kRotateBadRect = 3,      // a rectangle with a negative origin or a size below 1
    kRotateBadStep = 4,      // a step shorter than the rows it must hold
    kRotateBadInterpolation = 5,
    kRotateBadNumber = 6,  // angle, shift or centre not finite
};

// Rotation with an explicit shift. Steps are bytes from one row to the next. The destination
// buffer must hold the destination rectangle at dstStep; its pointer is destination pixel (0, 0).
int RotateImage8uC1(const std::uint8_t* src, ImageSize srcSize, int srcStep,
                    const ImageRect* srcRect, std::uint8_t* dst, int dstStep,
                    const ImageRect* dstRect, double angle, double xShift, double yShift,
                    int interpolation);
int RotateImage8uC3(const std::uint8_t* src, ImageSize srcSize, int srcStep,
                    const ImageRect* srcRect, std::uint8_t* dst, int dstStep,
                    const ImageRect* dstRect, double angle, double xShift, double yShift,
                    int interpolation);
int RotateImage8uAC4(const std::uint8_t* src, ImageSize srcSize, int srcStep,
                     const ImageRect* srcRect, std::uint8_t* dst, int dstStep,
                     const ImageRect* dstRect, double angle, double xShift, double yShift,
                     int interpolation);
// Two bytes per pixel moved as one whole pixel (16-bit grey).
int RotateImage8uC2(const std::uint8_t* src, ImageSize srcSize, int srcStep,
                    const ImageRect* srcRect, std::uint8_t* dst, int dstStep,
                    const ImageRect* dstRect, double angle, double xShift, double yShift,
                    int interpolation);

// Rotation about the point (xCenter, yCenter), which stays where it is.
int RotateCenterImage8uC1(const std::uint8_t* src, ImageSize srcSize, int srcStep,
                          const ImageRect* srcRect, std::uint8_t* dst, int dstStep,
                          const ImageRect* dstRect, double angle, double xCenter, double yCenter,
                          int interpolation);
int RotateCenterImage8uC3(const std::uint8_t* src, ImageSize srcSize, int srcStep,
                          const ImageRect* srcRect, std::uint8_t* dst, int dstStep,
                          const ImageRect* dstRect, double angle, double xCenter, double yCenter,
                          int interpolation);
int RotateCenterImage8uAC4(const std::uint8_t* src, ImageSize srcSize, int srcStep,
                           const ImageRect* srcRect, std::uint8_t* dst, int dstStep,
                           const ImageRect* dstRect, double angle, double xCenter, double yCenter,
                           int interpolation);
int RotateCenterImage8uC2(const std::uint8_t* src, ImageSize srcSize, int srcStep,
                          const ImageRect* srcRect, std::uint8_t* dst, int dstStep,
                          const ImageRect* dstRect, double angle, double xCenter, double yCenter,
                          int interpolation);

// Extent of the mapped corner pixel centres of srcRect: bound[0] = {min x, min y},
// bound[1] = {max x, max y}.
int GetRotateBound(const ImageRect* srcRect, double bound[2][2], double angle, double xShift,
                   double yShift);

// Shift that keeps (xCenter, yCenter) fixed under the forward map.
int GetRotateShift(double xCenter, double yCenter, double angle, double* xShift, double* yShift);

}  // namespace tamra::imaging
