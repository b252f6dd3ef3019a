// ApplyImageTransform at acquisition sizes, beside the baselines a client would reach for:
// memcpy of the same bytes and, when available, OpenCV's flip, rotate and single-threaded
// warpAffine (nearest, transparent border). The allocs_per_call counter shows whether a call on
// the benchmark thread allocates once the work buffer exists.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <random>
#include <string>
#include <vector>

#include <tamra/CIGrab.h>

#include "core/GrabGeometry.h"
#include "core/GrabState.h"
#include "imaging/rotation/Rotation.h"

#ifdef TAMRA_BENCH_OPENCV
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#endif

namespace {

// Allocations made by this thread; the library's own threads allocate on their own schedule.
thread_local std::uint64_t allocations = 0;

}  // namespace

// Counts every allocation of the process, so that a timed loop can report its own.
void* operator new(std::size_t size) {
    ++allocations;
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

namespace {

struct Size {
    const char* name;
    std::uint32_t width;
    std::uint32_t height;
};

struct Format {
    const char* name;
    std::uint32_t bytesPerPixel;
};

constexpr Size kSizes[] = {{"640x480", 640, 480}, {"2592x1944", 2592, 1944}};
constexpr Format kFormats[] = {{"grey", 1}, {"rgb24", 3}, {"rgb32", 4}};

class BenchGrab : public CIGrab {
public:
    // Displayed size width x height; the camera image is turned for a transposing rotation.
    BenchGrab(const Size& size, const Format& format, std::uint32_t clockwise, bool mosaic) {
        Initialize();
        setInitializedFlag(1);
        if (format.bytesPerPixel == 4) SetImageColor(IFW_IMAGE_COLOR_COLOR32);
        if (format.bytesPerPixel == 3) SetImageColor(IFW_IMAGE_COLOR_COLOR24);
        SetRotateTransform(clockwise);
        if (mosaic) SetTiling(2, 2);
        const bool turned = tamra::isTransposing(grabState().transform);
        Create(0, 0, turned ? size.height : size.width, turned ? size.width : size.height,
               8 * format.bytesPerPixel, 2, 0);
        setCreatedFlag(1);
    }
};

std::vector<std::uint8_t> randomFrame(std::size_t bytes) {
    std::vector<std::uint8_t> frame(bytes);
    std::mt19937 random(42);
    for (auto& b : frame) b = static_cast<std::uint8_t>(random());
    return frame;
}

void reportBytes(benchmark::State& state, std::size_t bytes, std::uint64_t allocsBefore) {
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
    state.counters["allocs_per_call"] =
        benchmark::Counter(static_cast<double>(allocations - allocsBefore) /
                           static_cast<double>(state.iterations() == 0 ? 1 : state.iterations()));
}

enum class Op { Mirror, Flip, Rotate90, Rotate180, Rotate270, Rotate10, Rotate45, Mosaic };

struct OpInfo {
    Op op;
    const char* name;
    std::uint32_t clockwise;
};

constexpr OpInfo kOps[] = {{Op::Mirror, "mirror", 0},      {Op::Flip, "flip", 0},
                           {Op::Rotate90, "rot90", 90},    {Op::Rotate180, "rot180", 180},
                           {Op::Rotate270, "rot270", 270}, {Op::Rotate10, "rot10", 10},
                           {Op::Rotate45, "rot45", 45},    {Op::Mosaic, "mosaic2x2", 0}};

void tamraTransform(benchmark::State& state, Size size, Format format, OpInfo info) {
    BenchGrab grab(size, format, info.clockwise, info.op == Op::Mosaic);
    if (info.op == Op::Mirror) grab.SetImgTransform(IFW_IMG_TRANSFORM_MIRROR);
    if (info.op == Op::Flip) grab.SetImgTransform(IFW_IMG_TRANSFORM_FLIP);
    const std::size_t bytes = std::size_t{size.width} * size.height * format.bytesPerPixel;
    auto frame = randomFrame(bytes);
    benchmark::DoNotOptimize(grab.ApplyImageTransform(frame.data(), 0));  // allocates the buffer
    const std::uint64_t before = allocations;
    for (auto _ : state) {
        benchmark::DoNotOptimize(grab.ApplyImageTransform(frame.data(), 0));
        benchmark::ClobberMemory();
    }
    reportBytes(state, bytes, before);
}

void memcpyBaseline(benchmark::State& state, Size size, Format format) {
    const std::size_t bytes = std::size_t{size.width} * size.height * format.bytesPerPixel;
    auto src = randomFrame(bytes);
    std::vector<std::uint8_t> dst(bytes);
    const std::uint64_t before = allocations;
    for (auto _ : state) {
        std::memcpy(dst.data(), src.data(), bytes);
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
    reportBytes(state, bytes, before);
}

// The same copy into two destinations in turn, as a transform keeps its last two results: the
// bytes a frame touches then no longer fit the cache a single copy stays in at small sizes.
void memcpyTwoResultsBaseline(benchmark::State& state, Size size, Format format) {
    const std::size_t bytes = std::size_t{size.width} * size.height * format.bytesPerPixel;
    auto src = randomFrame(bytes);
    std::vector<std::uint8_t> dst(2 * bytes);
    std::size_t half = 0;
    const std::uint64_t before = allocations;
    for (auto _ : state) {
        std::memcpy(dst.data() + half * bytes, src.data(), bytes);
        half ^= 1;
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
    reportBytes(state, bytes, before);
}

#ifdef TAMRA_BENCH_OPENCV
void opencvBaseline(benchmark::State& state, Size size, Format format, OpInfo info) {
    cv::setNumThreads(1);
    const int type = CV_8UC(static_cast<int>(format.bytesPerPixel));
    const int w = static_cast<int>(size.width), h = static_cast<int>(size.height);
    const std::size_t bytes = std::size_t{size.width} * size.height * format.bytesPerPixel;
    auto data = randomFrame(bytes);
    const cv::Mat src(h, w, type, data.data());
    const bool turned = info.op == Op::Rotate90 || info.op == Op::Rotate270;
    cv::Mat dst(turned ? w : h, turned ? h : w, type, cv::Scalar::all(0));
    // Clockwise as displayed, as the client's angle; OpenCV's positive angle is counter-clockwise.
    const cv::Mat turn = cv::getRotationMatrix2D(cv::Point2f(w * 0.5f, h * 0.5f),
                                                 -static_cast<double>(info.clockwise), 1.0);
    const std::uint64_t before = allocations;
    for (auto _ : state) {
        switch (info.op) {
            case Op::Mirror:
                cv::flip(src, dst, 1);
                break;
            case Op::Flip:
                cv::flip(src, dst, 0);
                break;
            case Op::Rotate90:
                cv::rotate(src, dst, cv::ROTATE_90_CLOCKWISE);
                break;
            case Op::Rotate180:
                cv::rotate(src, dst, cv::ROTATE_180);
                break;
            case Op::Rotate270:
                cv::rotate(src, dst, cv::ROTATE_90_COUNTERCLOCKWISE);
                break;
            case Op::Rotate10:
            case Op::Rotate45:
                cv::warpAffine(src, dst, turn, dst.size(), cv::INTER_NEAREST,
                               cv::BORDER_TRANSPARENT);
                break;
            case Op::Mosaic: {
                // Four stacked tiles copied into their blocks of the mosaic.
                const int tw = w / 2, th = h / 2;
                for (int t = 0; t < 4; ++t) {
                    const cv::Mat tile(
                        th, tw, type,
                        data.data() + static_cast<std::size_t>(t) * tw * th * format.bytesPerPixel);
                    tile.copyTo(dst(cv::Rect((t % 2) * tw, (t / 2) * th, tw, th)));
                }
                break;
            }
        }
        benchmark::DoNotOptimize(dst.data);
        benchmark::ClobberMemory();
    }
    reportBytes(state, bytes, before);
}
#endif

// Quarter turns of 2-byte pixels, which no grab colour layout has: the rotation primitive
// itself, turning a width x height image into a height x width one.
void tamraQuarterTurnC2(benchmark::State& state, Size size, std::uint32_t clockwise) {
    using namespace tamra::imaging;
    const int w = static_cast<int>(size.width), h = static_cast<int>(size.height);
    const std::size_t bytes = std::size_t{size.width} * size.height * 2;
    auto src = randomFrame(bytes);
    std::vector<std::uint8_t> dst(bytes);
    const ImageRect source{0, 0, w, h}, turned{0, 0, h, w};
    // Counter-clockwise as stored; the shift centres the turned picture as the transform does.
    const double angle = 360.0 - clockwise;
    double bound[2][2];
    GetRotateBound(&source, bound, angle, 0.0, 0.0);
    const double xShift = ((h - 1) - (bound[0][0] + bound[1][0])) * 0.5;
    const double yShift = ((w - 1) - (bound[0][1] + bound[1][1])) * 0.5;
    const std::uint64_t before = allocations;
    for (auto _ : state) {
        RotateImage8uC2(src.data(), {w, h}, w * 2, &source, dst.data(), h * 2, &turned, angle,
                        xShift, yShift, kInterpolationNearest);
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
    reportBytes(state, bytes, before);
}

#ifdef TAMRA_BENCH_OPENCV
void opencvQuarterTurnC2(benchmark::State& state, Size size, std::uint32_t clockwise) {
    cv::setNumThreads(1);
    const int w = static_cast<int>(size.width), h = static_cast<int>(size.height);
    const std::size_t bytes = std::size_t{size.width} * size.height * 2;
    auto data = randomFrame(bytes);
    const cv::Mat src(h, w, CV_8UC2, data.data());
    cv::Mat dst(w, h, CV_8UC2, cv::Scalar::all(0));
    const std::uint64_t before = allocations;
    for (auto _ : state) {
        cv::rotate(src, dst,
                   clockwise == 90 ? cv::ROTATE_90_CLOCKWISE : cv::ROTATE_90_COUNTERCLOCKWISE);
        benchmark::DoNotOptimize(dst.data);
        benchmark::ClobberMemory();
    }
    reportBytes(state, bytes, before);
}
#endif

void registerAll() {
    for (const Size& size : kSizes) {
        for (std::uint32_t clockwise : {90u, 270u}) {
            const std::string name = "/rot" + std::to_string(clockwise) + "/" + size.name + "/c2";
            benchmark::RegisterBenchmark(("tamra" + name).c_str(), tamraQuarterTurnC2, size,
                                         clockwise);
#ifdef TAMRA_BENCH_OPENCV
            benchmark::RegisterBenchmark(("opencv" + name).c_str(), opencvQuarterTurnC2, size,
                                         clockwise);
#endif
        }
    }
    for (const Size& size : kSizes) {
        for (const Format& format : kFormats) {
            const std::string suffix = std::string("/") + size.name + "/" + format.name;
            benchmark::RegisterBenchmark(("memcpy" + suffix).c_str(), memcpyBaseline, size, format);
            benchmark::RegisterBenchmark(("memcpy2" + suffix).c_str(), memcpyTwoResultsBaseline,
                                         size, format);
            for (const OpInfo& info : kOps) {
                benchmark::RegisterBenchmark(("tamra/" + std::string(info.name) + suffix).c_str(),
                                             tamraTransform, size, format, info);
#ifdef TAMRA_BENCH_OPENCV
                benchmark::RegisterBenchmark(("opencv/" + std::string(info.name) + suffix).c_str(),
                                             opencvBaseline, size, format, info);
#endif
            }
        }
    }
}

const bool registered = (registerAll(), true);

}  // namespace
