// Platform serial ports, with the original platform's records and result conventions.
//
// A port handle is an opaque pointer-sized value; TAMRA_INVALID_HANDLE (all bits set) stands for
// no port. Failures return false (or the invalid handle) and leave the reason in the platform's
// last-error code (errno on POSIX), which lastErrorCode() reads.
#pragma once

#include <cstdint>
#include <string>

#include <tamra/PlatformTypes.h>

namespace tamra::platform {

// Opens a device read-write, not as controlling terminal, in raw mode, and exclusively: a second
// open of the same device fails while this handle is open, even for a privileged process.
// Reads block under the port's time-outs, all zero after opening: a read then waits until it has
// every byte asked for, as on the original platform.
void* openSerialPort(const wchar_t* name);
bool closeSerialPort(void* handle);

// Baud rate, byte size, parity, stop bits, hardware and software flow control and the XON/XOFF
// characters map onto the terminal settings; the other fields read back as the original
// platform's defaults and are ignored when set.
bool getSerialState(void* handle, DCB* dcb);
bool setSerialState(void* handle, DCB* dcb);
// Applies the DCB to terminal settings held in memory and reads them back, as setSerialState and
// getSerialState would on a line that keeps every setting (a pseudo-terminal does not: it always
// reads back 8 data bits without parity). False, errno EINVAL, for a DCB setSerialState refuses.
bool roundTripSerialState(const DCB& requested, DCB* applied);

// Read: the interval time-out runs between bytes once the first has arrived; the total is
// multiplier * count + constant from the start of the call. A read that times out succeeds with
// the bytes that arrived. Interval 0xFFFFFFFF with both totals 0 returns at once with what is
// queued; with multiplier 0xFFFFFFFF and a constant, it returns as soon as any byte is there.
// Write: multiplier * count + constant bounds the whole write; a write that times out succeeds
// with the bytes written. Zero totals mean no limit.
bool setSerialTimeouts(void* handle, COMMTIMEOUTS* timeouts);

// Line errors are not tracked (always 0); the status receives the queued input and output bytes.
bool clearSerialError(void* handle, std::uint32_t* errors, COMSTAT* status);
bool readSerial(void* handle, void* buffer, std::uint32_t count, std::uint32_t* read);
bool writeSerial(void* handle, const void* buffer, std::uint32_t count, std::uint32_t* written);
// Waits until every written byte has left the output queue.
bool flushSerial(void* handle);
// Discards both queues.
bool purgeSerial(void* handle);

int lastErrorCode();
void setLastErrorCode(int code);

// Opens the controlling side of a new pseudo-terminal pair, usable with the read, write,
// time-out, status, purge and close calls above (not exclusive). devicePath receives the name
// of the other side, which openSerialPort can open like any serial device.
void* openPseudoTerminal(std::string* devicePath);

}  // namespace tamra::platform
