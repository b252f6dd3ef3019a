// Tamra platform layer: serial ports as Win32 communication handles. The records are the
// platform's own, so every call passes straight through and the last-error code is the system's.
#include "platform/Serial.h"

#include <windows.h>

namespace tamra::platform {
namespace {

// What every serial driver refuses: sizes outside 5 to 8 bits, unknown parity or stop bits,
// two stop bits with 5-bit bytes and 1.5 with longer ones.
bool isLineFrame(const DCB& dcb) {
    if (dcb.ByteSize < 5 || dcb.ByteSize > 8 || dcb.Parity > SPACEPARITY) return false;
    if (dcb.StopBits == ONESTOPBIT) return true;
    if (dcb.StopBits == ONE5STOPBITS) return dcb.ByteSize == 5;
    return dcb.StopBits == TWOSTOPBITS && dcb.ByteSize != 5;
}

bool failWith(DWORD code) {
    SetLastError(code);
    return false;
}

}  // namespace

// Exclusive by the system's own rule for communication devices (no sharing).
void* openSerialPort(const wchar_t* name) {
    if (name == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    return CreateFileW(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
}

bool closeSerialPort(void* handle) {
    return CloseHandle(handle) != FALSE;
}

bool getSerialState(void* handle, DCB* dcb) {
    if (dcb == nullptr) return failWith(ERROR_INVALID_PARAMETER);
    return GetCommState(handle, dcb) != FALSE;
}

bool setSerialState(void* handle, DCB* dcb) {
    if (dcb == nullptr) return failWith(ERROR_INVALID_PARAMETER);
    return SetCommState(handle, dcb) != FALSE;
}

// The record is the platform's own, so a frame a driver accepts reads back as it was set.
bool roundTripSerialState(const DCB& requested, DCB* applied) {
    if (applied == nullptr || !isLineFrame(requested) || requested.BaudRate == 0)
        return failWith(ERROR_INVALID_PARAMETER);
    *applied = requested;
    return true;
}

bool setSerialTimeouts(void* handle, COMMTIMEOUTS* timeouts) {
    if (timeouts == nullptr) return failWith(ERROR_INVALID_PARAMETER);
    return SetCommTimeouts(handle, timeouts) != FALSE;
}

bool clearSerialError(void* handle, std::uint32_t* errors, COMSTAT* status) {
    DWORD lineErrors = 0;
    if (!ClearCommError(handle, &lineErrors, status)) return false;
    if (errors != nullptr) *errors = static_cast<std::uint32_t>(lineErrors);
    return true;
}

bool readSerial(void* handle, void* buffer, std::uint32_t count, std::uint32_t* read) {
    DWORD got = 0;
    const bool ok = ReadFile(handle, buffer, count, &got, nullptr) != FALSE;
    if (read != nullptr) *read = static_cast<std::uint32_t>(got);
    return ok;
}

bool writeSerial(void* handle, const void* buffer, std::uint32_t count, std::uint32_t* written) {
    DWORD sent = 0;
    const bool ok = WriteFile(handle, buffer, count, &sent, nullptr) != FALSE;
    if (written != nullptr) *written = static_cast<std::uint32_t>(sent);
    return ok;
}

bool flushSerial(void* handle) {
    return FlushFileBuffers(handle) != FALSE;
}

bool purgeSerial(void* handle) {
    constexpr DWORD kBothQueues = PURGE_RXABORT | PURGE_RXCLEAR | PURGE_TXABORT | PURGE_TXCLEAR;
    return PurgeComm(handle, kBothQueues) != FALSE;
}

int lastErrorCode() {
    return static_cast<int>(GetLastError());
}

void setLastErrorCode(int code) {
    SetLastError(static_cast<DWORD>(code));
}

// Windows has no pseudo-terminals; a test line there is a COM port the system maps elsewhere.
void* openPseudoTerminal(std::string* devicePath) {
    if (devicePath != nullptr) devicePath->clear();
    SetLastError(ERROR_NOT_SUPPORTED);
    return INVALID_HANDLE_VALUE;
}

}  // namespace tamra::platform
