// Platform kernel objects: semaphore with a maximum count, auto-reset event, re-entrant mutex.
// All waits take milliseconds; kInfinite waits without a time limit.
#pragma once

#include <cstdint>

namespace tamra::platform {

inline constexpr std::uint32_t kInfinite = 0xFFFFFFFFu;

enum class WaitResult { Signaled, Timeout, Failed };

// Base of every object a wait can be made on; on POSIX, CiOS hands these out as void* handles.
class Waitable {
public:
    virtual ~Waitable() = default;
    virtual WaitResult wait(std::uint32_t milliseconds) = 0;
};

class Semaphore final : public Waitable {
public:
    // Fails (valid() false) when maximum < 1 or initial is outside 0..maximum.
    Semaphore(std::int32_t initial, std::int32_t maximum);
    ~Semaphore() override;
    Semaphore(const Semaphore&) = delete;
    Semaphore& operator=(const Semaphore&) = delete;

    bool valid() const { return valid_; }
    // Adds count; a release that would pass the maximum fails and changes nothing.
    bool release(std::int32_t count = 1, std::int32_t* previous = nullptr);
    WaitResult wait(std::uint32_t milliseconds) override;

private:
    struct Native;
    Native* native_;
    bool valid_;
};

class AutoResetEvent final : public Waitable {
public:
    explicit AutoResetEvent(bool signaled = false);
    ~AutoResetEvent() override;
    AutoResetEvent(const AutoResetEvent&) = delete;
    AutoResetEvent& operator=(const AutoResetEvent&) = delete;

    void set();
    void reset();
    // A successful wait consumes the signal.
    WaitResult wait(std::uint32_t milliseconds) override;

private:
    struct Native;
    Native* native_;
};

// Re-entrant for the owning thread; a wait by another thread may time out.
class RecursiveMutex final : public Waitable {
public:
    explicit RecursiveMutex(bool initiallyOwned = false);
    ~RecursiveMutex() override;
    RecursiveMutex(const RecursiveMutex&) = delete;
    RecursiveMutex& operator=(const RecursiveMutex&) = delete;

    WaitResult wait(std::uint32_t milliseconds) override;
    // Fails when the calling thread does not own the mutex.
    bool release();

private:
    struct Native;
    Native* native_;
};

}  // namespace tamra::platform
