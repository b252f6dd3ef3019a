// tamra-grab: driving one emulator through its runs and counting what the callbacks saw.
#include "GrabSession.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <numeric>
#include <thread>

#include "Interrupt.h"

namespace tamra_grab {
namespace {

using std::chrono::milliseconds;

constexpr std::uint32_t kKeep = 0xFFFFFFFEu;
constexpr std::uint32_t kDemoTriggers = 200;
constexpr double kDemoFreeRunSeconds = 2.0;
constexpr milliseconds kProgressPeriod(100);
constexpr std::chrono::seconds kProgressLinePeriod(2);
// Waits are cut into slices this long, so that an interrupt is seen at once.
constexpr milliseconds kWaitSlice(50);
constexpr milliseconds kQuietAfterLastFrame(200);
constexpr milliseconds kLongestDrain(10000);
constexpr std::size_t kUnboundedLatencySamples = 1 << 20;

double seconds(std::chrono::steady_clock::duration span) {
    return std::chrono::duration<double>(span).count();
}

IXGrab::TriggerMethod methodOf(TriggerMode mode) {
    switch (mode) {
        case TriggerMode::External:
            return IXGrab::TRIG_EXTERNAL;
        case TriggerMode::FreeRun:
            return IXGrab::TRIG_FREE_RUN;
        default:
            return IXGrab::TRIG_SOFTWARE;
    }
}

std::string phaseName(TriggerMode mode) {
    switch (mode) {
        case TriggerMode::External:
            return "external trigger";
        case TriggerMode::FreeRun:
            return "free run";
        default:
            return "software trigger";
    }
}

double percentile(const std::vector<double>& sorted, double fraction) {
    if (sorted.empty()) return 0.0;
    const auto rank =
        static_cast<std::size_t>(fraction * static_cast<double>(sorted.size() - 1) + 0.5);
    return sorted[std::min(rank, sorted.size() - 1)];
}

}  // namespace

void Progress::show(const std::string& phase, std::uint64_t delivered, std::uint64_t dropped,
                    double framesPerSecond) {
    if (style_ == Style::Off) return;
    if (style_ == Style::Lines) {
        const auto now = std::chrono::steady_clock::now();
        if (now - lastLine_ < kProgressLinePeriod) return;
        lastLine_ = now;
    }
    std::fprintf(stderr,
                 style_ == Style::Live ? "\r\033[K%s: %llu delivered, %llu dropped, %.1f frames/s"
                                       : "%s: %llu delivered, %llu dropped, %.1f frames/s\n",
                 phase.c_str(), static_cast<unsigned long long>(delivered),
                 static_cast<unsigned long long>(dropped), framesPerSecond);
    std::fflush(stderr);
    shown_ = style_ == Style::Live;
}

void Progress::clear() {
    if (!shown_) return;
    std::fprintf(stderr, "\r\033[K");
    std::fflush(stderr);
    shown_ = false;
}

// Standard error is a terminal when its descriptor links to a terminal device.
bool stderrIsTerminal() {
    std::error_code error;
    const std::filesystem::path target = std::filesystem::read_symlink("/proc/self/fd/2", error);
    if (error) return false;
    const std::string name = target.string();
    return name.rfind("/dev/pts/", 0) == 0 || name.rfind("/dev/tty", 0) == 0 ||
           name == "/dev/console";
}

nlohmann::json PhaseResult::toJson() const {
    nlohmann::json json = {
        {"name", name},
        {"trigger", modeName(mode)},
        {"frameDelayMs", mode == TriggerMode::FreeRun ? nlohmann::json(delayMs) : nullptr},
        {"seconds", seconds},
        {"triggers", triggers},
        {"delivered", delivered},
        {"dropped", dropped},
        {"reported", reported},
        {"interrupted", interrupted},
        {"countersAddUp", addsUp()},
        {"framesPerSecond", framesPerSecond()},
        {"latencyMs",
         {{"samples", latency.samples},
          {"mean", latency.meanMs},
          {"median", latency.medianMs},
          {"p99", latency.p99Ms}}}};
    counters.addTo(json);
    return json;
}

GrabSession::GrabSession(const GrabOptions& options)
    : options_(options), grab_(nullptr, TamraGrabDelete) {}

GrabSession::~GrabSession() {
    grab_.reset();  // stops the callbacks before the outputs go
    if (saver_) saver_->finish();
}

bool GrabSession::open(const std::string& folder, std::string& error) {
    char type[16] = "EMULATOR";
    grab_.reset(TamraGrabInstantiate(type));
    if (!grab_) {
        error = "cannot make an emulator";
        return false;
    }
    if (!grab_->Initialize()) {
        error = std::string("cannot initialise the emulator: ") + grab_->GetLastErrorMsg();
        return false;
    }
    if (!configure(folder, error)) return false;
    prepareOutputs();
    records_.reserve(options_.records);
    grab_->RegisterBufferCallback(onFrame, this);
    grab_->RegisterTrashCallback(onTrash, this);
    return true;
}

// Settings that shape the ring go in before the one Create of EmulateFromNewImagePath.
bool GrabSession::configure(const std::string& folder, std::string& error) {
    if (options_.color != IFW_IMAGE_COLOR_MONO8) grab_->SetImageColor(options_.color);
    if (options_.cameras > 0) grab_->SetNumCameras(options_.cameras);
    std::uint32_t rotate = options_.rotate;
    if (options_.mirror && options_.flip) {
        rotate = (rotate + 180) % 360;  // a mirror and a flip together are a half turn
    } else if (options_.mirror || options_.flip) {
        grab_->SetImgTransform(options_.mirror ? IFW_IMG_TRANSFORM_MIRROR : IFW_IMG_TRANSFORM_FLIP);
    }
    if (rotate != 0) grab_->SetRotateTransform(rotate);
    if (options_.buffers > 0) grab_->SetBufferCount(options_.buffers);
    grab_->SetFrameDelay(options_.delayMs);
    std::string path = folder;
    grab_->EmulateFromNewImagePath(path.data(), options_.width ? options_.width : kKeep,
                                   options_.height ? options_.height : kKeep);
    if (options_.tilesH * options_.tilesV > 1) {
        // Each tile is one image of that size: the frame is re-created as large as the
        // displayed mosaic, which Create divides by the tile counts again.
        grab_->SetTiling(options_.tilesH, options_.tilesV);
        grab_->Create(0, 0, grab_->GetWidth(), grab_->GetHeight(), kKeep, kKeep, kKeep);
    }
    auto* core = dynamic_cast<CIGrab*>(grab_.get());
    if (core == nullptr || !core->IsGrabCreated()) {
        error = std::string("cannot create the grab: ") + grab_->GetLastErrorMsg();
        return false;
    }
    cameras_ = std::max(1, grab_->GetNumCameras());
    const bool transformed = options_.transforms();
    image_.width = transformed ? grab_->GetWidth() : core->GetAoiWidth();
    image_.height = transformed ? grab_->GetHeight() : core->GetAoiHeight();
    image_.bytesPerPixel = std::max<std::uint32_t>(1, grab_->GetBytesPP());
    return true;
}

void GrabSession::prepareOutputs() {
    if (!options_.saveFolder.empty()) {
        saver_ = std::make_unique<FrameSaver>(options_.saveFolder, image_, cameras_);
    }
    if (!options_.contactSheet.empty()) sheet_ = std::make_unique<ContactSheet>(image_);
}

std::int64_t GrabSession::nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch())
        .count();
}

GrabSession::Clock::time_point GrabSession::fromNs(std::int64_t ns) {
    return Clock::time_point(
        std::chrono::duration_cast<Clock::duration>(std::chrono::nanoseconds(ns)));
}

int GrabSession::onFrame(unsigned char* buffer, unsigned int, std::int64_t, void* session) {
    static_cast<GrabSession*>(session)->frameArrived(buffer);
    return 0;
}

int GrabSession::onTrash(unsigned char*, unsigned int count, std::int64_t, void* session) {
    static_cast<GrabSession*>(session)->overrunReported(count);
    return 0;
}

// Delivery thread. The arrival is announced first, so that a slow client (--slow) lets the
// trigger loop run ahead and the ring fill up, as it would on a line.
void GrabSession::frameArrived(unsigned char* buffer) {
    const std::int64_t now = nowNs();
    const std::uint64_t number = delivered_.fetch_add(1) + 1;
    lastArrivalNs_.store(now);
    const std::int64_t triggered = pendingTriggerNs_.exchange(-1);
    const double latencyMs = triggered >= 0 ? static_cast<double>(now - triggered) / 1e6 : -1.0;
    if (triggered >= 0 && latenciesMs_.size() < latenciesMs_.capacity()) {
        latenciesMs_.push_back(latencyMs);
    }
    recordFrame(buffer, now, latencyMs);
    notifyArrival();
    const unsigned char* image = buffer;
    if (options_.transforms()) {
        if (const unsigned char* shown = grab_->ApplyImageTransform(buffer, 0)) image = shown;
    }
    if (saver_) saver_->offer(image, number);
    if (sheet_) sheet_->add(image);
    if (options_.slowMs > 0 && !draining_)
        std::this_thread::sleep_for(milliseconds(options_.slowMs));
}

// Delivery thread: the library's record of this frame, into room reserved before Start.
void GrabSession::recordFrame(const unsigned char* buffer, std::int64_t nowNs, double latencyMs) {
    if (records_.size() >= records_.capacity()) {
        ++notRecorded_;
        return;
    }
    records_.emplace_back();
    FrameRecord& record = records_.back();
    if (!recorder_.read(*grab_, buffer, &record)) {
        records_.pop_back();
        return;
    }
    record.arrivalSeconds = seconds(fromNs(nowNs) - runStart_);
    record.latencyMs = latencyMs;
}

// Overrun thread. The count covers every overrun since Create, reported or not; the trigger
// being timed, if any, ended in this overrun.
void GrabSession::overrunReported(unsigned int overrunCount) {
    std::uint64_t seen = overrunCount_.load();
    while (overrunCount > seen && !overrunCount_.compare_exchange_weak(seen, overrunCount)) {
    }
    reports_.fetch_add(1);
    lastArrivalNs_.store(nowNs());
    pendingTriggerNs_.store(-1);
    notifyArrival();
}

void GrabSession::notifyArrival() {
    { std::lock_guard<std::mutex> guard(arrivalLock_); }
    arrival_.notify_all();
}

std::uint64_t GrabSession::arrivals() const {
    return delivered_.load() + overrunCount_.load();
}

bool GrabSession::waitForArrival(std::uint64_t after, milliseconds timeout) {
    const Clock::time_point end = Clock::now() + timeout;
    std::unique_lock<std::mutex> lock(arrivalLock_);
    while (!interrupted()) {
        const Clock::time_point now = Clock::now();
        if (now >= end) return false;
        const auto slice = std::min<Clock::duration>(kWaitSlice, end - now);
        if (arrival_.wait_for(lock, slice, [&] { return arrivals() > after; })) return true;
    }
    return false;
}

void GrabSession::trigger(TriggerMode mode) {
    std::int64_t none = -1;
    pendingTriggerNs_.compare_exchange_strong(none, nowNs());
    if (mode == TriggerMode::External) {
        grab_->EmulationTrigger();
    } else {
        grab_->GenerateSoftTrigger(0);
    }
}

PhaseResult GrabSession::run(TriggerMode mode, std::uint32_t frames, double runSeconds,
                             Progress& progress) {
    PhaseResult result;
    result.mode = mode;
    result.name = phaseName(mode);
    const std::uint64_t delivered0 = delivered_.load();
    const std::uint64_t overruns0 = overrunCount_.load();
    const std::uint64_t reports0 = reports_.load();
    latenciesMs_.clear();
    latenciesMs_.reserve(frames > 0 ? frames + 16 : kUnboundedLatencySamples);
    draining_ = false;
    grab_->SetTriggerMethod(methodOf(mode));
    if (mode == TriggerMode::FreeRun) grab_->SetFrameDelay(options_.delayMs);
    result.delayMs = grab_->GetFrameDelay();

    const Clock::time_point start = Clock::now();
    runStart_ = start;
    Clock::time_point end = start;
    if (grab_->Start()) {
        if (mode == TriggerMode::FreeRun) {
            freeRunLoop(frames, runSeconds, progress, result.name, start);
            end = Clock::now();
        } else {
            result.triggers = triggerLoop(mode, frames, runSeconds, progress, result.name, start);
            end = Clock::now();
            drain(progress, result.name, start);
            // The quiet wait that ends a drain is not part of the run.
            end = std::max(end, fromNs(lastArrivalNs_.load()));
        }
    }
    draining_ = true;
    grab_->Stop();
    progress.clear();
    result.counters = readCounters(*grab_);  // the library counts from Start
    result.interrupted = interrupted();

    result.seconds = seconds(end - start);
    result.delivered = delivered_.load() - delivered0;
    result.dropped = overrunCount_.load() - overruns0;
    result.reported = reports_.load() - reports0;
    result.latency = latencyStats();
    return result;
}

// Each trigger waits for the previous frame (or its overrun) unless a rate is given. Without a
// frame count or time, the demo's 200 triggers are given.
std::uint64_t GrabSession::triggerLoop(TriggerMode mode, std::uint32_t frames, double runSeconds,
                                       Progress& progress, const std::string& phase,
                                       Clock::time_point start) {
    const std::uint64_t target =
        frames > 0 ? frames : (runSeconds > 0.0 ? UINT64_MAX : kDemoTriggers);
    const auto deadline = runSeconds > 0.0 ? start + std::chrono::duration_cast<Clock::duration>(
                                                         std::chrono::duration<double>(runSeconds))
                                           : Clock::time_point::max();
    const auto interval = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(options_.rate > 0.0 ? 1.0 / options_.rate : 0.0));
    const milliseconds patience = milliseconds(1000 + 2 * options_.slowMs);
    Clock::time_point next = start;
    Clock::time_point shown = start;
    std::uint64_t given = 0;
    while (given < target && Clock::now() < deadline && !interrupted()) {
        if (options_.rate > 0.0) {
            std::this_thread::sleep_until(next);
            next += interval;
        }
        const std::uint64_t before = arrivals();
        trigger(mode);
        ++given;
        if (options_.rate <= 0.0) waitForArrival(before, patience);
        if (Clock::now() - shown >= kProgressPeriod) {
            shown = Clock::now();
            const std::uint64_t delivered = delivered_.load();
            progress.show(phase, delivered, overrunCount_.load(),
                          delivered / std::max(1e-9, seconds(shown - start)));
        }
    }
    return given;
}

// Lets the frames still in the ring arrive: the client stops dawdling, and the run ends once
// no frame has come for a while.
void GrabSession::drain(Progress& progress, const std::string& phase, Clock::time_point start) {
    draining_ = true;
    const Clock::time_point giveUp = Clock::now() + kLongestDrain;
    while (Clock::now() < giveUp && !interrupted() &&
           waitForArrival(arrivals(), kQuietAfterLastFrame)) {
        progress.show(phase, delivered_.load(), overrunCount_.load(),
                      delivered_.load() / std::max(1e-9, seconds(Clock::now() - start)));
    }
}

void GrabSession::freeRunLoop(std::uint32_t frames, double runSeconds, Progress& progress,
                              const std::string& phase, Clock::time_point start) {
    double limit = runSeconds;
    if (limit <= 0.0) {
        // A frame count alone gets generous time: each frame costs a pause plus composition.
        limit = frames > 0 ? 5.0 + 3.0 * frames * (options_.delayMs + 50) / 1000.0
                           : kDemoFreeRunSeconds;
    }
    const std::uint64_t delivered0 = delivered_.load();
    const auto deadline =
        start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(limit));
    while (Clock::now() < deadline && !interrupted()) {
        const std::uint64_t delivered = delivered_.load();
        if (frames > 0 && delivered - delivered0 >= frames) break;
        const auto wait = std::min<Clock::duration>(kProgressPeriod, deadline - Clock::now());
        waitForArrival(arrivals(), std::chrono::duration_cast<milliseconds>(wait));
        progress.show(
            phase, delivered_.load() - delivered0, overrunCount_.load(),
            (delivered_.load() - delivered0) / std::max(1e-9, seconds(Clock::now() - start)));
    }
}

LatencyStats GrabSession::latencyStats() const {
    LatencyStats stats;
    std::vector<double> sorted = latenciesMs_;
    if (sorted.empty()) return stats;
    std::sort(sorted.begin(), sorted.end());
    stats.samples = sorted.size();
    stats.meanMs =
        std::accumulate(sorted.begin(), sorted.end(), 0.0) / static_cast<double>(sorted.size());
    stats.medianMs = percentile(sorted, 0.5);
    stats.p99Ms = percentile(sorted, 0.99);
    return stats;
}

// The grab is stopped, so composing on the client's thread is allowed; the files served are
// the same ones the run played.
CompositionStats GrabSession::measureComposition(int frames) {
    CompositionStats stats;
    auto* emulator = dynamic_cast<CIGrabEmu*>(grab_.get());
    if (emulator == nullptr) return stats;
    const Clock::time_point budget = Clock::now() + std::chrono::seconds(3);
    double total = 0.0;
    for (int i = 0; i < frames && Clock::now() < budget && !interrupted(); ++i) {
        const Clock::time_point before = Clock::now();
        emulator->GrabSimplified(0);
        const double ms = seconds(Clock::now() - before) * 1000.0;
        total += ms;
        stats.maxMs = std::max(stats.maxMs, ms);
        ++stats.frames;
    }
    if (stats.frames > 0) stats.meanMs = total / stats.frames;
    return stats;
}

bool GrabSession::finishOutputs(std::string& error) {
    if (saver_) {
        saver_->finish();
        if (!saver_->error().empty()) error = saver_->error();
        if (error.empty() && saver_->skipped() > 0) {
            error = std::to_string(saver_->skipped()) +
                    " delivered frames were not saved: the writer fell behind";
        }
    }
    if (sheet_ && sheet_->filled() > 0 && !sheet_->write(options_.contactSheet)) {
        if (error.empty()) error = "cannot write " + options_.contactSheet;
    }
    return error.empty();
}

nlohmann::json GrabSession::describe() const {
    auto* core = dynamic_cast<CIGrab*>(grab_.get());
    return {{"imagePath", grab_->GetImagePath() ? grab_->GetImagePath() : ""},
            {"width", grab_->GetWidth()},
            {"height", grab_->GetHeight()},
            {"bitsPerPixel", core ? core->GetBitPP() : 8 * grab_->GetBytesPP()},
            {"cameras", grab_->GetNumCameras()},
            {"bufferCount", grab_->GetBufferCount()}};
}

std::vector<std::string> GrabSession::outputLines() const {
    std::vector<std::string> lines;
    char line[512];
    if (saver_) {
        std::snprintf(line, sizeof line,
                      "frames saved      %llu in %s (%llu NOT saved: writer busy)",
                      static_cast<unsigned long long>(saver_->saved()), options_.saveFolder.c_str(),
                      static_cast<unsigned long long>(saver_->skipped()));
        lines.emplace_back(line);
    }
    if (sheet_) {
        std::snprintf(line, sizeof line, "contact sheet     %d frames in %s", sheet_->filled(),
                      options_.contactSheet.c_str());
        lines.emplace_back(line);
    }
    return lines;
}

nlohmann::json GrabSession::outputJson() const {
    nlohmann::json json = nlohmann::json::object();
    if (saver_) {
        json["saved"] = {{"folder", options_.saveFolder},
                         {"frames", saver_->saved()},
                         {"skipped", saver_->skipped()}};
    }
    if (sheet_)
        json["contactSheet"] = {{"file", options_.contactSheet}, {"frames", sheet_->filled()}};
    return json;
}

}  // namespace tamra_grab
