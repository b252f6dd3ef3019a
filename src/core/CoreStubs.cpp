// Placeholder definitions so the library links while this subsystem is being built;
// replaced by the real implementation.
#include <tamra/Tamra.h>

// NOLINTBEGIN
IFW_IGRABTYPE IXGrab::GetGrabType() { return IFW_IGRAB_CORE; }
int IXGrab::Initialize() { return 0; }
int IXGrab::Create(std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t) { return 0; }
int IXGrab::Destroy() { return 0; }
int IXGrab::Terminate() { return 0; }
int IXGrab::Stop() { return 0; }
int IXGrab::Start() { return 0; }
void IXGrab::RegisterTrashCallback(IFW_GRAB_CALLBACK, void*) {}
void IXGrab::RegisterBufferCallback(IFW_GRAB_CALLBACK, void*) {}
void IXGrab::RegisterBufferCallbackEx(IFW_GRAB_CALLBACK_EX, void*) {}
void IXGrab::RegisterChangeSolutionCallback(IFW_GRAB_CALLBACK, void*) {}
void IXGrab::RegisterAcqThreadExitCallback(IFW_ACQ_THREAD_EXIT_CALLBACK, void*) {}
void IXGrab::UnRegisterTrashCallback() {}
void IXGrab::UnRegisterBufferCallback() {}
void IXGrab::UnRegisterChangeSolutionCallback() {}
void IXGrab::UnRegisterAcqThreadExitCallback() {}
int IXGrab::IsGrabInitialized() { return 0; }
int IXGrab::IsGrabRunning() { return 0; }
char* IXGrab::GetLastErrorMsg() { return nullptr; }
void IXGrab::SetDbgCatcher(IFW_DBG_CATCHER, void*) {}
double IXGrab::GetFrameRate() { return 0.0; }
void IXGrab::AcqThreadExitting() {}
void IXGrab::DbgPrint(char*) {}
void IXGrab::UpdateFrameRate(double) {}
int IXGrab::SetWidth(std::uint32_t) { return 0; }
int IXGrab::SetHeight(std::uint32_t) { return 0; }
int IXGrab::SetBytesPP(std::uint32_t) { return 0; }
int IXGrab::SetBufferCount(std::uint32_t) { return 0; }
void IXGrab::AjustValue(std::uint32_t&, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t) {}
std::uint32_t IXGrab::BitToBytePerPixel(std::uint32_t) { return 0; }
int IXGrab::SetImageColor(IFW_IMAGE_COLOR_TYPE) { return 0; }
IFW_IMAGE_COLOR_TYPE IXGrab::GetImageColor() { return static_cast<IFW_IMAGE_COLOR_TYPE>(0); }
std::uint32_t IXGrab::GetWidth() { return 0; }
std::uint32_t IXGrab::GetHeight() { return 0; }
std::uint32_t IXGrab::GetBytesPP() { return 0; }
std::uint32_t IXGrab::GetBufferCount() { return 0; }
unsigned char* IXGrab::GetFramePtr(int) { return nullptr; }
int IXGrab::GetNumCameras() { return 0; }
void IXGrab::SetNumCameras(int) {}
int IXGrab::GetExpicitSetNumCameras() { return 0; }
int IXGrab::GetActiveCamera() { return 0; }
int IXGrab::SetClientActiveCamera(int) { return 0; }
int IXGrab::GetCamAttr(IFW_CAM_ATTR*) { return 0; }
std::uint32_t IXGrab::GetHardwareRevision() { return 0; }
void IXGrab::SetProductName(wchar_t*) {}
void IXGrab::SetClientConnect(int) {}
void IXGrab::SetASyncMode(int) {}
int IXGrab::SetFrameDelay(unsigned int) { return 0; }
unsigned int IXGrab::GetFrameDelay() { return 0; }
int IXGrab::SetOutputPort(unsigned int, int) { return 0; }
int IXGrab::GeneratePulseOutPort(unsigned int, int, double, double) { return 0; }
IFW_IGRABTYPE CIGrab::GetGrabType() { return IFW_IGRAB_CORE; }
int CIGrab::Initialize() { return 0; }
int CIGrab::Create(std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t) { return 0; }
int CIGrab::Destroy() { return 0; }
int CIGrab::Terminate() { return 0; }
int CIGrab::Stop() { return 0; }
int CIGrab::Start() { return 0; }
int CIGrab::SetWidth(std::uint32_t) { return 0; }
int CIGrab::SetHeight(std::uint32_t) { return 0; }
int CIGrab::SetImageColor(IFW_IMAGE_COLOR_TYPE) { return 0; }
int CIGrab::GeneratePulseOutPort(unsigned int, int, double, double) { return 0; }
char* CIGrab::GetLastErrorMsg() { return nullptr; }
int CIGrab::GetOutputPortVal(unsigned int) { return 0; }
int CIGrab::SetActiveCamera(int, int) { return 0; }
int CIGrab::ScheduleIOEvent(unsigned int, int, double, double) { return 0; }
int CIGrab::SetOffsetX(std::uint32_t) { return 0; }
int CIGrab::SetOffsetY(std::uint32_t) { return 0; }
int CIGrab::iSetWidth(std::uint32_t) { return 0; }
int CIGrab::iSetHeight(std::uint32_t) { return 0; }
int CIGrab::SetBitsPP(std::uint32_t) { return 0; }
int CIGrab::SetAoiWidth(std::uint32_t) { return 0; }
int CIGrab::SetAoiHeight(std::uint32_t) { return 0; }
int CIGrab::SetTimeOut(std::uint32_t) { return 0; }
int CIGrab::SetWindowGen(std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t) { return 0; }
int CIGrab::IsGrabCreated() { return 0; }
int CIGrab::IsIORunning() { return 0; }
int CIGrab::IsCameraDetected(int) { return 0; }
std::uint32_t CIGrab::GetOffsetX() { return 0; }
std::uint32_t CIGrab::GetOffsetY() { return 0; }
std::uint32_t CIGrab::GetBitPP() { return 0; }
std::uint32_t CIGrab::GetAoiWidth() { return 0; }
std::uint32_t CIGrab::GetAoiHeight() { return 0; }
std::uint32_t CIGrab::GetTimeOut() { return 0; }
std::uint32_t CIGrab::GetOffsetXByteCount() { return 0; }
std::uint32_t CIGrab::GetOffsetYByteCount() { return 0; }
std::uint32_t CIGrab::GetWidthByteCount() { return 0; }
std::uint32_t CIGrab::GetHeightByteCount() { return 0; }
std::uint32_t CIGrab::GetAoiWidthByteCount() { return 0; }
std::uint32_t CIGrab::GetAoiHeightByteCount() { return 0; }
std::uint32_t CIGrab::GetRingBufferSize() { return 0; }
std::uint32_t CIGrab::GetImageSizeInBytes() { return 0; }
std::uint32_t CIGrab::GetImageSizeInPixels() { return 0; }
std::uint32_t CIGrab::GetAcqThreadID() { return 0; }
std::uint32_t CIGrab::ScheduleIo() { return 0; }

#include "core/IoScheduler.h"
#include "platform/Thread.h"

XiStorage::~XiStorage() = default;
IXGrab::IXGrab() : className_("IXGrab") {}
IXGrab::~IXGrab() = default;
int IXGrab::fail(const char*, const char*) { return 0; }
int IXGrab::requireInitialized(const char*) { return 0; }
void IXGrab::setLastError(const char*) {}
int IXGrab::createGeometry(std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t, bool) { return 0; }
void IXGrab::releaseRing(bool) {}
void IXGrab::recreateIfCreated(bool, bool, bool) {}
bool IXGrab::isTransposing() const { return false; }
CIGrab::CIGrab() { className_ = "CIGrab"; }
CIGrab::~CIGrab() = default;

extern "C" IXGrab* TamraGrabInstantiate(char*) { return new CIGrabEmu(IGEMU_FILE_STORE_DISK); }
extern "C" int TamraGrabDelete(IXGrab* grab) { delete grab; return grab ? 1 : 0; }
