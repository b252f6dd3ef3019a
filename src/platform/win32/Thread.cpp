// Tamra grab library: threads as Win32 threads, the system's part (identity, priority, create,
// join).
#include "platform/Thread.h"
#include "platform/SystemThread.h"

#include <windows.h>

namespace tamra::platform {

struct SystemThread {
    HANDLE handle = nullptr;
    SystemThreadEntry entry;
    void* argument;

    // The entry may let go of this record (detach), so it is read before the entry runs.
    static DWORD WINAPI run(LPVOID self) {
        const auto* thread = static_cast<SystemThread*>(self);
        const SystemThreadEntry entry = thread->entry;
        void* const argument = thread->argument;
        entry(argument);
        return 0;
    }
};

std::uint32_t currentThreadId() {
    return static_cast<std::uint32_t>(GetCurrentThreadId());
}

// Refused only for lack of rights; the thread then simply stays normal.
void setCurrentThreadPriority(ThreadPriority priority) {
    const int level = priority == ThreadPriority::TimeCritical ? THREAD_PRIORITY_TIME_CRITICAL
                                                               : THREAD_PRIORITY_NORMAL;
    (void)SetThreadPriority(GetCurrentThread(), level);
}

// The stack size is the memory committed at the start, as the plain system call takes it; the
// reservation stays the executable's, so a deep client callback does not overflow.
SystemThread* startSystemThread(std::size_t stackSize, SystemThreadEntry entry, void* argument) {
    auto* thread = new SystemThread{nullptr, entry, argument};
    thread->handle = CreateThread(nullptr, stackSize, &SystemThread::run, thread, 0, nullptr);
    if (thread->handle == nullptr) {
        delete thread;
        return nullptr;
    }
    return thread;
}

void joinSystemThread(SystemThread* thread) {
    WaitForSingleObject(thread->handle, INFINITE);
    CloseHandle(thread->handle);
    delete thread;
}

void detachSystemThread(SystemThread* thread) {
    CloseHandle(thread->handle);
    delete thread;
}

}  // namespace tamra::platform
