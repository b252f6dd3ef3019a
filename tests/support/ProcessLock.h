// Test helper: a machine-wide lock for tests of places no test can redirect (known folders).
#pragma once

namespace tamra::testing {

// Held from construction to destruction. On Windows a named mutex, released by the system even
// when a holder dies; elsewhere the tests it guards use private folders, so nothing is held.
class ProcessLock {
public:
    explicit ProcessLock(const wchar_t* name);
    ~ProcessLock();
    ProcessLock(const ProcessLock&) = delete;
    ProcessLock& operator=(const ProcessLock&) = delete;

private:
    void* handle_ = nullptr;
};

}  // namespace tamra::testing
