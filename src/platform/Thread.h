// Platform threads: one owner per thread, joined by its owner, never detached.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace tamra::platform {

enum class ThreadPriority { Normal, TimeCritical };

// Identifier of the calling thread, stable for its life and never 0.
std::uint32_t currentThreadId();

// Asks for time-critical priority for the calling thread; silently stays normal if refused.
void setCurrentThreadPriority(ThreadPriority priority);

// Owns one thread. Not copyable or movable. The destructor joins a thread still running.
class Thread {
public:
    using Body = std::function<std::uint32_t()>;

    Thread() = default;
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;
    ~Thread();

    // Starts the body on a new thread with the given stack size (0: the system default).
    // Returns false, and starts nothing, when the thread cannot be created or one is running.
    bool start(Body body, std::size_t stackSize = 0,
               ThreadPriority priority = ThreadPriority::Normal);
    // Waits without a time limit for the thread to end; returns its exit code. A join from the
    // thread itself does not wait (it would never return) and returns 0.
    std::uint32_t join();
    bool joinable() const { return started_; }
    // True when called on this thread.
    bool isCurrent() const;
    std::uint32_t id() const { return id_; }

private:
    struct Native;
    static void* entry(void* native);
    bool reapFinished();

    Native* native_ = nullptr;
    bool started_ = false;
    std::uint32_t id_ = 0;
};

}  // namespace tamra::platform
