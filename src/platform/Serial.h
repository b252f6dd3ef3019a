// Platform serial ports, with the original platform's records and result conventions.
#pragma once

#include <cstdint>

#include <tamra/PlatformTypes.h>

namespace tamra::platform {

// Opens a device read-write, exclusively, not as controlling terminal, in raw mode. Returns the
// invalid handle value on failure with the platform's last-error code (errno) set.
void* openSerialPort(const wchar_t* name);
bool closeSerialPort(void* handle);
bool getSerialState(void* handle, DCB* dcb);
bool setSerialState(void* handle, DCB* dcb);
bool setSerialTimeouts(void* handle, COMMTIMEOUTS* timeouts);
bool clearSerialError(void* handle, std::uint32_t* errors, COMSTAT* status);
bool readSerial(void* handle, void* buffer, std::uint32_t count, std::uint32_t* read);
bool writeSerial(void* handle, const void* buffer, std::uint32_t count, std::uint32_t* written);
bool flushSerial(void* handle);
bool purgeSerial(void* handle);
int lastErrorCode();

}  // namespace tamra::platform
