// Python module: one emulator, its lifecycle from any Python thread, and the frames it delivers.
#include "Camera.h"

#include <chrono>
#include <cstring>
#include <deque>
#include <thread>
#include <utility>

namespace tamra_python {
namespace {

constexpr std::uint32_t kKeep = 0xFFFFFFFEu;
// How long a wait for a frame runs before it looks for a pending Ctrl-C.
constexpr std::chrono::milliseconds kSignalCheckPeriod(20);

thread_local int callbackDepth = 0;

// Marks the calling thread as inside a library callback for the scope's length.
struct InCallback {
    InCallback() { ++callbackDepth; }
    ~InCallback() { --callbackDepth; }
    InCallback(const InCallback&) = delete;
    InCallback& operator=(const InCallback&) = delete;
};

double monotonicSeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

class Reaper {
public:
    struct Job {
        std::shared_ptr<Camera> camera;
        bool thenClose;
        std::uint64_t epoch;
    };

    void post(Job job) {
        std::lock_guard<std::mutex> guard(lock_);
        if (!thread_.joinable()) {
            quit_ = false;
            thread_ = std::thread([this] { run(); });
        }
        jobs_.push_back(std::move(job));
        signal_.notify_one();
    }

    // Finishes every job first: a camera asked to stop is stopped before the interpreter goes.
    void shutdown() {
        {
            std::lock_guard<std::mutex> guard(lock_);
            quit_ = true;
            signal_.notify_one();
        }
        if (thread_.joinable()) thread_.join();
    }

private:
    void run() {
        std::unique_lock<std::mutex> lock(lock_);
        while (true) {
            signal_.wait(lock, [this] { return quit_ || !jobs_.empty(); });
            if (jobs_.empty()) return;
            auto job = std::move(jobs_.front());
            jobs_.pop_front();
            lock.unlock();
            job.camera->finishDeferred(job.thenClose, job.epoch);
            job.camera.reset();
            lock.lock();
        }
    }

    std::mutex lock_;
    std::condition_variable signal_;
    std::deque<Job> jobs_;
    bool quit_ = false;
    std::thread thread_;
};

Reaper& reaper() {
    static Reaper* instance = new Reaper();  // outlives every camera, even at exit
    return *instance;
}

}  // namespace

bool onLibraryThread() {
    return callbackDepth > 0;
}

void reap(std::shared_ptr<Camera> camera, bool thenClose, std::uint64_t epoch) {
    reaper().post({std::move(camera), thenClose, epoch});
}

void shutdownReaper() {
    reaper().shutdown();
}

std::vector<py::ssize_t> FrameShape::dims() const {
    std::vector<py::ssize_t> dims;
    if (stackPlanes || planes > 1) dims.push_back(planes);
    dims.push_back(height);
    dims.push_back(width);
    if (bytesPerPixel > 1) dims.push_back(bytesPerPixel);
    return dims;
}

Camera::Camera() : grab_(nullptr, TamraGrabDelete) {
    char type[16] = "EMULATOR";
    grab_.reset(TamraGrabInstantiate(type));
    if (!grab_) throw TamraError("cannot make an emulator");
    if (!grab_->Initialize()) raiseLast("Initialize");
    grab_->RegisterBufferCallback(onBuffer, this);
    grab_->RegisterTrashCallback(onTrash, this);
}

// Normally close() has run. When the last reference goes on the reaper thread, Python objects are
// released under a GIL taken here.
Camera::~Camera() {
    if (grab_) {
        if (PyGILState_Check()) {
            py::gil_scoped_release released;
            grab_.reset();
        } else {
            grab_.reset();
        }
    }
    if (callback_ && Py_IsInitialized()) {
        py::gil_scoped_acquire gil;
        callback_ = py::object();
        onEscape_ = py::object();
    }
}

void Camera::requireOpen() const {
    if (closed_) throw TamraError("the camera is closed");
}

// The library's message when it left one, else the name of what failed.
void Camera::raiseLast(const char* operation) {
    const char* message = grab_ ? grab_->GetLastErrorMsg() : nullptr;
    if (message != nullptr && message[0] != '\0') throw TamraError(message);
    throw TamraError(std::string(operation) + " failed");
}

void Camera::open(const OpenOptions& options) {
    py::gil_scoped_release released;
    std::lock_guard<std::mutex> guard(lifecycle_);
    requireOpen();
    stopLocked();
    IXGrab& grab = *grab_;
    grab.SetImgSrcConformEnable(options.conform ? 1 : 0);
    if (options.color != IFW_IMAGE_COLOR_MONO8 && !grab.SetImageColor(options.color) &&
        grab.GetImageColor() != options.color) {
        raiseLast("SetImageColor");
    }
    if (options.cameras > 0) grab.SetNumCameras(options.cameras);
    std::uint32_t rotate = options.rotate % 360;
    grab.SetImgTransform(IFW_IMG_TRANSFORM_NONE);
    if (options.mirror && options.flip) {
        rotate = (rotate + 180) % 360;  // a mirror and a flip together are a half turn
    } else if (options.mirror || options.flip) {
        grab.SetImgTransform(options.mirror ? IFW_IMG_TRANSFORM_MIRROR : IFW_IMG_TRANSFORM_FLIP);
    }
    if (!grab.SetRotateTransform(rotate)) raiseLast("SetRotateTransform");
    if (options.buffers > 0 && !grab.SetBufferCount(options.buffers)) raiseLast("SetBufferCount");
    std::string path = options.images;
    grab.EmulateFromNewImagePath(path.data(), options.width ? options.width : kKeep,
                                 options.height ? options.height : kKeep);
    if (options.tilesH * options.tilesV > 1) {
        // Each tile is one image of that size: the frame is re-created as large as the mosaic,
        // which Create divides by the tile counts again.
        grab.SetTiling(options.tilesH, options.tilesV);
        grab.Create(0, 0, grab.GetWidth(), grab.GetHeight(), kKeep, kKeep, kKeep);
    }
    auto* core = dynamic_cast<CIGrab*>(&grab);
    if (core == nullptr || !core->IsGrabCreated()) raiseLast("Create");
    computeShape(options);
    overrunCount_ = 0;
    overrunsAtStart_ = 0;
}

void Camera::computeShape(const OpenOptions& options) {
    auto& core = dynamic_cast<CIGrab&>(*grab_);
    const std::uint32_t cameras = static_cast<std::uint32_t>(std::max(1, grab_->GetNumCameras()));
    const std::uint32_t tiles = options.tilesH * options.tilesV;
    transforms_ = options.mirror || options.flip || options.rotate % 360 != 0 || tiles > 1;
    FrameShape shape;
    shape.bytesPerPixel = std::max<std::uint32_t>(1, grab_->GetBytesPP());
    if (transforms_) {
        shape.width = grab_->GetWidth();
        shape.height = grab_->GetHeight();
        shape.planes = cameras;
    } else {
        shape.width = core.GetAoiWidth();
        shape.height = core.GetAoiHeight();
        shape.planes = cameras * tiles;
    }
    shape.stackPlanes = grab_->GetImageColor() == IFW_IMAGE_COLOR_PLANES;
    shape_ = shape;
    ringSlots_ = std::max<std::uint32_t>(1, grab_->GetBufferCount() - 1);
}

void Camera::start(IXGrab::TriggerMethod method, std::int64_t frameDelayMs) {
    if (onLibraryThread()) {
        throw TamraError("start() cannot be called from a frame callback");
    }
    py::gil_scoped_release released;
    std::lock_guard<std::mutex> guard(lifecycle_);
    requireOpen();
    stopLocked();
    if (!grab_->SetTriggerMethod(method)) raiseLast("SetTriggerMethod");
    if (frameDelayMs >= 0 && !grab_->SetFrameDelay(static_cast<unsigned int>(frameDelayMs))) {
        raiseLast("SetFrameDelay");
    }
    triggers_ = 0;
    delivered_ = 0;
    handed_ = 0;
    discarded_ = 0;
    reported_ = 0;
    overrunsAtStart_ = overrunCount_.load();
    ++runEpoch_;
    accepting_ = true;
    if (!grab_->Start()) {
        accepting_ = false;
        raiseLast("Start");
    }
}

void Camera::stop() {
    if (onLibraryThread()) {
        deferStop(false);
        return;
    }
    py::gil_scoped_release released;
    std::lock_guard<std::mutex> guard(lifecycle_);
    if (!closed_) stopLocked();
}

// Lets go of a waiting frame first: the delivery thread must return before Stop can join it.
void Camera::stopLocked() {
    {
        std::lock_guard<std::mutex> guard(handLock_);
        accepting_ = false;
    }
    handSignal_.notify_all();
    grab_->Stop();
}

void Camera::close() {
    if (onLibraryThread()) {
        if (!closed_) deferStop(true);
        return;
    }
    {
        py::gil_scoped_release released;
        std::lock_guard<std::mutex> guard(lifecycle_);
        if (grab_ && !closed_) {
            stopLocked();
            grab_.reset();
        }
        closed_ = true;
    }
    callback_ = py::object();
    onEscape_ = py::object();
}

// Inside a callback: the library's Stop only wakes its threads there; the reaper joins them once
// the callback has returned, and deletes the grab when asked to close.
void Camera::deferStop(bool thenClose) {
    {
        std::lock_guard<std::mutex> guard(handLock_);
        accepting_ = false;
    }
    handSignal_.notify_all();
    if (!closed_) grab_->Stop();
    if (thenClose) closed_ = true;
    reap(shared_from_this(), thenClose, runEpoch_.load());
}

void Camera::finishDeferred(bool thenClose, std::uint64_t epoch) {
    std::lock_guard<std::mutex> guard(lifecycle_);
    if (!grab_ || (!thenClose && epoch != runEpoch_)) return;
    grab_->Stop();
    if (thenClose) grab_.reset();
}

void Camera::trigger() {
    withGrab([](IXGrab& grab) {
        if (!grab.GenerateSoftTrigger(0)) throw TamraError(grab.GetLastErrorMsg());
        return 0;
    });
    ++triggers_;
}

RunCounters Camera::counters() const {
    RunCounters counters;
    counters.triggers = triggers_;
    counters.delivered = delivered_;
    counters.handed = handed_;
    counters.discarded = discarded_;
    counters.dropped = overrunCount_ - overrunsAtStart_;
    counters.reported = reported_;
    return counters;
}

// Read under the lifecycle lock without the GIL, turned into Python objects after.
py::object Camera::libraryCounters() {
    TamraCounters counters{};
    const bool ok = withGrab([&](IXGrab& grab) { return TamraGetCounters(&grab, &counters) != 0; });
    return counterDict(counters, ok);
}

void Camera::setCallback(py::object callback, py::object onEscape, bool view) {
    // None arrives as a live handle; only a real callable counts.
    callback_ = callback.is_none() ? py::object() : std::move(callback);
    onEscape_ = onEscape.is_none() ? py::object() : std::move(onEscape);
    view_ = view;
    hasCallback_ = static_cast<bool>(callback_);
}

int Camera::onBuffer(unsigned char* frame, unsigned int, std::int64_t, void* self) {
    InCallback inside;
    auto& camera = *static_cast<Camera*>(self);
    FrameMeta meta = camera.describe(frame);
    if (!camera.accepting_) {
        ++camera.discarded_;
        return 0;
    }
    if (camera.hasCallback_) {
        camera.callPython(frame, meta);
    } else {
        camera.handOver(frame, meta);
    }
    return 0;
}

// The count is the library's total since Create; it may skip values when overruns come faster
// than this callback returns.
int Camera::onTrash(unsigned char*, unsigned int count, std::int64_t, void* self) {
    auto& camera = *static_cast<Camera*>(self);
    std::uint64_t seen = camera.overrunCount_.load();
    while (count > seen && !camera.overrunCount_.compare_exchange_weak(seen, count)) {
    }
    ++camera.reported_;
    return 0;
}

FrameMeta Camera::describe(unsigned char* frame) {
    FrameMeta meta;
    meta.time = monotonicSeconds();
    const std::uint64_t number = delivered_.fetch_add(1) + 1;
    if (!readFrameRecord(*grab_, frame, meta)) {
        meta.number = number;
        meta.slot = static_cast<std::uint32_t>((number - 1) % ringSlots_);
    }
    return meta;
}

// The frame as the client sees it: transformed by the library when transforms are set.
const unsigned char* Camera::presented(unsigned char* frame) {
    if (!transforms_) return frame;
    const unsigned char* shown = grab_->ApplyImageTransform(frame, 0);
    return shown != nullptr ? shown : frame;
}

void Camera::transformInto(const unsigned char* frame, unsigned char* output) {
    py::gil_scoped_release released;
    std::lock_guard<std::mutex> guard(lifecycle_);
    requireOpen();
    std::memcpy(output, presented(const_cast<unsigned char*>(frame)), shape_.bytes());
}

// Waits, without the GIL, until a Python thread has posted where the frame goes, then copies it.
void Camera::handOver(unsigned char* frame, const FrameMeta& meta) {
    const unsigned char* source = presented(frame);
    std::unique_lock<std::mutex> lock(handLock_);
    handSignal_.wait(lock, [this] { return post_ == Post::Waiting || !accepting_; });
    if (post_ != Post::Waiting) {
        ++discarded_;
        return;
    }
    std::memcpy(destination_, source, shape_.bytes());
    postedMeta_ = meta;
    post_ = Post::Filled;
    ++handed_;
    lock.unlock();
    handSignal_.notify_all();
}

py::tuple Camera::nextFrame(double timeout) {
    py::array_t<std::uint8_t> array(shape_.dims());
    FrameMeta meta;
    switch (waitForFrame(array.mutable_data(), timeout, meta)) {
        case Wait::Frame:
            return py::make_tuple(0, std::move(array), makeMeta(meta));
        case Wait::Timeout:
            return py::make_tuple(1, py::none(), py::none());
        case Wait::Stopped:
            return py::make_tuple(2, py::none(), py::none());
        case Wait::Busy:
            throw TamraError("another thread is already waiting for a frame of this camera");
        case Wait::Interrupted:
            break;
    }
    throw py::error_already_set();
}

// Posts destination and waits for the delivery thread to fill it. The wait runs in short slices,
// so that Ctrl-C raises promptly; a frame filled after the interrupt is counted as discarded.
Camera::Wait Camera::waitForFrame(unsigned char* destination, double timeout, FrameMeta& meta) {
    using Clock = std::chrono::steady_clock;
    py::gil_scoped_release released;
    const Clock::time_point deadline =
        timeout < 0 ? Clock::time_point::max()
                    : Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                         std::chrono::duration<double>(timeout));
    std::unique_lock<std::mutex> lock(handLock_);
    if (post_ != Post::None) return Wait::Busy;
    destination_ = destination;
    post_ = Post::Waiting;
    handSignal_.notify_all();
    Wait outcome = Wait::Timeout;
    while (true) {
        const Clock::time_point now = Clock::now();
        const Clock::time_point sliceEnd =
            deadline - now > kSignalCheckPeriod ? now + kSignalCheckPeriod : deadline;
        handSignal_.wait_until(lock, sliceEnd,
                               [this] { return post_ == Post::Filled || !accepting_; });
        if (post_ == Post::Filled) {
            meta = postedMeta_;
            outcome = Wait::Frame;
            break;
        }
        if (!accepting_) {
            outcome = Wait::Stopped;
            break;
        }
        if (Clock::now() >= deadline) break;
        lock.unlock();
        bool interrupted = false;
        {
            py::gil_scoped_acquire gil;
            interrupted = PyErr_CheckSignals() != 0;
        }
        lock.lock();
        if (interrupted) {
            if (post_ == Post::Filled) {
                --handed_;
                ++discarded_;
            }
            outcome = Wait::Interrupted;
            break;
        }
    }
    post_ = Post::None;
    destination_ = nullptr;
    return outcome;
}

py::tuple Camera::makeMeta(const FrameMeta& meta) const {
    return py::make_tuple(meta.number, meta.slot, meta.time, meta.composeMicroseconds,
                          planeRecords(meta));
}

// Delivery thread, GIL taken: the frame as a copy, or as a read-only view of the ring slot that
// the Python side expires when the callback returns. A view still referenced after that is
// reported through onEscape.
void Camera::callPython(unsigned char* frame, const FrameMeta& meta) {
    py::gil_scoped_acquire gil;
    if (!callback_) {
        py::gil_scoped_release released;
        handOver(frame, meta);
        return;
    }
    const unsigned char* source = presented(frame);
    py::object callback = callback_;
    py::object onEscape = onEscape_;
    try {
        if (!view_) {
            py::array_t<std::uint8_t> array(shape_.dims());
            std::memcpy(array.mutable_data(), source, shape_.bytes());
            ++handed_;
            callback(std::move(array), makeMeta(meta), false);
            return;
        }
        py::capsule owner(const_cast<unsigned char*>(source), "tamra frame view");
        {
            py::array_t<std::uint8_t> array(shape_.dims(), source, owner);
            py::detail::array_proxy(array.ptr())->flags &=
                ~py::detail::npy_api::NPY_ARRAY_WRITEABLE_;
            ++handed_;
            callback(std::move(array), makeMeta(meta), true);
        }
        if (owner.ref_count() > 1 && onEscape) onEscape();
    } catch (py::error_already_set& error) {
        // The Python side reports its own errors; this catches what escaped it.
        error.discard_as_unraisable("tamra frame callback");
    }
}

}  // namespace tamra_python
