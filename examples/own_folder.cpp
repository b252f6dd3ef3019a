// Plays a folder of your own: EmulateFromNewImagePath scans it, takes the frame size from its
// first file and creates the grab. The program writes three bitmaps first so that it runs
// anywhere; give a folder as the first argument to play yours instead.
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

struct Frames {
    std::mutex lock;
    std::condition_variable arrived;
    std::vector<int> centreLevels;
    unsigned int width = 0;
    unsigned int height = 0;
};

static int onFrame(unsigned char* frame, unsigned int, std::int64_t, void* context) {
    auto* frames = static_cast<Frames*>(context);
    std::lock_guard<std::mutex> guard(frames->lock);
    frames->centreLevels.push_back(frame[frames->height / 2 * frames->width + frames->width / 2]);
    frames->arrived.notify_one();
    return 0;
}

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    const bool ownFiles = argc > 1;
    const fs::path folder = ownFiles
                                ? fs::path(argv[1])
                                : fs::temp_directory_path() /
                                      ("tamra-example-" + std::to_string(std::random_device{}()));
    const int levels[] = {40, 120, 200};
    if (!ownFiles) {
        // Files play in the order of their names; 62 is not a multiple of 4, see below.
        fs::create_directories(folder);
        for (int i = 0; i < 3; ++i) {
            const std::string name = "part" + std::to_string(i + 1) + ".bmp";
            example::writeFlatBitmap((folder / name).string(), 62, 40, levels[i]);
        }
    }

    char type[16] = "EMULATOR";
    IXGrab* grab = TamraGrabInstantiate(type);
    Frames frames;
    grab->Initialize();
    grab->RegisterBufferCallback(onFrame, &frames);
    std::string path =
        fs::absolute(folder).string();  // a relative path is taken under the data folder
    // Keep the width and height: the first file sets them, its width rounded up to 4.
    grab->EmulateFromNewImagePath(path.data(), TAMRA_KEEP_VALUE, TAMRA_KEEP_VALUE);
    frames.width = grab->GetWidth();
    frames.height = grab->GetHeight();
    std::printf("playing %s: %u x %u\n", grab->GetImagePath(), frames.width, frames.height);
    grab->SetTriggerMethod(IXGrab::TRIG_SOFTWARE);
    grab->Start();  // EmulateFromNewImagePath leaves the grab created, not running
    const std::size_t wanted = 6;
    for (std::size_t i = 1; i <= wanted; ++i) {
        grab->GenerateSoftTrigger(0);
        std::unique_lock<std::mutex> lock(frames.lock);
        if (!frames.arrived.wait_for(lock, std::chrono::seconds(5),
                                     [&] { return frames.centreLevels.size() >= i; }))
            break;
    }
    grab->Stop();
    TamraGrabDelete(grab);

    bool asWritten = frames.centreLevels.size() == wanted;
    for (std::size_t i = 0; i < frames.centreLevels.size(); ++i) {
        std::printf("frame %zu: centre grey level %d\n", i + 1, frames.centreLevels[i]);
        if (!ownFiles && frames.centreLevels[i] != levels[i % 3]) asWritten = false;
    }
    if (!ownFiles) {
        fs::remove_all(folder);
        asWritten = asWritten && frames.width == 64 && frames.height == 40;
        std::printf(asWritten ? "frames play the files in name order, then again\n"
                              : "frames differ from the files written\n");
    }
    return asWritten ? 0 : 1;
}
