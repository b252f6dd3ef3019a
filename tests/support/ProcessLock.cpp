// Test helper: the machine-wide lock of tests that share real folders.
#include "support/ProcessLock.h"

#if defined(_WIN32)
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif

namespace tamra::testing {

#if defined(_WIN32)

// An abandoned mutex (its holder crashed) is owned by the next waiter all the same.
ProcessLock::ProcessLock(const wchar_t* name) : handle_(CreateMutexW(nullptr, FALSE, name)) {
    if (handle_ != nullptr) WaitForSingleObject(handle_, INFINITE);
}

ProcessLock::~ProcessLock() {
    if (handle_ == nullptr) return;
    ReleaseMutex(handle_);
    CloseHandle(handle_);
}

#else

ProcessLock::ProcessLock(const wchar_t*) {}
ProcessLock::~ProcessLock() = default;

#endif

}  // namespace tamra::testing
