// Re-delivery of frames to the buffer callback: which frame, which count, from which thread.
#include <gtest/gtest.h>

#include <cstdint>
#include <thread>
#include <vector>

#include <tamra/Tamra.h>

#include "core/GrabState.h"

#include "platform/Thread.h"

namespace {

struct Delivery {
    unsigned char* buffer;
    unsigned int count;
    std::int64_t tag;
    bool operator==(const Delivery& o) const {
        return buffer == o.buffer && count == o.count && tag == o.tag;
    }
};
using Deliveries = std::vector<Delivery>;

// A core whose frames are a fixed buffer and whose frame counts are 40 plus the index.
class FrameGrab : public CIGrab {
public:
    unsigned char* GetFramePtr(int) override { return hasFrame ? frame : nullptr; }
    unsigned int GetFrameCount(int index) override { return 40u + static_cast<unsigned>(index); }
    void markAcquisitionThread(std::uint32_t id) { grabState().life.acqThreadId = id; }

    unsigned char frame[16] = {};
    bool hasFrame = true;
    std::vector<Delivery> deliveries;
    bool reenter = false;
};

int record(unsigned char* buffer, unsigned int count, std::int64_t tag, void* context) {
    auto* grab = static_cast<FrameGrab*>(context);
    grab->deliveries.push_back({buffer, count, tag});
    if (grab->reenter) grab->ReTrigger(buffer, 9);
    return 1;
}

TEST(ReTrigger, RedeliversTheCurrentFrameWithItsCount) {
    FrameGrab grab;
    grab.RegisterBufferCallback(record, &grab);
    grab.ReTrigger(2);
    EXPECT_EQ(grab.deliveries, (Deliveries{{grab.frame, 42u, 0}}));
}

int countCall(unsigned char*, unsigned int, std::int64_t, void* context) {
    ++*static_cast<int*>(context);
    return 1;
}

TEST(ReTrigger, NothingWithoutAFrameOrACallbackWithAContext) {
    FrameGrab grab;
    grab.ReTrigger(0);
    grab.RegisterBufferCallback(countCall, nullptr);
    grab.ReTrigger(0);
    grab.ReTrigger(grab.frame, 0);
    int calls = 0;
    grab.RegisterBufferCallback(countCall, &calls);
    grab.ReTrigger(nullptr, 0);
    grab.hasFrame = false;
    grab.ReTrigger(0);
    EXPECT_EQ(calls, 0);
    grab.ReTrigger(grab.frame, 0);
    EXPECT_EQ(calls, 1);
}

TEST(ReTrigger, RefusesToRunOnTheAcquisitionThread) {
    FrameGrab grab;
    grab.RegisterBufferCallback(record, &grab);
    grab.markAcquisitionThread(tamra::platform::currentThreadId());
    grab.ReTrigger(0);
    EXPECT_TRUE(grab.deliveries.empty());

    std::thread client([&grab] { grab.ReTrigger(1); });
    client.join();
    EXPECT_EQ(grab.deliveries, (Deliveries{{grab.frame, 41u, 0}}));
}

TEST(ReTrigger, AGivenFrameIsDeliveredOnceEvenWhenTheCallbackAsksAgain) {
    FrameGrab grab;
    unsigned char other[4] = {};
    grab.RegisterBufferCallback(record, &grab);
    grab.reenter = true;
    grab.ReTrigger(other, 3);
    EXPECT_EQ(grab.deliveries, (Deliveries{{other, 43u, 0}}));

    grab.reenter = false;  // the guard is down again after the delivery
    grab.ReTrigger(other, 0);
    EXPECT_EQ(grab.deliveries.size(), 2u);
}

}  // namespace
