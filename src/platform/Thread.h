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

// Owns one thread. Not copyable or movable. The destructor joins a thread still running; when
// it runs on that thread itself (a body destroying its own owner), the thread frees its own
// resources as soon as its body returns, because nobody is left to join it.
class Thread {
public:
    using Body = std::function<std::uint32_t()>;

    Thread() = default;
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;
    ~Thread();

    // Starts the body on a new thread with the given stack size (0: the system default); the
    // size is the room the body gets, enlarged in sanitizer builds. id() is set, and visible to
    // the body, before the body runs. Returns false, and starts nothing, when the body is empty,
    // the thread cannot be created or one is running. A thread that has ended but was not yet
    // joined (it joined itself) is collected first.
    bool start(Body body, std::size_t stackSize = 0,
               ThreadPriority priority = ThreadPriority::Normal);
    // Waits without a time limit for the thread to end; returns its exit code and forgets the
    // thread (id() becomes 0). A join from the thread itself does not wait (it would never
    // return) and returns 0; the thread stays joinable, so that its owner joins it later from
    // another thread, by join(), the next start() or the destructor.
    std::uint32_t join();
    bool joinable() const { return started_; }
    // True when called on this thread.
    bool isCurrent() const;
    std::uint32_t id() const { return id_; }

private:
    struct Native;
    static void entry(void* native);
    bool reapFinished();

    Native* native_ = nullptr;
    bool started_ = false;
    std::uint32_t id_ = 0;
};

}  // namespace tamra::platform
