// Python module: one emulator with the hand-over between the library's delivery thread and the
// Python threads that consume its frames.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <tamra/Tamra.h>

#include "FrameRecord.h"

namespace tamra_python {

namespace py = pybind11;

// Raised as tamra.Error; the text is the library's own message where it left one.
struct TamraError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// What shapes the ring; applied in this order by open().
struct OpenOptions {
    std::string images;
    std::uint32_t width = 0;   // 0: the first image's
    std::uint32_t height = 0;  // 0: the first image's
    IFW_IMAGE_COLOR_TYPE color = IFW_IMAGE_COLOR_MONO8;
    int cameras = 0;  // 0: the library's count
    std::uint32_t buffers = 0;
    bool mirror = false;
    bool flip = false;
    std::uint32_t rotate = 0;
    std::uint32_t tilesH = 1;
    std::uint32_t tilesV = 1;
    bool conform = true;
};

// Layout of the frames handed to Python.
struct FrameShape {
    std::uint32_t planes = 1;
    std::uint32_t height = 0;
    std::uint32_t width = 0;
    std::uint32_t bytesPerPixel = 1;
    bool stackPlanes = false;  // a leading plane axis even for one plane
    std::size_t bytes() const { return std::size_t{planes} * height * width * bytesPerPixel; }
    std::vector<py::ssize_t> dims() const;
};

// Counters since the last start, as the binding saw them.
struct RunCounters {
    std::uint64_t triggers = 0;
    std::uint64_t delivered = 0;  // buffer callbacks since start
    std::uint64_t handed = 0;     // frames given to Python
    std::uint64_t discarded = 0;  // frames the binding let go because of a stop
    std::uint64_t dropped = 0;    // overruns since start, from the trash callback's count
    std::uint64_t reported = 0;   // trash callback calls
};

// Owns one grab object. Threads:
// - Python threads call every method; lifecycle calls take lifecycle_ with the GIL released, so
//   that a callback waiting for the GIL never holds up a Stop waiting for that callback.
// - The library's delivery thread runs onBuffer: without the GIL it fills a frame that a Python
//   thread posted (frames()), with the GIL it calls the Python callback (on_frame).
// - Calls made from inside a callback never take lifecycle_ (a client thread holding it may be
//   waiting for that very callback); a stop or close there is finished by the Reaper thread.
class Camera : public std::enable_shared_from_this<Camera> {
public:
    Camera();
    ~Camera();
    Camera(const Camera&) = delete;
    Camera& operator=(const Camera&) = delete;

    void open(const OpenOptions& options);
    void start(IXGrab::TriggerMethod method, std::int64_t frameDelayMs);
    void stop();
    void close();
    void trigger();
    // Waits up to timeout seconds for the next frame; None on time-out. Raises what a signal
    // handler raised (KeyboardInterrupt) while waiting.
    // (0, array, meta) for a frame, (1, None, None) on time-out, (2, None, None) once stopped.
    py::tuple nextFrame(double timeout);
    // callback(array, meta, is_view) on the delivery thread; onEscape() when a view outlived it.
    void setCallback(py::object callback, py::object onEscape, bool view);
    // Reaper thread: the joining half of a stop or close asked for from a callback.
    // Does nothing to a run started after the stop was asked for (epoch tells them apart).
    void finishDeferred(bool thenClose, std::uint64_t epoch);

    bool running() const { return accepting_.load(); }
    bool closed() const { return closed_.load(); }
    FrameShape shape() const { return shape_; }
    RunCounters counters() const;
    py::object libraryCounters();
    // Runs body on the grab: inside a callback directly, elsewhere under lifecycle_ without the
    // GIL. Raises when the camera is closed.
    template <typename Body>
    auto withGrab(Body body) -> decltype(body(std::declval<IXGrab&>()));
    IXGrab& grabUnchecked() { return *grab_; }
    // Copies a frame of this layout, transformed as delivered frames are, into output.
    void transformInto(const unsigned char* frame, unsigned char* output);

private:
    static int onBuffer(unsigned char* frame, unsigned int count, std::int64_t tag, void* self);
    static int onTrash(unsigned char* frame, unsigned int count, std::int64_t tag, void* self);
    enum class Wait { Frame, Timeout, Stopped, Busy, Interrupted };
    Wait waitForFrame(unsigned char* destination, double timeout, FrameMeta& meta);
    void handOver(unsigned char* frame, const FrameMeta& meta);
    void callPython(unsigned char* frame, const FrameMeta& meta);
    const unsigned char* presented(unsigned char* frame);
    FrameMeta describe(unsigned char* frame);
    py::tuple makeMeta(const FrameMeta& meta) const;
    void stopLocked();
    void deferStop(bool thenClose);
    void requireOpen() const;
    void raiseLast(const char* operation);
    void computeShape(const OpenOptions& options);

    std::unique_ptr<IXGrab, int (*)(IXGrab*)> grab_;
    std::mutex lifecycle_;
    std::atomic<bool> closed_{false};
    std::atomic<bool> accepting_{false};
    std::atomic<std::uint64_t> runEpoch_{0};  // one more with every start
    bool transforms_ = false;
    FrameShape shape_;
    std::uint32_t ringSlots_ = 1;

    // Hand-over to frames(): a Python thread posts a destination, the delivery thread fills it.
    enum class Post { None, Waiting, Filled };
    std::mutex handLock_;
    std::condition_variable handSignal_;
    Post post_ = Post::None;
    unsigned char* destination_ = nullptr;
    FrameMeta postedMeta_;

    // on_frame: read by the delivery thread with the GIL held.
    py::object callback_;
    py::object onEscape_;
    bool view_ = false;
    std::atomic<bool> hasCallback_{false};

    // Counters; the start values let the library's cumulative overrun count read per run.
    std::atomic<std::uint64_t> triggers_{0};
    std::atomic<std::uint64_t> delivered_{0};
    std::atomic<std::uint64_t> handed_{0};
    std::atomic<std::uint64_t> discarded_{0};
    std::atomic<std::uint64_t> overrunCount_{0};
    std::atomic<std::uint64_t> overrunsAtStart_{0};
    std::atomic<std::uint64_t> reported_{0};
};

// Whether the calling thread is inside one of the library's callbacks to the binding.
bool onLibraryThread();

// Runs stops and closes asked for from inside callbacks, on a thread of its own, so that they
// can wait for the callback that asked. Joined by shutdownReaper (at interpreter exit).
void reap(std::shared_ptr<Camera> camera, bool thenClose, std::uint64_t epoch);
void shutdownReaper();

template <typename Body>
auto Camera::withGrab(Body body) -> decltype(body(std::declval<IXGrab&>())) {
    if (onLibraryThread()) {
        requireOpen();
        return body(*grab_);
    }
    py::gil_scoped_release released;
    std::lock_guard<std::mutex> guard(lifecycle_);
    requireOpen();
    return body(*grab_);
}

}  // namespace tamra_python
