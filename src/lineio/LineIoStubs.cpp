// Placeholder definitions so the library links while this subsystem is being built;
// replaced by the real implementation.
#include <tamra/Tamra.h>

// NOLINTBEGIN
int IXGrab::SetTriggerMethod(TriggerMethod) { return 0; }
int IXGrab::SetCamTriggerMethod(TriggerMethod, int) { return 0; }
IXGrab::TriggerMethod IXGrab::GetTriggerMethod() { return TRIG_NONE; }
int IXGrab::SetTriggerParams() { return 0; }
int IXGrab::GenerateSoftTrigger(int) { return 0; }
int IXGrab::EmulationTrigger() { return 0; }
void IXGrab::GenerateManualTrigger(int) {}
void IXGrab::SetMaxTrigFreq(int) {}
int IXGrab::SetExternalTriggerDelay(unsigned int) { return 0; }
unsigned int IXGrab::GetExternalTriggerDelay() { return 0; }
int IXGrab::SetExternalTriggerDelayEnable(int) { return 0; }
int IXGrab::GetExternalTriggerDelayEnable() { return 0; }
void IXGrab::SetStrobeEnable(int) {}
int IXGrab::GetStrobeEnable() { return 0; }
int IXGrab::SetStrobeOffset(unsigned int) { return 0; }
unsigned int IXGrab::GetStrobeOffset() { return 0; }
int IXGrab::SetStrobeDuration(unsigned int) { return 0; }
unsigned int IXGrab::GetStrobeDuration() { return 0; }
int IXGrab::SetRejectorDelay(unsigned int) { return 0; }
int IXGrab::SetRecycleDelay(unsigned int) { return 0; }
int IXGrab::RejectorControl(int) { return 0; }
int IXGrab::RejectorTestControl(int) { return 0; }
int IXGrab::SetRejectorPulseControl() { return 0; }
int IXGrab::SetDummyDecisionFIFO(unsigned int, unsigned int) { return 0; }
int IXGrab::SetDecisionOutput(std::uint32_t, IFW_DECISION_OUTPUT_TYPE) { return 0; }
int IXGrab::SetGPO0() { return 0; }
int IXGrab::SetGPO1(unsigned int) { return 0; }
int IXGrab::SetReady(int) { return 0; }
int IXGrab::SetPass(std::uint32_t) { return 0; }
int IXGrab::SetFail(std::uint32_t) { return 0; }
int IXGrab::SetRecycle(std::uint32_t) { return 0; }
int IXGrab::ToggleLed(std::uint32_t) { return 0; }
int IXGrab::GetGPInputValue(int) { return 0; }
int IXGrab::SetHwSolutionIDNumBits(int) { return 0; }
int IXGrab::SetSolutionChangeState(int) { return 0; }
int IXGrab::SetSolutionLoaded(int, int) { return 0; }
void IXGrab::ReTrigger(int) {}
void IXGrab::ReTrigger(unsigned char*, int) {}
int IXGrab::GetGpioAttr(IFW_GPIO_ATTR*) { return 0; }
void IXGrab::GetGPIConfig(std::uint32_t, IFW_GPI_CONFIG*) {}
void IXGrab::SetGPIConfig(std::uint32_t, IFW_GPI_CONFIG*) {}
void IXGrab::GetGPOConfig(std::uint32_t, IFW_GPO_CONFIG*) {}
void IXGrab::SetGPOConfig(std::uint32_t, IFW_GPO_CONFIG*) {}
int IXGrab::SaveStorage(XiStorage*) { return 0; }
int IXGrab::LoadStorage(XiStorage*) { return 0; }
int IXGrab::SetBrightness(unsigned int) { return 0; }
unsigned int IXGrab::GetBrightness() { return 0; }
int IXGrab::SetCamBrightness(unsigned int, int) { return 0; }
unsigned int IXGrab::GetCamBrightness(int) { return 0; }
int IXGrab::SetContrast(unsigned int) { return 0; }
unsigned int IXGrab::GetContrast() { return 0; }
int IXGrab::SetExposure(double, int) { return 0; }
double IXGrab::GetExposure() { return 0.0; }
double IXGrab::GetCamExposure(int) { return 0.0; }
unsigned int IXGrab::GetLUTFloor() { return 0; }
unsigned int IXGrab::GetLUTCeiling() { return 0; }
int IXGrab::WriteLUTBuf(std::uint32_t, std::uint32_t, unsigned char*) { return 0; }
void IXGrab::WriteRegField(std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t) {}
std::uint32_t IXGrab::ReadRegField(std::uint32_t, std::uint32_t, std::uint32_t) { return 0; }
void* IXGrab::OpenComPort(const wchar_t*) { return nullptr; }
void IXGrab::CloseComPort(void*) {}
int IXGrab::GetCommState(void*, DCB*) { return 0; }
int IXGrab::SetCommState(void*, DCB*) { return 0; }
int IXGrab::SetCommTimeouts(void*, COMMTIMEOUTS*) { return 0; }
int IXGrab::ClearCommError(void*, std::uint32_t*, COMSTAT*) { return 0; }
int IXGrab::ReadComPort(void*, void*, std::uint32_t, std::uint32_t*) { return 0; }
int IXGrab::WriteComPort(void*, const void*, std::uint32_t, std::uint32_t*) { return 0; }
void IXGrab::PurgeComPort(void*) {}
int IXGrab::GetCommPortNum(int, IFW_COMPORT_KIND) { return 0; }
int IXGrab::SetActiveCommPort(int) { return 0; }
int CIGrab::SaveStorage(XiStorage*) { return 0; }
int CIGrab::LoadStorage(XiStorage*) { return 0; }
int CIGrab::SetLUTFloor(unsigned int) { return 0; }
int CIGrab::SetLUTCeiling(unsigned int) { return 0; }
int CIGrab::LinearizeLUT() { return 0; }
int CIGrab::InvLinearizeLUT() { return 0; }
unsigned int CIGrab::GetPartsBetweenSensors() { return 0; }
int CIGrab::SetPartsBetweenSensors(unsigned int) { return 0; }
int CIGrab::IsAppRunning() { return 0; }
std::uint32_t CIGrab::GetRecycleDelay() { return 0; }
std::uint32_t CIGrab::GetRejectorDelay() { return 0; }
