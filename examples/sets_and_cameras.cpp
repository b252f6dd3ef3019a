// Several cameras and the pass, fail and calibration sets. Camera 0 plays the folder itself,
// camera k its Cam<k> sub-folder. Each camera's main list holds its loose files, then those in
// pass/, then those in fail/; calib/ files form a list of their own that acquisition does not
// play. Each frame holds one image per camera, camera 0 first.
#include <tamra/Sentinels.h>
#include <tamra/Tamra.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <random>
#include <string>
#include <vector>

#include "write_bitmap.h"

namespace fs = std::filesystem;

struct Frames {
    std::mutex lock;
    std::condition_variable arrived;
    std::size_t imageBytes = 0;
    int cameras = 0;
    std::vector<std::vector<int>> levels;  // per frame, the first byte of each camera's image
};

static int onFrame(unsigned char* frame, unsigned int, std::int64_t, void* context) {
    auto* frames = static_cast<Frames*>(context);
    std::lock_guard<std::mutex> guard(frames->lock);
    std::vector<int> levels;
    for (int camera = 0; camera < frames->cameras; ++camera)
        levels.push_back(frame[camera * frames->imageBytes]);
    frames->levels.push_back(levels);
    frames->arrived.notify_one();
    return 0;
}

// One flat grey file per entry; the level tells which file a frame came from.
static void writeTree(const fs::path& root) {
    const struct {
        const char* file;
        int level;
    } files[] = {{"good.bmp", 10},         {"pass/ok.bmp", 20},    {"fail/scratch.bmp", 30},
                 {"calib/target.bmp", 40}, {"Cam1/good.bmp", 110}, {"Cam1/fail/dent.bmp", 130}};
    for (const auto& entry : files) {
        const fs::path path = root / entry.file;
        fs::create_directories(path.parent_path());
        example::writeFlatBitmap(path.string(), 64, 48, entry.level);
    }
}

int main() {
    const fs::path root =
        fs::temp_directory_path() / ("tamra-example-" + std::to_string(std::random_device{}()));
    writeTree(root);

    char type[16] = "EMULATOR";
    IXGrab* grab = TamraGrabInstantiate(type);
    Frames frames;
    grab->Initialize();
    grab->SetNumCameras(2);  // before the scan: only the first cameras' folders are read
    grab->RegisterBufferCallback(onFrame, &frames);
    std::string path = root.string();
    grab->EmulateFromNewImagePath(path.data(), TAMRA_KEEP_VALUE, TAMRA_KEEP_VALUE);
    frames.cameras = grab->GetNumCameras();
    frames.imageBytes = std::size_t{grab->GetWidth()} * grab->GetHeight() * grab->GetBytesPP();
    grab->SetTriggerMethod(IXGrab::TRIG_SOFTWARE);
    grab->Start();
    const std::size_t wanted = 4;
    for (std::size_t i = 1; i <= wanted; ++i) {
        grab->GenerateSoftTrigger(0);
        std::unique_lock<std::mutex> lock(frames.lock);
        if (!frames.arrived.wait_for(lock, std::chrono::seconds(5),
                                     [&] { return frames.levels.size() >= i; }))
            break;
    }
    grab->Stop();
    TamraGrabDelete(grab);
    fs::remove_all(root);

    // Camera 0 cycles good, pass/ok, fail/scratch; camera 1 good, fail/dent; calib never plays.
    const std::vector<std::vector<int>> expected = {{10, 110}, {20, 130}, {30, 110}, {10, 130}};
    for (std::size_t i = 0; i < frames.levels.size() && frames.cameras == 2; ++i) {
        std::printf("frame %zu: camera 0 level %d, camera 1 level %d\n", i + 1, frames.levels[i][0],
                    frames.levels[i][1]);
    }
    const bool ok = frames.levels == expected;
    std::printf(ok ? "each camera plays its own list\n" : "unexpected frames\n");
    return ok ? 0 : 1;
}
