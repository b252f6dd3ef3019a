// Tile counts, the mosaic accessor and the re-ordering of stacked tiles into a mosaic.
#include <tamra/CIGrab.h>

#include "imaging/FrameTransform.h"

int IXGrab::SetTiling(std::uint32_t horizontal, std::uint32_t vertical) {
    horzTiles_ = horizontal == 0 ? 1 : horizontal;
    vertTiles_ = vertical == 0 ? 1 : vertical;
    return 1;
}

std::uint32_t IXGrab::GetHorzTiles() {
    return horzTiles_;
}

std::uint32_t IXGrab::GetVertTiles() {
    return vertTiles_;
}

// No mosaic image is ever kept apart from the frames ApplyImageTransform returns.
unsigned char* IXGrab::GetMosaicImage(int /*camera*/) {
    return mosaicImage_;
}

int CIGrab::IsTiling() {
    return horzTiles_ > 1 || vertTiles_ > 1 ? 1 : 0;
}

unsigned char* CIGrab::VertToHorzPlanes(unsigned char* source, unsigned char* destination) {
    if (source == nullptr || destination == nullptr || source == destination) return destination;
    tamra::imaging::reorderTiles(source, destination, std::uint64_t{width_} * bytesPerPixel_,
                                 height_, horzTiles_ == 0 ? 1 : horzTiles_,
                                 vertTiles_ == 0 ? 1 : vertTiles_);
    return destination;
}
