// Mirror and rotation. SetImgTransform and SetRotateTransform only store the setting: the
// delivered frame stays as the camera made it, and ApplyImageTransform, called by the client on
// a frame it received, returns the frame as it is to be shown.
#include <tamra/Sentinels.h>
#include <tamra/Tamra.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <random>
#include <string>

#include "write_bitmap.h"

namespace fs = std::filesystem;

constexpr int kWidth = 64;
constexpr int kHeight = 32;

struct Shown {
    std::mutex lock;
    std::condition_variable arrived;
    IXGrab* grab = nullptr;
    int frames = 0;
    int raw = -1;    // grey level at column 1, row 1 of the frame as delivered
    int shown = -1;  // the same place in the transformed frame
};

// ApplyImageTransform runs on this thread; its result lives in the grab's work buffer, valid
// until the next call.
static int onFrame(unsigned char* frame, unsigned int, std::int64_t, void* context) {
    auto* shown = static_cast<Shown*>(context);
    const unsigned char* image = shown->grab->ApplyImageTransform(frame, 0);
    std::lock_guard<std::mutex> guard(shown->lock);
    shown->raw = frame[kWidth + 1];
    shown->shown = image != nullptr ? image[kWidth + 1] : -1;
    ++shown->frames;
    shown->arrived.notify_one();
    return 0;
}

// One triggered frame; transform settings change only while the grab is stopped, because the
// callback reads them on the delivery thread.
static bool showOneFrame(IXGrab* grab, Shown& shown, const char* what) {
    const int before = shown.frames;
    grab->Start();
    grab->GenerateSoftTrigger(0);
    bool arrived = false;
    {
        std::unique_lock<std::mutex> lock(shown.lock);
        arrived = shown.arrived.wait_for(lock, std::chrono::seconds(5),
                                         [&] { return shown.frames > before; });
    }
    grab->Stop();
    std::printf("%s: grey level at (1, 1) %d as delivered, %d as shown\n", what, shown.raw,
                shown.shown);
    return arrived;
}

int main() {
    const fs::path root =
        fs::temp_directory_path() / ("tamra-example-" + std::to_string(std::random_device{}()));
    fs::create_directories(root);
    // A left-to-right ramp: 4 x column, 0 at the left edge, 252 at the right.
    example::writeGreyBitmap((root / "ramp.bmp").string(), kWidth, kHeight,
                             [](int x, int) { return 4 * x; });

    char type[16] = "EMULATOR";
    IXGrab* grab = TamraGrabInstantiate(type);
    Shown shown;
    shown.grab = grab;
    grab->Initialize();
    grab->RegisterBufferCallback(onFrame, &shown);
    std::string path = root.string();
    grab->EmulateFromNewImagePath(path.data(), TAMRA_KEEP_VALUE, TAMRA_KEEP_VALUE);
    grab->SetTriggerMethod(IXGrab::TRIG_SOFTWARE);

    grab->SetImgTransform(IFW_IMG_TRANSFORM_MIRROR);
    bool ok = showOneFrame(grab, shown, "mirror") && shown.raw == 4 && shown.shown == 248;
    grab->SetImgTransform(IFW_IMG_TRANSFORM_NONE);
    grab->SetRotateTransform(180);  // half a turn keeps the frame size; 90 would swap the axes
    // The turn is about the point (width / 2, height / 2), so column 1 shows column 63 and
    // column 0 lies outside the picture; the rotation resamples, so allow a neighbour.
    ok = showOneFrame(grab, shown, "rotate 180") && ok && shown.raw == 4 && shown.shown >= 240;

    TamraGrabDelete(grab);
    fs::remove_all(root);
    std::printf(ok ? "transforms as expected\n" : "unexpected transform result\n");
    return ok ? 0 : 1;
}
