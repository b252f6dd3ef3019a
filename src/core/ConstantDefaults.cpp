// Operations that have a constant result and no effect in this build.
#include <tamra/Tamra.h>

void IXGrab::RegisterErrorCallback(IFW_GRAB_CALLBACK, void*) {}
void IXGrab::UnRegisterErrorCallback() {}
void IXGrab::RegisterAcquireEventCallback(IFW_ACQ_EVENT_CALLBACK, void*) {}
void IXGrab::UnRegisterAcquireEventCallback() {}
char* IXGrab::GetImagePath() {
    return nullptr;
}
int IXGrab::EmulateFromNewImagePath(char*, std::uint32_t, std::uint32_t) {
    return 0;
}
void IXGrab::GotTeachImage() {}
int IXGrab::SetPulse(int, int) {
    return 1;
}
int IXGrab::GetTrigScaler(int) {
    return 1;
}
void IXGrab::SetTrigScaler(int, int) {}
void IXGrab::SetAcqReady(int) {}
void IXGrab::SetOutputQueueMode(int) {}
void IXGrab::EnqueueResult() {}
void* IXGrab::CreateInputActiveCallback(unsigned int, IFW_INPUT_ACTIVE_CALLBACK, void*) {
    return nullptr;
}
void IXGrab::DeleteInputActiveCallback(void*) {}
int IXGrab::GetInputChangeNames(char*) {
    return 0;
}
int IXGrab::AddDataInChangeCamTrigger(std::uint32_t, int, std::uint32_t) {
    return 0;
}
void IXGrab::DelDataInChangeCamTrigger(std::uint32_t, int, std::uint32_t) {}
void IXGrab::WriteReg(std::uint32_t, std::uint32_t) {}
std::uint32_t IXGrab::ReadReg(std::uint32_t) {
    return 0;
}
int IXGrab::SetWhiteBalance(int, int, int) {
    return 1;
}
double IXGrab::GetTemperature() {
    return 0.0;
}
int IXGrab::CalFindFlatZone(int) {
    return 0;
}
int IXGrab::CalSaveAllValues() {
    return 0;
}
int IXGrab::CalSelectCalPoint(int) {
    return 0;
}
int IXGrab::CalStart(int) {
    return 0;
}
int IXGrab::GetBaseEquation(int, double*, double*) {
    return 0;
}
char* IXGrab::GetCameraDesc(int) {
    return nullptr;
}
unsigned int IXGrab::GetFrameCount(int) {
    return 0;
}
int IXGrab::GetNumAsyncCameras() {
    return 0;
}
std::uint32_t IXGrab::GetSerialNumber(int) {
    return 0;
}
int IXGrab::IsPLCTypeSupported(int) {
    return 0;
}
int IXGrab::PlcAddFileChangeCallback(void*, void*) {
    return 0;
}
int IXGrab::PlcDelFileChangeCallback(void*) {
    return 0;
}
int IXGrab::PlcGetIPAddress(char*) {
    return 0;
}
int IXGrab::PlcGetInputs(unsigned char*, int) {
    return 0;
}
int IXGrab::PlcGetInputsFloat(float*, int) {
    return 0;
}
int IXGrab::PlcGetInputsSigned16(std::int16_t*, int) {
    return 0;
}
int IXGrab::PlcGetInputsSigned32(std::int32_t*, int) {
    return 0;
}
int IXGrab::PlcGetMACAddress(unsigned char*) {
    return 0;
}
int IXGrab::PlcSetIPAddress(const char*) {
    return 0;
}
int IXGrab::PlcSetOutputs(const unsigned char*, int) {
    return 0;
}
int IXGrab::PlcSetOutputsFloat(const float*, int) {
    return 0;
}
int IXGrab::PlcSetOutputsSigned16(const std::int16_t*, int) {
    return 0;
}
int IXGrab::PlcSetOutputsSigned32(const std::int32_t*, int) {
    return 0;
}
int IXGrab::ReadProductID() {
    return 0;
}
int IXGrab::RunTest(int) {
    return 0;
}
int IXGrab::RunTestEx(int, void*) {
    return 0;
}
int IXGrab::SkipFrameLikely() {
    return 0;
}
int IXGrab::WriteFPGAFile(const char*) {
    return 0;
}
int IXGrab::WriteProductID(int) {
    return 0;
}
double IXGrab::GetFrameTimestamp(int) {
    return 0.0;
}
void IXGrab::SetFPLocations(int*, int) {}
void IXGrab::SetMACAddress(unsigned char*) {}
void IXGrab::WriteCalib(void*) {}
char* CIGrab::GetErrorLog() {
    return nullptr;
}
void* CIGrab::AllocateNonPagedMem(std::uint32_t) {
    return nullptr;
}
void CIGrab::ReadCalib(void*) {}
