// Frame recordings: playing a sample tree through the public interface and storing what the
// buffer callback saw.
#include "FrameRecord.h"

#include <tamra/Tamra.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <fstream>
#include <memory>
#include <mutex>
#include <sstream>
#include <stdexcept>

#include "samplegen/SampleTree.h"

namespace tamra_frames {
namespace {

constexpr char kMagic[] = "tamra-frames 1";
// Every list of the tree is served once, and the first files a second time.
constexpr int kFramesPerConfiguration = 11;
constexpr auto kFrameWait = std::chrono::seconds(20);

struct Configuration {
    const char* name;
    IFW_IMAGE_COLOR_TYPE colour;
    int cameras;          // 0: the emulator's own count (3 planes for the planar layout)
    std::uint32_t width;  // 0: the size of the files
    std::uint32_t height;
};

// Each colour layout once; sizes that keep, shrink (odd, with padded rows) and enlarge the files.
// The tree has two cameras, so the third plane of the planar layout is the missing-file pattern.
constexpr Configuration kConfigurations[] = {
    {"mono8-2cams-native", IFW_IMAGE_COLOR_MONO8, 2, 0, 0},
    {"color24-2cams-61x47", IFW_IMAGE_COLOR_COLOR24, 2, 61, 47},
    {"color32-1cam-150x100", IFW_IMAGE_COLOR_COLOR32, 1, 150, 100},
    {"planes-3planes-native", IFW_IMAGE_COLOR_PLANES, 0, 0, 0},
};

// Copies each delivered frame; the recorder waits for them one at a time.
class FrameSink {
public:
    explicit FrameSink(std::size_t frameBytes) : frameBytes_(frameBytes) {}

    static int onFrame(unsigned char* buffer, unsigned int, std::int64_t, void* context) {
        static_cast<FrameSink*>(context)->take(buffer);
        return 0;
    }

    bool waitFor(std::size_t count) {
        std::unique_lock<std::mutex> lock(lock_);
        return arrived_.wait_for(lock, kFrameWait, [&] { return frames_.size() >= count; });
    }

    std::vector<std::vector<std::uint8_t>> frames() {
        std::lock_guard<std::mutex> guard(lock_);
        return frames_;
    }

private:
    void take(const unsigned char* buffer) {
        {
            std::lock_guard<std::mutex> guard(lock_);
            frames_.emplace_back(buffer, buffer + frameBytes_);
        }
        arrived_.notify_all();
    }

    std::size_t frameBytes_;
    std::mutex lock_;
    std::condition_variable arrived_;
    std::vector<std::vector<std::uint8_t>> frames_;
};

using GrabPointer = std::unique_ptr<IXGrab, int (*)(IXGrab*)>;

GrabPointer createEmulator(const std::string& root, const Configuration& configuration) {
    char type[16] = "EMULATOR";
    GrabPointer grab(TamraGrabInstantiate(type), TamraGrabDelete);
    if (!grab || !grab->Initialize()) throw std::runtime_error("cannot initialise the emulator");
    grab->SetImageColor(configuration.colour);
    if (configuration.cameras > 0) grab->SetNumCameras(configuration.cameras);
    constexpr std::uint32_t kKeep = 0xFFFFFFFEu;
    std::string path = root;
    grab->EmulateFromNewImagePath(path.data(), configuration.width ? configuration.width : kKeep,
                                  configuration.height ? configuration.height : kKeep);
    auto* core = dynamic_cast<CIGrab*>(grab.get());
    if (core == nullptr || !core->IsGrabCreated()) {
        throw std::runtime_error(std::string(configuration.name) + ": " + grab->GetLastErrorMsg());
    }
    return grab;
}

// Every plane of a frame: the window of each camera, as far as one ring slot holds them.
std::size_t frameBytes(IXGrab& grab) {
    auto& core = dynamic_cast<CIGrab&>(grab);
    const std::size_t window = std::size_t{core.GetAoiWidthByteCount()} * core.GetAoiHeight();
    const std::size_t slot =
        core.GetRingBufferSize() / std::max<std::uint32_t>(1, core.GetBufferCount());
    return std::min(window * static_cast<std::size_t>(std::max(1, grab.GetNumCameras())), slot);
}

Recording play(const std::string& root, const Configuration& configuration) {
    GrabPointer grab = createEmulator(root, configuration);
    FrameSink sink(frameBytes(*grab));
    grab->RegisterBufferCallback(&FrameSink::onFrame, &sink);
    grab->SetTriggerMethod(IXGrab::TRIG_SOFTWARE);
    if (!grab->Start()) throw std::runtime_error(grab->GetLastErrorMsg());
    for (int i = 1; i <= kFramesPerConfiguration; ++i) {
        grab->GenerateSoftTrigger(0);
        if (!sink.waitFor(static_cast<std::size_t>(i))) {
            throw std::runtime_error(std::string(configuration.name) + ": frame " +
                                     std::to_string(i) + " did not arrive");
        }
    }
    grab->Stop();
    return Recording{configuration.name, sink.frames()};
}

}  // namespace

std::vector<Recording> recordSampleTree(const std::string& root) {
    tamra::samples::TreeOptions options;
    options.width = 96;
    options.height = 64;
    options.cameras = 2;
    tamra::samples::writeSampleTree(root, options);
    std::vector<Recording> recordings;
    for (const Configuration& configuration : kConfigurations) {
        recordings.push_back(play(root, configuration));
    }
    return recordings;
}

void saveRecordings(const std::string& file, const std::vector<Recording>& recordings) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << kMagic << '\n' << recordings.size() << '\n';
    for (const Recording& recording : recordings) {
        out << recording.name << ' ' << recording.frames.size() << '\n';
        for (const auto& frame : recording.frames) {
            out << frame.size() << '\n';
            out.write(reinterpret_cast<const char*>(frame.data()),
                      static_cast<std::streamsize>(frame.size()));
        }
    }
    if (!out) throw std::runtime_error("cannot write " + file);
}

std::vector<Recording> loadRecordings(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    std::string magic;
    std::getline(in, magic);
    if (!in || magic != kMagic) throw std::runtime_error(file + " is not a frame recording");
    std::size_t count = 0;
    in >> count;
    std::vector<Recording> recordings(count);
    for (Recording& recording : recordings) {
        std::size_t frames = 0;
        in >> recording.name >> frames;
        recording.frames.resize(frames);
        for (auto& frame : recording.frames) {
            std::size_t size = 0;
            in >> size;
            in.get();  // the line break before the bytes
            frame.resize(size);
            in.read(reinterpret_cast<char*>(frame.data()), static_cast<std::streamsize>(size));
        }
    }
    if (!in) throw std::runtime_error(file + " is cut short");
    return recordings;
}

std::string firstDifference(const std::vector<Recording>& expected,
                            const std::vector<Recording>& actual) {
    std::ostringstream text;
    if (expected.size() != actual.size()) {
        text << expected.size() << " recordings expected, " << actual.size() << " made";
        return text.str();
    }
    for (std::size_t r = 0; r < expected.size(); ++r) {
        const Recording& want = expected[r];
        const Recording& got = actual[r];
        if (want.name != got.name || want.frames.size() != got.frames.size()) {
            text << "recording " << r << ": " << want.name << " with " << want.frames.size()
                 << " frames expected, " << got.name << " with " << got.frames.size() << " made";
            return text.str();
        }
        for (std::size_t f = 0; f < want.frames.size(); ++f) {
            const auto& a = want.frames[f];
            const auto& b = got.frames[f];
            if (a == b) continue;
            const auto mismatch = std::mismatch(a.begin(), a.end(), b.begin(), b.end());
            text << want.name << ", frame " << f << ": " << a.size() << " bytes expected, "
                 << b.size() << " made; first difference at byte " << (mismatch.first - a.begin());
            return text.str();
        }
    }
    return {};
}

}  // namespace tamra_frames
