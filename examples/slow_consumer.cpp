// Free run with a client that needs longer per frame than the camera: the producer never waits
// for the client, so frames it cannot put in the ring are dropped and reported to the trash
// callback. The library's counters (<tamra/Observe.h>) then say where every frame went.
#include <tamra/Observe.h>
#include <tamra/Tamra.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>

struct Run {
    std::mutex lock;
    std::condition_variable changed;
    unsigned int delivered = 0;
    unsigned int outOfOrder = 0;
    int lastFirstByte = -1;
    unsigned int overruns = 0;  // the latest count the trash callback received
    unsigned int trashCalls = 0;
};

// Delivery thread. The folder played holds no image, so every frame is the stand-in pattern,
// whose first byte grows by 10 with each frame composed: a gap would show a frame lost or out
// of order.
static int onFrame(unsigned char* frame, unsigned int, std::int64_t, void* context) {
    auto* run = static_cast<Run*>(context);
    {
        std::lock_guard<std::mutex> guard(run->lock);
        if (run->lastFirstByte >= 0 && frame[0] != (run->lastFirstByte + 10) % 256)
            ++run->outOfOrder;
        run->lastFirstByte = frame[0];
        ++run->delivered;
        std::printf("frame %u, first byte %u\n", run->delivered, frame[0]);
    }
    run->changed.notify_all();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));  // the client's slow work
    return 0;
}

// Trash thread. count is every overrun since Create, including those no call reported.
static int onOverrun(unsigned char*, unsigned int count, std::int64_t, void* context) {
    auto* run = static_cast<Run*>(context);
    {
        std::lock_guard<std::mutex> guard(run->lock);
        run->overruns = count;
        ++run->trashCalls;
    }
    run->changed.notify_all();
    return 0;
}

int main() {
    char type[16] = "EMULATOR";
    IXGrab* grab = TamraGrabInstantiate(type);
    Run run;
    grab->Initialize();
    grab->RegisterBufferCallback(onFrame, &run);
    grab->RegisterTrashCallback(onOverrun, &run);
    // 4 buffers: 3 ring slots for frames and one spare that the trash callback receives.
    grab->SetBufferCount(4);
    const std::filesystem::path empty =
        std::filesystem::temp_directory_path() / "tamra-example-empty";
    std::filesystem::create_directories(empty);
    std::string folder = empty.string();
    grab->EmulateFromNewImagePath(folder.data(), 320, 240);  // creates the grab, not running
    grab->SetTriggerMethod(IXGrab::TRIG_FREE_RUN);
    grab->SetFrameDelay(33);  // a pause of 33 ms between frames, the shortest the emulator takes
    grab->Start();
    bool seen = false;
    {
        std::unique_lock<std::mutex> lock(run.lock);
        seen = run.changed.wait_for(lock, std::chrono::seconds(20),
                                    [&] { return run.delivered >= 8 && run.overruns >= 3; });
    }
    grab->Stop();  // frames still in the ring are discarded here
    std::printf("%u frames delivered, %u out of order, %u dropped, %u trash callback calls\n",
                run.delivered, run.outOfOrder, run.overruns, run.trashCalls);
    // Counted from Start; in free run every composed frame is delivered or discarded at Stop.
    TamraCounters counters{};
    const bool counted = TamraGetCounters(grab, &counters) == 1;
    std::printf("library: %llu composed, %llu delivered, %llu dropped, %llu discarded at Stop\n",
                static_cast<unsigned long long>(counters.framesComposed),
                static_cast<unsigned long long>(counters.framesDelivered),
                static_cast<unsigned long long>(counters.framesDropped),
                static_cast<unsigned long long>(counters.framesDiscardedAtStop));
    const bool addsUp =
        counted && counters.framesDelivered == run.delivered &&
        counters.framesDropped == run.overruns &&
        counters.framesComposed == counters.framesDelivered + counters.framesDiscardedAtStop;
    TamraGrabDelete(grab);
    std::filesystem::remove(empty);
    return seen && run.outOfOrder == 0 && addsUp ? 0 : 1;
}
