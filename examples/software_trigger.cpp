// Software trigger: one frame per trigger, each awaited before the next trigger and before Stop.
#include <tamra/Tamra.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>

struct Frames {
    std::mutex lock;
    std::condition_variable arrived;
    unsigned int delivered = 0;
};

// Runs on the library's delivery thread; the frame stays valid until this returns. count is
// how often this ring slot has been filled, not a frame number.
static int onFrame(unsigned char* frame, unsigned int count, std::int64_t, void* context) {
    auto* frames = static_cast<Frames*>(context);
    std::lock_guard<std::mutex> guard(frames->lock);
    ++frames->delivered;
    std::printf("frame %u: slot filled %u times, first byte %u\n", frames->delivered, count,
                frame[0]);
    frames->arrived.notify_one();
    return 0;
}

int main() {
    char type[16] = "EMULATOR";
    IXGrab* grab = TamraGrabInstantiate(type);
    Frames frames;
    grab->Initialize();  // plays <data folder>/Quillon/images; without files, a moving pattern
    grab->RegisterBufferCallback(onFrame, &frames);
    grab->Create(0, 0, 640, 480, 8, 5, 5000);  // 640 x 480 grey, 5 ring buffers
    grab->SetTriggerMethod(IXGrab::TRIG_SOFTWARE);
    grab->Start();
    const unsigned int triggers = 10;
    for (unsigned int i = 1; i <= triggers; ++i) {
        // A trigger given while the last one is still pending merges with it, so each frame is
        // awaited before the next trigger.
        grab->GenerateSoftTrigger(0);
        std::unique_lock<std::mutex> lock(frames.lock);
        if (!frames.arrived.wait_for(lock, std::chrono::seconds(5),
                                     [&] { return frames.delivered >= i; }))
            break;
    }
    grab->Stop();  // discards frames still in the ring: every frame has arrived by now
    std::printf("%u of %u triggers delivered\n", frames.delivered, triggers);
    TamraGrabDelete(grab);  // terminates and deletes
    return frames.delivered == triggers ? 0 : 1;
}
