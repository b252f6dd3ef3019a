// Placeholder definitions so the library links while this subsystem is being built;
// replaced by the real implementation.
#include <tamra/Tamra.h>

// NOLINTBEGIN
IFW_IGRABTYPE CIGrabEmu::GetGrabType() { return IFW_IGRAB_CORE; }
int CIGrabEmu::Initialize() { return 0; }
int CIGrabEmu::Create(std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t) { return 0; }
int CIGrabEmu::Destroy() { return 0; }
int CIGrabEmu::Terminate() { return 0; }
int CIGrabEmu::Stop() { return 0; }
int CIGrabEmu::Start() { return 0; }
int CIGrabEmu::SetFrameDelay(unsigned int) { return 0; }
int CIGrabEmu::SetActiveCommPort(int) { return 0; }
int CIGrabEmu::EmulationTrigger() { return 0; }
int CIGrabEmu::GetCommPortNum(int, IFW_COMPORT_KIND) { return 0; }
int CIGrabEmu::GenerateSoftTrigger(int) { return 0; }
int CIGrabEmu::EmulateFromNewImagePath(char*, std::uint32_t, std::uint32_t) { return 0; }
void CIGrabEmu::GotTeachImage() {}
std::uint32_t CIGrabEmu::EmuGrabThread(void*) { return 0; }
std::uint32_t CIGrabEmu::EmuDeliverThread(void*) { return 0; }
std::uint32_t CIGrabEmu::EmuTrashThread(void*) { return 0; }

#include "emulator/Acquisition.h"
#include "emulator/FrameComposer.h"
#include "emulator/ImageStore.h"

CIGrabEmu::CIGrabEmu(IGEMU_FILE_STORE kind) : fileStoreKind_(kind) {}
CIGrabEmu::~CIGrabEmu() = default;
int CIGrabEmu::LockBuffer(unsigned int) { return 0; }
int CIGrabEmu::UnLockBuffer(unsigned int) { return 0; }
int CIGrabEmu::IsBufferLocked(unsigned int) { return 0; }
