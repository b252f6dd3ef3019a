// Frames as a C++ client of the public interface receives them, for comparison with the Python
// module: plays FOLDER with software triggers and writes COUNT frames, one after the other, raw.
// Usage: tamra-python-reference FOLDER OUTPUT COUNT COLOR CAMERAS MIRROR ROTATE
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include <tamra/Tamra.h>

namespace {

constexpr std::uint32_t kKeep = 0xFFFFFFFEu;

struct Receiver {
    IXGrab* grab = nullptr;
    bool transform = false;
    std::size_t frameBytes = 0;
    std::vector<unsigned char> frames;
    std::mutex lock;
    std::condition_variable arrived;
    std::size_t count = 0;
};

int onFrame(unsigned char* frame, unsigned int, std::int64_t, void* context) {
    auto& receiver = *static_cast<Receiver*>(context);
    const unsigned char* shown = frame;
    if (receiver.transform) shown = receiver.grab->ApplyImageTransform(frame, 0);
    std::lock_guard<std::mutex> guard(receiver.lock);
    receiver.frames.insert(receiver.frames.end(), shown, shown + receiver.frameBytes);
    ++receiver.count;
    receiver.arrived.notify_all();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 8) {
        std::fprintf(stderr, "usage: %s FOLDER OUTPUT COUNT COLOR CAMERAS MIRROR ROTATE\n",
                     argv[0]);
        return 2;
    }
    std::string folder = argv[1];
    const std::size_t count = std::strtoul(argv[3], nullptr, 10);
    const auto color = static_cast<IFW_IMAGE_COLOR_TYPE>(std::atoi(argv[4]));
    const int cameras = std::atoi(argv[5]);
    const bool mirror = std::atoi(argv[6]) != 0;
    const std::uint32_t rotate = std::strtoul(argv[7], nullptr, 10);

    char type[16] = "EMULATOR";
    IXGrab* grab = TamraGrabInstantiate(type);
    Receiver receiver;
    receiver.grab = grab;
    receiver.transform = mirror || rotate != 0;
    grab->Initialize();
    if (color != IFW_IMAGE_COLOR_MONO8) grab->SetImageColor(color);
    if (cameras > 0) grab->SetNumCameras(cameras);
    if (mirror) grab->SetImgTransform(IFW_IMG_TRANSFORM_MIRROR);
    if (rotate != 0) grab->SetRotateTransform(rotate);
    grab->EmulateFromNewImagePath(folder.data(), kKeep, kKeep);
    auto* core = dynamic_cast<CIGrab*>(grab);
    const std::size_t planes = static_cast<std::size_t>(grab->GetNumCameras());
    receiver.frameBytes =
        receiver.transform
            ? planes * grab->GetWidth() * grab->GetHeight() * grab->GetBytesPP()
            : planes * core->GetAoiWidth() * core->GetAoiHeight() * grab->GetBytesPP();
    grab->RegisterBufferCallback(onFrame, &receiver);
    grab->SetTriggerMethod(IXGrab::TRIG_SOFTWARE);
    if (!grab->Start()) {
        std::fprintf(stderr, "Start: %s\n", grab->GetLastErrorMsg());
        return 1;
    }
    for (std::size_t i = 0; i < count; ++i) {
        grab->GenerateSoftTrigger(0);
        std::unique_lock<std::mutex> lock(receiver.lock);
        receiver.arrived.wait(lock, [&] { return receiver.count > i; });
    }
    grab->Stop();
    TamraGrabDelete(grab);
    std::FILE* out = std::fopen(argv[2], "wb");
    if (out == nullptr) return 1;
    std::fwrite(receiver.frames.data(), 1, receiver.frames.size(), out);
    std::fclose(out);
    return 0;
}
