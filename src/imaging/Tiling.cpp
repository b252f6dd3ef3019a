// Tile counts, the mosaic accessor and the re-ordering of stacked tiles into a mosaic.
#include <tamra/CIGrab.h>

#include "core/GrabState.h"
#include "imaging/FrameTransform.h"

int IXGrab::SetTiling(std::uint32_t horizontal, std::uint32_t vertical) {
    grabState().transform.horzTiles = horizontal == 0 ? 1 : horizontal;
    grabState().transform.vertTiles = vertical == 0 ? 1 : vertical;
    return 1;
}

std::uint32_t IXGrab::GetHorzTiles() {
    return grabState().transform.horzTiles;
}

std::uint32_t IXGrab::GetVertTiles() {
    return grabState().transform.vertTiles;
}

// No mosaic image is ever kept apart from the frames ApplyImageTransform returns.
unsigned char* IXGrab::GetMosaicImage(int /*camera*/) {
    return grabState().transform.mosaicImage;
}

int CIGrab::IsTiling() {
    return grabState().transform.horzTiles > 1 || grabState().transform.vertTiles > 1 ? 1 : 0;
}

unsigned char* CIGrab::VertToHorzPlanes(unsigned char* source, unsigned char* destination) {
    if (source == nullptr || destination == nullptr || source == destination) return destination;
    tamra::imaging::reorderTiles(
        source, destination,
        std::uint64_t{grabState().geometry.width} * grabState().geometry.bytesPerPixel,
        grabState().geometry.height,
        grabState().transform.horzTiles == 0 ? 1 : grabState().transform.horzTiles,
        grabState().transform.vertTiles == 0 ? 1 : grabState().transform.vertTiles);
    return destination;
}
