// Placeholder definitions so the library links while this subsystem is being built;
// replaced by the real implementation.
#include <tamra/Tamra.h>

// NOLINTBEGIN
void IXGrab::SetImgTransform(IFW_IMG_TRANSFORM_TYPE) {}
int IXGrab::SetRotateTransform(std::uint32_t) { return 0; }
void IXGrab::SetImgRegion(IFW_IMG_REGION_TYPE) {}
unsigned char* IXGrab::ApplyImageTransform(unsigned char*, int) { return nullptr; }
int IXGrab::SetTiling(std::uint32_t, std::uint32_t) { return 0; }
std::uint32_t IXGrab::GetHorzTiles() { return 0; }
std::uint32_t IXGrab::GetVertTiles() { return 0; }
unsigned char* IXGrab::GetMosaicImage(int) { return nullptr; }
unsigned char* CIGrab::ApplyImageTransform(unsigned char*, int) { return nullptr; }
int CIGrab::Display(HWND, unsigned char*) { return 0; }
int CIGrab::IsTiling() { return 0; }
unsigned char* CIGrab::VertToHorzPlanes(unsigned char*, unsigned char*) { return nullptr; }
