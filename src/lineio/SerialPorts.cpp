// Tamra grab library: serial-port pass-through.
//
// The port operations keep no state and ignore the grab's: the client owns each handle from
// OpenComPort to CloseComPort, and failures are reported through the results and the platform's
// last-error code only, never through the grab's last-error buffer.
#include <tamra/IXGrab.h>

#include "platform/Serial.h"

namespace platform = tamra::platform;

void* IXGrab::OpenComPort(const wchar_t* name) {
    return platform::openSerialPort(name);
}

void IXGrab::CloseComPort(void* handle) {
    platform::closeSerialPort(handle);
}

int IXGrab::GetCommState(void* handle, DCB* dcb) {
    return platform::getSerialState(handle, dcb) ? 1 : 0;
}

int IXGrab::SetCommState(void* handle, DCB* dcb) {
    return platform::setSerialState(handle, dcb) ? 1 : 0;
}

int IXGrab::SetCommTimeouts(void* handle, COMMTIMEOUTS* timeouts) {
    return platform::setSerialTimeouts(handle, timeouts) ? 1 : 0;
}

int IXGrab::ClearCommError(void* handle, std::uint32_t* errors, COMSTAT* status) {
    return platform::clearSerialError(handle, errors, status) ? 1 : 0;
}

int IXGrab::ReadComPort(void* handle, void* buffer, std::uint32_t count, std::uint32_t* read) {
    return platform::readSerial(handle, buffer, count, read) ? 1 : 0;
}

// The bytes are drained onto the line before returning, also after a failed write; the write's
// error code is the one the caller finds afterwards.
int IXGrab::WriteComPort(void* handle, const void* buffer, std::uint32_t count,
                         std::uint32_t* written) {
    if (handle == INVALID_HANDLE_VALUE) return 0;
    const bool sent = platform::writeSerial(handle, buffer, count, written);
    const int writeError = sent ? 0 : platform::lastErrorCode();
    platform::flushSerial(handle);
    if (!sent) platform::setLastErrorCode(writeError);
    return sent && *written == count ? 1 : 0;
}

void IXGrab::PurgeComPort(void* handle) {
    platform::purgeSerial(handle);
}

// The core serves no port of its own; the emulator answers for its ports.
int IXGrab::GetCommPortNum(int, IFW_COMPORT_KIND) {
    requireInitialized("GetCommPortNum");
    return 0;
}

int IXGrab::SetActiveCommPort(int) {
    return requireInitialized("SetActiveCommPort");
}
