// Placeholder definitions so the library links while this subsystem is being built;
// replaced by the real implementation.
#include <tamra/Tamra.h>

// NOLINTBEGIN
int CIGrabEmu::SetImageColor(IFW_IMAGE_COLOR_TYPE) { return 0; }
std::uint32_t CIGrabEmu::GetWidth() { return 0; }
std::uint32_t CIGrabEmu::GetHeight() { return 0; }
char* CIGrabEmu::GetImagePath() { return nullptr; }
char* CIGrabEmu::GetImageFileName(int, int, int) { return nullptr; }
int CIGrabEmu::GetNumCameras() { return 0; }
void CIGrabEmu::ClearFileList() {}
int CIGrabEmu::GetImageTypeCount(IFW_EMULATOR_IMAGETYPE) { return 0; }
unsigned char* CIGrabEmu::GetLoadedImagePtr(IFW_EMULATOR_IMAGETYPE, int, int) { return nullptr; }
unsigned char* CIGrabEmu::Grab(int) { return nullptr; }
unsigned char* CIGrabEmu::GrabSimplified(int) { return nullptr; }
unsigned int CIGrabEmu::CountImageFiles(const char*) { return 0; }
unsigned int CIGrabEmu::CountImageFilesSimplified(const char*) { return 0; }
int CIGrabEmu::ImageConform(const char*) { return 0; }
int CIGrabEmu::ImageConform(BITMAPINFOHEADER*) { return 0; }
int CIGrabEmu::CreateDIBSections() { return 0; }
int CIGrabEmu::DestroyDIBSections() { return 0; }
int CIGrabEmu::LoadBitmapFromFile(const char*, BITMAPINFO*) { return 0; }
int CIGrabEmu::LoadImageFiles() { return 0; }
int CIGrabEmu::ReadBitmapInfoHeader(const char*, BITMAPINFOHEADER*) { return 0; }
void IXGrab::SetImgSrcConformEnable(int) {}
void IXGrab::SetImgInterjectState(int) {}
unsigned char* IXGrab::GetNextInterjectImage(IFW_EMULATOR_IMAGETYPE, int, int) { return nullptr; }
char* IXGrab::GetImageFileName(int, int, int) { return nullptr; }
unsigned char* CIGrab::GetNextInterjectImage(IFW_EMULATOR_IMAGETYPE, int, int) { return nullptr; }
char* CIGrab::GetImageFileName(int, int, int) { return nullptr; }
bool CIGrabEmu::AllocateFrameSlots() { return false; }
void CIGrabEmu::ReleaseFrameSlots() {}
void CIGrabEmu::SetFrameSlotCount(std::uint32_t) {}
