// Test helper: a lock shared by every test process of the machine, for tests that must work in
// places no test can redirect (the real known folders of a Windows user).
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
